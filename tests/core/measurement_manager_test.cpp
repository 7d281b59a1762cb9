#include "kavrano/core/measurement_manager.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <tuple>
#include <vector>

namespace kavrano {
namespace {

const MeasurementManager geo;
using Ring = std::vector<Coordinate>;

TEST(PolygonArea, ReferenceRingsInEitherOrientationFromAnyVertexSummedInTheDocumentedOrder) {
  // The sphere's band between the equator and 1° N, 1° wide: 2πR²·sin(1°)/360.
  const double band = 2 * M_PI * 6378137.0 * 6378137.0 * std::sin(M_PI / 180) / 360;
  const std::vector<std::tuple<const char*, Ring, double, double>> cases{
      // name, ring, m², tolerance
      {"empty", {}, 0.0, 0.0},
      {"one point", {{10, 10}}, 0.0, 0.0},
      {"two points", {{10, 10}, {11, 11}}, 0.0, 0.0},  // exactly zero below three
      {"0.001° square", {{0, 0}, {0, 0.001}, {0.001, 0.001}, {0.001, 0}}, 12392.03, 0.01},
      {"1° triangle", {{0, 0}, {0, 1}, {1, 0}}, 6195699951.0, 1.0},
      {"first vertex repeated", {{0, 0}, {0, 1}, {1, 0}, {0, 0}}, 6195699951.0, 1.0},
      {"on one meridian", {{0, 5}, {10, 5}, {20, 5}}, 0.0, 0.0},
      {"spherical band cell", {{0, 0}, {0, 1}, {1, 1}, {1, 0}}, band, 1e-3}};
  for (const auto& [name, ring, expected, tolerance] : cases) {
    const double area = geo.polygonArea(ring);
    EXPECT_NEAR(area, expected, tolerance) << name;
    Ring rotated = ring;
    if (ring.size() > 1) std::rotate(rotated.begin(), rotated.begin() + 2, rotated.end());
    for (const Ring& other : {Ring(ring.rbegin(), ring.rend()), rotated})
      EXPECT_NEAR(geo.polygonArea(other), area, area * 1e-12) << name;
  }
  // Longitudes are not wrapped: a small square straddling ±180° reads as the band the long way round.
  EXPECT_GT(geo.polygonArea(Ring{{0, 179.9995}, {0, -179.9995}, {0.001, -179.9995}, {0.001, 179.9995}}), 1e9);

  // Closing edge first, then 0→1, 1→2, …, each term with (sin p + 2) + sin q: equal bit for bit.
  const Ring ring = {{-33.9, 151.2}, {-33.8, 151.3}, {-33.85, 151.45}, {-33.95, 151.35}};
  const auto rad = [](double d) { return d * 3.141592653589793 / 180.0; };
  double sum = 0.0;
  for (std::size_t i : {3u, 0u, 1u, 2u}) {
    const Coordinate p = ring[i], q = ring[(i + 1) % 4];
    sum += rad(q.longitude - p.longitude) * (std::sin(rad(p.latitude)) + 2 + std::sin(rad(q.latitude)));
  }
  EXPECT_EQ(geo.polygonArea(ring), std::fabs(sum * 6378137.0 * 6378137.0 * 0.5));
}

TEST(Distance, WGS84ReferencesAndNaNOutsideLatitudeRange) {
  // Independent figures of the WGS 84 ellipsoid (a = 6378137 m, f = 1/298.257223563).
  const std::vector<std::tuple<const char*, Coordinate, Coordinate, double, double>> cases{
      {"same point", {12.5, -70.1}, {12.5, -70.1}, 0.0, 0.0},
      {"1° of the equator (a·π/180)", {0, 0}, {0, 1}, 111319.49079327357, 1e-6},
      {"quarter meridian", {0, 0}, {90, 0}, 10001965.729, 1e-3},
      {"equatorial antipodes go over a pole", {0, 0}, {0, 180}, 20003931.4586, 1e-3},
      {"1° of latitude at the equator", {0, 0}, {1, 0}, 110574.3886, 1e-3},
      {"across the antimeridian", {0, 179.5}, {0, -179.5}, 111319.49079327357, 1e-6},
      {"pole to pole", {90, 0}, {-90, 0}, 20003931.4586, 1e-3}};
  for (const auto& [name, from, to, expected, tolerance] : cases)
    EXPECT_NEAR(geo.distance(from, to), expected, tolerance) << name;
  const Coordinate a{51.4775, -0.4614}, b{40.6413, -73.7781};
  EXPECT_NEAR(geo.distance(a, b), geo.distance(b, a), 1e-6);
  EXPECT_TRUE(std::isnan(geo.distance({91, 0}, {0, 0})));
  EXPECT_TRUE(std::isnan(geo.distance({NAN, 0}, {0, 0})));
}

TEST(Midpoint, SpecialCasesAndEitherArgumentOrder) {
  const std::vector<std::tuple<const char*, Coordinate, Coordinate, Coordinate>> cases{
      {"quarter of the equator", {0, 0}, {0, 90}, {0, 45}},
      {"across the antimeridian", {0, 170}, {0, -170}, {0, 180}},
      {"a point with itself", {37.5, -122.25}, {37.5, -122.25}, {37.5, -122.25}},
      {"along a meridian", {10, 20}, {30, 20}, {20, 20}},
      {"north pole with itself", {90, 0}, {90, 0}, {90, 0}},
      {"south pole with itself", {-90, 45}, {-90, 45}, {-90, 0}}};
  for (const auto& [name, a, b, expected] : cases) {
    const Coordinate m = geo.midpoint(a, b);
    EXPECT_NEAR(m.latitude, expected.latitude, 1e-9) << name;
    // At a pole every longitude is the same point.
    EXPECT_NEAR(m.longitude, std::fabs(expected.latitude) < 90 ? expected.longitude : m.longitude, 1e-9) << name;
  }
  const Coordinate a{-33.8688, 151.2093}, b{35.6762, 139.6503};
  const Coordinate ab = geo.midpoint(a, b), ba = geo.midpoint(b, a);
  EXPECT_EQ(std::pair(ab.latitude, ab.longitude), std::pair(ba.latitude, ba.longitude));
}

}  // namespace
}  // namespace kavrano
