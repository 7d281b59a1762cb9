#pragma once

#include <QPointer>
#include <algorithm>
#include <chrono>
#include <vector>

#include "kavrano/ui/scheduler.h"

namespace kavrano {

/// A main queue whose clock moves only when the test says so.
class FakeScheduler final : public Scheduler {
 public:
  void schedule(const QObject* context, std::chrono::milliseconds delay, std::function<void()> step) override {
    pending_.push_back({now_ + delay, QPointer<const QObject>(context), std::move(step), context != nullptr});
  }

  /// Runs, in time order, every step that falls due within `duration`.
  void advance(std::chrono::milliseconds duration) {
    const auto until = now_ + duration;
    for (;;) {
      auto next = std::min_element(pending_.begin(), pending_.end(),
                                   [](const Pending& a, const Pending& b) { return a.due < b.due; });
      if (next == pending_.end() || next->due > until) break;
      Pending step = std::move(*next);
      pending_.erase(next);
      now_ = step.due;
      if (!step.bound || step.context) step.run();
    }
    now_ = until;
  }

 private:
  struct Pending {
    std::chrono::milliseconds due;
    QPointer<const QObject> context;
    std::function<void()> run;
    bool bound;
  };
  std::chrono::milliseconds now_{0};
  std::vector<Pending> pending_;
};

}  // namespace kavrano
