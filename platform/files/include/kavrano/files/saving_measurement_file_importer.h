#pragma once

#include "kavrano/core/preference_store.h"
#include "kavrano/files/measurement_file_importer.h"

namespace kavrano {

/// Reads with the interop readers and appends to the saved list in `store`.
class SavingMeasurementFileImporter final : public MeasurementFileImporter {
 public:
  explicit SavingMeasurementFileImporter(PreferenceStore& store) : store_(store) {}
  [[nodiscard]] ImportedMeasurements importFile(const std::filesystem::path& file) override;

 private:
  PreferenceStore& store_;
};

}  // namespace kavrano
