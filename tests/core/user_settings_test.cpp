#include "kavrano/core/user_settings.h"

#include <gtest/gtest.h>

#include "kavrano/core/memory_preference_store.h"

namespace kavrano {
namespace {

TEST(UserSettings, FirstStartAndAChoiceThatOutlivesRestarts) {
  MemoryPreferenceStore disk;  // what survives between the simulated runs
  {
    UserSettings settings(disk);
    EXPECT_TRUE(settings.sendUsageData());
    EXPECT_FALSE(settings.achievedSuccess());
    EXPECT_FALSE(settings.didShowIntro());
    EXPECT_FALSE(settings.didRequest());
    settings.setSendUsageData(false);
  }
  UserSettings nextRun(disk);  // registers true again
  EXPECT_FALSE(nextRun.sendUsageData());
  nextRun.userDefaults.setValue(true, nextRun.achievedSuccessKey);  // the feedback form's way of writing
  EXPECT_TRUE(nextRun.achievedSuccess());
}

TEST(RelevantActionCounter, CountsOncePerProcessAndAnswersTrueOnlyWhereTheCountReachesTwo) {
  MemoryPreferenceStore store;
  const std::string key = kRelevantActionCountKey;

  RelevantActionCounter first;
  for (int i = 0; i < 10; ++i) EXPECT_FALSE(first.countRelevantAction(store, key));
  EXPECT_EQ(store.integerForKey(key), 1) << "ten calls in one process count once";

  RelevantActionCounter second;
  EXPECT_TRUE(second.countRelevantAction(store, key));
  EXPECT_FALSE(second.countRelevantAction(store, key)) << "a process reports once though the count is still two";
  EXPECT_EQ(store.integerForKey(key), 2);

  for (int process = 3; process <= 5; ++process) {
    RelevantActionCounter later;
    EXPECT_FALSE(later.countRelevantAction(store, key)) << process;
    EXPECT_EQ(store.integerForKey(key), process);
  }
}

}  // namespace
}  // namespace kavrano
