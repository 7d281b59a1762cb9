#include "kavrano/interop/measurement_export.h"

#include <algorithm>
#include <array>
#include <cctype>
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

std::optional<ExportFormat> exportFormatForFile(const std::filesystem::path& file) {
  std::string extension = file.extension().string();
  std::transform(extension.begin(), extension.end(), extension.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  if (extension == ".geojson" || extension == ".json") return ExportFormat::geojson;
  if (extension == ".kml") return ExportFormat::kml;
  if (extension == ".gpx") return ExportFormat::gpx;
  if (extension == ".csv") return ExportFormat::csv;
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
