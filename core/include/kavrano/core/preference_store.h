#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "kavrano/core/result.h"

namespace kavrano {

using Bytes = std::vector<std::uint8_t>;

/// A stored preference: boolean, signed integer, text or byte string.
using PreferenceValue = std::variant<bool, std::int64_t, std::string, Bytes>;

/// One read-modify-write on a store, holding every other writer off, in this process
/// and in others, from its first read to its end. Reads see the store as it is now,
/// never an answer kept from before.
class PreferenceTransaction {
 public:
  virtual ~PreferenceTransaction() = default;
  /// Whether anything at all is stored under `key`, readable or not.
  [[nodiscard]] virtual Result<bool> contains(const std::string& key) = 0;
  /// The byte string under `key`, valid until the next call on this transaction;
  /// none when the key holds nothing, anything that is not a byte string, or more
  /// than `largest` bytes (refused before it is read into memory).
  [[nodiscard]] virtual Result<std::optional<std::string_view>> data(const std::string& key, std::size_t largest) = 0;
  /// Copies whatever is stored under `from`, kind and bytes as they are (also a row
  /// this program did not write), to the free key `to`, and checks that the copy
  /// reads back the same.
  [[nodiscard]] virtual Result<void> copy(const std::string& from, const std::string& to) = 0;
  /// Stores `bytes` as a byte string; they are not copied before they are written.
  [[nodiscard]] virtual Result<void> setData(const std::string& key, std::string_view bytes) = 0;
};

/// The key-value store that keeps everything across runs. Typed reads fall back to
/// the registered defaults (held in memory for this process only, never written),
/// then to false / 0 / none. Writes are seen at once by every later read, in this
/// process and in others sharing the store, and survive it. A write that did not
/// happen says why; a read that fails reads as nothing.
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

  Result<void> setBool(bool value, const std::string& key) { return setValue(value, key); }
  Result<void> setInteger(std::int64_t value, const std::string& key) { return setValue(value, key); }
  Result<void> setString(std::string value, const std::string& key) { return setValue(std::move(value), key); }
  Result<void> setData(Bytes value, const std::string& key) { return setValue(std::move(value), key); }
  Result<void> setValue(const PreferenceValue& value, const std::string& key) { return write(key, value); }
  Result<void> removeObject(const std::string& key) { return erase(key); }

  /// Runs `body` as one transaction: all of its writes land, or none when it or the
  /// store fails; no other writer changes the store in between.
  [[nodiscard]] virtual Result<void> transaction(const std::function<Result<void>(PreferenceTransaction&)>& body) = 0;
  /// Calls `use` once with the byte string stored under `key` (registered defaults
  /// aside), valid during the call only, or with none; also none above `largest` bytes.
  virtual void readStoredData(const std::string& key, std::size_t largest,
                              const std::function<void(std::optional<std::string_view>)>& use) const;

  /// What is stored (registered defaults excluded), sorted by key.
  [[nodiscard]] virtual std::vector<std::pair<std::string, PreferenceValue>> storedEntries() const = 0;
  /// The stored value alone, ignoring registered defaults.
  [[nodiscard]] virtual std::optional<PreferenceValue> storedValue(const std::string& key) const = 0;

 protected:
  virtual Result<void> write(const std::string& key, const PreferenceValue& value) = 0;
  virtual Result<void> erase(const std::string& key) = 0;

 private:
  mutable std::mutex defaultsMutex_;
  std::map<std::string, PreferenceValue> registeredDefaults_;
};

}  // namespace kavrano
