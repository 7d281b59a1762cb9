#include "kavrano/core/persistance_manager.h"

#include <gtest/gtest.h>

#include <limits>

#include "kavrano/core/memory_preference_store.h"

namespace kavrano {
namespace {

PersistedMeasurement record(std::string id, std::string title = "t") {
  return {std::move(id), 730987200, {{1, 2}, {3, 4}}, std::move(title), {2, 3}};
}

using Ids = std::vector<std::string>;

Ids ids(const std::vector<PersistedMeasurement>& list) {
  Ids out;
  for (const auto& m : list) out.push_back(m.id);
  return out;
}

Bytes bytes(std::string_view text) { return {text.begin(), text.end()}; }

std::vector<std::string> setAsideKeys(const PreferenceStore& store) {
  std::vector<std::string> keys;
  for (const auto& [key, value] : store.storedEntries())
    if (key.starts_with(PersistanceManager::kSetAsidePrefix)) keys.push_back(key);
  return keys;
}

class PersistanceManagerTest : public ::testing::Test {
 protected:
  MemoryPreferenceStore store;
  PersistanceManager manager{store};
};

TEST_F(PersistanceManagerTest, KeepsTheOrderOfSavingAndDeletesById) {
  PersistanceManager other(store);  // managers share the stored list
  EXPECT_TRUE(manager.loadMeasurements().empty());
  manager.appendMeasurement(record("A"));
  EXPECT_EQ(ids(other.loadMeasurements()), (Ids{"A"}));
  manager.appendMeasurement(record("B"));
  other.appendMeasurement(record("C"));
  manager.appendMeasurement(record("A", "same id again"));
  EXPECT_EQ(ids(manager.loadMeasurements()), (Ids{"A", "B", "C", "A"}));

  manager.deleteMeasurement(record("B", "another title"));  // only the id counts
  EXPECT_EQ(ids(manager.loadMeasurements()), (Ids{"A", "C", "A"}));
  other.deleteMeasurement(record("A"));  // every record with that id
  EXPECT_EQ(ids(manager.loadMeasurements()), (Ids{"C"}));

  const auto before = store.dataForKey("PERSISTED_MEASUREMENTS");
  manager.deleteMeasurement(record("nobody"));
  EXPECT_EQ(store.dataForKey("PERSISTED_MEASUREMENTS"), before);

  manager.deleteMeasurement(record("C"));
  EXPECT_EQ(store.dataForKey("PERSISTED_MEASUREMENTS"), bytes("[]"));
  EXPECT_TRUE(manager.loadMeasurements().empty());
}

TEST_F(PersistanceManagerTest, AnUnencodableRecordLeavesTheListAsItWas) {
  manager.appendMeasurement(record("A"));
  const auto before = store.dataForKey("PERSISTED_MEASUREMENTS");
  auto broken = record("B");
  broken.center.latitude = std::numeric_limits<double>::quiet_NaN();
  manager.appendMeasurement(broken);
  EXPECT_EQ(store.dataForKey("PERSISTED_MEASUREMENTS"), before);
  EXPECT_EQ(ids(manager.loadMeasurements()), (Ids{"A"}));
}

TEST_F(PersistanceManagerTest, UnreadableDataIsSetAsideBeforeItIsReplaced) {
  const Bytes unreadable = bytes("[{\"id\":\"A\",\"date\":1,\"annotations\":[],\"title\":\"lost?\"}]");
  store.setData(unreadable, "PERSISTED_MEASUREMENTS");
  EXPECT_TRUE(manager.loadMeasurements().empty());
  EXPECT_TRUE(setAsideKeys(store).empty()) << "reading alone changes nothing";

  manager.appendMeasurement(record("B"));
  EXPECT_EQ(ids(manager.loadMeasurements()), (Ids{"B"}));
  const auto keys = setAsideKeys(store);
  ASSERT_EQ(keys.size(), 1u);
  EXPECT_EQ(store.dataForKey(keys[0]), unreadable) << "the bytes are kept exactly";

  manager.deleteMeasurement(record("B"));
  EXPECT_EQ(setAsideKeys(store).size(), 1u) << "a readable list is not set aside";
}

TEST_F(PersistanceManagerTest, AValueOfAnotherTypeReadsAsEmptyAndIsSetAsideToo) {
  store.setString("not a list", "PERSISTED_MEASUREMENTS");
  EXPECT_TRUE(manager.loadMeasurements().empty());
  manager.deleteMeasurement(record("X"));
  const auto keys = setAsideKeys(store);
  ASSERT_EQ(keys.size(), 1u);
  EXPECT_EQ(store.stringForKey(keys[0]), "not a list");
  EXPECT_EQ(store.dataForKey("PERSISTED_MEASUREMENTS"), bytes("[]"));

  store.setData(bytes("{garbage"), "PERSISTED_MEASUREMENTS");
  manager.appendMeasurement(record("Y"));
  EXPECT_EQ(setAsideKeys(store).size(), 2u) << "a second set-aside never overwrites the first";
}

}  // namespace
}  // namespace kavrano
