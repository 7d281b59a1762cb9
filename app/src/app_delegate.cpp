#include "kavrano/app/app_delegate.h"

#include <cstdio>

#include "kavrano/core/analytics.h"
#include "kavrano/core/data_directory.h"
#include "kavrano/core/local_event_store.h"
#include "kavrano/core/number_text.h"
#include "kavrano/core/sqlite_preference_store.h"
#include "kavrano/core/unit_converter.h"

namespace kavrano {

AppDelegate::AppDelegate() = default;

AppDelegate::~AppDelegate() {
  // Events still queued reach the disk before the process ends.
  AnalyticsService::configure(nullptr);
}

void AppDelegate::didFinishLaunching(const AppOptions& options) {
  dataDirectory_ = options.dataDirectory.isEmpty() ? defaultDataDirectory()
                                                   : std::filesystem::path(options.dataDirectory.toStdString());
  // Always a store: read-only, fresh beside a file set aside, or in memory with a notice.
  OpenedStore opened = openPreferenceStore(dataDirectory_, StoreFallback::keepInMemory);
  if (opened.setAside) {
    std::printf("kavrano: %s could not be read; it was moved to %s and a new one was made\n",
                SqlitePreferenceStore::kFileName, opened.setAside->c_str());
    std::fflush(stdout);
  }
  if (!opened.notice.empty()) {
    std::printf("kavrano: %s\n", opened.notice.c_str());
    std::fflush(stdout);
  }
  storeNotice_ = QString::fromStdString(opened.notice);
  std::shared_ptr<PreferenceStore> store = std::move(opened.store);
  PreferenceStore::installStandard(std::move(store));
  if (!options.locale.isEmpty()) setUserNumberLocaleOverride(options.locale.toStdString());

  events_ = std::make_shared<LocalEventStore>(dataDirectory_);
  AnalyticsService::configure(events_);
  (void)UnitConverter::shared();  // registers the default units now
}

}  // namespace kavrano
