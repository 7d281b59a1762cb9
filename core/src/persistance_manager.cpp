#include "kavrano/core/persistance_manager.h"

#include <algorithm>
#include <chrono>
#include <ctime>

namespace kavrano {
namespace {

std::string_view asText(const Bytes& bytes) { return {reinterpret_cast<const char*>(bytes.data()), bytes.size()}; }

// A key no earlier set-aside uses: the UTC second, then a counter if needed.
std::string freshSetAsideKey(const PreferenceStore& store) {
  const std::time_t now = std::chrono::system_clock::to_time_t(std::chrono::system_clock::now());
  std::tm utc{};
  gmtime_r(&now, &utc);
  char stamp[32];
  std::strftime(stamp, sizeof stamp, "%Y%m%dT%H%M%SZ", &utc);
  std::string key = std::string(PersistanceManager::kSetAsidePrefix) + stamp;
  for (int n = 2; store.storedValue(key); ++n)
    key = std::string(PersistanceManager::kSetAsidePrefix) + stamp + "-" + std::to_string(n);
  return key;
}

}  // namespace

PersistanceManager::PersistanceManager() : PersistanceManager(PreferenceStore::standard()) {}
PersistanceManager::PersistanceManager(PreferenceStore& store) : userDefaults(store) {}

std::vector<PersistedMeasurement> PersistanceManager::loadMeasurements() const {
  const auto data = userDefaults.dataForKey(storageKey);
  if (!data) return {};
  auto list = decodeMeasurements(asText(*data));
  return list ? std::move(*list) : std::vector<PersistedMeasurement>{};
}

std::vector<PersistedMeasurement> PersistanceManager::loadForRewrite() {
  const auto stored = userDefaults.storedValue(storageKey);
  if (!stored) return {};
  if (const auto* bytes = std::get_if<Bytes>(&*stored)) {
    if (auto list = decodeMeasurements(asText(*bytes))) return std::move(*list);
  }
  // Whatever is there cannot be read as a list; keep it where it can be recovered
  // before the rewrite replaces it.
  userDefaults.setValue(*stored, freshSetAsideKey(userDefaults));
  return {};
}

void PersistanceManager::appendMeasurement(const PersistedMeasurement& record) {
  auto list = loadForRewrite();
  list.push_back(record);
  store(list);
}

void PersistanceManager::deleteMeasurement(const PersistedMeasurement& record) {
  auto list = loadForRewrite();
  std::erase_if(list, [&](const PersistedMeasurement& m) { return m.id == record.id; });
  store(list);
}

void PersistanceManager::store(const std::vector<PersistedMeasurement>& list) {
  const auto json = encodeMeasurements(list);
  if (!json) return;  // the previous value stays
  userDefaults.setData(Bytes(json->begin(), json->end()), storageKey);
}

}  // namespace kavrano
