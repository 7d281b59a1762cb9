#pragma once

#include "kavrano/files/measurement_file_exporter.h"

namespace kavrano {

/// Writes with the interop writers.
class WritingMeasurementFileExporter final : public MeasurementFileExporter {
 public:
  [[nodiscard]] std::optional<std::string> exportFile(const PersistedMeasurement& measurement,
                                                      const std::filesystem::path& file) override;
};

}  // namespace kavrano
