#pragma once

#include <filesystem>
#include <system_error>

namespace kavrano {

/// Where the user's data lives: $KAVRANO_DATA_DIR, else $XDG_DATA_HOME/kavrano,
/// else ~/.local/share/kavrano. Not created here.
[[nodiscard]] std::filesystem::path defaultDataDirectory();

/// Creates `directory` if it is missing and keeps it and Kavrano's files in it
/// (the preference store with its -wal, -shm and -journal, the events file) to
/// their owner, whatever the umask: the directory 0700, the files 0600. Looser
/// modes left by an earlier version are tightened. Call it before opening the
/// store and again once it is open, since SQLite creates the -wal and -shm files
/// while opening. Symbolic links are left alone. Only a directory that cannot be created is an error;
/// a mode that cannot be changed (another owner's folder) is left as it is.
[[nodiscard]] std::error_code keepDataDirectoryPrivate(const std::filesystem::path& directory);

}  // namespace kavrano
