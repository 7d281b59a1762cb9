// The area's exactness at scale, each figure printed with the run that made it:
//  1. sines of latitudes uniform in ±90°: every kernel against glibc (they must agree),
//     and both against the correctly rounded sine (libquadmath, 113 bits): the largest
//     error in ulp, how many are not correctly rounded, and how close to a midpoint
//     glibc misrounds, by binade of the result (the figures the kernels' hand-over
//     band is built on);
//  2. rings of 3 to 10⁶ vertices, all latitudes: polygonArea against the scalar formula;
//  3. at least 10⁶ random rings: the area text in every area unit and two locales.
//     The kernels' calls of the scalar sine are counted (the link wraps it), which
//     gives the share of lanes handed over to glibc.
// Usage: kavrano_area_exactness [--sines N] [--vertices N] [--text-rings N] [--seed N]
#include <quadmath.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "common/load_average.h"
#include "common/random_ring.h"
#include "common/ulp.h"
#include "edge_terms.h"
#include "kavrano/core/measurement_manager.h"
#include "kavrano/core/number_text.h"
#include "kavrano/core/unit_converter.h"

// Every call of area::latitudeSine from outside its own file (the kernels' hand-over,
// and polygonArea's closing edge), counted.
std::size_t scalarSineCalls = 0;
extern "C" double __real__ZN7kavrano4area12latitudeSineEd(double latitude);
extern "C" double __wrap__ZN7kavrano4area12latitudeSineEd(double latitude) {
  ++scalarSineCalls;
  return __real__ZN7kavrano4area12latitudeSineEd(latitude);
}

