#pragma once

#include <chrono>
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
/// completed write in it. A read sees every write made before it in this process,
/// through any store object, and every write of another process sharing the file
/// that is older than `kOtherProcessDelay`.
class SqlitePreferenceStore final : public PreferenceStore {
 public:
  /// Name of the database file inside the data directory.
  static constexpr const char* kFileName = "preferences.sqlite3";
  /// How long a value read from the file may be reused: the longest another
  /// process's write stays unseen. Far below anything a person can do in between.
  static constexpr std::chrono::milliseconds kOtherProcessDelay{50};

  /// Opens (creating if needed) the database at `file`. Returns null and fills
  /// `error` when the file cannot be opened as a preference database.
  [[nodiscard]] static std::unique_ptr<SqlitePreferenceStore> open(const std::filesystem::path& file,
                                                                   std::string* error = nullptr);
  ~SqlitePreferenceStore() override;
  SqlitePreferenceStore(const SqlitePreferenceStore&) = delete;
  SqlitePreferenceStore& operator=(const SqlitePreferenceStore&) = delete;

  [[nodiscard]] std::vector<std::pair<std::string, PreferenceValue>> storedEntries() const override;
  [[nodiscard]] std::optional<PreferenceValue> storedValue(const std::string& key) const override;

  /// SQLite's own verdict on the file ("ok" when sound).
  [[nodiscard]] std::string integrityCheck() const;

  /// False when the last write did not reach the database (disk full, read-only
  /// file). Callers are not told per write; this is for diagnostics and tests.
  [[nodiscard]] bool lastWriteSucceeded() const;

 protected:
  void write(const std::string& key, const PreferenceValue& value) override;
  void erase(const std::string& key) override;

 private:
  struct Statements;  // prepared once per connection: the hot reads cost a lookup, not a compile

  explicit SqlitePreferenceStore(sqlite3* db);
  mutable std::mutex mutex_;
  sqlite3* db_;
  std::unique_ptr<Statements> statements_;
  // Units are read for every text the screens draw, and each read of the file takes
  // and drops its locks (a few microseconds): recent reads are answered from memory.
  mutable std::unordered_map<std::string, std::optional<PreferenceValue>> cache_;
  mutable std::uint64_t cacheGeneration_ = 0;
  mutable std::chrono::steady_clock::time_point cacheFilled_{};
  bool lastWriteOk_ = true;
};

}  // namespace kavrano
