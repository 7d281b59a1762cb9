#include "kavrano/core/data_directory.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <system_error>

#include "kavrano/core/local_event_store.h"
#include "kavrano/core/memory_preference_store.h"
#include "kavrano/core/reference_date.h"
#include "kavrano/core/sqlite_preference_store.h"

namespace kavrano {
namespace {

namespace fs = std::filesystem;

// Moves `file` and the log files beside it to a free "<file>.unreadable.<UTC time>",
// so a new database never picks up the old one's log. Only if `file` is still the
// one found unreadable: another process may have replaced it by a good one since.
std::optional<fs::path> moveAside(const fs::path& file, const struct stat& found) {
  struct stat now {};
  if (::lstat(file.c_str(), &now) != 0 || now.st_dev != found.st_dev || now.st_ino != found.st_ino) {
    return std::nullopt;
  }
  const std::string stem = file.string() + ".unreadable." + compactUtcNow();
  fs::path target = stem;
  std::error_code ec;
  for (int n = 2; fs::exists(fs::symlink_status(target, ec)); ++n) target = stem + "-" + std::to_string(n);
  fs::rename(file, target, ec);
  if (ec) return std::nullopt;
  for (const char* suffix : {"-wal", "-shm"}) {
    const fs::path beside = file.string() + suffix;
    if (fs::exists(fs::symlink_status(beside, ec))) fs::rename(beside, target.string() + suffix, ec);
  }
  return target;
}

OpenedStore fallbackStore(StoreFallback fallback, const Failure& why) {
  if (fallback == StoreFallback::refuseWrites) return {std::make_shared<MemoryPreferenceStore>(why), {}, {}};
  return {std::make_shared<MemoryPreferenceStore>(),
          why.reason + ". Nothing you save or change in this session will be kept.", std::nullopt};
}

}  // namespace

fs::path defaultDataDirectory() {
  if (const char* dir = std::getenv("KAVRANO_DATA_DIR"); dir && *dir) return dir;
  if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg && *xdg) return fs::path(xdg) / "kavrano";
  const char* home = std::getenv("HOME");
  return fs::path(home && *home ? home : ".") / ".local" / "share" / "kavrano";
}

namespace {

OpenedStore openStoreIn(const fs::path& directory, StoreFallback fallback) {
  std::error_code ec;
  fs::create_directories(directory, ec);
  if (!fs::is_directory(directory, ec)) {
    // Nowhere to keep anything, and nothing to lose: reads are empty, writes say why.
    return {
        std::make_shared<MemoryPreferenceStore>(Failure{"The data folder " + directory.string() + " cannot be used (" +
                                                            (ec ? ec.message() : std::string("not a folder")) + ")",
                                                        Failure::Kind::readOnly}),
        {},
        {}};
  }
  const fs::path file = directory / SqlitePreferenceStore::kFileName;
  using Access = SqlitePreferenceStore::Access;
  auto opened = SqlitePreferenceStore::open(file, Access::readWrite);
  if (!opened && opened.failure().kind == Failure::Kind::readOnly) {
    auto reading = SqlitePreferenceStore::open(file, Access::readOnly);
    if (reading) return {std::move(reading).value(), {}, {}};
    // A file we may not even read is as good as damaged to us.
    const bool unreadable = ::access(file.c_str(), F_OK) == 0 && ::access(file.c_str(), R_OK) != 0;
    if (!unreadable && reading.failure().kind != Failure::Kind::unreadableFile) {
      // Nothing to read, and nowhere to write: an empty store that says why it keeps nothing.
      if (::access(file.c_str(), F_OK) != 0) return {std::make_shared<MemoryPreferenceStore>(opened.failure()), {}, {}};
      return fallbackStore(fallback, reading.failure());
    }
    opened = Failure{reading.failure().reason, Failure::Kind::unreadableFile};
  }
  if (opened) return {std::move(opened).value(), {}, {}};
  if (opened.failure().kind != Failure::Kind::unreadableFile) return fallbackStore(fallback, opened.failure());

  struct stat found {};
  std::optional<fs::path> aside;
  if (::lstat(file.c_str(), &found) == 0) aside = moveAside(file, found);
  if (!aside) {
    return fallbackStore(fallback, {opened.failure().reason + " and cannot be moved aside", Failure::Kind::readOnly});
  }
  auto fresh = SqlitePreferenceStore::open(file, Access::readWrite);
  if (!fresh) return fallbackStore(fallback, fresh.failure());
  return {std::move(fresh).value(), {}, aside};
}

}  // namespace

OpenedStore openPreferenceStore(const fs::path& directory, StoreFallback fallback) {
  (void)keepDataDirectoryPrivate(directory);
  OpenedStore opened = openStoreIn(directory, fallback);
  (void)keepDataDirectoryPrivate(directory);  // the -wal and -shm that opening created
  return opened;
}

namespace {

// Titles and coordinates are the user's own business, not that of other local users.
void makeOwnerOnly(const fs::path& file) {
  std::error_code ec;
  if (fs::symlink_status(file, ec).type() != fs::file_type::regular) return;
  fs::permissions(file, fs::perms::owner_exec | fs::perms::group_all | fs::perms::others_all, fs::perm_options::remove,
                  ec);
}

}  // namespace

std::error_code keepDataDirectoryPrivate(const fs::path& directory) {
  std::error_code ec;
  fs::create_directories(directory, ec);
  if (ec) return ec;
  if (fs::symlink_status(directory, ec).type() == fs::file_type::directory) {
    std::error_code ignored;
    // Only taken away from others: a folder its owner made read-only stays read-only.
    fs::permissions(directory, fs::perms::group_all | fs::perms::others_all, fs::perm_options::remove, ignored);
  }
  const std::string store = SqlitePreferenceStore::kFileName;
  for (const auto& name :
       {store, store + "-wal", store + "-shm", store + "-journal", std::string(LocalEventStore::kFileName)}) {
    makeOwnerOnly(directory / name);
  }
  return {};
}

}  // namespace kavrano
