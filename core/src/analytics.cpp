#include "kavrano/core/analytics.h"

#include <mutex>

#include "kavrano/core/user_settings.h"

namespace kavrano {
namespace {

std::mutex serviceMutex;
std::shared_ptr<AnalyticsService> configuredService;

}  // namespace

std::shared_ptr<AnalyticsService> AnalyticsService::shared() {
  std::lock_guard lock(serviceMutex);
  return configuredService;
}

void AnalyticsService::configure(std::shared_ptr<AnalyticsService> service) {
  std::lock_guard lock(serviceMutex);
  configuredService = std::move(service);
}

void MeasureAnalytics::logEvent(const std::string& name) {
  if (!UserSettings::shared().sendUsageData()) return;
  if (auto service = AnalyticsService::shared()) service->logEvent(name);
}

}  // namespace kavrano
