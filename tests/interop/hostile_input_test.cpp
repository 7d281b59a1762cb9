// Files made to hurt: every one gives a clean error naming its line and what was
// wrong, and nothing of it is imported.
#include <cmath>
#include <fstream>
#include <iterator>
#include <random>

#include "gtest/gtest.h"
#include "kavrano/interop/measurement_export.h"
#include "kavrano/interop/measurement_import.h"

namespace {

using namespace kavrano;
using namespace kavrano::interop;

using Reader = ImportResult (*)(std::string_view);

std::string repeated(const std::string& piece, std::size_t times) {
  std::string text;
  text.reserve(piece.size() * times);
  for (std::size_t i = 0; i < times; ++i) text += piece;
  return text;
}

std::string positions(std::size_t count) {
  std::string list = "[0,0]";
  for (std::size_t i = 1; i < count; ++i) list += ",[" + std::to_string(i % 170) + ".5,1]";
  return list;
}

std::string kmlTuples(std::size_t count) { return repeated("1,2 ", count); }

const std::string kBillionLaughs = R"(<?xml version="1.0"?>
<!DOCTYPE kml [
 <!ENTITY lol "lol">
 <!ENTITY lol1 "&lol;&lol;&lol;&lol;&lol;&lol;&lol;&lol;&lol;&lol;">
 <!ENTITY lol2 "&lol1;&lol1;&lol1;&lol1;&lol1;&lol1;&lol1;&lol1;&lol1;&lol1;">
 <!ENTITY lol9 "&lol2;&lol2;&lol2;&lol2;&lol2;&lol2;&lol2;&lol2;&lol2;&lol2;">
]>
<kml xmlns="http://www.opengis.net/kml/2.2"><Placemark><name>&lol9;</name>
<Point><coordinates>0,0</coordinates></Point></Placemark></kml>)";

struct Hostile {
  const char* what;
  Reader read;
  std::string bytes;
  std::size_t line;
  const char* message;  // a part of the error
};

void PrintTo(const Hostile& hostile, std::ostream* out) { *out << hostile.what; }

