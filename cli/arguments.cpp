#include "arguments.h"

#include <locale.h>
#include <stdlib.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <utility>

namespace kavrano::cli {
namespace {

// The user's locale must not change what "0.5" means on the command line.
locale_t cLocale() {
  static const locale_t locale = newlocale(LC_ALL_MASK, "C", nullptr);
  return locale;
}

}  // namespace

std::optional<double> parseFiniteNumber(const std::string& text) {
  if (text.empty()) return std::nullopt;
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

std::string quotedArgument(std::string_view text) {
  std::string result = "'";
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '\n') {
      result += "\\n";
    } else if (c == '\t') {
      result += "\\t";
    } else if (byte < 0x20 || byte == 0x7f) {
      char escape[8];
      std::snprintf(escape, sizeof escape, "\\x%02x", byte);
      result += escape;
    } else {
      result += c;
    }
  }
  return result + "'";
}

Coordinate parseCoordinate(const std::string& text) {
  const auto comma = text.find(',');
  if (comma == std::string::npos || text.find(',', comma + 1) != std::string::npos) {
    throw UsageError("invalid coordinate " + quotedArgument(text) + ": expected LAT,LON");
  }
  const auto latitude = parseFiniteNumber(text.substr(0, comma));
  const auto longitude = parseFiniteNumber(text.substr(comma + 1));
  if (!latitude || !longitude) {
    throw UsageError("invalid coordinate " + quotedArgument(text) +
                     ": latitude and longitude must be finite decimal numbers");
  }
  if (*latitude < -90.0 || *latitude > 90.0) {
    throw UsageError("invalid coordinate " + quotedArgument(text) + ": latitude must lie between -90 and 90");
  }
  if (*longitude < -180.0 || *longitude > 180.0) {
    throw UsageError("invalid coordinate " + quotedArgument(text) + ": longitude must lie between -180 and 180");
  }
  return {*latitude, *longitude};
}

std::vector<Coordinate> parseCoordinates(const std::vector<std::string>& texts) {
  std::vector<Coordinate> coordinates;
  coordinates.reserve(texts.size());
  for (const auto& text : texts) coordinates.push_back(parseCoordinate(text));
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
  std::size_t i = 0;
  while (i < text.size()) {
    const auto lead = static_cast<unsigned char>(text[i]);
    std::size_t length = 0;
    char32_t codePoint = 0;
    if (lead < 0x80) {
      ++i;
      continue;
    } else if (lead >= 0xC2 && lead <= 0xDF) {
      length = 2;
      codePoint = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
      length = 3;
      codePoint = lead & 0x0F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
      length = 4;
      codePoint = lead & 0x07;
    } else {
      return false;
    }
    if (i + length > text.size()) return false;
    for (std::size_t k = 1; k < length; ++k) {
      const auto next = static_cast<unsigned char>(text[i + k]);
      if ((next & 0xC0) != 0x80) return false;
      codePoint = (codePoint << 6) | (next & 0x3F);
    }
    // Overlong forms, UTF-16 surrogates and values past U+10FFFF are not UTF-8.
    if ((length == 3 && codePoint < 0x800) || (length == 4 && codePoint < 0x10000) || codePoint > 0x10FFFF ||
        (codePoint >= 0xD800 && codePoint <= 0xDFFF)) {
      return false;
    }
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

std::string ArgumentReader::optionValue(const std::string& option) {
  if (inlineValue_) return *std::exchange(inlineValue_, std::nullopt);
  if (next_ >= arguments_.size()) throw UsageError("option " + quotedArgument(option) + " needs a value");
  return arguments_[next_++];
}

void ArgumentReader::rejectUnusedInlineValue(const std::string& option) {
  if (inlineValue_) throw UsageError("option " + quotedArgument(option) + " takes no value");
}

bool ArgumentReader::takeGlobalOption(const std::string& option) {
  if (option == "--data-dir") {
    const auto value = optionValue(option);
    if (value.empty()) throw UsageError("option '--data-dir' needs a directory");
    globals_.dataDirectory = value;
  } else if (option == "--locale") {
    const auto value = optionValue(option);
    if (value.empty() || !isValidUtf8(value)) throw UsageError("invalid locale " + quotedArgument(value));
    globals_.locale = value;
  } else if (option == "--help" || option == "-h") {
    globals_.help = true;
  } else {
    return false;
  }
  return true;
}

std::optional<std::string> ArgumentReader::readCommandName() {
  while (next_ < arguments_.size()) {
    if (arguments_[next_] == "--" && !optionsEnded_) {
      optionsEnded_ = true;
      ++next_;
    } else if (nextIsOption()) {
      const auto option = takeOption();
      if (!takeGlobalOption(option)) throw UsageError("unknown option " + quotedArgument(option));
      rejectUnusedInlineValue(option);
    } else {
      return arguments_[next_++];
    }
  }
  return std::nullopt;
}

std::vector<std::string> ArgumentReader::readCommandArguments(const std::string& command,
                                                              const std::function<bool(const std::string&)>& handle) {
  std::vector<std::string> positionals;
  while (next_ < arguments_.size()) {
    if (arguments_[next_] == "--" && !optionsEnded_) {
      optionsEnded_ = true;
      ++next_;
    } else if (nextIsOption()) {
      const auto option = takeOption();
      if (!takeGlobalOption(option) && !handle(option)) {
        throw UsageError("unknown option " + quotedArgument(option) + " for " + command);
      }
      rejectUnusedInlineValue(option);
    } else {
      positionals.push_back(arguments_[next_++]);
    }
  }
  return positionals;
}

void requireCount(const std::string& command, const std::vector<std::string>& positionals, std::size_t min,
                  std::size_t max, std::string_view what) {
  if (positionals.size() < min) throw UsageError(command + " needs " + std::string(what));
  if (positionals.size() > max)
    throw UsageError("unexpected argument " + quotedArgument(positionals[max]) + " for " + command);
}

}  // namespace kavrano::cli
