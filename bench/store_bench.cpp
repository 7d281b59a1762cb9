// The saved list in a real store file: load, append and delete at 1,000, 10,000 and
// 50,000 records of ten points, each beside its anchor from the same run, one write
// of the list's bytes (`BM_WriteListBytes`): what any store must pay to put the list
// on disk with full sync, so the ratio is our own cost and survives a loaded machine.
// The anchor's bytes change length every time, as a save's do: SQLite skips the
// pages of a value rewritten with the same length and bytes.
#include <benchmark/benchmark.h>
#include <malloc.h>
#include <sys/resource.h>

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

std::string encodedList(int count) {
  std::vector<PersistedMeasurement> list;
  list.reserve(count);
  for (int i = 0; i < count; ++i) list.push_back(tenPointRecord(i));
  return *kavrano::encodeMeasurements(list);
}

// A real store file holding `count` saved measurements of ten points each, in a
// process that keeps freed memory for reuse as the app does (app/src/memory_tuning.cpp),
// and whose store has done the operation once, as the app's has after its first save:
// the figures are of a save in a running app.
struct FilledStore {
  explicit FilledStore(int count) {
    mallopt(M_MMAP_THRESHOLD, 32 << 20);
    mallopt(M_TRIM_THRESHOLD, 64 << 20);
    dir = std::filesystem::temp_directory_path() / "kavrano-store-bench";
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    store = kavrano::SqlitePreferenceStore::open(dir / kavrano::SqlitePreferenceStore::kFileName).value();
    json = encodedList(count);
    (void)store->setData(kavrano::Bytes(json.begin(), json.end()), "PERSISTED_MEASUREMENTS");
  }
  ~FilledStore() {
    store.reset();
    std::filesystem::remove_all(dir);
  }
  std::filesystem::path dir;
  std::string json;
  std::unique_ptr<kavrano::SqlitePreferenceStore> store;
};

// Page faults of the timed part, per operation: memory the operation takes afresh
// from the kernel, a count that a loaded machine does not blur.
class FaultCount {
 public:
  void start() { at_ = now(); }
  void stop() { total_ += now() - at_; }
  void report(benchmark::State& state) const {
    state.counters["faults"] = benchmark::Counter(static_cast<double>(total_), benchmark::Counter::kAvgIterations);
  }

 private:
  static long now() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_minflt + usage.ru_majflt;
  }
  long at_ = 0;
  long total_ = 0;
};

void listSizes(benchmark::internal::Benchmark* b) {
  b->Arg(1000)->Arg(10000)->Arg(50000)->Unit(benchmark::kMillisecond)->UseRealTime();
}

void BM_WriteListBytes(benchmark::State& state) {
  FilledStore filled(static_cast<int>(state.range(0)));
  const std::string longer = filled.json + ' ';
  bool odd = false;
  const auto write = [&] {
    const std::string& bytes = (odd = !odd) ? longer : filled.json;
    return filled.store
        ->transaction([&](kavrano::PreferenceTransaction& transaction) {
          return transaction.setData("PERSISTED_MEASUREMENTS", bytes);
        })
        .ok();
  };
  (void)write();
  FaultCount faults;
  faults.start();
  for (auto _ : state)
    if (!write()) state.SkipWithError("the write failed");
  faults.stop();
  faults.report(state);
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(filled.json.size()));
}
BENCHMARK(BM_WriteListBytes)->Apply(listSizes);

void BM_LoadMeasurements(benchmark::State& state) {
  FilledStore filled(static_cast<int>(state.range(0)));
  kavrano::PersistanceManager manager(*filled.store);
  benchmark::DoNotOptimize(manager.loadMeasurements());
  FaultCount faults;
  faults.start();
  for (auto _ : state) benchmark::DoNotOptimize(manager.loadMeasurements());
  faults.stop();
  faults.report(state);
}
BENCHMARK(BM_LoadMeasurements)->Apply(listSizes);

void BM_AppendMeasurement(benchmark::State& state) {
  FilledStore filled(static_cast<int>(state.range(0)));
  kavrano::PersistanceManager manager(*filled.store);
  int n = 0;
  (void)manager.appendMeasurement(tenPointRecord(n++));
  FaultCount faults;
  faults.start();
  for (auto _ : state)
    if (!manager.appendMeasurement(tenPointRecord(n++))) state.SkipWithError("the append failed");
  faults.stop();
  faults.report(state);
}
BENCHMARK(BM_AppendMeasurement)->Apply(listSizes);

void BM_DeleteMeasurement(benchmark::State& state) {
  FilledStore filled(static_cast<int>(state.range(0)));
  kavrano::PersistanceManager manager(*filled.store);
  int n = 0;
  const auto first = tenPointRecord(n++);
  (void)manager.appendMeasurement(first);
  (void)manager.deleteMeasurement(first);
  FaultCount faults;
  for (auto _ : state) {
    state.PauseTiming();
    const auto extra = tenPointRecord(n++);
    (void)manager.appendMeasurement(extra);
    state.ResumeTiming();
    faults.start();
    if (!manager.deleteMeasurement(extra)) state.SkipWithError("the delete failed");
    faults.stop();
  }
  faults.report(state);
}
BENCHMARK(BM_DeleteMeasurement)->Apply(listSizes);

void BM_DecodeOnly(benchmark::State& state) {
  const auto json = encodedList(static_cast<int>(state.range(0)));
  for (auto _ : state) benchmark::DoNotOptimize(kavrano::decodeMeasurements(json));
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(json.size()));
}
BENCHMARK(BM_DecodeOnly)->Arg(10000)->Unit(benchmark::kMillisecond);

void BM_EncodeOnly(benchmark::State& state) {
  std::vector<PersistedMeasurement> list;
  list.reserve(state.range(0));
  for (int i = 0; i < state.range(0); ++i) list.push_back(tenPointRecord(i));
  std::string out;
  for (auto _ : state) benchmark::DoNotOptimize(kavrano::encodeMeasurements(list, out));
}
BENCHMARK(BM_EncodeOnly)->Arg(10000)->Unit(benchmark::kMillisecond);

}  // namespace
