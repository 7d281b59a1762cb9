// What other programs make of our files: GDAL's ogr2ogr reads each export with the
// same features, vertices and titles; spreadsheets get RFC 4180 text they cannot run.
#include <stdlib.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <nlohmann/json.hpp>

#include "gtest/gtest.h"
#include "kavrano/interop/measurement_export.h"
#include "kavrano/interop/measurement_import.h"

namespace {

namespace fs = std::filesystem;
using namespace kavrano;
using namespace kavrano::interop;
using nlohmann::json;

PersistedMeasurement measurement(std::string title, std::vector<PersistedAnnotation> vertices) {
  static int counter = 0;
  PersistedMeasurement record;
  record.id = "5F0C2A4E-9B1D-4C3A-8E2F-7A6B5C4D3E" + std::to_string(10 + counter++);
  record.title = std::move(title);
  record.date = 730987200.5;
  record.annotations = std::move(vertices);
  return record;
}

const std::vector<PersistedMeasurement> kMeasurements{
    measurement("Grundstück \"Süd\", Teil 2", {{47.1, 8.1}, {47.1, 8.2}, {47.2, 8.2}, {47.2, 8.1}}),
    measurement("clockwise <field> & co", {{0, 0}, {0.001, 0}, {0.001, 0.001}, {0, 0.001}}),
    measurement("line\nover two rows", {{10, 20}, {11, 21}}),
    measurement("pin", {{-33.8568, 151.2153}}),
    measurement("ring of fifty",
                [] {
                  std::vector<PersistedAnnotation> ring;
                  for (int i = 0; i < 50; ++i)
                    ring.push_back({46.0 + 0.01 * std::sin(i * 0.1257), 6.0 + 0.01 * std::cos(i * 0.1257)});
                  return ring;
                }()),
};

std::size_t positionsIn(const json& coordinates) {
  if (coordinates.is_array() && !coordinates.empty() && coordinates[0].is_number()) return 1;
  std::size_t count = 0;
  for (const auto& part : coordinates) count += positionsIn(part);
  return count;
}

class Ogr2Ogr : public ::testing::Test {
 protected:
  void SetUp() override {
    if (std::system("command -v ogr2ogr >/dev/null 2>&1") != 0) {
      GTEST_SKIP() << "ogr2ogr (Debian gdal-bin) is not installed; scripts/install-deps installs it";
    }
    char pattern[] = "/tmp/kavrano-ogr-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    root_ = pattern;
  }
  void TearDown() override {
    if (!root_.empty()) fs::remove_all(root_);
  }

  // The features ogr2ogr finds in `text` written as `name`, as GeoJSON.
  json read(const std::string& name, const std::string& text, const std::string& options = "") {
    std::ofstream(root_ / name, std::ios::binary) << text;
    const auto out = root_ / (name + ".json");
    const std::string command = "ogr2ogr -f GeoJSON '" + out.string() + "' '" + (root_ / name).string() + "' " +
                                options + " 2>'" + (root_ / "stderr").string() + "'";
    EXPECT_EQ(std::system(command.c_str()), 0) << command;
    std::ifstream in(out);
    return json::parse(in, nullptr, false);
  }

  fs::path root_;
};

TEST_F(Ogr2Ogr, ReadsEveryExportWithTheSameFeaturesVerticesAndTitles) {
  const struct {
    const char* file;
    std::string text;
    const char* options;
    const char* titleField;
  } exports[] = {
      {"all.geojson", writeGeoJson(kMeasurements), "", "title"},
      {"all.kml", writeKml(kMeasurements), "", "Name"},
      {"all.gpx", writeGpx(kMeasurements), "tracks", "name"},
  };
  for (const auto& file : exports) {
    SCOPED_TRACE(file.file);
    const auto collection = read(file.file, file.text, file.options);
    ASSERT_TRUE(collection.contains("features")) << collection.dump();
    const auto& features = collection["features"];
    ASSERT_EQ(features.size(), kMeasurements.size());
    for (std::size_t i = 0; i < features.size(); ++i) {
      const std::size_t vertices = kMeasurements[i].annotations.size();
      // A ring is written closed: its first vertex once more at the end.
      EXPECT_EQ(positionsIn(features[i]["geometry"]["coordinates"]), vertices >= 3 ? vertices + 1 : vertices);
      EXPECT_EQ(features[i]["properties"][file.titleField], kMeasurements[i].title);
    }
  }

  // CSV: a feature per vertex, every field as written, quoted line ends included.
  const auto rows = read("all.csv", writeCsv(kMeasurements))["features"];
  std::size_t row = 0;
  for (const auto& record : kMeasurements) {
    for (std::size_t v = 0; v < record.annotations.size(); ++v, ++row) {
      ASSERT_LT(row, rows.size());
      const auto& fields = rows[row]["properties"];
      EXPECT_EQ(fields["id"], record.id);
      EXPECT_EQ(fields["title"], record.title);
      EXPECT_EQ(fields["index"], std::to_string(v + 1));
      EXPECT_EQ(std::stod(fields["latitude"].get<std::string>()), record.annotations[v].latitude);
    }
  }
  EXPECT_EQ(rows.size(), row);
}

TEST(CsvExport, QuotesWhereNeededAndDisarmsFormulas) {
  const std::vector<PersistedMeasurement> list{measurement("=HYPERLINK(\"http://x\")", {{1.5, -0.0}}),
                                               measurement("plain", {{0.1, 0.2}}),
                                               measurement("a,b\r\nc", {{-90, 180}})};
  EXPECT_EQ(writeCsv(list), "id,title,index,latitude,longitude\r\n" + list[0].id +
                                ",\"'=HYPERLINK(\"\"http://x\"\")\",1,1.5,-0\r\n" + list[1].id +
                                ",plain,1,0.1,0.2\r\n" + list[2].id + ",\"a,b\r\nc\",1,-90,180\r\n");
}

// Titles typed or imported may hold what XML cannot: the file stays well-formed.
TEST(XmlExport, StaysWellFormedWhateverTheTitleHolds) {
  const std::vector<PersistedMeasurement> list{measurement("bell\x07 and \xFF byte \xEF\xBF\xBF", {{1, 2}})};
  for (const auto& text : {writeKml(list), writeGpx(list)}) {
    const auto result =
        text.starts_with("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<kml") ? readKml(text) : readGpx(text);
    ASSERT_FALSE(result.error) << result.error->message;
    EXPECT_EQ(result.geometries.at(0).name, "bell\xEF\xBF\xBD and \xEF\xBF\xBD byte \xEF\xBF\xBD");
  }
}

// A file named .json from a save dialog is for GIS programs, not a copy of the store.
TEST(ExportFormat, FollowsTheFileNamesExtensionInAnyCase) {
  EXPECT_EQ(exportFormatForFile("a/plot.geojson"), ExportFormat::geojson);
  EXPECT_EQ(exportFormatForFile("plot.JSON"), ExportFormat::geojson);
  EXPECT_EQ(exportFormatForFile("plot.Kml"), ExportFormat::kml);
  EXPECT_EQ(exportFormatForFile("plot.gpx"), ExportFormat::gpx);
  EXPECT_EQ(exportFormatForFile("plot.csv"), ExportFormat::csv);
  EXPECT_EQ(exportFormatForFile("plot.kml.txt"), std::nullopt);
  EXPECT_EQ(exportFormatForFile("kml"), std::nullopt);
}

}  // namespace
