// Why the area keeps glibc's sine bit for bit: a kernel with a cheaper, faithfully
// rounded sine against the shipped one and the floor, and what its last bits do to
// the texts the app shows.
//  1. speed: the ordered sum alone (the floor), the shipped kernel, and the faithful one
//     on the wavy ring, and each kernel's sines without the sum, taking turns; thread
//     CPU time, median of the rounds;
//  2. the faithful sine against glibc and against the 113-bit sine (libquadmath);
//  3. random rings of 3 to 40 vertices: areas and texts (every area unit, en_US and
//     de_DE) of the faithful kernel against the scalar formula;
//  4. the same rings with a share of glibc's sines moved by one ulp: how few differing
//     sines it takes for texts to change.
// Usage: kavrano_area_sine_tradeoff [--rounds N] [--sines N] [--text-rings N]
#include <quadmath.h>
#include <time.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "bench_rings.h"
#include "common/load_average.h"
#include "common/random_ring.h"
#include "common/ulp.h"
#include "edge_terms.h"
#include "faithful_sine.h"
#include "kavrano/core/number_text.h"
#include "kavrano/core/unit_converter.h"

namespace {

using kavrano::Coordinate;
namespace area = kavrano::area;
using kavrano::loadAverage;
using kavrano::randomRing;
using kavrano::ulpOf;

double threadSeconds() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

volatile double sink;

void speed(int rounds) {
  const area::AddEdgesFn shipped = area::kernelEntry(area::widestKernel()).addEdges;
  for (std::size_t n : {std::size_t{1000}, std::size_t{1000000}}) {
    const auto ring = kavrano::bench::wavyRing(n);
    std::vector<double> terms(n - 1);
    for (std::size_t i = 0; i + 1 < n; ++i)
      terms[i] = area::edgeTerm(ring[i].longitude, area::latitudeSine(ring[i].latitude), ring[i + 1].longitude,
                                area::latitudeSine(ring[i + 1].latitude));
    const std::size_t reps = 20'000'000 / n;
    std::vector<double> latitude, sine(n);
    for (const Coordinate& c : ring) latitude.push_back(c.latitude);
    const area::SinesFn shippedSines = area::kernelEntry(area::widestKernel()).sines;
    std::vector<double> floor, ours, faithful, oursSines, faithfulSines;
    const auto time = [&](auto&& body) {
      const double start = threadSeconds();
      for (std::size_t r = 0; r < reps; ++r) sink = body();
      return (threadSeconds() - start) / static_cast<double>(reps) * 1e6;
    };
    for (int round = 0; round < rounds; ++round) {
      floor.push_back(time([&] {
        double sum = 0.0;
        for (double t : terms) sum += t;
        return sum;
      }));
      ours.push_back(time([&] { return shipped(ring.data(), n, 0.0); }));
      faithful.push_back(time([&] { return kavrano::bench::faithfulAddEdges(ring.data(), n, 0.0); }));
      oursSines.push_back(time([&] {
        shippedSines(latitude.data(), n, sine.data());
        return sine[n / 2];
      }));
      faithfulSines.push_back(time([&] {
        kavrano::bench::faithfulSines(latitude.data(), n, sine.data());
        return sine[n / 2];
      }));
    }
    for (auto* v : {&floor, &ours, &faithful, &oursSines, &faithfulSines}) std::sort(v->begin(), v->end());
    const auto median = [](const std::vector<double>& v) { return v[v.size() / 2]; };
    std::printf("%7zu vertices: floor %.3f µs, shipped %.3f µs (%.2f× the floor), faithful %.3f µs (%.2f× the floor)\n",
                n, median(floor), median(ours), median(ours) / median(floor), median(faithful),
                median(faithful) / median(floor));
    std::printf("%7zu vertices, the sines alone: shipped %.3f µs, faithful %.3f µs\n", n, median(oursSines),
                median(faithfulSines));
  }
}

void sines(std::size_t count, std::mt19937_64& rng) {
  std::vector<double> lat(count), glibc(count), faithful(count);
  std::uniform_real_distribution<double> any(-90, 90);
  for (double& x : lat) x = any(rng);
  area::sinesScalar(lat.data(), count, glibc.data());
  kavrano::bench::faithfulSines(lat.data(), count, faithful.data());
  std::size_t differ = 0;
  double worst = 0;
  for (std::size_t i = 0; i < count; ++i) {
    differ += faithful[i] != glibc[i];
    const __float128 exact = sinq(static_cast<__float128>(area::radians(lat[i])));
    worst = std::max(worst, static_cast<double>(fabsq(faithful[i] - exact)) / ulpOf(static_cast<double>(exact)));
  }
  std::printf("sines: %zu latitudes in ±90°: %zu (%.2f %%) differ from glibc; largest error %.3f ulp\n", count, differ,
              100.0 * static_cast<double>(differ) / static_cast<double>(count), worst);
}

// The documented order, closing edge first, over sines given per vertex.
double areaFrom(const std::vector<Coordinate>& ring, const std::vector<double>& sine) {
  const std::size_t n = ring.size();
  double sum = 0.0;
  for (std::size_t k = 0; k < n; ++k) {
    const std::size_t p = (k + n - 1) % n;
    sum += area::edgeTerm(ring[p].longitude, sine[p], ring[k].longitude, sine[k]);
  }
  return std::fabs(sum * 6378137.0 * 6378137.0 * 0.5);
}

std::size_t differingTexts(const std::vector<double>& a, const std::vector<double>& b) {
  std::size_t differ = 0;
  for (const char* locale : {"en_US", "de_DE"}) {
    kavrano::setUserNumberLocaleOverride(locale);
    for (std::size_t r = 0; r < a.size(); ++r)
      for (kavrano::AreaUnit unit : kavrano::kAllAreaUnits)
        differ += kavrano::UnitConverter::areaText(a[r], unit) != kavrano::UnitConverter::areaText(b[r], unit);
  }
  kavrano::setUserNumberLocaleOverride(std::nullopt);
  return differ;
}

void texts(std::size_t count, std::mt19937_64& rng) {
  const double shares[] = {0.01, 0.001, 0.0001};
  std::vector<double> scalar(count), faithful(count);
  std::vector<std::vector<double>> nudged(std::size(shares), std::vector<double>(count));
  std::size_t areasDiffer = 0, sineCount = 0;
  double largest = 0;
  std::uniform_real_distribution<double> unit(0, 1);
  for (std::size_t r = 0; r < count; ++r) {
    const auto ring = randomRing(std::uniform_int_distribution<std::size_t>(3, 40)(rng), rng);
    std::vector<double> latitude, glibc(ring.size()), ours(ring.size());
    for (const Coordinate& c : ring) latitude.push_back(c.latitude);
    area::sinesScalar(latitude.data(), ring.size(), glibc.data());
    kavrano::bench::faithfulSines(latitude.data(), ring.size(), ours.data());
    scalar[r] = areaFrom(ring, glibc);
    faithful[r] = areaFrom(ring, ours);
    if (faithful[r] != scalar[r]) {
      ++areasDiffer;
      largest = std::max(largest, std::fabs(faithful[r] - scalar[r]) / scalar[r]);
    }
    for (std::size_t s = 0; s < std::size(shares); ++s) {
      std::vector<double> moved = glibc;
      for (double& v : moved)
        if (unit(rng) < shares[s]) v = std::nextafter(v, rng() % 2 ? 2.0 : -2.0);
      nudged[s][r] = areaFrom(ring, moved);
    }
    sineCount += ring.size();
  }
  const std::size_t compared = count * std::size(kavrano::kAllAreaUnits) * 2;
  std::printf("rings: %zu of 3 to 40 vertices (%zu sines), 8 area units, en_US and de_DE (%zu texts)\n", count,
              sineCount, compared);
  std::printf("  faithful kernel: %zu areas differ (largest relative difference %.3g), %zu texts differ\n", areasDiffer,
              largest, differingTexts(scalar, faithful));
  for (std::size_t s = 0; s < std::size(shares); ++s)
    std::printf("  glibc's sines, %.2f %% of them moved by one ulp: %zu texts differ\n", 100 * shares[s],
                differingTexts(scalar, nudged[s]));
}

}  // namespace

int main(int argc, char** argv) {
  int rounds = 11;
  std::size_t sineCount = 10'000'000, textRings = 1'000'000;
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string option = argv[i];
    const auto value = std::strtoull(argv[i + 1], nullptr, 10);
    if (option == "--rounds")
      rounds = static_cast<int>(value);
    else if (option == "--sines")
      sineCount = value;
    else if (option == "--text-rings")
      textRings = value;
    else
      return std::fprintf(stderr, "unknown option %s\n", argv[i]), 2;
  }
  if (!__builtin_cpu_supports("avx512f")) return std::fprintf(stderr, "needs AVX-512F\n"), 1;
  std::printf("load average %s\n", loadAverage().c_str());
  std::mt19937_64 rng(20261207);
  speed(rounds);
  sines(sineCount, rng);
  texts(textRings, rng);
  std::printf("load average %s\n", loadAverage().c_str());
}
