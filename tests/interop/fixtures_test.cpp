// Files as other tools write them, after each format's published examples: KML
// with altitudes, nested folders, prefixes and foreign extensions; GPX 1.1 from a
// handheld with its extensions, and GPX 1.0; GeoJSON with holes, altitudes and
// foreign members.
#include <cmath>
#include <fstream>
#include <iterator>
#include <optional>

#include "gtest/gtest.h"
#include "kavrano/interop/measurement_import.h"

namespace {

using namespace kavrano;
using namespace kavrano::interop;

std::string fixture(const std::string& name) {
  std::ifstream in(std::string(KAVRANO_FIXTURES) + "/" + name, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

struct Expected {
  std::string name;
  std::optional<double> date;  // seconds since 2001-01-01 UTC
  std::size_t vertices;
  Coordinate first;
};

struct FixtureCase {
  const char* file;
  ImportResult (*read)(std::string_view);
  std::vector<Expected> geometries;
  std::size_t warnings;
};

void PrintTo(const FixtureCase& fixture, std::ostream* out) { *out << fixture.file; }

class WrittenElsewhere : public ::testing::TestWithParam<FixtureCase> {};

TEST_P(WrittenElsewhere, ReadsEveryGeometryWithItsNameDateAndVertices) {
  const auto& expected = GetParam();
  const auto result = expected.read(fixture(expected.file));
  ASSERT_FALSE(result.error) << result.error->line << ": " << result.error->message;
  EXPECT_EQ(result.warnings.size(), expected.warnings);
  for (const auto& warning : result.warnings) {
    EXPECT_GT(warning.line, 0u) << warning.message;
  }
  ASSERT_EQ(result.geometries.size(), expected.geometries.size());
  for (std::size_t i = 0; i < expected.geometries.size(); ++i) {
    const auto& read = result.geometries[i];
    const auto& want = expected.geometries[i];
    SCOPED_TRACE(want.name);
    EXPECT_EQ(read.name, want.name);
    EXPECT_EQ(read.date, want.date);
    ASSERT_EQ(read.vertices.size(), want.vertices);
    EXPECT_EQ(read.vertices[0].latitude, want.first.latitude);
    EXPECT_EQ(read.vertices[0].longitude, want.first.longitude);
    EXPECT_EQ(std::signbit(read.vertices[0].longitude), std::signbit(want.first.longitude));
  }
}

INSTANTIATE_TEST_SUITE_P(
    Files, WrittenElsewhere,
    ::testing::Values(
        // The hole, the open path kept as an area and the gx:Track placemark give a
        // warning each; the ring's repeated first vertex and the altitudes go.
        FixtureCase{"globe_folders.kml",
                    readKml,
                    {{"Parcel 12 <north>", -109276185.0, 3, {38.87253259892824, -77.05788457660967}},
                     {"Fence", 730944000.0, 3, {36.10677870477137, -112.0814237830345}},
                     {"Well", std::nullopt, 1, {37.42228990140251, -122.0822035425683}}},
                    3},
        FixtureCase{
            "prefixed.kml",
            readKml,
            {{"Two fields", 730944000.0, 3, {46.2, 6.1}}, {"Default namespace inside", std::nullopt, 3, {47, 8}}},
            1},
        // The waypoints make one measurement named after the file; the two segments
        // join into a closed track, which is an area; the empty track is skipped.
        FixtureCase{"device.gpx",
                    readGpx,
                    {{"Boundary walk", 736506000.0, 2, {47.644548, -122.326897}},
                     {"Planned line", 736416000.0, 2, {47.64, -122.33}},
                     {"Field edge", 736510530.5, 3, {47.644548, -122.326897}}},
                    1},
        // GPX 1.0 keeps the file's time on the root; the open walk becomes an area.
        FixtureCase{"old_device.gpx",
                    readGpx,
                    {{"", 65793600.0, 2, {-33.8568, 151.2153}}, {"Walk home", 65793600.0, 3, {-33.86, 151.21}}},
                    1},
        // Holes, the second polygon, the unreadable date, the feature without a
        // geometry and the open path kept as an area: five warnings. "title" wins
        // over "name"; a name that is no string is none.
        FixtureCase{"holes_and_foreign.geojson",
                    readGeoJson,
                    {{"Reisfeld", 730987200.0, 4, {0, 100}},
                     {"Islands", std::nullopt, 4, {2, 102}},
                     {"", std::nullopt, 3, {0, 102}},
                     {"", std::nullopt, 1, {-1e-7, -0.0}}},
                    5}));

// The XML Schema time forms KML's <when> and GPX's <time> allow.
TEST(TimeStamps, ReadInEveryFormTheSchemasAllow) {
  const struct {
    const char* when;
    std::optional<double> seconds;
  } cases[] = {
      {"2001", 0.0},
      {"2001-02", 31 * 86400.0},
      {"2000-12-31T23:59:59Z", -1.0},
      {"2001-01-01T00:00:00.125Z", 0.125},
      {"2001-01-01T01:00:00+01:00", 0.0},
      {"2000-12-31T19:00:00-05:00", 0.0},
      {"2001-01-01T00:00:00", 0.0},  // no zone: taken as UTC
      {"2024-02-29", 730857600.0},
      {"2023-02-29", std::nullopt},
      {"2024-13-01", std::nullopt},
      {"2024-03-01T24:00:00Z", std::nullopt},
      {"2024-03-01 12:00:00", std::nullopt},
      {"yesterday", std::nullopt},
      {"", std::nullopt},
  };
  for (const auto& c : cases) {
    const std::string kml = std::string("<kml><Placemark><TimeStamp><when>") + c.when +
                            "</when></TimeStamp><Point><coordinates>0,0</coordinates></Point></Placemark></kml>";
    const auto result = readKml(kml);
    if (c.seconds) {
      ASSERT_FALSE(result.error) << c.when << ": " << result.error->message;
      EXPECT_EQ(result.geometries.at(0).date, c.seconds) << c.when;
    } else {
      ASSERT_TRUE(result.error) << c.when;
      EXPECT_NE(result.error->message.find("TimeStamp"), std::string::npos) << result.error->message;
    }
  }
}

}  // namespace
