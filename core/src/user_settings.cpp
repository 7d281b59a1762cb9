#include "kavrano/core/user_settings.h"

namespace kavrano {

UserSettings& UserSettings::shared() {
  static UserSettings instance(PreferenceStore::standard());
  return instance;
}

UserSettings::UserSettings(PreferenceStore& store) : userDefaults(store) {
  userDefaults.registerDefaults({{sendUsageDataKey, true}});
}

bool RelevantActionCounter::countRelevantAction(PreferenceStore& store, const std::string& key) {
  if (reported_) return false;
  if (!counted_) {
    store.setInteger(store.integerForKey(key) + 1, key);
    counted_ = true;
  }
  if (store.integerForKey(key) != 2) return false;
  reported_ = true;
  return true;
}

bool countRelevantAction(PreferenceStore& store, const std::string& key) {
  static RelevantActionCounter processCounter;
  return processCounter.countRelevantAction(store, key);
}

}  // namespace kavrano
