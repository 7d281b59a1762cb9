#pragma once

#include <filesystem>

#include "arguments.h"
#include "kavrano/core/preference_store.h"

namespace kavrano::cli {

struct Session {
  std::filesystem::path dataDirectory;
  PreferenceStore* store;  // owned by the installed standard store
};

/// Starts like the app does: data directory, preference store as the standard
/// store, locale override, registered defaults. Always gives a store: one that
/// cannot be written refuses writes with its reason; an unreadable file set aside
/// is reported on `err`.
[[nodiscard]] Session startUp(const GlobalOptions& options, std::ostream& err);

}  // namespace kavrano::cli
