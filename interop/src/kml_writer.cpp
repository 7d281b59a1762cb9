#include "kavrano/core/measurement_geometry.h"
#include "kavrano/interop/measurement_export.h"
#include "measurement_summary.h"
#include "xml_namespaces.h"

namespace kavrano::interop {
namespace {

void appendCoordinates(std::string& out, const std::vector<Coordinate>& vertices) {
  out += "<coordinates>";
  for (std::size_t i = 0; i < vertices.size(); ++i) {
    if (i > 0) out += ' ';
    out += shortestNumber(vertices[i].longitude) + ',' + shortestNumber(vertices[i].latitude);
  }
  out += "</coordinates>";
}

void appendData(std::string& out, const char* name, const std::string& value) {
  out += "        <Data name=\"";
  out += name;
  out += "\"><value>" + xmlEscaped(value) + "</value></Data>\n";
}

void appendPlacemark(std::string& out, const PersistedMeasurement& measurement) {
  const auto summary = summarise(measurement);
  out += "    <Placemark>\n      <name>" + xmlEscaped(measurement.title) + "</name>\n";
  out += "      <TimeStamp><when>" + summary.date + "</when></TimeStamp>\n";
  out += "      <ExtendedData>\n";
  appendData(out, "id", measurement.id);
  appendData(out, "date", summary.date);
  appendData(out, "area_m2", shortestNumber(summary.area));
  appendData(out, "area_wgs84_m2", shortestNumber(summary.wgs84Area));
  appendData(out, "perimeter_m", shortestNumber(summary.perimeter));
  out += "      </ExtendedData>\n";
  const auto& vertices = summary.vertices;
  if (vertices.size() == 1) {
    out += "      <Point>";
    appendCoordinates(out, vertices);
    out += "</Point>\n";
  } else if (vertices.size() == 2) {
    out += "      <LineString>";
    appendCoordinates(out, vertices);
    out += "</LineString>\n";
  } else if (vertices.size() >= 3) {
    // KML wants outer boundaries counter-clockwise, like GeoJSON.
    out += "      <Polygon><outerBoundaryIs><LinearRing>";
    appendCoordinates(out, closedRing(counterClockwise(vertices)));
    out += "</LinearRing></outerBoundaryIs></Polygon>\n";
  }
  out += "    </Placemark>\n";
}

}  // namespace

std::string writeKml(std::span<const PersistedMeasurement> measurements) {
  std::string out =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
      "<kml xmlns=\"" +
      std::string(kKmlNamespace) +
      "\">\n"
      "  <Document>\n"
      "    <name>Kavrano measurements</name>\n";
  for (const auto& measurement : measurements) appendPlacemark(out, measurement);
  out += "  </Document>\n</kml>\n";
  return out;
}

}  // namespace kavrano::interop
