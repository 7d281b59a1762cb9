#include "import_checks.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>

#include "kavrano/core/utf8.h"

namespace kavrano::interop {

std::string shown(std::string_view text) {
  constexpr std::size_t kShownBytes = 40;
  std::string out = "'";
  const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
  std::size_t i = 0;
  while (i < text.size() && i < kShownBytes) {
    const std::size_t length = detail::utf8SequenceLength(bytes + i, text.size() - i);
    if (length == 0 || bytes[i] < 0x20 || bytes[i] == 0x7F || bytes[i] == '\\' || bytes[i] == '\'') {
      char escape[8];
      if (length != 0 && (bytes[i] == '\\' || bytes[i] == '\'')) {
        escape[0] = '\\', escape[1] = static_cast<char>(bytes[i]), escape[2] = 0;
      } else {
        std::snprintf(escape, sizeof escape, "\\x%02X", bytes[i]);
      }
      out += escape;
      ++i;
    } else {
      out.append(text.substr(i, length));
      i += length;
    }
  }
  out += '\'';
  if (i < text.size()) out += "…";
  return out;
}

std::optional<double> parseDecimal(std::string_view text) {
  const auto isSpace = [](char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; };
  while (!text.empty() && isSpace(text.front())) text.remove_prefix(1);
  while (!text.empty() && isSpace(text.back())) text.remove_suffix(1);
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  if (text.empty()) return std::nullopt;
  // from_chars also takes "inf", "nan" and hexadecimal; none of them is a decimal.
  if (!std::all_of(text.begin(), text.end(), [](char c) {
        return (c >= '0' && c <= '9') || c == '.' || c == '-' || c == '+' || c == 'e' || c == 'E';
      }))
    return std::nullopt;
  double value = 0.0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

namespace {

std::string numberText(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.10g", value);
  return text;
}

}  // namespace

Coordinate checkedCoordinate(double latitude, double longitude, std::size_t line) {
  if (!std::isfinite(latitude) || latitude < -90.0 || latitude > 90.0) {
    throw ImportFailure{line, "latitude " + numberText(latitude) + " is not within -90 to 90 degrees"};
  }
  if (!std::isfinite(longitude) || longitude < -180.0 || longitude > 180.0) {
    throw ImportFailure{line, "longitude " + numberText(longitude) + " is not within -180 to 180 degrees"};
  }
  return {latitude, longitude};
}

void ImportBudget::addVertex(std::size_t verticesInMeasurement, std::size_t line) {
  if (verticesInMeasurement >= kMaxVerticesPerMeasurement) {
    throw ImportFailure{line, "a measurement has more than " + std::to_string(kMaxVerticesPerMeasurement) +
                                  " vertices, the most one import takes"};
  }
  if (vertices_ >= kMaxVerticesPerFile) {
    throw ImportFailure{
        line, "the file has more than " + std::to_string(kMaxVerticesPerFile) + " vertices, the most one import takes"};
  }
  ++vertices_;
}

void ImportBudget::addMeasurement(std::size_t line) {
  if (measurements_ >= kMaxMeasurementsPerFile) {
    throw ImportFailure{line, "the file has more than " + std::to_string(kMaxMeasurementsPerFile) +
                                  " measurements, the most one import takes"};
  }
  ++measurements_;
}

void noteOpenPath(ImportResult& result, std::size_t vertices, std::size_t line) {
  if (vertices < 3) return;
  result.warnings.push_back({line, "an open path of " + std::to_string(vertices) +
                                       " points is kept as an area, closed from its last point to its first"});
}

void checkName(std::string_view name, std::size_t line) {
  if (name.size() > kMaxNameBytes) {
    throw ImportFailure{line, "a name is longer than " + std::to_string(kMaxNameBytes) + " bytes"};
  }
}

std::string_view checkedText(std::string_view bytes) {
  if (bytes.size() > kMaxImportBytes) {
    throw ImportFailure{
        0, "the file is larger than " + std::to_string(kMaxImportBytes >> 20) + " MiB, the most one import takes"};
  }
  if (bytes.starts_with("\xEF\xBB\xBF")) bytes.remove_prefix(3);
  const auto* s = reinterpret_cast<const unsigned char*>(bytes.data());
  for (std::size_t i = 0; i < bytes.size();) {
    const std::size_t length = detail::utf8SequenceLength(s + i, bytes.size() - i);
    if (length == 0) throw ImportFailure{LineCounter(bytes).lineAt(i), "the text is not valid UTF-8"};
    i += length;
  }
  return bytes;
}

std::size_t LineCounter::lineAt(std::size_t offset) {
  offset = std::min(offset, text_.size());
  if (offset < offset_) offset_ = 0, line_ = 1;
  line_ += static_cast<std::size_t>(std::count(text_.begin() + static_cast<std::ptrdiff_t>(offset_),
                                               text_.begin() + static_cast<std::ptrdiff_t>(offset), '\n'));
  offset_ = offset;
  return line_;
}

}  // namespace kavrano::interop
