#pragma once

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <system_error>

#include "kavrano/core/preference_store.h"

namespace kavrano {

/// Where the user's data lives: $KAVRANO_DATA_DIR, else $XDG_DATA_HOME/kavrano,
/// else ~/.local/share/kavrano. Not created here.
[[nodiscard]] std::filesystem::path defaultDataDirectory();

/// What a run does when no file can hold its preferences.
enum class StoreFallback {
  keepInMemory,  ///< the app: values live for this run, and the user is told once
  refuseWrites,  ///< the command line: reads are empty, every write fails and says why
};

/// The store a run uses, and what the user should hear about it.
struct OpenedStore {
  std::shared_ptr<PreferenceStore> store;
  /// Said once when nothing saved in this run will be kept; empty otherwise.
  std::string notice;
  /// Where an unreadable file was moved to, when one was.
  std::optional<std::filesystem::path> setAside;
};

/// Opens the preference store in `directory`, creating both if needed. It always
/// gives a store: a read-only folder or file is opened for reading; a folder that
/// cannot be made or used gives an empty store that refuses writes; a file that is
/// not a readable database of ours is renamed to
/// "preferences.sqlite3.unreadable.<UTC time>" (never deleted) and a new one made;
/// when that cannot be done, `fallback` decides.
[[nodiscard]] OpenedStore openPreferenceStore(const std::filesystem::path& directory, StoreFallback fallback);

/// Creates `directory` if it is missing and keeps it and Kavrano's files in it
/// (the preference store with its -wal, -shm and -journal, the events file) to
/// their owner, whatever the umask: the directory 0700, the files 0600. Looser
/// modes left by an earlier version are tightened. Call it before opening the
/// store and again once it is open, since SQLite creates the -wal and -shm files
/// while opening. Symbolic links are left alone. Only a directory that cannot be created is an error;
/// a mode that cannot be changed (another owner's folder) is left as it is.
[[nodiscard]] std::error_code keepDataDirectoryPrivate(const std::filesystem::path& directory);

}  // namespace kavrano
