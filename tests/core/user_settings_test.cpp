#include "kavrano/core/user_settings.h"

#include <gtest/gtest.h>

#include "kavrano/core/memory_preference_store.h"

namespace kavrano {
namespace {

TEST(UserSettings, UsageDataIsSentUntilTheUserDeclinesAndTheChoiceOutlivesRestarts) {
  MemoryPreferenceStore disk;  // what survives between the simulated runs
  {
    UserSettings settings(disk);
    EXPECT_TRUE(settings.sendUsageData());
    settings.setSendUsageData(false);
  }
  UserSettings nextRun(disk);  // registers true again
  EXPECT_FALSE(nextRun.sendUsageData());
  EXPECT_FALSE(nextRun.achievedSuccess());
  nextRun.userDefaults.setValue(true, nextRun.achievedSuccessKey);  // the feedback form's way of writing
  EXPECT_TRUE(nextRun.achievedSuccess());
}

}  // namespace
}  // namespace kavrano
