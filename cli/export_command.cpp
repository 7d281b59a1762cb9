#include <algorithm>
#include <string>
#include <utility>

#include "commands.h"
#include "kavrano/core/persistance_manager.h"
#include "kavrano/interop/measurement_export.h"
#include "output_text.h"

namespace kavrano::cli {
namespace {

class ExportCommand final : public Command {
 public:
  ExportCommand(interop::ExportFormat format, std::vector<std::string> ids) : format_(format), ids_(std::move(ids)) {}

  Result<void> run(const Context& context) const override {
    auto measurements = PersistanceManager().loadMeasurements();
    if (!ids_.empty()) {
      auto picked = chosen(measurements);
      if (!picked) return picked.failure();
      measurements = std::move(picked).value();
    }
    const auto text = interop::exportMeasurements(format_, measurements);
    if (!text) return commandFailure("the saved measurements could not be encoded as JSON");
    // JSON carries DEL and C1 controls as they are; a terminal would act on them.
    const bool json = format_ == interop::ExportFormat::json || format_ == interop::ExportFormat::geojson;
    context.out << (json ? withControlsEscaped(*text) : *text);
    return {};
  }

 private:
  // In the order asked for; an id asked for twice is written twice.
  Result<std::vector<PersistedMeasurement>> chosen(const std::vector<PersistedMeasurement>& stored) const {
    std::vector<PersistedMeasurement> list;
    for (const auto& id : ids_) {
      const auto found =
          std::find_if(stored.begin(), stored.end(), [&](const auto& record) { return record.id == id; });
      if (found == stored.end()) return commandFailure("no saved measurement has the id " + quotedArgument(id));
      list.push_back(*found);
    }
    return list;
  }

  interop::ExportFormat format_;
  std::vector<std::string> ids_;
};

}  // namespace

ParsedCommand parseExport(ArgumentReader& reader) {
  std::optional<std::string> format;
  auto ids = reader.readCommandArguments("export", [&](const std::string& option) -> Result<bool> {
    if (option != "--format") return false;
    return reader.readValue(option, format);
  });
  if (!ids) return ids.failure();
  const auto chosen = interop::exportFormatNamed(format.value_or("json"));
  if (!chosen) {
    return usageError("unknown export format " + quotedArgument(*format) + " (json, geojson, kml, gpx or csv)");
  }
  return parsed<ExportCommand>(*chosen, std::move(ids).value());
}

}  // namespace kavrano::cli
