// Every format that reads gives back what it wrote: coordinates bit for bit, titles
// byte for byte, dates exactly, whatever the text holds.
#include <bit>
#include <cstdint>
#include <random>

#include "gtest/gtest.h"
#include "kavrano/core/measurement_geometry.h"
#include "kavrano/interop/measurement_export.h"
#include "kavrano/interop/measurement_import.h"

namespace {

using namespace kavrano;
using namespace kavrano::interop;

std::uint64_t bits(double value) { return std::bit_cast<std::uint64_t>(value); }

// Titles that break naive writers: markup, quoting, line ends, scripts, emoji, spaces alone.
const std::vector<std::string> kTitles{"Grundstück Süd",
                                       "<Placemark>&amp;</name>",
                                       "a \"quoted\", comma; 'semi'",
                                       "tab\there\nnew line",
                                       "carriage\r\nreturn",
                                       "日本語の畑 🌍",
                                       "]]> end of CDATA",
                                       "   ",
                                       "",
                                       "\\ back\\slash ",
                                       "Ω≈ç√∫ µ²",
                                       "=1+2 not a formula"};

std::vector<PersistedMeasurement> awkwardMeasurements() {
  std::mt19937_64 random(16);
  std::uniform_real_distribution<double> latitude(-90.0, 90.0), longitude(-180.0, 180.0), date(-1e9, 2e9);
  // Values at the edges of what a double and the Earth allow.
  const std::vector<Coordinate> edges{{-0.0, -0.0},           {5e-324, -5e-324},
                                      {90.0, 180.0},          {-90.0, -180.0},
                                      {0.1 + 0.2, 1.0 / 3.0}, {-89.99999999999999, 179.99999999999997}};
  const std::vector<double> dates{730987200.0, 730987200.25, -1234.5678, 0.0, 1e-3, 252423993599.99997};
  std::vector<PersistedMeasurement> list;
  for (std::size_t i = 0; i < kTitles.size(); ++i) {
    PersistedMeasurement measurement;
    measurement.id = "00000000-0000-4000-8000-0000000000" + std::to_string(10 + i);
    measurement.title = kTitles[i];
    measurement.date = i < dates.size() ? dates[i] : date(random);
    const std::size_t count = std::vector<std::size_t>{1, 2, 3, 4, 7, 50}[i % 6];
    for (std::size_t v = 0; v < count; ++v) {
      const Coordinate c = v < edges.size() && i % 2 == 0 ? edges[(v + i) % edges.size()]
                                                          : Coordinate{latitude(random), longitude(random)};
      measurement.annotations.push_back({c.latitude, c.longitude});
    }
    list.push_back(measurement);
  }
  return list;
}

struct Reading {
  const char* name;
  std::string (*write)(std::span<const PersistedMeasurement>);
  ImportResult (*read)(std::string_view);
  bool counterClockwise;  // the format requires outer rings counter-clockwise
};

void PrintTo(const Reading& reading, std::ostream* out) { *out << reading.name; }

class RoundTrip : public ::testing::TestWithParam<Reading> {};

TEST_P(RoundTrip, GivesBackCoordinatesTitlesAndDatesExactly) {
  const auto& format = GetParam();
  const auto original = awkwardMeasurements();
  const auto result = format.read(format.write(original));
  ASSERT_FALSE(result.error) << result.error->line << ": " << result.error->message;
  EXPECT_TRUE(result.warnings.empty());
  ASSERT_EQ(result.geometries.size(), original.size());
  for (std::size_t i = 0; i < original.size(); ++i) {
    const auto& read = result.geometries[i];
    SCOPED_TRACE("measurement " + std::to_string(i) + " titled '" + original[i].title + "'");
    EXPECT_EQ(read.name, original[i].title);
    ASSERT_TRUE(read.date);
    EXPECT_EQ(bits(*read.date), bits(original[i].date)) << *read.date << " vs " << original[i].date;
    auto expected = coordinatesOf(original[i].annotations);
    if (format.counterClockwise) expected = counterClockwise(expected);
    ASSERT_EQ(read.vertices.size(), expected.size());
    for (std::size_t v = 0; v < expected.size(); ++v) {
      EXPECT_EQ(bits(read.vertices[v].latitude), bits(expected[v].latitude)) << "vertex " << v;
      EXPECT_EQ(bits(read.vertices[v].longitude), bits(expected[v].longitude)) << "vertex " << v;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Formats, RoundTrip,
                         ::testing::Values(Reading{"GeoJSON", writeGeoJson, readGeoJson, true},
                                           Reading{"KML", writeKml, readKml, true},
                                           Reading{"GPX", writeGpx, readGpx, false}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
