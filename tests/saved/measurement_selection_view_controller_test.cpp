#include "kavrano/saved/measurement_selection_view_controller.h"

#include <gtest/gtest.h>

#include "fake_ui.h"
#include "kavrano/core/memory_preference_store.h"
#include "kavrano/core/persistance_manager.h"
#include "kavrano/measure/measurement_selection_delegate.h"

namespace kavrano {
namespace {

class RecordingDelegate final : public QObject, public MeasurementSelectionDelegate {
  Q_OBJECT
  Q_INTERFACES(kavrano::MeasurementSelectionDelegate)
 public:
  void didSelectMeasurement(const PersistedMeasurement& measurement) override { chosen.push_back(measurement); }
  std::vector<PersistedMeasurement> chosen;
};

PersistedMeasurement record(std::string id, std::string title) {
  return {std::move(id), 0.0, {{1.0, 2.0}, {3.0, 4.0}}, std::move(title), {2.0, 3.0}};
}

class MeasurementSelectionViewControllerTest : public ::testing::Test {
 protected:
  void SetUp() override { PreferenceStore::installStandard(store); }

  void save(std::initializer_list<PersistedMeasurement> records) {
    PersistanceManager manager;
    for (const auto& r : records) manager.appendMeasurement(r);
  }
  std::unique_ptr<MeasurementSelectionViewController> open() {
    auto list = std::make_unique<MeasurementSelectionViewController>();
    list->setDelegate(&delegate);
    list->viewDidLoad();
    return list;
  }

  std::shared_ptr<MemoryPreferenceStore> store = std::make_shared<MemoryPreferenceStore>();
  RecordingDelegate delegate;
};

TEST_F(MeasurementSelectionViewControllerTest, ListsTitlesAloneInStoredOrder) {
  save({record("A1", "A"), record("B1", "B"), record("C1", ""), record("D1", "A")});
  auto list = open();
  EXPECT_EQ(list->titles(), QStringList({"A", "B", "", "A"}));
  EXPECT_FALSE(list->emptyStateVisible());
  EXPECT_EQ(list->title(), "My Measurements");
}

TEST_F(MeasurementSelectionViewControllerTest, EmptyOrUnreadableStoreShowsEmptyState) {
  auto list = open();
  EXPECT_TRUE(list->titles().isEmpty());
  EXPECT_TRUE(list->emptyStateVisible());

  store->setString("not json", "PERSISTED_MEASUREMENTS");
  list = open();
  EXPECT_TRUE(list->emptyStateVisible());
}

TEST_F(MeasurementSelectionViewControllerTest, SelectionHandsTheRowsRecordToTheDelegate) {
  save({record("A1", "A"), record("B1", "B")});
  auto list = open();
  list->selectRow(1);
  ASSERT_EQ(delegate.chosen.size(), 1u);
  EXPECT_EQ(delegate.chosen[0].id, "B1");
  EXPECT_EQ(delegate.chosen[0].annotations.size(), 2u);

  list->selectRow(2);  // past the end
  list->setDelegate(nullptr);
  list->selectRow(0);
  EXPECT_EQ(delegate.chosen.size(), 1u);
}

TEST_F(MeasurementSelectionViewControllerTest, DeleteRemovesOnlyThatRecordAndReloads) {
  save({record("A1", "Same"), record("B1", "Same"), record("C1", "Other")});
  auto list = open();
  int changed = 0;
  QObject::connect(list.get(), &MeasurementSelectionViewController::measurementsChanged, [&] { ++changed; });
  list->deleteRow(0);
  EXPECT_EQ(changed, 1);
  EXPECT_EQ(list->titles(), QStringList({"Same", "Other"}));
  ASSERT_EQ(PersistanceManager().loadMeasurements().size(), 2u);
  EXPECT_EQ(PersistanceManager().loadMeasurements()[0].id, "B1");

  list->deleteRow(5);  // no such row
  list->deleteRow(1);
  list->deleteRow(0);
  EXPECT_TRUE(list->emptyStateVisible());
  EXPECT_TRUE(PersistanceManager().loadMeasurements().empty());
}

TEST_F(MeasurementSelectionViewControllerTest, ShowsTheBarWhenItAppears) {
  Journal journal;
  FakeNavigationController nav{journal};
  auto list = open();
  list->viewWillAppear(true);  // outside a stack: nothing to show
  nav.barHidden = true;
  list->setNavigationController(&nav);
  list->viewWillAppear(true);
  EXPECT_FALSE(nav.barHidden);
  EXPECT_EQ(journal, QStringList({"barHidden 0 1"}));
}

}  // namespace
}  // namespace kavrano

#include "measurement_selection_view_controller_test.moc"
