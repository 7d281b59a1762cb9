#include <algorithm>

#include "json_tree.h"
#include "kavrano/core/measurement_geometry.h"
#include "kavrano/interop/measurement_import.h"
#include "timestamp_text.h"

namespace kavrano::interop {
namespace {

using Kind = JsonNode::Kind;

constexpr std::string_view kGeometryTypes[] = {"Point", "LineString", "Polygon", "MultiPolygon"};

class GeoJsonReader {
 public:
  explicit GeoJsonReader(std::string_view bytes) : root_(parseJsonTree(checkedText(bytes))) {}

  ImportResult read() {
    const std::string type = typeOf(root_);
    checkCoordinateSystem(root_);
    if (type == "FeatureCollection") {
      const auto& features = required(root_, "features", Kind::array, "an array");
      for (const auto& feature : features.children) {
        if (typeOf(feature) != "Feature") throw ImportFailure{feature.line, "a FeatureCollection holds a non-Feature"};
        read(feature);
      }
    } else if (type == "Feature") {
      read(root_);
    } else if (std::ranges::find(kGeometryTypes, type) != std::end(kGeometryTypes)) {
      budget_.addMeasurement(root_.line);
      result_.geometries.push_back({"", std::nullopt, vertices(root_), root_.line});
    } else {
      throw ImportFailure{root_.line, "the GeoJSON type " + shown(type) + " is not one this reads"};
    }
    return std::move(result_);
  }

 private:
  static std::string typeOf(const JsonNode& node) {
    if (node.kind != Kind::object) throw ImportFailure{node.line, "a GeoJSON object was expected here"};
    return required(node, "type", Kind::string, "a string").text;
  }

  static const JsonNode& required(const JsonNode& object, std::string_view name, Kind kind, const char* what) {
    const JsonNode* member = object.member(name);
    if (!member) throw ImportFailure{object.line, "the object has no \"" + std::string(name) + "\""};
    if (member->kind != kind) throw ImportFailure{member->line, "\"" + std::string(name) + "\" must be " + what};
    return *member;
  }

  // RFC 7946 has no "crs": all is WGS 84 longitude, latitude. Older files may name
  // another system, whose numbers would land somewhere else entirely.
  static void checkCoordinateSystem(const JsonNode& root) {
    const JsonNode* crs = root.member("crs");
    if (!crs || crs->kind == Kind::null) return;
    const JsonNode* properties = crs->kind == Kind::object ? crs->member("properties") : nullptr;
    const JsonNode* name = properties && properties->kind == Kind::object ? properties->member("name") : nullptr;
    const std::string text = name && name->kind == Kind::string ? name->text : "";
    for (const std::string_view wgs84 : {"CRS84", "EPSG::4326", "EPSG:4326"}) {
      if (text.ends_with(wgs84)) return;
    }
    throw ImportFailure{crs->line, "the coordinate reference system " + shown(text) +
                                       " is not read; only WGS 84 longitude and latitude are"};
  }

  void read(const JsonNode& feature) {
    const JsonNode* geometry = feature.member("geometry");
    if (!geometry || geometry->kind == Kind::null) {
      result_.warnings.push_back({feature.line, "a Feature without a geometry is skipped"});
      return;
    }
    budget_.addMeasurement(feature.line);
    ImportedGeometry imported;
    imported.line = feature.line;
    const JsonNode* properties = feature.member("properties");
    if (properties && properties->kind == Kind::object) {
      for (const char* key : {"name", "title"}) {  // the title wins where both are given
        const JsonNode* name = properties->member(key);
        if (name && name->kind == Kind::string) {
          checkName(name->text, name->line);
          imported.name = name->text;
        }
      }
      const JsonNode* date = properties->member("date");
      if (date && date->kind == Kind::string) {
        imported.date = parseIsoTimestamp(date->text);
        if (!imported.date) {
          result_.warnings.push_back(
              {date->line, "the date " + shown(date->text) + " is not an ISO 8601 time; the import time is used"});
        }
      }
    }
    imported.vertices = vertices(*geometry);
    result_.geometries.push_back(std::move(imported));
  }

  std::vector<Coordinate> vertices(const JsonNode& geometry) {
    const std::string type = typeOf(geometry);
    if (std::ranges::find(kGeometryTypes, type) == std::end(kGeometryTypes)) {
      throw ImportFailure{geometry.line, "the geometry type " + shown(type) +
                                             " is not read (Point, LineString, Polygon and MultiPolygon are)"};
    }
    const auto& coordinates = required(geometry, "coordinates", Kind::array, "an array");
    if (type == "Point") {
      budget_.addVertex(0, coordinates.line);
      return {position(coordinates)};
    }
    if (type == "LineString") {
      auto line = positions(coordinates);
      if (line.size() < 2) throw ImportFailure{coordinates.line, "a LineString needs at least two positions"};
      noteOpenPath(result_, line.size(), geometry.line);
      return line;
    }
    if (type == "MultiPolygon") {
      if (coordinates.children.empty()) throw ImportFailure{coordinates.line, "a MultiPolygon holds no polygon"};
      if (coordinates.children.size() > 1) {
        result_.warnings.push_back({geometry.line, "only the first of the MultiPolygon's " +
                                                       std::to_string(coordinates.children.size()) +
                                                       " polygons is imported"});
      }
      return outerRing(coordinates.children.front(), geometry.line);
    }
    return outerRing(coordinates, geometry.line);
  }

  std::vector<Coordinate> outerRing(const JsonNode& rings, std::size_t line) {
    if (rings.kind != Kind::array || rings.children.empty()) {
      throw ImportFailure{rings.line, "a polygon needs an array of rings"};
    }
    if (rings.children.size() > 1) result_.warnings.push_back({line, "the polygon's holes are not kept"});
    auto ring = openRing(positions(rings.children.front()));
    if (ring.size() < 3) throw ImportFailure{rings.line, "a polygon's ring needs at least three distinct positions"};
    return ring;
  }

  std::vector<Coordinate> positions(const JsonNode& list) {
    if (list.kind != Kind::array) throw ImportFailure{list.line, "an array of positions was expected here"};
    std::vector<Coordinate> points;
    for (const auto& element : list.children) {
      budget_.addVertex(points.size(), element.line);
      points.push_back(position(element));
    }
    return points;
  }

  // [longitude, latitude, altitude…]: what follows the latitude is not used.
  static Coordinate position(const JsonNode& node) {
    if (node.kind != Kind::array || node.children.size() < 2 || node.children[0].kind != Kind::number ||
        node.children[1].kind != Kind::number) {
      throw ImportFailure{node.line, "a position must be an array of at least two numbers"};
    }
    return checkedCoordinate(node.children[1].number, node.children[0].number, node.line);
  }

  JsonNode root_;
  ImportBudget budget_;
  ImportResult result_;
};

}  // namespace

ImportResult readGeoJson(std::string_view bytes) {
  return guardedRead([&] { return GeoJsonReader(bytes).read(); });
}

}  // namespace kavrano::interop
