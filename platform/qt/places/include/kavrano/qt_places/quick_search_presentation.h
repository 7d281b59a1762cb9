#pragma once

#include <QtQmlIntegration/qqmlintegration.h>
#include <QObject>
#include <functional>

#include "kavrano/places/search_presentation.h"

namespace kavrano {

/// The search shown over a screen in Qt Quick: the view binds its visibility to
/// `active` and fades over `closingDuration` milliseconds; a dismissal completes
/// when the fade is over.
class QuickSearchPresentation : public QObject, public SearchPresentation {
  Q_OBJECT
  QML_ELEMENT
  QML_UNCREATABLE("one per window, made by the app")
  Q_PROPERTY(bool active READ active WRITE setActive NOTIFY activeChanged)
  Q_PROPERTY(int closingDuration READ closingDuration CONSTANT)
 public:
  explicit QuickSearchPresentation(QObject* parent = nullptr);

  [[nodiscard]] bool active() const { return active_; }
  void setActive(bool active);
  [[nodiscard]] int closingDuration() const { return kClosingDurationMs; }

  void dismiss(bool animated, std::function<void()> completion) override;

 signals:
  void activeChanged();

 private:
  static constexpr int kClosingDurationMs = 250;  // a sheet's usual closing time
  bool active_ = false;
};

}  // namespace kavrano
