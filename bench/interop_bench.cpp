// The file readers beside the parsers they build on, on the same bytes: what the
// checks, line numbers and limits cost on top of parsing alone.
#include <benchmark/benchmark.h>

#include <nlohmann/json.hpp>
#include <pugixml.hpp>
#include <random>

#include "kavrano/interop/measurement_export.h"
#include "kavrano/interop/measurement_import.h"

namespace {

using namespace kavrano;

// 100 measurements of 100 vertices: the size of a parcel survey.
const std::vector<PersistedMeasurement>& survey() {
  static const auto list = [] {
    std::mt19937_64 random(16);
    std::uniform_real_distribution<double> jitter(-0.001, 0.001);
    std::vector<PersistedMeasurement> measurements(100);
    for (std::size_t i = 0; i < measurements.size(); ++i) {
      measurements[i].id = "5F0C2A4E-9B1D-4C3A-8E2F-7A6B5C4D3E21";
      measurements[i].title = "Parcel " + std::to_string(i);
      measurements[i].date = 730987200.0 + static_cast<double>(i);
      for (int v = 0; v < 100; ++v)
        measurements[i].annotations.push_back({46.5 + jitter(random), 6.6 + jitter(random)});
    }
    return measurements;
  }();
  return list;
}

void readGeoJson(benchmark::State& state) {
  const std::string text = interop::writeGeoJson(survey());
  for (auto _ : state) benchmark::DoNotOptimize(interop::readGeoJson(text));
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}
BENCHMARK(readGeoJson)->Unit(benchmark::kMillisecond);

void parseJsonAlone(benchmark::State& state) {
  const std::string text = interop::writeGeoJson(survey());
  for (auto _ : state) benchmark::DoNotOptimize(nlohmann::json::parse(text));
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}
BENCHMARK(parseJsonAlone)->Unit(benchmark::kMillisecond);

void readKml(benchmark::State& state) {
  const std::string text = interop::writeKml(survey());
  for (auto _ : state) benchmark::DoNotOptimize(interop::readKml(text));
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}
BENCHMARK(readKml)->Unit(benchmark::kMillisecond);

void parseKmlXmlAlone(benchmark::State& state) {
  const std::string text = interop::writeKml(survey());
  for (auto _ : state) {
    pugi::xml_document document;
    benchmark::DoNotOptimize(document.load_buffer(text.data(), text.size()));
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}
BENCHMARK(parseKmlXmlAlone)->Unit(benchmark::kMillisecond);

void writeEveryFormat(benchmark::State& state) {
  for (auto _ : state) {
    for (const auto format : {interop::ExportFormat::geojson, interop::ExportFormat::kml, interop::ExportFormat::gpx,
                              interop::ExportFormat::csv})
      benchmark::DoNotOptimize(interop::exportMeasurements(format, survey()));
  }
}
BENCHMARK(writeEveryFormat)->Unit(benchmark::kMillisecond);

}  // namespace
