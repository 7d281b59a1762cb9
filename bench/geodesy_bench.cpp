#include <benchmark/benchmark.h>

#include <GeographicLib/Geodesic.hpp>
#include <GeographicLib/PolygonArea.hpp>
#include <vector>

#include "bench_rings.h"
#include "edge_terms.h"
#include "kavrano/core/measurement_manager.h"

namespace {

namespace area = kavrano::area;

// The ring sizes of bench/area_vs_turf.sh: a field, a detailed parcel, a traced coast.
void ringSizes(benchmark::internal::Benchmark* b) { b->Arg(10)->Arg(1000)->Arg(1000000); }

void BM_PolygonArea(benchmark::State& state) {
  const auto ring = kavrano::bench::wavyRing(static_cast<std::size_t>(state.range(0)));
  const kavrano::MeasurementManager geo;
  for (auto _ : state) benchmark::DoNotOptimize(geo.polygonArea(ring));
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_PolygonArea)->Apply(ringSizes)->Unit(benchmark::kMicrosecond);

// The anchors: one scalar glibc sine per vertex (what polygonArea was), and the ordered
// sum alone over terms made beforehand, which no kernel can beat.
void BM_PolygonAreaScalar(benchmark::State& state) {
  const auto ring = kavrano::bench::wavyRing(static_cast<std::size_t>(state.range(0)));
  const auto addEdges = area::kernelEntry(area::Kernel::scalar).addEdges;
  for (auto _ : state) benchmark::DoNotOptimize(addEdges(ring.data(), ring.size(), 0.0));
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_PolygonAreaScalar)->Apply(ringSizes)->Unit(benchmark::kMicrosecond);

void BM_AreaOrderedSum(benchmark::State& state) {
  const auto ring = kavrano::bench::wavyRing(static_cast<std::size_t>(state.range(0)));
  std::vector<double> terms(ring.size());
  for (std::size_t i = 0; i < ring.size(); ++i) {
    const kavrano::Coordinate p = ring[i], q = ring[(i + 1) % ring.size()];
    terms[i] = area::edgeTerm(p.longitude, area::latitudeSine(p.latitude), q.longitude, area::latitudeSine(q.latitude));
  }
  for (auto _ : state) {
    double sum = 0.0;
    for (double t : terms) sum += t;
    benchmark::DoNotOptimize(sum);
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_AreaOrderedSum)->Apply(ringSizes)->Unit(benchmark::kMicrosecond);

// 1,000-vertex rings not just measured: the thousand pieces of a 10⁶-vertex ring in
// turn, so neither the caches nor the branch predictor have seen them.
void BM_AreaUnseenRings(benchmark::State& state, area::Kernel kernel) {
  const auto ring = kavrano::bench::wavyRing(1000000);
  const auto addEdges = area::kernelEntry(kernel).addEdges;
  std::size_t first = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(addEdges(ring.data() + first, 1000, 0.0));
    first = (first + 1000) % ring.size();
  }
  state.SetItemsProcessed(state.iterations() * 1000);
}
BENCHMARK_CAPTURE(BM_AreaUnseenRings, widest, area::widestKernel())->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_AreaUnseenRings, scalar, area::Kernel::scalar)->Unit(benchmark::kMicrosecond);

// Each kernel this CPU runs, on its own.
void BM_AreaKernel(benchmark::State& state, area::Kernel kernel) {
  const auto ring = kavrano::bench::wavyRing(static_cast<std::size_t>(state.range(0)));
  const auto addEdges = area::kernelEntry(kernel).addEdges;
  if (!addEdges) return state.SkipWithError("not on this CPU");
  for (auto _ : state) benchmark::DoNotOptimize(addEdges(ring.data(), ring.size(), 0.0));
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK_CAPTURE(BM_AreaKernel, avx2, area::Kernel::avx2)->Arg(1000)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_AreaKernel, avx512, area::Kernel::avx512)->Arg(1000)->Unit(benchmark::kMicrosecond);

// GeographicLib's ellipsoidal polygon area on the same ring, for scale.
void BM_GeographicLibPolygonArea(benchmark::State& state) {
  const auto ring = kavrano::bench::wavyRing(static_cast<std::size_t>(state.range(0)));
  GeographicLib::PolygonArea polygon(GeographicLib::Geodesic::WGS84());
  for (auto _ : state) {
    polygon.Clear();
    for (const auto& c : ring) polygon.AddPoint(c.latitude, c.longitude);
    double perimeter = 0, squareMeters = 0;
    polygon.Compute(false, true, perimeter, squareMeters);
    benchmark::DoNotOptimize(squareMeters);
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_GeographicLibPolygonArea)->Apply(ringSizes)->Unit(benchmark::kMicrosecond);

// The machine-speed anchor of the other core figures: one glibc sine of a latitude.
void BM_GlibcSine(benchmark::State& state) {
  double latitude = 47.3;
  for (auto _ : state) {
    benchmark::DoNotOptimize(area::latitudeSine(latitude));
    latitude += 1e-7;
  }
}
BENCHMARK(BM_GlibcSine);

void BM_Distance(benchmark::State& state) {
  const kavrano::MeasurementManager geo;
  kavrano::Coordinate a{47.3, 8.5}, b{47.31, 8.52};
  for (auto _ : state) {
    benchmark::DoNotOptimize(geo.distance(a, b));
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_Distance);

void BM_Midpoint(benchmark::State& state) {
  const kavrano::MeasurementManager geo;
  kavrano::Coordinate a{47.3, 8.5}, b{47.31, 8.52};
  for (auto _ : state) {
    benchmark::DoNotOptimize(geo.midpoint(a, b));
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_Midpoint);

}  // namespace
