#include "kavrano/core/measurement_geometry.h"
#include "kavrano/interop/measurement_export.h"
#include "measurement_summary.h"
#include "xml_namespaces.h"

namespace kavrano::interop {
namespace {

void appendExtension(std::string& out, const char* name, const std::string& value) {
  out += "      <kavrano:";
  out += name;
  out += '>' + xmlEscaped(value) + "</kavrano:";
  out += name;
  out += ">\n";
}

void appendTrack(std::string& out, const PersistedMeasurement& measurement) {
  const auto summary = summarise(measurement);
  out += "  <trk>\n    <name>" + xmlEscaped(measurement.title) + "</name>\n    <extensions>\n";
  appendExtension(out, "id", measurement.id);
  appendExtension(out, "date", summary.date);
  appendExtension(out, "area_m2", shortestNumber(summary.area));
  appendExtension(out, "area_wgs84_m2", shortestNumber(summary.wgs84Area));
  appendExtension(out, "perimeter_m", shortestNumber(summary.perimeter));
  out += "    </extensions>\n";
  if (!summary.vertices.empty()) {
    // The app's own order: GPX has no rule on the direction of a closed track.
    out += "    <trkseg>\n";
    for (const auto& vertex : closedRing(summary.vertices)) {
      out += "      <trkpt lat=\"" + shortestNumber(vertex.latitude) + "\" lon=\"" + shortestNumber(vertex.longitude) +
             "\"/>\n";
    }
    out += "    </trkseg>\n";
  }
  out += "  </trk>\n";
}

}  // namespace

std::string writeGpx(std::span<const PersistedMeasurement> measurements) {
  std::string out =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
      "<gpx version=\"1.1\" creator=\"Kavrano\" xmlns=\"" +
      std::string(kGpx11Namespace) + "\" xmlns:kavrano=\"" + std::string(kKavranoGpxNamespace) + "\">\n";
  for (const auto& measurement : measurements) appendTrack(out, measurement);
  out += "</gpx>\n";
  return out;
}

}  // namespace kavrano::interop