std::vector<Hostile> hostileFiles() {
  const std::string kmlHead = "<kml xmlns=\"http://www.opengis.net/kml/2.2\">\n<Placemark>\n";
  const std::string gpxHead = "<gpx xmlns=\"http://www.topografix.com/GPX/1/1\" version=\"1.1\">\n";
  const auto feature = [](const std::string& geometry) {
    return R"({"type":"FeatureCollection","features":[{"type":"Feature","geometry":{"type":"Point","coordinates":[1,2]}},
{"type":"Feature","geometry":)" +
           geometry + "}]}";
  };
  return {
      // GeoJSON
      {"json nested a million deep", readGeoJson, std::string(1'000'000, '['), 1, "nested deeper than 64"},
      {"json NaN", readGeoJson, feature(R"({"type":"Point","coordinates":[NaN,0]})"), 2, "malformed"},
      {"json overflowing number", readGeoJson, feature(R"({"type":"Point","coordinates":[1e400,0]})"), 2,
       "number overflow"},
      {"json invalid UTF-8", readGeoJson, "{\"type\":\"Feature\",\n\"properties\":{\"name\":\"\xC3\x28\"}}", 2,
       "not valid UTF-8"},
      {"json UTF-16", readGeoJson, std::string("\xFF\xFE{\0}\0", 6), 1, "not valid UTF-8"},
      {"json latitude past the pole", readGeoJson, feature(R"({"type":"Point","coordinates":[0,90.0000001]})"), 2,
       "latitude 90.0000001 is not within -90 to 90"},
      {"json longitude past the antimeridian", readGeoJson,
       feature(R"({"type":"LineString","coordinates":[[0,0],[-180.5,0]]})"), 2, "longitude -180.5"},
      {"json measurement too long", readGeoJson,
       feature(R"({"type":"LineString","coordinates":[)" + positions(kMaxVerticesPerMeasurement + 1) + "]}"), 2,
       "more than 10000 vertices"},
      {"json file with too many vertices", readGeoJson,
       "{\"type\":\"FeatureCollection\",\"features\":[" +
           repeated(R"({"type":"Feature","geometry":{"type":"LineString","coordinates":[)" +
                        positions(kMaxVerticesPerMeasurement) + "]}},",
                    kMaxVerticesPerFile / kMaxVerticesPerMeasurement) +
           R"({"type":"Feature","geometry":{"type":"Point","coordinates":[0,0]}}]})",
       1, "more than 100000 vertices"},
      {"json too many values", readGeoJson, "{\"type\":\"Point\",\n\"x\":[" + repeated("0,", kMaxJsonValues) + "0]}", 2,
       "more than 1000000 JSON values"},
      {"json other coordinate system", readGeoJson,
       R"({"type":"Point","coordinates":[1,2],
"crs":{"type":"name","properties":{"name":"urn:ogc:def:crs:EPSG::3857"}}})",
       2, "coordinate reference system"},
      {"json unsupported geometry", readGeoJson, feature(R"({"type":"GeometryCollection","geometries":[]})"), 2,
       "'GeometryCollection' is not read"},
      {"json short position", readGeoJson, feature(R"({"type":"Point","coordinates":[1]})"), 2, "at least two numbers"},
      {"json truncated", readGeoJson, "{\"type\":\"FeatureCollection\",\n\"features\":[", 2, "malformed"},
      {"json empty", readGeoJson, "", 1, "malformed"},
      {"json too large", readGeoJson, std::string(kMaxImportBytes + 1, ' '), 0, "larger than 64 MiB"},
      // KML
      {"kml billion laughs", readKml, kBillionLaughs, 2, "DOCTYPE is not accepted"},
      {"kml external entity", readKml,
       "<?xml version=\"1.0\"?>\n<!DOCTYPE kml [<!ENTITY x SYSTEM \"file:///etc/passwd\">]>\n<kml><Placemark>"
       "<name>&x;</name><Point><coordinates>0,0</coordinates></Point></Placemark></kml>",
       2, "DOCTYPE is not accepted"},
      {"kml nested a million deep", readKml, "<kml>\n" + repeated("<Folder>", 1'000'000), 0, ""},
      {"kml nested past the limit", readKml,
       "<kml>\n" + repeated("<Folder>", 70) + repeated("</Folder>", 70) + "</kml>", 2, "nested deeper than 64"},
      {"kml NaN", readKml, kmlHead + "<Point><coordinates>\nnan,0</coordinates></Point></Placemark></kml>", 4,
       "'nan' is not a number"},
      {"kml four numbers", readKml, kmlHead + "<Point><coordinates>1,2,3,4</coordinates></Point></Placemark></kml>", 3,
       "more than three numbers"},
      {"kml invalid UTF-8", readKml, kmlHead + "<name>\xED\xA0\x80</name></Placemark></kml>", 3, "not valid UTF-8"},
      {"kml measurement too long", readKml,
       kmlHead + "<LineString><coordinates>" + kmlTuples(kMaxVerticesPerMeasurement + 1) +
           "</coordinates></LineString></Placemark></kml>",
       3, "more than 10000 vertices"},
      {"kml malformed", readKml, kmlHead + "<name>open\n</Placemark></kml>", 4, "malformed"},
      {"kml not KML", readKml, "<gpx/>", 1, "this is not KML"},
      {"kml long name", readKml,
       kmlHead + "<name>" + std::string(kMaxNameBytes + 1, 'n') +
           "</name><Point><coordinates>0,0</coordinates></Point></Placemark></kml>",
       3, "longer than 1000 bytes"},
      // GPX
      {"gpx NaN", readGpx, gpxHead + "<trk><trkseg>\n<trkpt lat=\"NaN\" lon=\"0\"/></trkseg></trk></gpx>", 3,
       "lat 'NaN' is not a number"},
      {"gpx infinity", readGpx, gpxHead + "<wpt lat=\"0\" lon=\"1e999\"/></gpx>", 2, "lon '1e999'"},
      {"gpx missing lon", readGpx, gpxHead + "<rte><rtept lat=\"1\"/></rte></gpx>", 2, "has no lon"},
      {"gpx bad time", readGpx, gpxHead + "<metadata>\n<time>noon</time></metadata></gpx>", 3, "'noon'"},
      {"gpx billion laughs", readGpx, kBillionLaughs, 2, "DOCTYPE"},
      {"gpx too many measurements", readGpx,
       gpxHead + repeated("<rte><rtept lat=\"1\" lon=\"2\"/></rte>\n", kMaxMeasurementsPerFile + 1) + "</gpx>",
       kMaxMeasurementsPerFile + 2, "more than 1000 measurements"},
  };
}

