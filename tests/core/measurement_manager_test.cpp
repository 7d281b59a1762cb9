#include "kavrano/core/measurement_manager.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace kavrano {
namespace {

const MeasurementManager geo;

struct AreaCase {
  const char* name;
  std::vector<Coordinate> ring;
  double expected;   // m²
  double tolerance;  // m²
};

TEST(PolygonArea, ReferenceRings) {
  const std::vector<AreaCase> cases = {
      {"empty", {}, 0.0, 0.0},
      {"one point", {{10, 10}}, 0.0, 0.0},
      {"two points", {{10, 10}, {11, 11}}, 0.0, 0.0},  // exactly zero below three
      {"0.001° square", {{0, 0}, {0, 0.001}, {0.001, 0.001}, {0.001, 0}}, 12392.03, 0.01},
      {"0.001° square, other way round", {{0, 0}, {0.001, 0}, {0.001, 0.001}, {0, 0.001}}, 12392.03, 0.01},
      {"1° triangle", {{0, 0}, {0, 1}, {1, 0}}, 6195699951.0, 1.0},
      {"first vertex repeated", {{0, 0}, {0, 1}, {1, 0}, {0, 0}}, 6195699951.0, 1.0},
      {"on one meridian", {{0, 5}, {10, 5}, {20, 5}}, 0.0, 0.0},
      // The sphere's band between the equator and 1° N, 1° wide: 2πR²·sin(1°)/360.
      {"spherical band cell",
       {{0, 0}, {0, 1}, {1, 1}, {1, 0}},
       2 * M_PI * 6378137.0 * 6378137.0 * std::sin(M_PI / 180) / 360,
       1e-3},
  };
  for (const auto& c : cases) EXPECT_NEAR(geo.polygonArea(c.ring), c.expected, c.tolerance) << c.name;
}

TEST(PolygonArea, OrientationAndStartingVertexDoNotChangeTheArea) {
  const std::vector<Coordinate> ring = {{48.1, 11.5}, {48.2, 11.6}, {48.15, 11.7}, {48.05, 11.65}};
  std::vector<Coordinate> reversed(ring.rbegin(), ring.rend());
  std::vector<Coordinate> rotated = {ring[2], ring[3], ring[0], ring[1]};
  const double area = geo.polygonArea(ring);
  EXPECT_GT(area, 0.0);
  EXPECT_NEAR(geo.polygonArea(reversed), area, area * 1e-12);
  EXPECT_NEAR(geo.polygonArea(rotated), area, area * 1e-12);
}

TEST(PolygonArea, SumsInTheDocumentedOrder) {
  // Closing edge first, then 0→1, 1→2, …, each term with (sin p + 2) + sin q.
  const std::vector<Coordinate> ring = {{-33.9, 151.2}, {-33.8, 151.3}, {-33.85, 151.45}, {-33.95, 151.35}};
  auto rad = [](double d) { return d * 3.141592653589793 / 180.0; };
  auto term = [&](Coordinate p, Coordinate q) {
    return rad(q.longitude - p.longitude) * (std::sin(rad(p.latitude)) + 2 + std::sin(rad(q.latitude)));
  };
  double sum = 0.0;
  sum += term(ring[3], ring[0]);
  for (std::size_t i = 0; i + 1 < ring.size(); ++i) sum += term(ring[i], ring[i + 1]);
  const double expected = std::fabs(sum * 6378137.0 * 6378137.0 * 0.5);
  EXPECT_EQ(geo.polygonArea(ring), expected);  // bit for bit
}

TEST(PolygonArea, LongitudesAreNotWrappedAtTheAntimeridian) {
  // A small square straddling ±180° reads as the band the long way round.
  const std::vector<Coordinate> straddling = {{0, 179.9995}, {0, -179.9995}, {0.001, -179.9995}, {0.001, 179.9995}};
  EXPECT_GT(geo.polygonArea(straddling), 1e9);
}

struct DistanceCase {
  const char* name;
  Coordinate from, to;
  double expected;   // m
  double tolerance;  // m
};

TEST(Distance, WGS84References) {
  // Independent figures of the WGS 84 ellipsoid (a = 6378137 m, f = 1/298.257223563).
  const std::vector<DistanceCase> cases = {
      {"same point", {12.5, -70.1}, {12.5, -70.1}, 0.0, 0.0},
      {"1° of the equator (a·π/180)", {0, 0}, {0, 1}, 111319.49079327357, 1e-6},
      {"quarter meridian", {0, 0}, {90, 0}, 10001965.729, 1e-3},
      {"equatorial antipodes go over a pole", {0, 0}, {0, 180}, 20003931.4586, 1e-3},
      {"1° of latitude at the equator", {0, 0}, {1, 0}, 110574.3886, 1e-3},
      {"across the antimeridian", {0, 179.5}, {0, -179.5}, 111319.49079327357, 1e-6},
      {"pole to pole", {90, 0}, {-90, 0}, 20003931.4586, 1e-3},
  };
  for (const auto& c : cases) EXPECT_NEAR(geo.distance(c.from, c.to), c.expected, c.tolerance) << c.name;
}

TEST(Distance, IsSymmetricAndNaNOutsideLatitudeRange) {
  const Coordinate a{51.4775, -0.4614}, b{40.6413, -73.7781};
  EXPECT_NEAR(geo.distance(a, b), geo.distance(b, a), 1e-6);
  EXPECT_TRUE(std::isnan(geo.distance({91, 0}, {0, 0})));
  EXPECT_TRUE(std::isnan(geo.distance({NAN, 0}, {0, 0})));
}

TEST(Midpoint, SpecialCases) {
  struct Case {
    const char* name;
    Coordinate a, b, expected;
  };
  const std::vector<Case> cases = {
      {"quarter of the equator", {0, 0}, {0, 90}, {0, 45}},
      {"across the antimeridian", {0, 170}, {0, -170}, {0, 180}},
      {"a point with itself", {37.5, -122.25}, {37.5, -122.25}, {37.5, -122.25}},
      {"along a meridian", {10, 20}, {30, 20}, {20, 20}},
      {"north pole with itself", {90, 0}, {90, 0}, {90, 0}},
      {"south pole with itself", {-90, 45}, {-90, 45}, {-90, 0}},
  };
  for (const auto& c : cases) {
    const Coordinate m = geo.midpoint(c.a, c.b);
    EXPECT_NEAR(m.latitude, c.expected.latitude, 1e-9) << c.name;
    if (std::fabs(c.expected.latitude) < 90) {
      EXPECT_NEAR(m.longitude, c.expected.longitude, 1e-9) << c.name;
    }
  }
}

TEST(Midpoint, DoesNotDependOnArgumentOrder) {
  const Coordinate a{-33.8688, 151.2093}, b{35.6762, 139.6503};
  const Coordinate ab = geo.midpoint(a, b), ba = geo.midpoint(b, a);
  EXPECT_EQ(ab.latitude, ba.latitude);
  EXPECT_EQ(ab.longitude, ba.longitude);
}

}  // namespace
}  // namespace kavrano
