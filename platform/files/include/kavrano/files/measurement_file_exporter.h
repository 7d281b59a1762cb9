#pragma once

#include <filesystem>
#include <optional>
#include <string>

#include "kavrano/core/persisted_measurement.h"

namespace kavrano {

/// Writes one measurement into a file of a GIS format chosen by the file's
/// extension (.geojson or .json, .kml, .gpx, .csv).
class MeasurementFileExporter {
 public:
  virtual ~MeasurementFileExporter() = default;
  /// None when the file was written; else why not, for the user, naming the file
  /// without its folders.
  [[nodiscard]] virtual std::optional<std::string> exportFile(const PersistedMeasurement& measurement,
                                                              const std::filesystem::path& file) = 0;
};

}  // namespace kavrano
