#pragma once

#include <QObject>
#include <chrono>
#include <functional>

namespace kavrano {

/// "Later, on the main queue". Every delayed step of the screens goes through
/// here, so tests move time forward without sleeping.
class Scheduler {
 public:
  virtual ~Scheduler() = default;
  /// Runs `step` on the main thread after `delay`, unless `context` is gone by then.
  virtual void schedule(const QObject* context, std::chrono::milliseconds delay, std::function<void()> step) = 0;
};

}  // namespace kavrano
