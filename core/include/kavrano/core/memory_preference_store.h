#pragma once

#include <map>
#include <mutex>
#include <optional>

#include "kavrano/core/preference_store.h"

namespace kavrano {

/// A store that lives in memory only: for tests, for runs that must leave no trace,
/// and for a run whose data directory cannot be used.
class MemoryPreferenceStore final : public PreferenceStore {
 public:
  MemoryPreferenceStore() = default;
  /// A store that reads as empty and refuses every write with `refusal`: where
  /// pretending to keep a value would be a lie.
  explicit MemoryPreferenceStore(Failure refusal) : refusal_(std::move(refusal)) {}

  [[nodiscard]] std::vector<std::pair<std::string, PreferenceValue>> storedEntries() const override;
  [[nodiscard]] std::optional<PreferenceValue> storedValue(const std::string& key) const override;
  [[nodiscard]] Result<void> transaction(const std::function<Result<void>(PreferenceTransaction&)>& body) override;

 protected:
  Result<void> write(const std::string& key, const PreferenceValue& value) override;
  Result<void> erase(const std::string& key) override;

 private:
  class Transaction;

  mutable std::mutex mutex_;
  std::map<std::string, PreferenceValue> values_;
  std::optional<Failure> refusal_;
};

}  // namespace kavrano
