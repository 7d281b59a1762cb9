#pragma once

#include <map>
#include <mutex>

#include "kavrano/core/preference_store.h"

namespace kavrano {

/// A store that lives in memory only: for tests and for runs that must leave no trace.
class MemoryPreferenceStore final : public PreferenceStore {
 public:
  [[nodiscard]] std::vector<std::pair<std::string, PreferenceValue>> storedEntries() const override;
  [[nodiscard]] std::optional<PreferenceValue> storedValue(const std::string& key) const override;

 protected:
  void write(const std::string& key, const PreferenceValue& value) override;
  void erase(const std::string& key) override;

 private:
  mutable std::mutex mutex_;
  std::map<std::string, PreferenceValue> values_;
};

}  // namespace kavrano
