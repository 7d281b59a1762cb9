#include "kavrano/saved/measurement_selection_view_controller.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "fake_ui.h"
#include "kavrano/core/memory_preference_store.h"
#include "kavrano/core/persistance_manager.h"
#include "kavrano/core/sqlite_preference_store.h"

namespace kavrano {
namespace {

// Keeps what it was asked to write and answers with `failure`.
class FakeExporter final : public MeasurementFileExporter {
 public:
  std::optional<std::string> exportFile(const PersistedMeasurement& measurement,
                                        const std::filesystem::path& file) override {
    written.emplace_back(measurement.id, file);
    return failure;
  }
  std::vector<std::pair<std::string, std::filesystem::path>> written;
  std::optional<std::string> failure;
};

class MeasurementSelectionViewControllerTest : public ::testing::Test {
 protected:
  void SetUp() override { PreferenceStore::installStandard(store); }

  // Stores one record per title, with ids "0", "1", …, then opens the list.
  std::unique_ptr<MeasurementSelectionViewController> open(const QStringList& titles = {}) {
    for (int i = 0; i < titles.size(); ++i)
      PersistanceManager().appendMeasurement(
          {std::to_string(i), 0.0, {{1.0, 2.0}, {3.0, 4.0}}, titles[i].toStdString(), {2.0, 3.0}});
    auto list = std::make_unique<MeasurementSelectionViewController>(exporter, presenter);
    list->viewDidLoad();
    return list;
  }
  static std::vector<std::string> storedIds() {
    std::vector<std::string> ids;
    for (const auto& r : PersistanceManager().loadMeasurements()) ids.push_back(r.id);
    return ids;
  }

  std::shared_ptr<MemoryPreferenceStore> store = std::make_shared<MemoryPreferenceStore>();
  FakeExporter exporter;
  Journal journal;
  FakeScreenPresenter presenter{journal};
};

// What the dialog hands back is not trusted: a row that is gone, a bare path, a
// place that is not on this device.
TEST_F(MeasurementSelectionViewControllerTest, ExportWritesOnlyToALocalFileForARowThatIsThere) {
  auto list = open({"A"});
  list->exportRow(1, QUrl::fromLocalFile("/tmp/none.kml"));  // no such row
  list->exportRow(0, QUrl(QStringLiteral("/tmp/bare path.gpx")));
  list->exportRow(0, QUrl(QStringLiteral("https://example.org/plot.kml")));
  ASSERT_EQ(exporter.written.size(), 1u);
  EXPECT_EQ(exporter.written[0], std::make_pair(std::string("0"), std::filesystem::path("/tmp/bare path.gpx")));
  ASSERT_EQ(presenter.alerts.size(), 1u);
  EXPECT_EQ(presenter.alerts[0]->title, "Not exported");
  EXPECT_TRUE(presenter.alerts[0]->message.startsWith("plot.kml "));
}

TEST_F(MeasurementSelectionViewControllerTest, SuggestedExportFileIsTheTitleMadeSafeAsGeoJson) {
  auto list = open({"North/south field: *plot*", "", "..hidden"});
  EXPECT_EQ(list->suggestedExportFile(0).fileName(), "North-south field- -plot-.geojson");
  EXPECT_EQ(list->suggestedExportFile(1).fileName(), "Measurement.geojson");
  EXPECT_EQ(list->suggestedExportFile(2).fileName(), "hidden.geojson");
  EXPECT_TRUE(list->suggestedExportFile(0).isLocalFile());
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
