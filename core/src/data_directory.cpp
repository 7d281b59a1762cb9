#include "kavrano/core/data_directory.h"

#include <cstdlib>
#include <string>

#include "kavrano/core/local_event_store.h"
#include "kavrano/core/sqlite_preference_store.h"

namespace kavrano {

namespace fs = std::filesystem;

std::filesystem::path defaultDataDirectory() {
  if (const char* dir = std::getenv("KAVRANO_DATA_DIR"); dir && *dir) return dir;
  if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg && *xdg) return std::filesystem::path(xdg) / "kavrano";
  const char* home = std::getenv("HOME");
  return std::filesystem::path(home && *home ? home : ".") / ".local" / "share" / "kavrano";
}

namespace {

// Titles and coordinates are the user's own business, not that of other local users.
void makeOwnerOnly(const fs::path& file) {
  std::error_code ec;
  if (fs::symlink_status(file, ec).type() != fs::file_type::regular) return;
  fs::permissions(file, fs::perms::owner_read | fs::perms::owner_write, fs::perm_options::replace, ec);
}

}  // namespace

std::error_code keepDataDirectoryPrivate(const fs::path& directory) {
  std::error_code ec;
  fs::create_directories(directory, ec);
  if (ec) return ec;
  if (fs::symlink_status(directory, ec).type() == fs::file_type::directory) {
    std::error_code ignored;
    fs::permissions(directory, fs::perms::owner_all, fs::perm_options::replace, ignored);
  }
  const std::string store = SqlitePreferenceStore::kFileName;
  for (const auto& name :
       {store, store + "-wal", store + "-shm", store + "-journal", std::string(LocalEventStore::kFileName)}) {
    makeOwnerOnly(directory / name);
  }
  return {};
}

}  // namespace kavrano
