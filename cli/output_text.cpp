#include "output_text.h"

#include <charconv>
#include <cstdint>
#include <cstdio>
#include <nlohmann/json.hpp>

namespace kavrano::cli {

std::string preciseNumber(double value) {
  char buffer[64];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, value + 0.0, std::chars_format::general, 17);
  return std::string(buffer, result.ptr);
}

std::size_t utf8SequenceLength(std::string_view text, std::size_t at) {
  const auto lead = static_cast<unsigned char>(text[at]);
  std::size_t length = 0;
  std::uint32_t codePoint = 0;
  if (lead < 0x80) return 1;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
    codePoint = lead & 0x1F;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    codePoint = lead & 0x0F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    codePoint = lead & 0x07;
  } else {
    return 0;
  }
  if (length > text.size() - at) return 0;
  for (std::size_t k = 1; k < length; ++k) {
    const auto next = static_cast<unsigned char>(text[at + k]);
    if ((next & 0xC0) != 0x80) return 0;
    codePoint = (codePoint << 6) | (next & 0x3F);
  }
  if ((length == 3 && codePoint < 0x800) || (length == 4 && codePoint < 0x10000) || codePoint > 0x10FFFF ||
      (codePoint >= 0xD800 && codePoint <= 0xDFFF)) {
    return 0;
  }
  return length;
}

namespace {

// U+0080–U+009F is C2 80 – C2 9F in UTF-8.
bool isC1Control(std::string_view text, std::size_t at, std::size_t length) {
  return length == 2 && static_cast<unsigned char>(text[at]) == 0xC2 &&
         static_cast<unsigned char>(text[at + 1]) <= 0x9F;
}

void appendHex(std::string& out, const char* format, unsigned value) {
  char escape[8];
  std::snprintf(escape, sizeof escape, format, value);
  out += escape;
}

}  // namespace

std::string escapedForLine(std::string_view text) {
  std::string result;
  result.reserve(text.size());
  std::size_t i = 0;
  while (i < text.size()) {
    const auto byte = static_cast<unsigned char>(text[i]);
    const std::size_t length = utf8SequenceLength(text, i);
    if (byte == '\t') {
      result += "\\t";
    } else if (byte == '\n') {
      result += "\\n";
    } else if (byte == '\r') {
      result += "\\r";
    } else if (byte == '\\') {
      result += "\\\\";
    } else if (byte < 0x20 || byte == 0x7f || length == 0) {
      appendHex(result, "\\x%02x", byte);
    } else if (isC1Control(text, i, length)) {
      appendHex(result, "\\u%04x", static_cast<unsigned char>(text[i + 1]));
    } else {
      result.append(text, i, length);
    }
    i += length == 0 ? 1 : length;
  }
  return result;
}

std::string withControlsEscaped(std::string json) {
  std::string result;
  result.reserve(json.size());
  for (std::size_t i = 0; i < json.size(); ++i) {
    const auto byte = static_cast<unsigned char>(json[i]);
    if (byte == 0x7f) {
      result += "\\u007f";
    } else if (byte == 0xC2 && i + 1 < json.size() && static_cast<unsigned char>(json[i + 1]) <= 0x9F &&
               static_cast<unsigned char>(json[i + 1]) >= 0x80) {
      appendHex(result, "\\u%04x", static_cast<unsigned char>(json[++i]));
    } else {
      result += json[i];
    }
  }
  return result;
}

std::string jsonQuoted(std::string_view text) {
  return withControlsEscaped(
      nlohmann::json(std::string(text)).dump(-1, ' ', false, nlohmann::json::error_handler_t::replace));
}

}  // namespace kavrano::cli
