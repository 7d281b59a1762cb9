#include "kavrano/core/measurement_manager.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "edge_terms.h"
#include "kavrano/core/number_text.h"
#include "kavrano/core/unit_converter.h"

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

// The documented formula, written out on its own: the closing edge first, then 0→1, 1→2, ….
double referenceArea(const Ring& ring) {
  const std::size_t n = ring.size();
  if (n < 3) return 0.0;
  const auto rad = [](double d) { return d * 3.141592653589793 / 180.0; };
  double sum = 0.0;
  for (std::size_t k = 0; k < n; ++k) {
    const Coordinate p = ring[(k + n - 1) % n], q = ring[k];
    sum += rad(q.longitude - p.longitude) * (std::sin(rad(p.latitude)) + 2 + std::sin(rad(q.latitude)));
  }
  const double area = sum * 6378137.0 * 6378137.0 * 0.5;
  return area < 0 ? -area : area;
}

// Equal bits, or both not a number (the payload of a NaN is not part of the result).
bool sameDouble(double a, double b) {
  return (std::isnan(a) && std::isnan(b)) || std::bit_cast<std::uint64_t>(a) == std::bit_cast<std::uint64_t>(b);
}

std::vector<area::Kernel> kernelsThisCpuRuns() {
  std::vector<area::Kernel> kernels;
  for (area::Kernel k : {area::Kernel::scalar, area::Kernel::avx2, area::Kernel::avx512})
    if (area::kernelEntry(k).addEdges) kernels.push_back(k);
  return kernels;
}

// Rings of every size that crosses the kernels' chunk and block boundaries, from small
// plots to rings around the globe, with the values where the vector paths hand over to
// the scalar one mixed in.
std::vector<Ring> randomRings(std::size_t count, std::uint64_t seed) {
  std::mt19937_64 rng(seed);
  const double inf = std::numeric_limits<double>::infinity(), nan = std::numeric_limits<double>::quiet_NaN();
  const std::vector<double> oddLatitudes{0.0, -0.0, 90.0, -90.0, 1e-310, -1e-300, 90.000000001, -91.0, nan, inf, -inf};
  const std::vector<double> oddLongitudes{0.0, -0.0, 180.0, -180.0, 1e-310, 1e300, nan, inf, -inf};
  std::vector<Ring> rings(count);
  for (Ring& ring : rings) {
    const std::size_t n = std::uniform_int_distribution<std::size_t>(3, rng() % 8 == 0 ? 1400 : 40)(rng);
    const double span = std::pow(10.0, std::uniform_real_distribution<double>(-5, 2.3)(rng));
    const double lat0 = std::uniform_real_distribution<double>(-90, 90)(rng);
    const double lon0 = std::uniform_real_distribution<double>(-180, 180)(rng);
    std::uniform_real_distribution<double> offset(-span, span);
    for (std::size_t i = 0; i < n; ++i) {
      const double lat = std::clamp(lat0 + offset(rng), -90.0, 90.0);
      ring.push_back({lat, lon0 + offset(rng)});
      if (rng() % 500 == 0) ring.back().latitude = oddLatitudes[rng() % oddLatitudes.size()];
      if (rng() % 500 == 0) ring.back().longitude = oddLongitudes[rng() % oddLongitudes.size()];
      if (rng() % 500 == 0 && i > 0) ring.back().longitude = std::nextafter(ring[i - 1].longitude, inf);
    }
  }
  return rings;
}

// Each vector kernel rounds its sines to glibc's bit for bit, so every area, and every
// text made of it, is the scalar formula's; a kernel that is only nearly right fails
// here within a few thousand rings.
TEST(PolygonArea, EveryKernelGivesTheFormulasBitsAndTexts) {
  const auto kernels = kernelsThisCpuRuns();
  const auto rings = randomRings(12000, 20261207);

  std::vector<double> latitudes, expected, sines;
  for (const Ring& ring : rings)
    for (const Coordinate& c : ring) latitudes.push_back(c.latitude);
  for (double lat : latitudes) expected.push_back(std::sin(lat * 3.141592653589793 / 180.0));
  for (area::Kernel k : kernels) {
    sines.assign(latitudes.size(), 0.0);
    area::kernelEntry(k).sines(latitudes.data(), latitudes.size(), sines.data());
    std::size_t differ = 0;
    for (std::size_t i = 0; i < sines.size(); ++i)
      if (!sameDouble(sines[i], expected[i]) && ++differ <= 3)
        ADD_FAILURE() << "kernel " << int(k) << ": sine of latitude " << latitudes[i] << " is " << sines[i]
                      << ", glibc says " << expected[i];
    EXPECT_EQ(differ, 0u) << "kernel " << int(k) << " of " << sines.size() << " sines";
  }

  std::size_t ringsDiffering = 0;
  for (std::size_t r = 0; r < rings.size(); ++r) {
    const Ring& ring = rings[r];
    const double reference = referenceArea(ring);
    const double area = geo.polygonArea(ring);
    bool same = sameDouble(area, reference);
    for (area::Kernel k : kernels) {
      // The closing edge's term first, as polygonArea adds it.
      const Coordinate p = ring.back(), q = ring.front();
      const double first =
          area::edgeTerm(p.longitude, area::latitudeSine(p.latitude), q.longitude, area::latitudeSine(q.latitude));
      const double sum = area::kernelEntry(k).addEdges(ring.data(), ring.size(), 0.0 + first);
      const double kernelArea = std::fabs(sum * 6378137.0 * 6378137.0 * 0.5);
      same = same && sameDouble(kernelArea, reference);
    }
    if (!same && ++ringsDiffering <= 3)
      ADD_FAILURE() << "ring " << r << " of " << ring.size() << " points: " << area << " m², formula " << reference;
  }
  EXPECT_EQ(ringsDiffering, 0u);

  // The texts the app shows, every area unit, two locales.
  std::size_t textsDiffering = 0;
  for (const char* locale : {"en_US", "de_DE"}) {
    setUserNumberLocaleOverride(locale);
    for (std::size_t r = 0; r < rings.size(); r += 4) {
      const double area = geo.polygonArea(rings[r]), reference = referenceArea(rings[r]);
      if (!std::isfinite(reference)) continue;
      for (AreaUnit unit : kAllAreaUnits)
        if (UnitConverter::areaText(area, unit) != UnitConverter::areaText(reference, unit) && ++textsDiffering <= 3)
          ADD_FAILURE() << locale << ": " << UnitConverter::areaText(area, unit) << " vs "
                        << UnitConverter::areaText(reference, unit);
    }
  }
  setUserNumberLocaleOverride(std::nullopt);
  EXPECT_EQ(textsDiffering, 0u);
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
