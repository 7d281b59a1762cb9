#include "kavrano/app/app_delegate.h"

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

bool AppDelegate::didFinishLaunching(const AppOptions& options, QString& error) {
  dataDirectory_ = options.dataDirectory.isEmpty() ? defaultDataDirectory()
                                                   : std::filesystem::path(options.dataDirectory.toStdString());
  const std::error_code ec = keepDataDirectoryPrivate(dataDirectory_);
  if (ec) {
    error = QStringLiteral("Cannot use the data directory %1: %2")
                .arg(QString::fromStdString(dataDirectory_.string()), QString::fromStdString(ec.message()));
    return false;
  }
  std::string storeError;
  std::shared_ptr<PreferenceStore> store =
      SqlitePreferenceStore::open(dataDirectory_ / SqlitePreferenceStore::kFileName, &storeError);
  if (!store) {
    error = QString::fromStdString(storeError);
    return false;
  }
  (void)keepDataDirectoryPrivate(dataDirectory_);  // the -wal and -shm that opening created
  PreferenceStore::installStandard(std::move(store));
  if (!options.locale.isEmpty()) setUserNumberLocaleOverride(options.locale.toStdString());

  events_ = std::make_shared<LocalEventStore>(dataDirectory_);
  AnalyticsService::configure(events_);
  (void)UnitConverter::shared();  // registers the default units now
  return true;
}

}  // namespace kavrano
