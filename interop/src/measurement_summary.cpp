#include "measurement_summary.h"

#include <charconv>

#include "kavrano/core/measurement_geometry.h"
#include "kavrano/core/measurement_manager.h"
#include "kavrano/core/utf8.h"
#include "timestamp_text.h"

namespace kavrano::interop {

MeasurementSummary summarise(const PersistedMeasurement& measurement) {
  MeasurementSummary summary;
  summary.vertices = coordinatesOf(measurement.annotations);
  summary.date = isoTimestamp(measurement.date).value_or("invalid-date");
  summary.area = MeasurementManager().polygonArea(summary.vertices);
  summary.wgs84Area = wgs84Area(summary.vertices);
  summary.perimeter = perimeter(summary.vertices);
  return summary;
}

std::string shortestNumber(double value) {
  char buffer[32];
  const auto end = std::to_chars(buffer, buffer + sizeof buffer, value).ptr;
  return {buffer, end};
}

std::string xmlEscaped(const std::string& text) {
  static constexpr std::string_view kReplacement = "\xEF\xBF\xBD";
  std::string escaped;
  escaped.reserve(text.size());
  const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
  for (std::size_t i = 0; i < text.size();) {
    const unsigned char c = bytes[i];
    const std::size_t length = detail::utf8SequenceLength(bytes + i, text.size() - i);
    // U+FFFE and U+FFFF are not XML characters either.
    const bool nonCharacter = length == 3 && c == 0xEF && bytes[i + 1] == 0xBF && bytes[i + 2] >= 0xBE;
    if (length == 0 || nonCharacter) {
      escaped += kReplacement;
      i += length == 0 ? 1 : length;
      continue;
    }
    switch (c) {
      case '&':
        escaped += "&amp;";
        break;
      case '<':
        escaped += "&lt;";
        break;
      case '>':
        escaped += "&gt;";
        break;
      case '"':
        escaped += "&quot;";
        break;
      case '\r':
        escaped += "&#13;";
        break;
      case '\t':
      case '\n':
        escaped += static_cast<char>(c);
        break;
      default:
        if (c < 0x20) {
          escaped += kReplacement;
        } else {
          escaped.append(text, i, length);
        }
    }
    i += length;
  }
  return escaped;
}

}  // namespace kavrano::interop
