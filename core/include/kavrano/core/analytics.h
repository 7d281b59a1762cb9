#pragma once

#include <memory>
#include <string>

namespace kavrano {

/// Where usage events go. Implementations take the call and return at once.
class AnalyticsService {
 public:
  virtual ~AnalyticsService() = default;
  virtual void logEvent(const std::string& name) = 0;

  /// The configured service; until `configure` is called, events are dropped.
  [[nodiscard]] static std::shared_ptr<AnalyticsService> shared();
  /// Installs the service once at start-up (tests may install a recorder).
  static void configure(std::shared_ptr<AnalyticsService> service);
};

/// The product's one gate for usage events: sends `name` to the service while the
/// user's "SEND_USAGE_DATA" preference, read afresh each time, is on.
class MeasureAnalytics {
 public:
  static void logEvent(const std::string& name);
};

}  // namespace kavrano
