#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "kavrano/core/persisted_measurement.h"

namespace kavrano {

/// What a measurement file brought in. Every message names the file and line.
struct ImportedMeasurements {
  std::vector<PersistedMeasurement> records;  ///< saved, in the file's order
  std::vector<std::string> warnings;          ///< what was read differently from the file
  std::optional<std::string> error;           ///< set when nothing of the file was saved
};

/// Turns a GeoJSON, KML or GPX file into saved measurements, all or nothing.
class MeasurementFileImporter {
 public:
  virtual ~MeasurementFileImporter() = default;
  [[nodiscard]] virtual ImportedMeasurements importFile(const std::filesystem::path& file) = 0;
};

}  // namespace kavrano
