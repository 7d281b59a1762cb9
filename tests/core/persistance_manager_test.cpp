#include "kavrano/core/persistance_manager.h"

#include <gtest/gtest.h>

#include <limits>
#include <set>

#include "kavrano/core/memory_preference_store.h"

namespace kavrano {
namespace {

using Ids = std::vector<std::string>;
const std::string kKey = "PERSISTED_MEASUREMENTS";

PersistedMeasurement record(std::string id, std::string title = "t") {
  return {std::move(id), 730987200, {{1, 2}, {3, 4}}, std::move(title), {2, 3}};
}

Bytes bytes(std::string_view text) { return {text.begin(), text.end()}; }

class PersistanceManagerTest : public ::testing::Test {
 protected:
  Ids ids(const PersistanceManager* reader = nullptr) const {
    Ids out;
    for (const auto& m : (reader ? reader : &manager)->loadMeasurements()) out.push_back(m.id);
    return out;
  }
  std::multiset<PreferenceValue> setAside() const {
    std::multiset<PreferenceValue> values;
    for (const auto& [key, value] : store.storedEntries())
      if (key.starts_with(PersistanceManager::kSetAsidePrefix)) values.insert(value);
    return values;
  }

  MemoryPreferenceStore store;
  PersistanceManager manager{store};
};

TEST_F(PersistanceManagerTest, KeepsTheOrderOfSavingAndDeletesById) {
  PersistanceManager other(store);  // managers share the stored list
  EXPECT_TRUE(ids().empty());
  manager.appendMeasurement(record("A"));
  EXPECT_EQ(ids(&other), (Ids{"A"}));
  manager.appendMeasurement(record("B"));
  other.appendMeasurement(record("C"));
  manager.appendMeasurement(record("A", "same id again"));
  EXPECT_EQ(ids(), (Ids{"A", "B", "C", "A"}));

  manager.deleteMeasurement(record("B", "another title"));  // only the id counts
  EXPECT_EQ(ids(), (Ids{"A", "C", "A"}));
  other.deleteMeasurement(record("A"));  // every record with that id
  EXPECT_EQ(ids(), (Ids{"C"}));

  auto broken = record("B");  // cannot be encoded: the list stays as it was
  broken.center.latitude = std::numeric_limits<double>::quiet_NaN();
  const auto before = store.dataForKey(kKey);
  manager.appendMeasurement(broken);
  manager.deleteMeasurement(record("nobody"));
  EXPECT_EQ(store.dataForKey(kKey), before);

  manager.deleteMeasurement(record("C"));
  EXPECT_EQ(store.dataForKey(kKey), bytes("[]"));
  EXPECT_TRUE(ids().empty());
}

TEST_F(PersistanceManagerTest, UnreadableDataIsSetAsideBeforeItIsReplaced) {
  const Bytes unreadable = bytes("[{\"id\":\"A\",\"date\":1,\"annotations\":[],\"title\":\"lost?\"}]");
  store.setData(unreadable, kKey);
  EXPECT_TRUE(ids().empty());
  EXPECT_TRUE(setAside().empty()) << "reading alone changes nothing";
  manager.appendMeasurement(record("B"));
  EXPECT_EQ(ids(), (Ids{"B"}));
  EXPECT_EQ(setAside(), (std::multiset<PreferenceValue>{unreadable})) << "the bytes are kept exactly";
  manager.deleteMeasurement(record("B"));
  EXPECT_EQ(setAside().size(), 1u) << "a readable list is not set aside";

  // A value of another type reads as empty and is set aside too.
  store.setString("not a list", kKey);
  EXPECT_TRUE(ids().empty());
  manager.deleteMeasurement(record("X"));
  EXPECT_EQ(store.dataForKey(kKey), bytes("[]"));
  store.setData(bytes("{garbage"), kKey);
  manager.appendMeasurement(record("Y"));
  // A later set-aside never overwrites an earlier one.
  EXPECT_EQ(setAside(), (std::multiset<PreferenceValue>{unreadable, std::string("not a list"), bytes("{garbage")}));
}

}  // namespace
}  // namespace kavrano
