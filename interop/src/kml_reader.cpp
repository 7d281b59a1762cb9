#include <algorithm>

#include "kavrano/core/measurement_geometry.h"
#include "kavrano/interop/measurement_import.h"
#include "timestamp_text.h"
#include "xml_document.h"
#include "xml_namespaces.h"

namespace kavrano::interop {
namespace {

constexpr std::string_view kGeometries[] = {"Point", "LineString", "LinearRing", "Polygon", "MultiGeometry"};

bool isGeometry(std::string_view name) { return std::ranges::find(kGeometries, name) != std::end(kGeometries); }

class KmlReader {
 public:
  explicit KmlReader(std::string_view bytes) : document_(bytes) {}

  ImportResult read() {
    const auto root = document_.root();
    uri_ = namespaceOf(root);
    const bool knownNamespace = uri_.empty() || uri_ == kKmlNamespace ||
                                std::ranges::find(kOldKmlNamespaces, uri_) != std::end(kOldKmlNamespaces);
    if (localName(root) != "kml" || !knownNamespace) {
      throw ImportFailure{document_.lineOf(root), "this is not KML: the document is " + shown(root.name()) +
                                                      (uri_.empty() ? "" : " in " + shown(uri_))};
    }
    visit(root);
    return std::move(result_);
  }

 private:
  [[nodiscard]] bool isKml(pugi::xml_node node) const {
    return node.type() == pugi::node_element && namespaceOf(node) == uri_;
  }

  // Placemarks stand in Documents and Folders at any depth; the depth is bounded by the load.
  void visit(pugi::xml_node container) {
    for (auto child = container.first_child(); child; child = child.next_sibling()) {
      if (!isKml(child)) continue;
      if (localName(child) == "Placemark") {
        placemark(child);
      } else {
        visit(child);
      }
    }
  }

  void placemark(pugi::xml_node placemark) {
    const std::size_t line = document_.lineOf(placemark);
    pugi::xml_node geometry;
    for (auto child = placemark.first_child(); child && !geometry; child = child.next_sibling()) {
      if (isKml(child) && isGeometry(localName(child))) geometry = child;
    }
    if (!geometry) {
      result_.warnings.push_back({line, "a Placemark without a geometry is skipped"});
      return;
    }
    budget_.addMeasurement(line);
    ImportedGeometry imported;
    imported.line = line;
    if (const auto name = childIn(placemark, uri_, "name")) {
      imported.name = textOf(name);
      checkName(imported.name, document_.lineOf(name));
    }
    if (const auto when = childIn(childIn(placemark, uri_, "TimeStamp"), uri_, "when")) {
      const std::string text = textOf(when);
      imported.date = parseIsoTimestamp(text);
      if (!imported.date) {
        throw ImportFailure{document_.lineOf(when), "the TimeStamp " + shown(text) + " is not a date and time"};
      }
    }
    imported.vertices = vertices(geometry);
    result_.geometries.push_back(std::move(imported));
  }

  std::vector<Coordinate> vertices(pugi::xml_node geometry) {
    const std::size_t line = document_.lineOf(geometry);
    const std::string_view kind = localName(geometry);
    if (kind == "MultiGeometry") {
      std::vector<pugi::xml_node> parts;
      for (auto child = geometry.first_child(); child; child = child.next_sibling()) {
        if (isKml(child) && isGeometry(localName(child))) parts.push_back(child);
      }
      if (parts.empty()) throw ImportFailure{line, "a MultiGeometry holds no geometry"};
      if (parts.size() > 1) {
        result_.warnings.push_back({line, "only the first of the MultiGeometry's " + std::to_string(parts.size()) +
                                              " geometries is imported"});
      }
      return vertices(parts.front());
    }
    if (kind == "Polygon") {
      const auto ring = childIn(childIn(geometry, uri_, "outerBoundaryIs"), uri_, "LinearRing");
      if (!ring) throw ImportFailure{line, "a Polygon has no outerBoundaryIs with a LinearRing"};
      if (childIn(geometry, uri_, "innerBoundaryIs")) {
        result_.warnings.push_back({line, "the Polygon's inner boundaries (holes) are not kept"});
      }
      return vertices(ring);
    }
    const auto element = childIn(geometry, uri_, "coordinates");
    if (!element) throw ImportFailure{line, "a " + std::string(kind) + " has no coordinates"};
    auto points = coordinates(element);
    if (kind == "Point") {
      if (points.size() != 1) throw ImportFailure{line, "a Point needs exactly one coordinate"};
    } else if (kind == "LineString") {
      if (points.size() < 2) throw ImportFailure{line, "a LineString needs at least two coordinates"};
      noteOpenPath(result_, points.size(), line);
    } else {
      points = openRing(points);
      if (points.size() < 3) throw ImportFailure{line, "a LinearRing needs at least three distinct coordinates"};
    }
    return points;
  }

  // "lon,lat[,alt]" tuples apart by any whitespace; whitespace around a comma is
  // tolerated, as the globes that write it are tolerant too.
  std::vector<Coordinate> coordinates(pugi::xml_node element) {
    const std::string text = textOf(element);
    const auto first = element.first_child();
    const std::size_t base = first && first.offset_debug() >= 0 ? static_cast<std::size_t>(first.offset_debug()) : 0;
    const auto isSpace = [](char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; };
    std::vector<Coordinate> points;
    std::size_t at = 0;
    const auto skipSpace = [&] {
      while (at < text.size() && isSpace(text[at])) ++at;
    };
    skipSpace();
    while (at < text.size()) {
      const std::size_t line = document_.lineAtOffset(base + at);
      double numbers[3];
      std::size_t count = 0;
      while (true) {
        const std::size_t start = at;
        while (at < text.size() && !isSpace(text[at]) && text[at] != ',') ++at;
        const std::string_view word(text.data() + start, at - start);
        const auto number = parseDecimal(word);
        if (!number) throw ImportFailure{line, "coordinates: " + shown(word) + " is not a number"};
        if (count == 3) throw ImportFailure{line, "coordinates: a tuple has more than three numbers"};
        numbers[count++] = *number;
        skipSpace();
        if (at < text.size() && text[at] == ',') {
          ++at;
          skipSpace();
          continue;
        }
        break;
      }
      if (count < 2) throw ImportFailure{line, "coordinates: a tuple needs a longitude and a latitude"};
      budget_.addVertex(points.size(), line);
      points.push_back(checkedCoordinate(numbers[1], numbers[0], line));
    }
    return points;
  }

  XmlDocument document_;
  std::string_view uri_;
  ImportBudget budget_;
  ImportResult result_;
};

}  // namespace

ImportResult readKml(std::string_view bytes) {
  return guardedRead([&] { return KmlReader(bytes).read(); });
}

}  // namespace kavrano::interop
