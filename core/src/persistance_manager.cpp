#include "kavrano/core/persistance_manager.h"

#include <algorithm>

#include "kavrano/core/reference_date.h"

namespace kavrano {
namespace {

// A key no earlier set-aside uses: the UTC second, then a counter if needed.
Result<std::string> freshSetAsideKey(PreferenceTransaction& transaction) {
  const std::string stem = PersistanceManager::kSetAsidePrefix + compactUtcNow();
  std::string key = stem;
  for (int n = 2;; ++n) {
    const auto taken = transaction.contains(key);
    if (!taken) return taken.failure();
    if (!taken.value()) return key;
    key = stem + "-" + std::to_string(n);
  }
}

}  // namespace

PersistanceManager::PersistanceManager() : PersistanceManager(PreferenceStore::standard()) {}
PersistanceManager::PersistanceManager(PreferenceStore& store) : userDefaults(store) {}

std::vector<PersistedMeasurement> PersistanceManager::loadMeasurements() const {
  std::vector<PersistedMeasurement> list;
  // Decoded where the store holds the bytes: the list may run to tens of megabytes.
  userDefaults.readStoredData(storageKey, kMaxMeasurementListBytes, [&](std::optional<std::string_view> json) {
    if (!json) return;
    if (auto decoded = decodeMeasurements(*json)) list = std::move(*decoded);
  });
  return list;
}

Result<void> PersistanceManager::appendMeasurement(const PersistedMeasurement& record) {
  return change([&](std::vector<PersistedMeasurement>& list) { list.push_back(record); });
}

Result<void> PersistanceManager::deleteMeasurement(const PersistedMeasurement& record) {
  return change([&](std::vector<PersistedMeasurement>& list) {
    std::erase_if(list, [&](const PersistedMeasurement& m) { return m.id == record.id; });
  });
}

Result<void> PersistanceManager::change(const std::function<void(std::vector<PersistedMeasurement>&)>& edit) {
  return userDefaults.transaction([&](PreferenceTransaction& transaction) -> Result<void> {
    std::vector<PersistedMeasurement> list;
    bool readable = false;
    {
      const auto stored = transaction.data(storageKey, kMaxMeasurementListBytes);
      if (!stored) return stored.failure();
      if (stored.value()) {
        if (auto decoded = decodeMeasurements(*stored.value())) {
          list = std::move(*decoded);
          readable = true;
        }
      }
    }
    if (!readable) {
      const auto present = transaction.contains(storageKey);
      if (!present) return present.failure();
      if (present.value()) {
        // Whatever is there cannot be read as a list: keep it where it can be
        // recovered, or replace nothing.
        const auto key = freshSetAsideKey(transaction);
        if (!key) return key.failure();
        if (auto copied = transaction.copy(storageKey, key.value()); !copied) {
          return Failure{"The unreadable saved list could not be set aside: " + copied.failure().reason,
                         copied.failure().kind};
        }
      }
    }
    edit(list);
    if (!encodeMeasurements(list, encoded_)) {
      return Failure{"A point or the date is not a finite number, or a title is not valid text"};
    }
    if (encoded_.size() > kMaxMeasurementListBytes) {
      return Failure{"The saved measurements have reached their size limit", Failure::Kind::tooLarge};
    }
    return transaction.setData(storageKey, encoded_);
  });
}

}  // namespace kavrano
