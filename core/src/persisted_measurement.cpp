#include "kavrano/core/persisted_measurement.h"

#include <charconv>
#include <cmath>

#include "utf8.h"

namespace kavrano {
namespace {

// Shortest text that reads back as the same double; false for NaN and infinities,
// which JSON cannot carry.
bool appendNumber(std::string& out, double value) {
  if (!std::isfinite(value)) return false;
  // "-0" would read back as the integer 0; keep the sign with a fraction.
  if (value == 0 && std::signbit(value)) return out.append("-0.0"), true;
  char buffer[32];
  auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, value);
  out.append(buffer, end);
  return ec == std::errc{};
}

bool appendString(std::string& out, std::string_view text) {
  out += '"';
  const auto* s = reinterpret_cast<const unsigned char*>(text.data());
  for (std::size_t i = 0; i < text.size();) {
    const unsigned char c = s[i];
    if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
      ++i;
    } else if (c < 0x20) {
      static constexpr char kHex[] = "0123456789abcdef";
      out += "\\u00";
      out += kHex[c >> 4];
      out += kHex[c & 0xF];
      ++i;
    } else {
      const std::size_t n = detail::utf8SequenceLength(s + i, text.size() - i);
      if (n == 0) return false;
      out.append(text.data() + i, n);
      i += n;
    }
  }
  out += '"';
  return true;
}

bool appendPoint(std::string& out, double latitude, double longitude) {
  out += "{\"latitude\":";
  if (!appendNumber(out, latitude)) return false;
  out += ",\"longitude\":";
  if (!appendNumber(out, longitude)) return false;
  out += '}';
  return true;
}

bool appendRecord(std::string& out, const PersistedMeasurement& m) {
  out += "{\"id\":";
  if (!appendString(out, m.id)) return false;
  out += ",\"date\":";
  if (!appendNumber(out, m.date)) return false;
  out += ",\"annotations\":[";
  for (std::size_t i = 0; i < m.annotations.size(); ++i) {
    if (i) out += ',';
    if (!appendPoint(out, m.annotations[i].latitude, m.annotations[i].longitude)) return false;
  }
  out += "],\"title\":";
  if (!appendString(out, m.title)) return false;
  out += ",\"center\":";
  if (!appendPoint(out, m.center.latitude, m.center.longitude)) return false;
  out += '}';
  return true;
}

}  // namespace

bool encodeMeasurements(const std::vector<PersistedMeasurement>& list, std::string& out) {
  // One allocation for the whole text: about 60 bytes a vertex and 160 for the rest.
  std::size_t estimate = 2;
  for (const auto& m : list) estimate += 160 + m.id.size() + m.title.size() + 64 * m.annotations.size();
  out.clear();
  out.reserve(estimate);
  out += '[';
  for (std::size_t i = 0; i < list.size(); ++i) {
    if (i) out += ',';
    if (!appendRecord(out, list[i])) return false;
  }
  out += ']';
  return true;
}

bool encodeMeasurement(const PersistedMeasurement& record, std::string& out) { return appendRecord(out, record); }

std::optional<std::string> encodeMeasurements(const std::vector<PersistedMeasurement>& list) {
  std::string out;
  if (!encodeMeasurements(list, out)) return std::nullopt;
  return out;
}

}  // namespace kavrano
