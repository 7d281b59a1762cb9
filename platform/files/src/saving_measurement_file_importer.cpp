#include "kavrano/files/saving_measurement_file_importer.h"

#include "kavrano/core/persistance_manager.h"
#include "kavrano/core/reference_date.h"
#include "kavrano/interop/measurement_import.h"

namespace kavrano {

ImportedMeasurements SavingMeasurementFileImporter::importFile(const std::filesystem::path& file) {
  auto read = interop::importMeasurementFile(file, secondsSinceReferenceDateNow());
  ImportedMeasurements imported{{}, std::move(read.warnings), std::move(read.error)};
  if (imported.error) return imported;
  PersistanceManager store(store_);
  if (const auto saved = interop::saveAllOrNone(store, read.records); !saved) {
    imported.error = file.string() + ": nothing of it was saved. " + saved.failure().reason + '.';
    return imported;
  }
  imported.records = std::move(read.records);
  return imported;
}

}  // namespace kavrano
