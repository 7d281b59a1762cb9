#pragma once

#include <QStringList>

#include "kavrano/core/analytics.h"

namespace kavrano {

/// The analytics service as a list: "event <name>" lines in a shared journal.
class JournalEventRecorder final : public AnalyticsService {
 public:
  explicit JournalEventRecorder(QStringList& journal) : journal_(journal) {}
  void logEvent(const std::string& name) override {
    journal_ << QStringLiteral("event ") + QString::fromStdString(name);
  }

 private:
  QStringList& journal_;
};

}  // namespace kavrano
