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

  void run(const Context& context) const override {
    auto measurements = PersistanceManager().loadMeasurements();
    if (!ids_.empty()) measurements = chosen(measurements);
    const auto text = interop::exportMeasurements(format_, measurements);
    if (!text) throw CommandFailure("the saved measurements could not be encoded as JSON");
    // JSON carries DEL and C1 controls as they are; a terminal would act on them.
    const bool json = format_ == interop::ExportFormat::json || format_ == interop::ExportFormat::geojson;
    context.out << (json ? withControlsEscaped(*text) : *text);
  }

 private:
  // In the order asked for; an id asked for twice is written twice.
  std::vector<PersistedMeasurement> chosen(const std::vector<PersistedMeasurement>& stored) const {
    std::vector<PersistedMeasurement> list;
    for (const auto& id : ids_) {
      const auto found =
          std::find_if(stored.begin(), stored.end(), [&](const auto& record) { return record.id == id; });
      if (found == stored.end()) throw CommandFailure("no saved measurement has the id " + quotedArgument(id));
      list.push_back(*found);
    }
    return list;
  }

  interop::ExportFormat format_;
  std::vector<std::string> ids_;
};

}  // namespace

std::unique_ptr<Command> parseExport(ArgumentReader& reader) {
  std::string format = "json";
  auto ids = reader.readCommandArguments("export", [&](const std::string& option) {
    if (option != "--format") return false;
    format = reader.optionValue(option);
    return true;
  });
  const auto chosen = interop::exportFormatNamed(format);
  if (!chosen) {
    throw UsageError("unknown export format " + quotedArgument(format) + " (json, geojson, kml, gpx or csv)");
  }
  return std::make_unique<ExportCommand>(*chosen, std::move(ids));
}

}  // namespace kavrano::cli
