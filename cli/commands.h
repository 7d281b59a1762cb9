#pragma once

#include <filesystem>
#include <memory>
#include <ostream>

#include "arguments.h"
#include "kavrano/core/preference_store.h"
#include "kavrano/core/result.h"

namespace kavrano::cli {

/// What a command runs against, set up by start-up.
struct Context {
  std::filesystem::path dataDirectory;
  PreferenceStore& store;  // also the installed standard store
  std::ostream& out;
  std::ostream& err;
};

/// One parsed command, ready to run. Parsing has no side effects, so a usage
/// error never leaves anything behind; running throws CommandFailure.
class Command {
 public:
  virtual ~Command() = default;
  virtual void run(const Context& context) const = 0;
};

/// Each takes the reader positioned after the command name.
using CommandParser = std::unique_ptr<Command> (*)(ArgumentReader& reader);

[[nodiscard]] std::unique_ptr<Command> parseArea(ArgumentReader& reader);
[[nodiscard]] std::unique_ptr<Command> parseLength(ArgumentReader& reader);
[[nodiscard]] std::unique_ptr<Command> parseMidpoint(ArgumentReader& reader);
[[nodiscard]] std::unique_ptr<Command> parseUnits(ArgumentReader& reader);
[[nodiscard]] std::unique_ptr<Command> parseText(ArgumentReader& reader);
[[nodiscard]] std::unique_ptr<Command> parseSave(ArgumentReader& reader);
[[nodiscard]] std::unique_ptr<Command> parseList(ArgumentReader& reader);
[[nodiscard]] std::unique_ptr<Command> parseExport(ArgumentReader& reader);
[[nodiscard]] std::unique_ptr<Command> parseImport(ArgumentReader& reader);
[[nodiscard]] std::unique_ptr<Command> parseDelete(ArgumentReader& reader);
[[nodiscard]] std::unique_ptr<Command> parseEvents(ArgumentReader& reader);
[[nodiscard]] std::unique_ptr<Command> parseDefaults(ArgumentReader& reader);

/// Throws CommandFailure with the store's reason when `written` failed.
void requireStored(const Result<void>& written, const Context& context);

}  // namespace kavrano::cli
