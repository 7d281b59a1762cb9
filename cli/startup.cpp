#include "startup.h"

#include <memory>
#include <ostream>
#include <utility>

#include "kavrano/core/data_directory.h"
#include "kavrano/core/number_text.h"
#include "kavrano/core/sqlite_preference_store.h"
#include "kavrano/core/unit_converter.h"
#include "kavrano/core/user_settings.h"

namespace kavrano::cli {

Session startUp(const GlobalOptions& options, std::ostream& err) {
  const auto directory = options.dataDirectory.value_or(defaultDataDirectory());
  auto opened = openPreferenceStore(directory, StoreFallback::refuseWrites);
  if (opened.setAside) {
    err << "kavrano-cli: " << SqlitePreferenceStore::kFileName << " could not be read; it was moved to "
        << quotedArgument(opened.setAside->string()) << " and a new one was made\n";
  }
  PreferenceStore* const store = opened.store.get();
  PreferenceStore::installStandard(std::move(opened.store));
  if (options.locale) setUserNumberLocaleOverride(*options.locale);
  // Constructing the shared instances registers this run's defaults.
  (void)UnitConverter::shared();
  (void)UserSettings::shared();
  return {directory, store};
}

}  // namespace kavrano::cli
