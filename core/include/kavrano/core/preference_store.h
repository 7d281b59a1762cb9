#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace kavrano {

using Bytes = std::vector<std::uint8_t>;

/// A stored preference: boolean, signed integer, text or byte string.
using PreferenceValue = std::variant<bool, std::int64_t, std::string, Bytes>;

/// The key-value store that keeps everything across runs. Typed reads fall back to
/// the registered defaults (held in memory for this process only, never written),
/// then to false / 0 / none. Writes are seen at once by every later read in this
/// process and survive it; other processes sharing a store see them within the
/// backend's stated delay. No operation reports an error to its caller.
class PreferenceStore {
 public:
  virtual ~PreferenceStore() = default;

  /// The process-wide store, a stable object that forwards to the installed backend
  /// and holds this run's registered defaults. Until a backend is installed, the
  /// SQLite store in the default data directory is opened on first use.
  [[nodiscard]] static PreferenceStore& standard();
  /// Replaces the backend behind `standard()` (start-up and tests). References to
  /// `standard()` stay valid.
  static void installStandard(std::shared_ptr<PreferenceStore> backend);

  /// Adds entries to this run's defaults; later registrations add to earlier ones.
  void registerDefaults(const std::map<std::string, PreferenceValue>& defaults);

  /// Stored value, else the registered default, else none.
  [[nodiscard]] std::optional<PreferenceValue> objectForKey(const std::string& key) const;
  /// Booleans; integers are true when non-zero; texts "true"/"yes" (any case) or a non-zero number.
  [[nodiscard]] bool boolForKey(const std::string& key) const;
  /// Integers; booleans read as 0/1; texts by their leading integer; else 0.
  [[nodiscard]] std::int64_t integerForKey(const std::string& key) const;
  /// Texts; numbers as their decimal text; none for data or nothing.
  [[nodiscard]] std::optional<std::string> stringForKey(const std::string& key) const;
  /// Byte strings only.
  [[nodiscard]] std::optional<Bytes> dataForKey(const std::string& key) const;

  void setBool(bool value, const std::string& key) { setValue(value, key); }
  void setInteger(std::int64_t value, const std::string& key) { setValue(value, key); }
  void setString(std::string value, const std::string& key) { setValue(std::move(value), key); }
  void setData(Bytes value, const std::string& key) { setValue(std::move(value), key); }
  void setValue(const PreferenceValue& value, const std::string& key) { write(key, value); }
  void removeObject(const std::string& key) { erase(key); }

  /// What is stored (registered defaults excluded), sorted by key.
  [[nodiscard]] virtual std::vector<std::pair<std::string, PreferenceValue>> storedEntries() const = 0;
  /// The stored value alone, ignoring registered defaults.
  [[nodiscard]] virtual std::optional<PreferenceValue> storedValue(const std::string& key) const = 0;

 protected:
  virtual void write(const std::string& key, const PreferenceValue& value) = 0;
  virtual void erase(const std::string& key) = 0;

 private:
  mutable std::mutex defaultsMutex_;
  std::map<std::string, PreferenceValue> registeredDefaults_;
};

}  // namespace kavrano
