#pragma once

#include <filesystem>

#include "arguments.h"
#include "kavrano/core/sqlite_preference_store.h"

namespace kavrano::cli {

struct Session {
  std::filesystem::path dataDirectory;
  SqlitePreferenceStore* store;  // owned by the installed standard store
};

/// Starts like the app does: data directory, preference store as the standard
/// store, locale override, registered defaults. Throws CommandFailure.
[[nodiscard]] Session startUp(const GlobalOptions& options);

}  // namespace kavrano::cli
