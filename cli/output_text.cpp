#include "output_text.h"

#include <charconv>
#include <nlohmann/json.hpp>

namespace kavrano::cli {

std::string preciseNumber(double value) {
  char buffer[64];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, value + 0.0, std::chars_format::general, 17);
  return std::string(buffer, result.ptr);
}

std::string escapedForLine(std::string_view text) {
  std::string result;
  result.reserve(text.size());
  for (const char c : text) {
    switch (c) {
      case '\t':
        result += "\\t";
        break;
      case '\n':
        result += "\\n";
        break;
      case '\\':
        result += "\\\\";
        break;
      default:
        result += c;
    }
  }
  return result;
}

std::string jsonQuoted(std::string_view text) {
  return nlohmann::json(std::string(text)).dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

}  // namespace kavrano::cli
