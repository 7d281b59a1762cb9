#include "startup.h"

#include <memory>
#include <string>
#include <system_error>
#include <utility>

#include "kavrano/core/data_directory.h"
#include "kavrano/core/number_text.h"
#include "kavrano/core/unit_converter.h"
#include "kavrano/core/user_settings.h"

namespace kavrano::cli {
namespace {

std::filesystem::path createDataDirectory(const GlobalOptions& options) {
  auto directory = options.dataDirectory.value_or(defaultDataDirectory());
  const std::error_code error = keepDataDirectoryPrivate(directory);
  if (error || !std::filesystem::is_directory(directory)) {
    const auto reason = error ? error.message() : std::string("not a directory");
    throw CommandFailure("cannot create the data directory " + quotedArgument(directory.string()) + ": " + reason);
  }
  return directory;
}

}  // namespace

Session startUp(const GlobalOptions& options) {
  const auto directory = createDataDirectory(options);
  const auto file = directory / SqlitePreferenceStore::kFileName;
  std::string error;
  auto store = SqlitePreferenceStore::open(file, &error);
  if (!store) {
    throw CommandFailure("cannot open the preferences: " + (error.empty() ? quotedArgument(file.string()) : error));
  }
  (void)keepDataDirectoryPrivate(directory);  // the -wal and -shm that opening created
  SqlitePreferenceStore* const opened = store.get();
  PreferenceStore::installStandard(std::move(store));
  if (options.locale) setUserNumberLocaleOverride(*options.locale);
  // Constructing the shared instances registers this run's defaults.
  (void)UnitConverter::shared();
  (void)UserSettings::shared();
  return {directory, opened};
}

}  // namespace kavrano::cli
