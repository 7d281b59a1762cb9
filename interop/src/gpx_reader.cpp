#include "kavrano/core/measurement_geometry.h"
#include "kavrano/interop/measurement_import.h"
#include "timestamp_text.h"
#include "xml_document.h"
#include "xml_namespaces.h"

namespace kavrano::interop {
namespace {

class GpxReader {
 public:
  explicit GpxReader(std::string_view bytes) : document_(bytes) {}

  ImportResult read() {
    const auto root = document_.root();
    uri_ = namespaceOf(root);
    if (localName(root) != "gpx" || (uri_ != kGpx11Namespace && uri_ != kGpx10Namespace && !uri_.empty())) {
      throw ImportFailure{document_.lineOf(root), "this is not GPX: the document is " + shown(root.name()) +
                                                      (uri_.empty() ? "" : " in " + shown(uri_))};
    }
    // GPX 1.1 keeps the file's name and time in metadata, 1.0 on the root.
    const auto metadata = childIn(root, uri_, "metadata") ? childIn(root, uri_, "metadata") : root;
    fileDate_ = dateIn(childIn(metadata, uri_, "time"));
    std::optional<std::size_t> waypoints;  // where the file's waypoints stand among its measurements
    for (auto child = root.first_child(); child; child = child.next_sibling()) {
      if (child.type() != pugi::node_element || namespaceOf(child) != uri_) continue;
      const std::string_view name = localName(child);
      if (name == "wpt") {
        if (!waypoints) {
          waypoints = result_.geometries.size();
          budget_.addMeasurement(document_.lineOf(child));
          ImportedGeometry group;
          group.line = document_.lineOf(child);
          group.name = nameIn(metadata);
          group.date = fileDate_;
          result_.geometries.push_back(std::move(group));
        }
        addPoint(result_.geometries[*waypoints], child);
      } else if (name == "rte") {
        path(child, "rtept", nullptr);
      } else if (name == "trk") {
        path(child, "trkpt", "trkseg");
      }
    }
    return std::move(result_);
  }

 private:
  std::string nameIn(pugi::xml_node element) {
    const auto name = childIn(element, uri_, "name");
    if (!name) return {};
    std::string text = textOf(name);
    checkName(text, document_.lineOf(name));
    return text;
  }

  std::optional<double> dateIn(pugi::xml_node time) {
    if (!time) return std::nullopt;
    const std::string text = textOf(time);
    const auto date = parseIsoTimestamp(text);
    if (!date) throw ImportFailure{document_.lineOf(time), "the time " + shown(text) + " is not a date and time"};
    return date;
  }

  // A route's points stand in the rte; a track's in its segments, joined in order.
  void path(pugi::xml_node element, const char* pointName, const char* segment) {
    const std::size_t line = document_.lineOf(element);
    ImportedGeometry imported;
    imported.line = line;
    imported.name = nameIn(element);
    const auto extensions = childIn(element, uri_, "extensions");
    imported.date = dateIn(childIn(extensions, kKavranoGpxNamespace, "date"));
    const auto takePoints = [&](pugi::xml_node holder, std::string_view pointName) {
      for (auto point = holder.first_child(); point; point = point.next_sibling()) {
        if (point.type() == pugi::node_element && localName(point) == pointName && namespaceOf(point) == uri_) {
          addPoint(imported, point);
        }
      }
    };
    std::optional<double> firstPointDate;
    if (segment) {
      for (auto part = element.first_child(); part; part = part.next_sibling()) {
        if (part.type() == pugi::node_element && localName(part) == segment && namespaceOf(part) == uri_) {
          if (!firstPointDate && childIn(part, uri_, pointName)) {
            firstPointDate = dateIn(childIn(childIn(part, uri_, pointName), uri_, "time"));
          }
          takePoints(part, pointName);
        }
      }
    } else {
      if (const auto first = childIn(element, uri_, pointName)) firstPointDate = dateIn(childIn(first, uri_, "time"));
      takePoints(element, pointName);
    }
    if (imported.vertices.empty()) {
      result_.warnings.push_back({line, "a " + std::string(localName(element)) + " without points is skipped"});
      return;
    }
    budget_.addMeasurement(line);
    if (!imported.date) imported.date = firstPointDate ? firstPointDate : fileDate_;
    const std::size_t written = imported.vertices.size();
    imported.vertices = openRing(imported.vertices);
    if (imported.vertices.size() == written) noteOpenPath(result_, written, line);
    result_.geometries.push_back(std::move(imported));
  }

  void addPoint(ImportedGeometry& geometry, pugi::xml_node point) {
    const std::size_t line = document_.lineOf(point);
    const auto number = [&](const char* attribute) {
      const auto value = point.attribute(attribute);
      if (!value) throw ImportFailure{line, "a " + std::string(point.name()) + " has no " + attribute};
      const auto parsed = parseDecimal(value.value());
      if (!parsed) throw ImportFailure{line, std::string(attribute) + " " + shown(value.value()) + " is not a number"};
      return *parsed;
    };
    budget_.addVertex(geometry.vertices.size(), line);
    geometry.vertices.push_back(checkedCoordinate(number("lat"), number("lon"), line));
  }

  XmlDocument document_;
  std::string_view uri_;
  std::optional<double> fileDate_;
  ImportBudget budget_;
  ImportResult result_;
};

}  // namespace

ImportResult readGpx(std::string_view bytes) {
  return guardedRead([&] { return GpxReader(bytes).read(); });
}

}  // namespace kavrano::interop
