#include <benchmark/benchmark.h>

#include <filesystem>

#include "kavrano/core/persistance_manager.h"
#include "kavrano/core/sqlite_preference_store.h"
#include "kavrano/core/uuid.h"

namespace {

using kavrano::PersistedMeasurement;

PersistedMeasurement tenPointRecord(int n) {
  PersistedMeasurement m{kavrano::makeUuidString(), 786000000.123456 + n, {}, "Field " + std::to_string(n), {}};
  for (int v = 0; v < 10; ++v) m.annotations.push_back({47.312345678901234 + v * 1e-4, 8.512345678901234 - v * 1e-4});
  m.center = {47.3125, 8.5125};
  return m;
}

// A real store file holding `count` saved measurements of ten points each.
struct FilledStore {
  explicit FilledStore(int count) {
    dir = std::filesystem::temp_directory_path() / "kavrano-store-bench";
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    store = kavrano::SqlitePreferenceStore::open(dir / kavrano::SqlitePreferenceStore::kFileName).value();
    std::vector<PersistedMeasurement> list;
    for (int i = 0; i < count; ++i) list.push_back(tenPointRecord(i));
    const auto json = kavrano::encodeMeasurements(list);
    store->setData(kavrano::Bytes(json->begin(), json->end()), "PERSISTED_MEASUREMENTS");
  }
  ~FilledStore() {
    store.reset();
    std::filesystem::remove_all(dir);
  }
  std::filesystem::path dir;
  std::unique_ptr<kavrano::SqlitePreferenceStore> store;
};

void BM_LoadMeasurements(benchmark::State& state) {
  FilledStore filled(static_cast<int>(state.range(0)));
  kavrano::PersistanceManager manager(*filled.store);
  for (auto _ : state) benchmark::DoNotOptimize(manager.loadMeasurements());
}
BENCHMARK(BM_LoadMeasurements)->Arg(10000)->Unit(benchmark::kMillisecond);

void BM_AppendMeasurement(benchmark::State& state) {
  FilledStore filled(static_cast<int>(state.range(0)));
  kavrano::PersistanceManager manager(*filled.store);
  int n = 0;
  for (auto _ : state) manager.appendMeasurement(tenPointRecord(n++));
}
BENCHMARK(BM_AppendMeasurement)->Arg(10000)->Unit(benchmark::kMillisecond);

void BM_DeleteMeasurement(benchmark::State& state) {
  FilledStore filled(static_cast<int>(state.range(0)));
  kavrano::PersistanceManager manager(*filled.store);
  int n = 0;
  for (auto _ : state) {
    state.PauseTiming();
    const auto extra = tenPointRecord(n++);
    manager.appendMeasurement(extra);
    state.ResumeTiming();
    manager.deleteMeasurement(extra);
  }
}
BENCHMARK(BM_DeleteMeasurement)->Arg(10000)->Unit(benchmark::kMillisecond);

void BM_DecodeOnly(benchmark::State& state) {
  std::vector<PersistedMeasurement> list;
  for (int i = 0; i < state.range(0); ++i) list.push_back(tenPointRecord(i));
  const auto json = *kavrano::encodeMeasurements(list);
  for (auto _ : state) benchmark::DoNotOptimize(kavrano::decodeMeasurements(json));
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(json.size()));
}
BENCHMARK(BM_DecodeOnly)->Arg(10000)->Unit(benchmark::kMillisecond);

void BM_EncodeOnly(benchmark::State& state) {
  std::vector<PersistedMeasurement> list;
  for (int i = 0; i < state.range(0); ++i) list.push_back(tenPointRecord(i));
  for (auto _ : state) benchmark::DoNotOptimize(kavrano::encodeMeasurements(list));
}
BENCHMARK(BM_EncodeOnly)->Arg(10000)->Unit(benchmark::kMillisecond);

}  // namespace
