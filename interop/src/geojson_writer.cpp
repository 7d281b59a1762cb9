#include <nlohmann/json.hpp>

#include "kavrano/core/measurement_geometry.h"
#include "kavrano/interop/measurement_export.h"
#include "measurement_summary.h"

namespace kavrano::interop {
namespace {

using json = nlohmann::ordered_json;

json position(const Coordinate& coordinate) { return json::array({coordinate.longitude, coordinate.latitude}); }

json geometry(const std::vector<Coordinate>& vertices) {
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
  // GIS tools take a clockwise exterior ring as a hole.
  json positions = json::array();
  for (const auto& vertex : closedRing(counterClockwise(vertices))) positions.push_back(position(vertex));
  return {{"type", "Polygon"}, {"coordinates", json::array({positions})}};
}

json feature(const PersistedMeasurement& measurement) {
  const auto summary = summarise(measurement);
  return {{"type", "Feature"},
          {"id", measurement.id},
          {"geometry", geometry(summary.vertices)},
          {"properties",
           {{"id", measurement.id},
            {"title", measurement.title},
            {"date", summary.date},
            {"area_m2", summary.area},
            {"area_wgs84_m2", summary.wgs84Area},
            {"perimeter_m", summary.perimeter}}}};
}

}  // namespace

std::string writeGeoJson(std::span<const PersistedMeasurement> measurements) {
  json features = json::array();
  for (const auto& measurement : measurements) features.push_back(feature(measurement));
  const json collection = {{"type", "FeatureCollection"}, {"features", std::move(features)}};
  return collection.dump(2, ' ', false, json::error_handler_t::replace) + "\n";
}

}  // namespace kavrano::interop
