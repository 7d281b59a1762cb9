#include "kavrano/interop/measurement_export.h"
#include "measurement_summary.h"

namespace kavrano::interop {
namespace {

std::string field(const std::string& text) {
  if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
  std::string quoted = "\"";
  for (const char c : text) quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
  return quoted + '"';
}

// A spreadsheet runs a cell that starts like this as a formula; titles can come
// from imported files, so they are never given the chance.
std::string inertTitle(const std::string& title) {
  if (!title.empty() && std::string_view("=+-@").find(title[0]) != std::string_view::npos) return "'" + title;
  return title;
}

}  // namespace

std::string writeCsv(std::span<const PersistedMeasurement> measurements) {
  std::string out = "id,title,index,latitude,longitude\r\n";
  for (const auto& measurement : measurements) {
    const std::string prefix = field(measurement.id) + ',' + field(inertTitle(measurement.title)) + ',';
    for (std::size_t i = 0; i < measurement.annotations.size(); ++i) {
      const auto& vertex = measurement.annotations[i];
      out += prefix + std::to_string(i + 1) + ',' + shortestNumber(vertex.latitude) + ',' +
             shortestNumber(vertex.longitude) + "\r\n";
    }
  }
  return out;
}

}  // namespace kavrano::interop
