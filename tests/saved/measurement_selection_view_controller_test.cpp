#include "kavrano/saved/measurement_selection_view_controller.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "kavrano/core/memory_preference_store.h"
#include "kavrano/core/persistance_manager.h"
#include "kavrano/core/sqlite_preference_store.h"

namespace kavrano {
namespace {

class MeasurementSelectionViewControllerTest : public ::testing::Test {
 protected:
  void SetUp() override { PreferenceStore::installStandard(store); }

  // Stores one record per title, with ids "0", "1", …, then opens the list.
  std::unique_ptr<MeasurementSelectionViewController> open(const QStringList& titles = {}) {
    for (int i = 0; i < titles.size(); ++i)
      PersistanceManager().appendMeasurement(
          {std::to_string(i), 0.0, {{1.0, 2.0}, {3.0, 4.0}}, titles[i].toStdString(), {2.0, 3.0}});
    auto list = std::make_unique<MeasurementSelectionViewController>();
    list->viewDidLoad();
    return list;
  }
  static std::vector<std::string> storedIds() {
    std::vector<std::string> ids;
    for (const auto& r : PersistanceManager().loadMeasurements()) ids.push_back(r.id);
    return ids;
  }

  std::shared_ptr<MemoryPreferenceStore> store = std::make_shared<MemoryPreferenceStore>();
};

TEST_F(MeasurementSelectionViewControllerTest, EmptyOrUnreadableStoreShowsEmptyState) {
  auto list = open();
  EXPECT_TRUE(list->titles().isEmpty());
  EXPECT_TRUE(list->emptyStateVisible());
  store->setString("not json", "PERSISTED_MEASUREMENTS");
  EXPECT_TRUE(open()->emptyStateVisible());
}

TEST_F(MeasurementSelectionViewControllerTest, DeleteRemovesOnlyThatRecordAndReloads) {
  auto list = open({"Same", "Same", "Other"});
  int changed = 0;
  QObject::connect(list.get(), &MeasurementSelectionViewController::measurementsChanged, [&] { ++changed; });
  list->deleteRow(0);
  EXPECT_EQ(changed, 1);
  EXPECT_EQ(list->titles(), QStringList({"Same", "Other"}));
  EXPECT_EQ(storedIds(), (std::vector<std::string>{"1", "2"}));

  list->deleteRow(2);  // no such row
  list->deleteRow(1);
  EXPECT_EQ(storedIds(), std::vector<std::string>{"1"});
  list->deleteRow(0);
  EXPECT_TRUE(list->emptyStateVisible());
  EXPECT_TRUE(storedIds().empty());
}

// A store that refuses the write (here a file opened read-only) must not lose the row.
TEST_F(MeasurementSelectionViewControllerTest, ADeleteThatCannotBeWrittenLeavesTheRow) {
  const auto file =
      std::filesystem::temp_directory_path() / ("kavrano-saved-test-" + std::to_string(::getpid()) + ".sqlite3");
  {
    auto writable = SqlitePreferenceStore::open(file);
    ASSERT_TRUE(writable) << writable.failure().reason;
    ASSERT_TRUE(PersistanceManager(*writable.value()).appendMeasurement({"0", 0.0, {{1.0, 2.0}}, "Kept", {1.0, 2.0}}));
  }
  auto readOnly = SqlitePreferenceStore::open(file, SqlitePreferenceStore::Access::readOnly);
  ASSERT_TRUE(readOnly) << readOnly.failure().reason;
  PreferenceStore::installStandard(std::move(readOnly).value());
  auto list = open();
  list->deleteRow(0);
  EXPECT_EQ(list->titles(), QStringList({"Kept"}));
  EXPECT_EQ(storedIds(), std::vector<std::string>{"0"});
  PreferenceStore::installStandard(store);
  for (const char* suffix : {"", "-wal", "-shm"}) std::filesystem::remove(file.string() + suffix);
}

}  // namespace
}  // namespace kavrano
