#pragma once

#include <string>

#include "kavrano/core/preference_store.h"

namespace kavrano {

/// The product's boolean flags, each a direct read or write of the store on every
/// access (nothing is cached).
class UserSettings {
 public:
  /// The process-wide instance on the standard store, made on first use.
  [[nodiscard]] static UserSettings& shared();

  /// Registers "SEND_USAGE_DATA" → true with `store`.
  explicit UserSettings(PreferenceStore& store);

  PreferenceStore& userDefaults;
  const std::string sendUsageDataKey = "SEND_USAGE_DATA";
  const std::string heicFormatEnabledKey = "USE_HEIC_FORMAT";
  const std::string achievedSuccessKey = "ACHIEVED_SUCCESS";
  const std::string didShowIntroKey = "DID_SHOW_INTRO";
  const std::string didAddStandardModelKey = "DID_ADD_STANDARD_MODEL";
  const std::string didRequestKey = "DID_REQUEST";

  [[nodiscard]] bool sendUsageData() const { return userDefaults.boolForKey(sendUsageDataKey); }
  void setSendUsageData(bool on) { userDefaults.setBool(on, sendUsageDataKey); }
  [[nodiscard]] bool achievedSuccess() const { return userDefaults.boolForKey(achievedSuccessKey); }
  void setAchievedSuccess(bool on) { userDefaults.setBool(on, achievedSuccessKey); }
  [[nodiscard]] bool didShowIntro() const { return userDefaults.boolForKey(didShowIntroKey); }
  void setDidShowIntro(bool on) { userDefaults.setBool(on, didShowIntroKey); }
  [[nodiscard]] bool didRequest() const { return userDefaults.boolForKey(didRequestKey); }
  void setDidRequest(bool on) { userDefaults.setBool(on, didRequestKey); }
};

/// Key of the relevant-action counter used by the rating policy.
inline constexpr const char* kRelevantActionCountKey = "RELEVANT_ACTION_COUNT_VAR3";

/// Counts at most one relevant action per process and answers true at most once:
/// in the process whose count reaches exactly 2. One instance stands for one process.
class RelevantActionCounter {
 public:
  [[nodiscard]] bool countRelevantAction(PreferenceStore& store, const std::string& key);

 private:
  bool counted_ = false;
  bool reported_ = false;
};

/// The process-wide counter (main thread only).
[[nodiscard]] bool countRelevantAction(PreferenceStore& store, const std::string& key);

}  // namespace kavrano