namespace {

using kavrano::Coordinate;
namespace area = kavrano::area;
using kavrano::loadAverage;
using kavrano::randomRing;
using kavrano::ulpOf;

bool same(double a, double b) {
  return (std::isnan(a) && std::isnan(b)) || std::bit_cast<std::uint64_t>(a) == std::bit_cast<std::uint64_t>(b);
}

// Error of `s` against the exact sine `q`, in ulp of the correctly rounded value.
double ulpError(double s, __float128 q) {
  return static_cast<double>(fabsq(static_cast<__float128>(s) - q)) / ulpOf(static_cast<double>(q));
}

std::vector<area::Kernel> kernels() {
  std::vector<area::Kernel> all;
  for (area::Kernel k : {area::Kernel::avx2, area::Kernel::avx512})
    if (area::kernelEntry(k).sines) all.push_back(k);
  return all;
}

const char* name(area::Kernel k) {
  switch (k) {
    case area::Kernel::scalar:
      return "scalar";
    case area::Kernel::avx2:
      return "avx2";
    case area::Kernel::avx512:
      return "avx512";
  }
  return "?";
}

void sines(std::size_t count, std::mt19937_64& rng) {
  std::vector<double> lat(count), glibc(count), ours(count);
  std::uniform_real_distribution<double> any(-90, 90);
  for (double& x : lat) x = any(rng);
  area::sinesScalar(lat.data(), count, glibc.data());

  // glibc against the correctly rounded sine, by binade of the result.
  const char* binades[] = {"below 1/8", "[1/8, 1/4)", "[1/4, 1/2)", "[1/2, 1]"};
  double worstMidpoint[4] = {}, glibcMax = 0;
  std::size_t glibcMisrounded = 0;
  std::vector<__float128> exact(count);
  for (std::size_t i = 0; i < count; ++i) {
    exact[i] = sinq(static_cast<__float128>(area::radians(lat[i])));
    const double correct = static_cast<double>(exact[i]);
    glibcMax = std::max(glibcMax, ulpError(glibc[i], exact[i]));
    if (glibc[i] == correct) continue;
    ++glibcMisrounded;
    const double a = std::fabs(correct);
    const int b = a < 0.125 ? 0 : a < 0.25 ? 1 : a < 0.5 ? 2 : 3;
    const __float128 midpoint = (static_cast<__float128>(glibc[i]) + correct) / 2;
    worstMidpoint[b] = std::max(worstMidpoint[b], static_cast<double>(fabsq(exact[i] - midpoint)) / ulpOf(correct));
  }
  std::printf("sines: %zu latitudes uniform in ±90°\n", count);
  std::printf("  glibc sin: largest error %.4f ulp; %zu (%.3f%%) not correctly rounded\n", glibcMax, glibcMisrounded,
              100.0 * glibcMisrounded / count);
  for (int b = 0; b < 4; ++b)
    std::printf("  glibc misrounds within %.4f ulp of a midpoint for sines %s\n", worstMidpoint[b], binades[b]);

  for (area::Kernel k : kernels()) {
    const std::size_t callsBefore = scalarSineCalls;
    area::kernelEntry(k).sines(lat.data(), count, ours.data());
    const std::size_t handedOver = scalarSineCalls - callsBefore;
    std::size_t differ = 0, notCorrect = 0;
    double maxUlp = 0;
    for (std::size_t i = 0; i < count; ++i) {
      differ += !same(ours[i], glibc[i]);
      notCorrect += ours[i] != static_cast<double>(exact[i]);
      maxUlp = std::max(maxUlp, ulpError(ours[i], exact[i]));
    }
    std::printf(
        "  %-6s kernel: %zu differ from glibc; largest error %.4f ulp; %zu not correctly rounded; %.2f%% handed to "
        "glibc\n",
        name(k), differ, maxUlp, notCorrect, 100.0 * handedOver / count);
  }
}

double scalarArea(const std::vector<Coordinate>& ring) {
  const std::size_t n = ring.size();
  double sum = 0.0;
  sum += area::edgeTerm(ring[n - 1].longitude, area::latitudeSine(ring[n - 1].latitude), ring[0].longitude,
                        area::latitudeSine(ring[0].latitude));
  sum = area::addEdgesScalar(ring.data(), n, sum);
  return std::fabs(sum * 6378137.0 * 6378137.0 * 0.5);
}

void rings(std::size_t vertexBudget, std::mt19937_64& rng) {
  const kavrano::MeasurementManager geo;
  std::size_t count = 0, vertices = 0, differ = 0, largest = 0;
  double maxRelative = 0;
  std::uniform_real_distribution<double> logSize(std::log(3.0), std::log(1e6));
  while (vertices < vertexBudget) {
    // Log-uniform sizes, the first ring at the full 10⁶.
    const auto n = count == 0 ? std::size_t{1000000} : static_cast<std::size_t>(std::exp(logSize(rng)));
    const auto ring = randomRing(n, rng);
    const double ours = geo.polygonArea(ring), scalar = scalarArea(ring);
    if (!same(ours, scalar)) {
      ++differ;
      maxRelative = std::max(maxRelative, std::fabs(ours - scalar) / std::fabs(scalar));
    }
    ++count;
    vertices += n;
    largest = std::max(largest, n);
  }
  std::printf("rings: %zu rings of 3 to %zu vertices (%zu vertices), all latitudes\n", count, largest, vertices);
  std::printf("  %zu areas differ from the scalar formula; largest relative difference %.3g\n", differ, maxRelative);
}

void texts(std::size_t count, std::mt19937_64& rng) {
  const kavrano::MeasurementManager geo;
  std::vector<double> ours(count), scalar(count);
  for (std::size_t r = 0; r < count; ++r) {
    const auto ring = randomRing(std::uniform_int_distribution<std::size_t>(3, 40)(rng), rng);
    ours[r] = geo.polygonArea(ring);
    scalar[r] = scalarArea(ring);
  }
  std::size_t compared = 0, differ = 0;
  for (const char* locale : {"en_US", "de_DE"}) {
    kavrano::setUserNumberLocaleOverride(locale);
    for (std::size_t r = 0; r < count; ++r)
      for (kavrano::AreaUnit unit : kavrano::kAllAreaUnits) {
        ++compared;
        if (kavrano::UnitConverter::areaText(ours[r], unit) != kavrano::UnitConverter::areaText(scalar[r], unit)) {
          if (++differ <= 5)
            std::printf("  differs: %s vs %s\n", kavrano::UnitConverter::areaText(ours[r], unit).c_str(),
                        kavrano::UnitConverter::areaText(scalar[r], unit).c_str());
        }
      }
  }
  kavrano::setUserNumberLocaleOverride(std::nullopt);
  std::printf("texts: %zu rings of 3 to 40 vertices, 8 area units, en_US and de_DE: %zu of %zu texts differ\n", count,
              differ, compared);
}

}  // namespace

int main(int argc, char** argv) {
  std::size_t sineCount = 10'000'000, vertexBudget = 30'000'000, textRings = 1'000'000;
  std::uint64_t seed = 20261207;
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string option = argv[i];
    const auto value = std::strtoull(argv[i + 1], nullptr, 10);
    if (option == "--sines")
      sineCount = value;
    else if (option == "--vertices")
      vertexBudget = value;
    else if (option == "--text-rings")
      textRings = value;
    else if (option == "--seed")
      seed = value;
    else
      return std::fprintf(stderr, "unknown option %s\n", argv[i]), 2;
  }
  std::printf("load average %s; kernel used by polygonArea: %s\n", loadAverage().c_str(), name(area::widestKernel()));
  std::mt19937_64 rng(seed);
  sines(sineCount, rng);
  rings(vertexBudget, rng);
  texts(textRings, rng);
  std::printf("load average %s\n", loadAverage().c_str());
}
