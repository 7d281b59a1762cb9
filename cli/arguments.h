#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "kavrano/core/coordinate.h"
#include "kavrano/core/result.h"

namespace kavrano::cli {

/// A command line we cannot act on: exit status 2, the message on one line.
[[nodiscard]] inline Failure usageError(std::string message) {
  return {std::move(message), Failure::Kind::invalidRequest};
}

/// A well-formed command that could not be carried out: exit status 1.
[[nodiscard]] inline Failure commandFailure(std::string message) { return {std::move(message)}; }

/// Options that every command accepts, before or after its name.
struct GlobalOptions {
  std::optional<std::filesystem::path> dataDirectory;
  std::optional<std::string> locale;
  bool help = false;
};

/// `text` between single quotes, escaped as escapedForLine does, so a message that
/// names an argument stays on one line and cannot steer the terminal.
[[nodiscard]] std::string quotedArgument(std::string_view text);

/// "LAT,LON": two plain decimal numbers, latitude within ±90 and longitude within ±180.
/// A usage error names `text`.
[[nodiscard]] Result<Coordinate> parseCoordinate(const std::string& text);
[[nodiscard]] Result<std::vector<Coordinate>> parseCoordinates(const std::vector<std::string>& texts);

/// A finite plain decimal number, using all of `text`: an optional '-', digits with
/// an optional fraction and exponent ("-12.5", ".5", "1e3"). No hex, '+', "inf" or spaces.
[[nodiscard]] std::optional<double> parseFiniteNumber(const std::string& text);
/// true/false/yes/no/1/0, any case.
[[nodiscard]] std::optional<bool> parseBoolWord(std::string_view text);
/// A whole decimal integer that fits 64 bits.
[[nodiscard]] std::optional<std::int64_t> parseInteger(const std::string& text);

[[nodiscard]] bool isValidUtf8(std::string_view text);

/// Walks the command line. Global options are taken wherever they stand; a
/// command hands its own options to the reader as a callback.
class ArgumentReader {
 public:
  ArgumentReader(std::vector<std::string> arguments, GlobalOptions& globals);

  /// Takes global options up to the command name and returns that name, or none.
  [[nodiscard]] Result<std::optional<std::string>> readCommandName();

  /// The value of the option being handled: its "=VALUE" part, else the next
  /// argument as it stands (so a value may start with '-'). An option whose value
  /// was taken before is a usage error.
  [[nodiscard]] Result<std::string> optionValue(const std::string& option);
  /// optionValue() into `into`; true, for a command's option handler to return.
  [[nodiscard]] Result<bool> readValue(const std::string& option, std::optional<std::string>& into);

  /// Everything after the command name. `handle` gets each option and returns
  /// false for one the command does not know; the positional arguments are returned.
  using OptionHandler = std::function<Result<bool>(const std::string&)>;
  [[nodiscard]] Result<std::vector<std::string>> readCommandArguments(const std::string& command,
                                                                      const OptionHandler& handle);
  /// The same for a command without options of its own.
  [[nodiscard]] Result<std::vector<std::string>> readCommandArguments(const std::string& command);

 private:
  [[nodiscard]] bool nextIsOption() const;
  /// Splits "--name=value"; the value waits in inlineValue_ for optionValue().
  [[nodiscard]] std::string takeOption();
  [[nodiscard]] Result<bool> takeGlobalOption(const std::string& option);
  [[nodiscard]] Result<void> rejectUnusedInlineValue(const std::string& option) const;

  std::vector<std::string> arguments_;
  std::size_t next_ = 0;
  GlobalOptions& globals_;
  std::optional<std::string> inlineValue_;
  std::set<std::string> valuedOptions_;
  bool optionsEnded_ = false;
};

/// The arguments of a command without options of its own, between `min` and `max` of them.
[[nodiscard]] Result<std::vector<std::string>> readCountedArguments(ArgumentReader& reader, const std::string& command,
                                                                    std::size_t min, std::size_t max,
                                                                    std::string_view what);

/// A usage error unless `positionals` has between `min` and `max` entries.
[[nodiscard]] Result<void> requireCount(const std::string& command, const std::vector<std::string>& positionals,
                                        std::size_t min, std::size_t max, std::string_view what);

}  // namespace kavrano::cli
