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

Failure notEncodable() { return {"A point or the date is not a finite number, or the title is not valid text"}; }

// The stored list's text when it reads, each record shown to `visit`; none when
// nothing is stored or, after whatever is there has been copied aside, when it does
// not read. The text is valid until the next call on `transaction`.
Result<std::optional<std::string_view>> readableList(PreferenceTransaction& transaction, const std::string& key,
                                                     const RecordVisitor& visit) {
  const auto stored = transaction.data(key, kMaxMeasurementListBytes);
  if (!stored) return stored.failure();
  if (stored.value() && scanMeasurements(*stored.value(), visit)) return stored.value();
  const auto present = transaction.contains(key);
  if (!present) return present.failure();
  if (present.value()) {
    // It cannot be read as a list: keep it where it can be recovered, or replace nothing.
    const auto aside = freshSetAsideKey(transaction);
    if (!aside) return aside.failure();
    if (auto copied = transaction.copy(key, aside.value()); !copied) {
      return Failure{"The unreadable saved list could not be set aside: " + copied.failure().reason,
                     copied.failure().kind};
    }
  }
  return std::optional<std::string_view>{};
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
  return appendMeasurements({&record, 1});
}

Result<void> PersistanceManager::appendMeasurements(std::span<const PersistedMeasurement> records) {
  return userDefaults.transaction([&](PreferenceTransaction& transaction) -> Result<void> {
    std::size_t count = 0;
    const auto stored =
        readableList(transaction, storageKey, [&](RecordText, const PersistedMeasurement&) { ++count; });
    if (!stored) return stored.failure();
    encoded_.clear();
    if (const auto& list = stored.value()) {
      // Only whitespace can follow the closing bracket of a list that reads. Room for
      // later records too: a buffer of the list's size taken anew is fresh pages.
      if (encoded_.capacity() < list->size() + 1024) encoded_.reserve(list->size() + list->size() / 8 + 1024);
      encoded_.append(list->substr(0, list->rfind(']')));
    } else {
      encoded_ += '[';
    }
    for (const auto& record : records) {
      if (count++ > 0) encoded_ += ',';
      if (!encodeMeasurement(record, encoded_)) return notEncodable();
    }
    encoded_ += ']';
    return store(transaction);
  });
}

Result<void> PersistanceManager::deleteMeasurement(const PersistedMeasurement& record) {
  return userDefaults.transaction([&](PreferenceTransaction& transaction) -> Result<void> {
    std::vector<RecordText> kept;
    const auto stored = readableList(transaction, storageKey, [&](RecordText at, const PersistedMeasurement& m) {
      if (m.id != record.id) kept.push_back(at);
    });
    if (!stored) return stored.failure();
    encoded_.clear();
    encoded_ += '[';
    if (const auto& list = stored.value()) {
      encoded_.reserve(list->size() + 2);
      for (std::size_t i = 0; i < kept.size(); ++i) {
        if (i > 0) encoded_ += ',';
        encoded_.append(list->substr(kept[i].begin, kept[i].end - kept[i].begin));
      }
    }
    encoded_ += ']';
    return store(transaction);
  });
}

Result<void> PersistanceManager::store(PreferenceTransaction& transaction) {
  if (encoded_.size() > kMaxMeasurementListBytes) {
    return Failure{"The saved measurements have reached their size limit", Failure::Kind::tooLarge};
  }
  return transaction.setData(storageKey, encoded_);
}

}  // namespace kavrano
