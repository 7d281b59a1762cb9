#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>

#include "kavrano/core/preference_store.h"

struct sqlite3;

namespace kavrano {

/// The product's store: one SQLite database file. Every write is its own
/// transaction in WAL mode with full synchronisation, so a write that returned is
/// on disk and a process killed at any instant leaves the file openable with every
/// completed write in it. A read sees every write that returned before it, in this
/// process or another sharing the file. The write-ahead log is checkpointed every
/// `kCheckpointBytes` and cut back to `kLogSizeLimit` afterwards.
class SqlitePreferenceStore final : public PreferenceStore {
 public:
  /// Name of the database file inside the data directory.
  static constexpr const char* kFileName = "preferences.sqlite3";
  /// How much the log may gather before it is copied into the database.
  static constexpr std::int64_t kCheckpointBytes = std::int64_t{1} << 20;
  /// The size a longer log is cut back to once checkpointed.
  static constexpr std::int64_t kLogSizeLimit = std::int64_t{4} << 20;

  enum class Access { readWrite, readOnly };

  /// Opens (creating if needed, for reading and writing) the database at `file`. A
  /// file that is not a sound database of ours is refused untouched, with the kind
  /// `unreadableFile`; one that cannot be written here, with `readOnly`.
  [[nodiscard]] static Result<std::unique_ptr<SqlitePreferenceStore>> open(const std::filesystem::path& file,
                                                                           Access access = Access::readWrite);
  ~SqlitePreferenceStore() override;
  SqlitePreferenceStore(const SqlitePreferenceStore&) = delete;
  SqlitePreferenceStore& operator=(const SqlitePreferenceStore&) = delete;

  [[nodiscard]] std::vector<std::pair<std::string, PreferenceValue>> storedEntries() const override;
  [[nodiscard]] std::optional<PreferenceValue> storedValue(const std::string& key) const override;
  [[nodiscard]] Result<void> transaction(const std::function<Result<void>(PreferenceTransaction&)>& body) override;
  void readStoredData(const std::string& key, std::size_t largest,
                      const std::function<void(std::optional<std::string_view>)>& use) const override;

  /// SQLite's own verdict on the file ("ok" when sound).
  [[nodiscard]] std::string integrityCheck() const;
  [[nodiscard]] bool readOnly() const { return readOnly_; }

 protected:
  Result<void> write(const std::string& key, const PreferenceValue& value) override;
  Result<void> erase(const std::string& key) override;

 private:
  struct Statements;  // prepared once per connection: the hot reads cost a lookup, not a compile
  class Transaction;

  SqlitePreferenceStore(sqlite3* db, bool readOnly);
  // The byte string under `key` in readBuffer_, valid until the next read; the mutex held.
  [[nodiscard]] Result<std::optional<std::string_view>> readData(const std::string& key, std::size_t largest) const;
  mutable std::mutex mutex_;
  sqlite3* db_;
  bool readOnly_;
  std::unique_ptr<Statements> statements_;
  // Units are read for every text the screens draw: answers are kept while no other
  // connection has committed since. The log index's header, in memory shared by every
  // connection, tells that without a system call; SQLite's data version, the fallback,
  // costs a read transaction's locks (about 2 µs).
  using LogIndexHeader = std::array<unsigned char, 48>;
  [[nodiscard]] bool cacheStillValid() const;
  mutable std::unordered_map<std::string, std::optional<PreferenceValue>> cache_;
  mutable std::int64_t cacheVersion_ = -1;  // -1: nothing kept is known to be current
  mutable LogIndexHeader cachedHeader_{};
  const volatile unsigned char* logIndex_ = nullptr;
  // Kept from read to read: the saved list runs to tens of megabytes, and memory
  // taken afresh each time comes as fresh pages.
  mutable std::unique_ptr<char[]> readBuffer_;
  mutable std::size_t readCapacity_ = 0;
};

}  // namespace kavrano
