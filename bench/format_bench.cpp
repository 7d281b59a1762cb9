#include <benchmark/benchmark.h>

#include <filesystem>

#include "kavrano/core/memory_preference_store.h"
#include "kavrano/core/number_text.h"
#include "kavrano/core/sqlite_preference_store.h"
#include "kavrano/core/unit_converter.h"

namespace {

// Each call reads the chosen unit from the store and the locale from the
// environment, as the screens do; only the ICU formatter is reused.
template <class Text>
void runTexts(benchmark::State& state, kavrano::PreferenceStore& store, Text text) {
  kavrano::setUserNumberLocaleOverride("en_US");
  kavrano::UnitConverter converter(store);
  double value = 1234.5678;
  for (auto _ : state) {
    benchmark::DoNotOptimize(text(converter, value));
    value += 0.37;
  }
}

void BM_LengthText_MemoryStore(benchmark::State& state) {
  kavrano::MemoryPreferenceStore store;
  runTexts(state, store, [](auto& c, double v) { return c.lengthText(v); });
}
BENCHMARK(BM_LengthText_MemoryStore);

void BM_AreaText_MemoryStore(benchmark::State& state) {
  kavrano::MemoryPreferenceStore store;
  store.setString("ac", "AREA_UNIT");
  runTexts(state, store, [](auto& c, double v) { return c.areaText(v); });
}
BENCHMARK(BM_AreaText_MemoryStore);

std::unique_ptr<kavrano::SqlitePreferenceStore> benchStore() {
  const auto dir = std::filesystem::temp_directory_path() / "kavrano-format-bench";
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir);
  return kavrano::SqlitePreferenceStore::open(dir / kavrano::SqlitePreferenceStore::kFileName).value();
}

void BM_LengthText_SqliteStore(benchmark::State& state) {
  auto store = benchStore();
  store->setString("km", "LENGTH_UNIT");
  runTexts(state, *store, [](auto& c, double v) { return c.lengthText(v); });
}
BENCHMARK(BM_LengthText_SqliteStore);

void BM_AreaText_SqliteStore(benchmark::State& state) {
  auto store = benchStore();
  store->setString("ha", "AREA_UNIT");
  runTexts(state, *store, [](auto& c, double v) { return c.areaText(v); });
}
BENCHMARK(BM_AreaText_SqliteStore);

}  // namespace
