#include "kavrano/core/preference_store.h"

#include <gtest/gtest.h>

#include "kavrano/core/memory_preference_store.h"
#include "kavrano/core/user_settings.h"

namespace kavrano {
namespace {

TEST(PreferenceStore, EmptyKeysRegisteredDefaultsAndTypedReadsOfOtherKinds) {
  MemoryPreferenceStore store;
  EXPECT_FALSE(store.boolForKey("K"));
  EXPECT_EQ(store.integerForKey("K"), 0);
  EXPECT_EQ(store.stringForKey("K"), std::nullopt);
  EXPECT_EQ(store.dataForKey("K"), std::nullopt);
  EXPECT_EQ(store.objectForKey("K"), std::nullopt);

  store.registerDefaults({{"SEND_USAGE_DATA", true}});
  store.registerDefaults({{"LENGTH_UNIT", std::string("m")}});
  EXPECT_TRUE(store.boolForKey("SEND_USAGE_DATA"));
  EXPECT_EQ(store.stringForKey("LENGTH_UNIT"), "m") << "a second registration keeps the first";
  EXPECT_TRUE(store.storedEntries().empty()) << "defaults are never written";
  store.setBool(false, "SEND_USAGE_DATA");
  store.registerDefaults({{"SEND_USAGE_DATA", true}});  // as at the next start
  EXPECT_FALSE(store.boolForKey("SEND_USAGE_DATA"));
  store.removeObject("SEND_USAGE_DATA");
  EXPECT_TRUE(store.boolForKey("SEND_USAGE_DATA"));

  store.setValue(true, "viaValue");
  store.setBool(true, "viaBool");
  EXPECT_EQ(store.storedValue("viaValue"), store.storedValue("viaBool"));
  EXPECT_EQ(store.integerForKey("viaBool"), 1);
  EXPECT_EQ(store.stringForKey("viaBool"), "1");

  store.setInteger(-42, "int");
  EXPECT_TRUE(store.boolForKey("int"));
  EXPECT_EQ(store.stringForKey("int"), "-42");
  EXPECT_EQ(store.dataForKey("int"), std::nullopt);

  store.setString("YES", "text");
  EXPECT_TRUE(store.boolForKey("text"));
  store.setString("12 apples", "text");
  EXPECT_EQ(store.integerForKey("text"), 12);

  store.setData({0, 1, 2}, "data");
  EXPECT_EQ(store.stringForKey("data"), std::nullopt);
  EXPECT_FALSE(store.boolForKey("data"));
  EXPECT_EQ(store.dataForKey("data"), (Bytes{0, 1, 2}));
}

TEST(PreferenceStore, StandardStoreOutlivesASwapOfItsBackend) {
  PreferenceStore& standard = PreferenceStore::standard();
  auto first = std::make_shared<MemoryPreferenceStore>();
  PreferenceStore::installStandard(first);
  standard.registerDefaults({{"SWAP_TEST_DEFAULT", std::int64_t{7}}});
  standard.setInteger(1, "SWAP_TEST");
  EXPECT_EQ(first->integerForKey("SWAP_TEST"), 1);

  auto second = std::make_shared<MemoryPreferenceStore>();
  PreferenceStore::installStandard(second);
  EXPECT_EQ(&PreferenceStore::standard(), &standard);
  EXPECT_EQ(standard.integerForKey("SWAP_TEST"), 0);
  EXPECT_EQ(standard.integerForKey("SWAP_TEST_DEFAULT"), 7) << "defaults belong to the run, not the backend";
  EXPECT_TRUE(second->storedEntries().empty());
}

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
