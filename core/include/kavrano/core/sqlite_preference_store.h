#pragma once

#include <filesystem>
#include <memory>
#include <mutex>
#include <string>

#include "kavrano/core/preference_store.h"

struct sqlite3;

namespace kavrano {

/// The product's store: one SQLite database file. Every write is its own
/// transaction in WAL mode with full synchronisation, so a write that returned is
/// on disk and a process killed at any instant leaves the file openable with every
/// completed write in it. Reads go to the file each time, so processes sharing it
/// see each other's writes.
class SqlitePreferenceStore final : public PreferenceStore {
 public:
  /// Name of the database file inside the data directory.
  static constexpr const char* kFileName = "preferences.sqlite3";

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
  explicit SqlitePreferenceStore(sqlite3* db);
  mutable std::mutex mutex_;
  sqlite3* db_;
  bool lastWriteOk_ = true;
};

}  // namespace kavrano
