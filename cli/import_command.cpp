#include <string>
#include <utility>

#include "commands.h"
#include "kavrano/core/persistance_manager.h"
#include "kavrano/core/reference_date.h"
#include "kavrano/interop/measurement_import.h"
#include "output_text.h"

namespace kavrano::cli {
namespace {

class ImportCommand final : public Command {
 public:
  ImportCommand(std::vector<std::string> files, bool dryRun) : files_(std::move(files)), dryRun_(dryRun) {}

  Result<void> run(const Context& context) const override {
    const double now = secondsSinceReferenceDateNow();
    std::vector<std::string> failures;
    for (const auto& file : files_) {
      const auto imported = interop::importMeasurementFile(file, now);
      for (const auto& warning : imported.warnings) context.err << "kavrano-cli: warning: " << warning << '\n';
      if (imported.error) {
        failures.push_back(*imported.error);
        continue;
      }
      if (dryRun_) {
        for (const auto& record : imported.records) {
          context.out << iso8601Utc(record.date) << '\t' << record.annotations.size() << '\t'
                      << escapedForLine(record.title) << '\n';
        }
      } else if (auto stored = store(context, imported.records); !stored) {
        return stored;
      }
    }
    if (failures.empty()) return {};
    // Each file's error on its own line; the last one ends the command with status 1.
    for (std::size_t i = 0; i + 1 < failures.size(); ++i) context.err << "kavrano-cli: " << failures[i] << '\n';
    return commandFailure(failures.back());
  }

 private:
  static Result<void> store(const Context& context, const std::vector<PersistedMeasurement>& records) {
    PersistanceManager manager;
    if (const auto saved = interop::saveAllOrNone(manager, records); !saved) {
      return commandFailure("nothing of the file was saved in " + quotedArgument(context.dataDirectory.string()) +
                            ": " + saved.failure().reason);
    }
    for (const auto& record : records) context.out << record.id << '\n';
    return {};
  }

  std::vector<std::string> files_;
  bool dryRun_;
};

}  // namespace

ParsedCommand parseImport(ArgumentReader& reader) {
  bool dryRun = false;
  auto files = reader.readCommandArguments("import", [&](const std::string& option) -> Result<bool> {
    if (option != "--dry-run") return false;
    dryRun = true;
    return true;
  });
  if (!files) return files.failure();
  if (auto counted = requireCount("import", files.value(), 1, SIZE_MAX, "at least one file"); !counted)
    return counted.failure();
  return parsed<ImportCommand>(std::move(files).value(), dryRun);
}

}  // namespace kavrano::cli
