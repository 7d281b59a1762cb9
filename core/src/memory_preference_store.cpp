#include "kavrano/core/memory_preference_store.h"

namespace kavrano {

// Writes wait in `pending` until the body has succeeded, so a failed body leaves
// the store as it was.
class MemoryPreferenceStore::Transaction final : public PreferenceTransaction {
 public:
  explicit Transaction(const std::map<std::string, PreferenceValue>& values) : values_(values) {}

  Result<bool> contains(const std::string& key) override { return find(key) != nullptr; }
  Result<std::optional<std::string_view>> data(const std::string& key, std::size_t largest) override {
    const auto* bytes = find(key) ? std::get_if<Bytes>(find(key)) : nullptr;
    if (!bytes || bytes->size() > largest) return std::optional<std::string_view>{};
    return std::optional<std::string_view>(
        std::string_view(reinterpret_cast<const char*>(bytes->data()), bytes->size()));
  }
  Result<void> copy(const std::string& from, const std::string& to) override {
    const auto* value = find(from);
    if (!value || find(to)) return Failure{"Nothing to copy, or the copy's place is taken"};
    pending[to] = *value;
    return {};
  }
  Result<void> setData(const std::string& key, std::string_view bytes) override {
    pending[key] = Bytes(bytes.begin(), bytes.end());
    return {};
  }

  std::map<std::string, PreferenceValue> pending;

 private:
  const PreferenceValue* find(const std::string& key) const {
    if (auto it = pending.find(key); it != pending.end()) return &it->second;
    if (auto it = values_.find(key); it != values_.end()) return &it->second;
    return nullptr;
  }
  const std::map<std::string, PreferenceValue>& values_;
};

std::vector<std::pair<std::string, PreferenceValue>> MemoryPreferenceStore::storedEntries() const {
  std::lock_guard lock(mutex_);
  return {values_.begin(), values_.end()};
}

std::optional<PreferenceValue> MemoryPreferenceStore::storedValue(const std::string& key) const {
  std::lock_guard lock(mutex_);
  if (auto it = values_.find(key); it != values_.end()) return it->second;
  return std::nullopt;
}

Result<void> MemoryPreferenceStore::transaction(const std::function<Result<void>(PreferenceTransaction&)>& body) {
  std::lock_guard lock(mutex_);
  if (refusal_) return *refusal_;
  Transaction transaction(values_);
  auto result = body(transaction);
  if (!result) return result;
  for (auto& [key, value] : transaction.pending) values_.insert_or_assign(key, std::move(value));
  return {};
}

Result<void> MemoryPreferenceStore::write(const std::string& key, const PreferenceValue& value) {
  std::lock_guard lock(mutex_);
  if (refusal_) return *refusal_;
  values_.insert_or_assign(key, value);
  return {};
}

Result<void> MemoryPreferenceStore::erase(const std::string& key) {
  std::lock_guard lock(mutex_);
  if (refusal_) return *refusal_;
  values_.erase(key);
  return {};
}

}  // namespace kavrano
