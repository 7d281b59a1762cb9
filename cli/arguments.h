#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <set>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "kavrano/core/coordinate.h"

namespace kavrano::cli {

/// A command line we cannot act on: exit status 2, the message on one line.
class UsageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

/// A well-formed command that could not be carried out: exit status 1.
class CommandFailure : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

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
/// Throws UsageError naming `text`.
[[nodiscard]] Coordinate parseCoordinate(const std::string& text);
[[nodiscard]] std::vector<Coordinate> parseCoordinates(const std::vector<std::string>& texts);

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
  [[nodiscard]] std::optional<std::string> readCommandName();

  /// The value of the option being handled: its "=VALUE" part, else the next
  /// argument as it stands (so a value may start with '-'). An option whose value
  /// was taken before is a usage error.
  [[nodiscard]] std::string optionValue(const std::string& option);

  /// Everything after the command name. `handle` gets each option and returns
  /// false for one the command does not know; the positional arguments are returned.
  [[nodiscard]] std::vector<std::string> readCommandArguments(const std::string& command,
                                                              const std::function<bool(const std::string&)>& handle);

 private:
  [[nodiscard]] bool nextIsOption() const;
  /// Splits "--name=value"; the value waits in inlineValue_ for optionValue().
  [[nodiscard]] std::string takeOption();
  [[nodiscard]] bool takeGlobalOption(const std::string& option);
  void rejectUnusedInlineValue(const std::string& option);

  std::vector<std::string> arguments_;
  std::size_t next_ = 0;
  GlobalOptions& globals_;
  std::optional<std::string> inlineValue_;
  std::set<std::string> valuedOptions_;
  bool optionsEnded_ = false;
};

/// Throws UsageError unless `positionals` has between `min` and `max` entries.
void requireCount(const std::string& command, const std::vector<std::string>& positionals, std::size_t min,
                  std::size_t max, std::string_view what);

}  // namespace kavrano::cli
