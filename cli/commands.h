#pragma once

#include <filesystem>
#include <memory>
#include <ostream>
#include <utility>

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
/// error never leaves anything behind.
class Command {
 public:
  virtual ~Command() = default;
  [[nodiscard]] virtual Result<void> run(const Context& context) const = 0;
};

using ParsedCommand = Result<std::unique_ptr<Command>>;

template <class C, class... Args>
[[nodiscard]] ParsedCommand parsed(Args&&... args) {
  return std::unique_ptr<Command>(std::make_unique<C>(std::forward<Args>(args)...));
}

/// Each takes the reader positioned after the command name.
using CommandParser = ParsedCommand (*)(ArgumentReader& reader);

[[nodiscard]] ParsedCommand parseArea(ArgumentReader& reader);
[[nodiscard]] ParsedCommand parseLength(ArgumentReader& reader);
[[nodiscard]] ParsedCommand parseMidpoint(ArgumentReader& reader);
[[nodiscard]] ParsedCommand parseUnits(ArgumentReader& reader);
[[nodiscard]] ParsedCommand parseText(ArgumentReader& reader);
[[nodiscard]] ParsedCommand parseSave(ArgumentReader& reader);
[[nodiscard]] ParsedCommand parseList(ArgumentReader& reader);
[[nodiscard]] ParsedCommand parseExport(ArgumentReader& reader);
[[nodiscard]] ParsedCommand parseImport(ArgumentReader& reader);
[[nodiscard]] ParsedCommand parseDelete(ArgumentReader& reader);
[[nodiscard]] ParsedCommand parseEvents(ArgumentReader& reader);
[[nodiscard]] ParsedCommand parseDefaults(ArgumentReader& reader);

/// A failed write as the command's failure: the store's reason, naming the data folder.
[[nodiscard]] Result<void> requireStored(const Result<void>& written, const Context& context);

}  // namespace kavrano::cli
