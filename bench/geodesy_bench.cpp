#include <benchmark/benchmark.h>

#include "bench_rings.h"
#include "kavrano/core/measurement_manager.h"

namespace {

void BM_PolygonArea(benchmark::State& state) {
  const auto ring = kavrano::bench::wavyRing(static_cast<std::size_t>(state.range(0)));
  const kavrano::MeasurementManager geo;
  for (auto _ : state) benchmark::DoNotOptimize(geo.polygonArea(ring));
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_PolygonArea)->Arg(1000)->Arg(1000000)->Unit(benchmark::kMicrosecond);

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
