#include "kavrano/interop/measurement_export.h"

#include <array>
#include <utility>

namespace kavrano::interop {
namespace {

constexpr std::array<std::pair<std::string_view, ExportFormat>, 5> kNames{{
    {"json", ExportFormat::json},
    {"geojson", ExportFormat::geojson},
    {"kml", ExportFormat::kml},
    {"gpx", ExportFormat::gpx},
    {"csv", ExportFormat::csv},
}};

}  // namespace

std::optional<ExportFormat> exportFormatNamed(std::string_view name) {
  for (const auto& [text, format] : kNames) {
    if (text == name) return format;
  }
  return std::nullopt;
}

std::optional<std::string> exportMeasurements(ExportFormat format, std::span<const PersistedMeasurement> measurements) {
  switch (format) {
    case ExportFormat::json:
      if (auto json = encodeMeasurements({measurements.begin(), measurements.end()})) return *json + "\n";
      return std::nullopt;
    case ExportFormat::geojson:
      return writeGeoJson(measurements);
    case ExportFormat::kml:
      return writeKml(measurements);
    case ExportFormat::gpx:
      return writeGpx(measurements);
    case ExportFormat::csv:
      return writeCsv(measurements);
  }
  return std::nullopt;
}

}  // namespace kavrano::interop
