#include "arguments.h"

#include <locale.h>
#include <stdlib.h>

#include <cerrno>
#include <cmath>
#include <utility>

#include "kavrano/core/number_text.h"
#include "output_text.h"

namespace kavrano::cli {
namespace {

// The user's locale must not change what "0.5" means on the command line.
locale_t cLocale() {
  static const locale_t locale = newlocale(LC_ALL_MASK, "C", nullptr);
  return locale;
}

}  // namespace

namespace {

bool isDigit(char c) { return c >= '0' && c <= '9'; }

std::size_t skipDigits(const std::string& text, std::size_t at) {
  while (at < text.size() && isDigit(text[at])) ++at;
  return at;
}

// [-]digits[.digits][e[+|-]digits], or with the digits on one side of the point only.
// strtod alone would also take hex floats, "inf", a leading '+' and white space.
bool isPlainDecimal(const std::string& text) {
  std::size_t at = text.empty() || text[0] != '-' ? 0 : 1;
  const std::size_t integerEnd = skipDigits(text, at);
  bool digits = integerEnd > at;
  at = integerEnd;
  if (at < text.size() && text[at] == '.') {
    const std::size_t fractionEnd = skipDigits(text, at + 1);
    digits = digits || fractionEnd > at + 1;
    at = fractionEnd;
  }
  if (!digits) return false;
  if (at < text.size() && (text[at] == 'e' || text[at] == 'E')) {
    ++at;
    if (at < text.size() && (text[at] == '+' || text[at] == '-')) ++at;
    const std::size_t exponentEnd = skipDigits(text, at);
    if (exponentEnd == at) return false;
    at = exponentEnd;
  }
  return at == text.size();
}

}  // namespace

std::optional<double> parseFiniteNumber(const std::string& text) {
  if (!isPlainDecimal(text)) return std::nullopt;
  char* end = nullptr;
  const double value = strtod_l(text.c_str(), &end, cLocale());
  if (end != text.c_str() + text.size() || !std::isfinite(value)) return std::nullopt;
  return value;
}

namespace {

bool isAsciiLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

// "-23.5,-46.6" and "-5" are values, not options; neither is anything with a comma.
bool looksLikeOption(std::string_view token) {
  if (token.size() < 2 || token[0] != '-' || token.find(',') != std::string_view::npos) return false;
  if (token[1] == '-') return token.size() > 2;
  return isAsciiLetter(token[1]);
}

}  // namespace

std::string quotedArgument(std::string_view text) { return "'" + escapedForLine(text) + "'"; }

Result<Coordinate> parseCoordinate(const std::string& text) {
  const auto comma = text.find(',');
  if (comma == std::string::npos || text.find(',', comma + 1) != std::string::npos) {
    return usageError("invalid coordinate " + quotedArgument(text) + ": expected LAT,LON");
  }
  const auto latitude = parseFiniteNumber(text.substr(0, comma));
  const auto longitude = parseFiniteNumber(text.substr(comma + 1));
  if (!latitude || !longitude) {
    return usageError("invalid coordinate " + quotedArgument(text) +
                      ": latitude and longitude must be finite decimal numbers");
  }
  if (*latitude < -90.0 || *latitude > 90.0) {
    return usageError("invalid coordinate " + quotedArgument(text) + ": latitude must lie between -90 and 90");
  }
  if (*longitude < -180.0 || *longitude > 180.0) {
    return usageError("invalid coordinate " + quotedArgument(text) + ": longitude must lie between -180 and 180");
  }
  return Coordinate{*latitude, *longitude};
}

Result<std::vector<Coordinate>> parseCoordinates(const std::vector<std::string>& texts) {
  std::vector<Coordinate> coordinates;
  coordinates.reserve(texts.size());
  for (const auto& text : texts) {
    const auto coordinate = parseCoordinate(text);
    if (!coordinate) return coordinate.failure();
    coordinates.push_back(coordinate.value());
  }
  return coordinates;
}

std::optional<bool> parseBoolWord(std::string_view text) {
  std::string lower;
  for (const char c : text) lower += (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
  if (lower == "true" || lower == "yes" || lower == "1") return true;
  if (lower == "false" || lower == "no" || lower == "0") return false;
  return std::nullopt;
}

std::optional<std::int64_t> parseInteger(const std::string& text) {
  if (text.empty()) return std::nullopt;
  char* end = nullptr;
  errno = 0;
  const long long value = std::strtoll(text.c_str(), &end, 10);
  if (end != text.c_str() + text.size() || errno == ERANGE) return std::nullopt;
  return static_cast<std::int64_t>(value);
}

bool isValidUtf8(std::string_view text) {
  for (std::size_t i = 0; i < text.size();) {
    const std::size_t length = utf8SequenceLength(text, i);
    if (length == 0) return false;
    i += length;
  }
  return true;
}

ArgumentReader::ArgumentReader(std::vector<std::string> arguments, GlobalOptions& globals)
    : arguments_(std::move(arguments)), globals_(globals) {}

bool ArgumentReader::nextIsOption() const {
  return !optionsEnded_ && next_ < arguments_.size() && looksLikeOption(arguments_[next_]);
}

std::string ArgumentReader::takeOption() {
  std::string token = arguments_[next_++];
  inlineValue_.reset();
  if (const auto equals = token.find('='); equals != std::string::npos) {
    inlineValue_ = token.substr(equals + 1);
    token.resize(equals);
  }
  return token;
}

Result<std::string> ArgumentReader::optionValue(const std::string& option) {
  // Keeping the last of two values would silently drop what the user typed first.
  if (!valuedOptions_.insert(option).second) {
    return usageError("option " + quotedArgument(option) + " given more than once");
  }
  if (inlineValue_) return *std::exchange(inlineValue_, std::nullopt);
  if (next_ >= arguments_.size()) return usageError("option " + quotedArgument(option) + " needs a value");
  return arguments_[next_++];
}

Result<bool> ArgumentReader::readValue(const std::string& option, std::optional<std::string>& into) {
  auto value = optionValue(option);
  if (!value) return value.failure();
  into = std::move(value).value();
  return true;
}

Result<void> ArgumentReader::rejectUnusedInlineValue(const std::string& option) const {
  if (inlineValue_) return usageError("option " + quotedArgument(option) + " takes no value");
  return {};
}

Result<bool> ArgumentReader::takeGlobalOption(const std::string& option) {
  if (option == "--data-dir") {
    const auto value = optionValue(option);
    if (!value) return value.failure();
    if (value->empty()) return usageError("option '--data-dir' needs a directory");
    globals_.dataDirectory = value.value();
  } else if (option == "--locale") {
    const auto value = optionValue(option);
    if (!value) return value.failure();
    if (value->empty() || !isKnownNumberLocale(value.value()))
      return usageError("unknown locale " + quotedArgument(value.value()));
    globals_.locale = value.value();
  } else if (option == "--help" || option == "-h") {
    globals_.help = true;
  } else {
    return false;
  }
  return true;
}

Result<std::optional<std::string>> ArgumentReader::readCommandName() {
  while (next_ < arguments_.size()) {
    if (arguments_[next_] == "--" && !optionsEnded_) {
      optionsEnded_ = true;
      ++next_;
    } else if (nextIsOption()) {
      const auto option = takeOption();
      const auto known = takeGlobalOption(option);
      if (!known) return known.failure();
      if (!known.value()) return usageError("unknown option " + quotedArgument(option));
      if (auto used = rejectUnusedInlineValue(option); !used) return used.failure();
    } else {
      return std::optional<std::string>(arguments_[next_++]);
    }
  }
  return std::optional<std::string>();
}

Result<std::vector<std::string>> ArgumentReader::readCommandArguments(const std::string& command,
                                                                      const OptionHandler& handle) {
  std::vector<std::string> positionals;
  while (next_ < arguments_.size()) {
    if (arguments_[next_] == "--" && !optionsEnded_) {
      optionsEnded_ = true;
      ++next_;
    } else if (nextIsOption()) {
      const auto option = takeOption();
      auto known = takeGlobalOption(option);
      if (known && !known.value()) known = handle(option);
      if (!known) return known.failure();
      if (!known.value()) return usageError("unknown option " + quotedArgument(option) + " for " + command);
      if (auto used = rejectUnusedInlineValue(option); !used) return used.failure();
    } else {
      positionals.push_back(arguments_[next_++]);
    }
  }
  return positionals;
}

Result<std::vector<std::string>> ArgumentReader::readCommandArguments(const std::string& command) {
  return readCommandArguments(command, [](const std::string&) -> Result<bool> { return false; });
}

Result<void> requireCount(const std::string& command, const std::vector<std::string>& positionals, std::size_t min,
                          std::size_t max, std::string_view what) {
  if (positionals.size() < min) return usageError(command + " needs " + std::string(what));
  if (positionals.size() > max)
    return usageError("unexpected argument " + quotedArgument(positionals[max]) + " for " + command);
  return {};
}

Result<std::vector<std::string>> readCountedArguments(ArgumentReader& reader, const std::string& command,
                                                      std::size_t min, std::size_t max, std::string_view what) {
  auto positionals = reader.readCommandArguments(command);
  if (!positionals) return positionals;
  if (auto counted = requireCount(command, positionals.value(), min, max, what); !counted) return counted.failure();
  return positionals;
}

}  // namespace kavrano::cli
