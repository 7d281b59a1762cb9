#include "kavrano/core/memory_preference_store.h"

namespace kavrano {

std::vector<std::pair<std::string, PreferenceValue>> MemoryPreferenceStore::storedEntries() const {
  std::lock_guard lock(mutex_);
  return {values_.begin(), values_.end()};
}

std::optional<PreferenceValue> MemoryPreferenceStore::storedValue(const std::string& key) const {
  std::lock_guard lock(mutex_);
  if (auto it = values_.find(key); it != values_.end()) return it->second;
  return std::nullopt;
}

void MemoryPreferenceStore::write(const std::string& key, const PreferenceValue& value) {
  std::lock_guard lock(mutex_);
  values_.insert_or_assign(key, value);
}

void MemoryPreferenceStore::erase(const std::string& key) {
  std::lock_guard lock(mutex_);
  values_.erase(key);
}

}  // namespace kavrano