class HostileInput : public ::testing::TestWithParam<Hostile> {};

TEST_P(HostileInput, FailsCleanlyAtItsLineWithNothingImported) {
  const auto& hostile = GetParam();
  const auto result = hostile.read(hostile.bytes);
  ASSERT_TRUE(result.error) << "read " << result.geometries.size() << " geometries";
  EXPECT_TRUE(result.geometries.empty());
  EXPECT_NE(result.error->message.find(hostile.message), std::string::npos) << result.error->message;
  if (hostile.line > 0) {
    EXPECT_EQ(result.error->line, hostile.line) << result.error->message;
  }
  // One printable line, whatever the file held.
  for (const char c : result.error->message) EXPECT_GE(static_cast<unsigned char>(c), 0x20) << result.error->message;
}

INSTANTIATE_TEST_SUITE_P(Files, HostileInput, ::testing::ValuesIn(hostileFiles()), [](const auto& info) {
  std::string name = info.param.what;
  for (auto& c : name) c = std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
  return name;
});

// Damaged copies of good files, at scale: whatever a reader makes of one, it is
// either an error with nothing imported or measurements within every limit.
TEST(DamagedFiles, GiveAnErrorOrMeasurementsWithinTheLimits) {
  std::vector<std::pair<Reader, std::string>> originals;
  for (const auto& [file, read] :
       std::vector<std::pair<std::string, Reader>>{{"globe_folders.kml", readKml},
                                                   {"prefixed.kml", readKml},
                                                   {"device.gpx", readGpx},
                                                   {"holes_and_foreign.geojson", readGeoJson}}) {
    std::ifstream in(std::string(KAVRANO_FIXTURES) + "/" + file, std::ios::binary);
    originals.emplace_back(read, std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()));
  }
  std::mt19937 random(16);
  const std::string tokens[] = {"<",  ">",           "\"", "&", "]]>",  "<!DOCTYPE x [", "NaN",
                                "-",  "1e999",       ",",  "[", "{",    "\xFF",          std::string("\0", 1),
                                "\n", "<Placemark>", "]",  "}", "\xC3", "&lt;"};
  std::size_t errors = 0, read = 0;
  for (int round = 0; round < 3000; ++round) {
    const auto& [reader, original] = originals[round % originals.size()];
    std::string damaged = original;
    for (int edit = 0; edit < 1 + round % 4; ++edit) {
      const std::size_t at = random() % damaged.size();
      switch (random() % 4) {
        case 0:
          damaged[at] = static_cast<char>(random());
          break;
        case 1:
          damaged.erase(at, random() % 16);
          break;
        case 2:
          damaged.insert(at, tokens[random() % std::size(tokens)]);
          break;
        default:
          damaged.resize(at);
          break;
      }
      if (damaged.empty()) damaged = "{";
    }
    const auto result = reader(damaged);
    if (result.error) {
      ++errors;
      ASSERT_TRUE(result.geometries.empty()) << damaged;
      continue;
    }
    ++read;
    for (const auto& geometry : result.geometries) {
      ASSERT_LE(geometry.name.size(), kMaxNameBytes);
      ASSERT_FALSE(geometry.vertices.empty()) << damaged;
      for (const auto& vertex : geometry.vertices) {
        ASSERT_TRUE(std::fabs(vertex.latitude) <= 90.0 && std::fabs(vertex.longitude) <= 180.0) << damaged;
      }
    }
  }
  // Both outcomes are met, or the damage says nothing about the readers.
  EXPECT_GT(errors, 100u);
  EXPECT_GT(read, 100u);
}

}  // namespace
