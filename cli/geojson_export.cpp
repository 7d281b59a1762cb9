#include "geojson_export.h"

#include <GeographicLib/Geodesic.hpp>
#include <GeographicLib/PolygonArea.hpp>
#include <algorithm>
#include <cmath>

#include "kavrano/core/measurement_manager.h"
#include "kavrano/core/reference_date.h"

namespace kavrano::cli {
namespace {

using json = nlohmann::ordered_json;

std::vector<Coordinate> verticesOf(const PersistedMeasurement& measurement) {
  std::vector<Coordinate> vertices;
  vertices.reserve(measurement.annotations.size());
  for (const auto& annotation : measurement.annotations)
    vertices.push_back({annotation.latitude, annotation.longitude});
  return vertices;
}

json position(const Coordinate& coordinate) { return json::array({coordinate.longitude, coordinate.latitude}); }

/// Signed ellipsoidal area: positive when the vertices run counter-clockwise.
double signedWgs84Area(const std::vector<Coordinate>& vertices) {
  if (vertices.size() < 3) return 0.0;
  GeographicLib::PolygonArea polygon(GeographicLib::Geodesic::WGS84());
  for (const auto& vertex : vertices) polygon.AddPoint(vertex.latitude, vertex.longitude);
  double perimeter = 0.0;
  double area = 0.0;
  polygon.Compute(false, true, perimeter, area);
  return area;
}

/// The sides the app labels: every edge, plus the closing one for a ring.
double perimeter(const std::vector<Coordinate>& vertices) {
  const MeasurementManager geodesy;
  double total = 0.0;
  for (std::size_t i = 1; i < vertices.size(); ++i) total += geodesy.distance(vertices[i - 1], vertices[i]);
  if (vertices.size() >= 3) total += geodesy.distance(vertices.back(), vertices.front());
  return total;
}

json geometry(const std::vector<Coordinate>& vertices, double signedArea) {
  switch (vertices.size()) {
    case 0:
      return nullptr;
    case 1:
      return {{"type", "Point"}, {"coordinates", position(vertices[0])}};
    case 2:
      return {{"type", "LineString"}, {"coordinates", json::array({position(vertices[0]), position(vertices[1])})}};
    default:
      break;
  }
  // GIS tools take a clockwise exterior ring as a hole. The first vertex stays first.
  std::vector<Coordinate> ring = vertices;
  if (signedArea < 0.0) std::reverse(ring.begin() + 1, ring.end());
  ring.push_back(ring.front());
  json positions = json::array();
  for (const auto& vertex : ring) positions.push_back(position(vertex));
  return {{"type", "Polygon"}, {"coordinates", json::array({positions})}};
}

json feature(const PersistedMeasurement& measurement) {
  const auto vertices = verticesOf(measurement);
  const double signedArea = signedWgs84Area(vertices);
  return {{"type", "Feature"},
          {"id", measurement.id},
          {"geometry", geometry(vertices, signedArea)},
          {"properties",
           {{"id", measurement.id},
            {"title", measurement.title},
            {"date", iso8601Utc(measurement.date)},
            {"area_m2", MeasurementManager().polygonArea(vertices)},
            {"area_wgs84_m2", std::fabs(signedArea)},
            {"perimeter_m", perimeter(vertices)}}}};
}

}  // namespace

nlohmann::ordered_json geoJsonFeatureCollection(const std::vector<PersistedMeasurement>& measurements) {
  json features = json::array();
  for (const auto& measurement : measurements) features.push_back(feature(measurement));
  return {{"type", "FeatureCollection"}, {"features", std::move(features)}};
}

}  // namespace kavrano::cli
