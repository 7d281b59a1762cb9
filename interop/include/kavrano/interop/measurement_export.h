#pragma once

#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "kavrano/core/persisted_measurement.h"

namespace kavrano::interop {

/// The forms a list of saved measurements can be written in. Every form but CSV
/// carries the same properties per measurement: id, title, date (ISO 8601 UTC,
/// with as many fraction digits as reading it back to the same double needs),
/// area_m2 (the app's area), area_wgs84_m2 (ellipsoidal) and perimeter_m.
enum class ExportFormat {
  json,     ///< the store's own JSON list
  geojson,  ///< RFC 7946 FeatureCollection
  kml,      ///< KML 2.2, one Placemark each
  gpx,      ///< GPX 1.1, one trk each
  csv,      ///< RFC 4180, one row per vertex
};

/// "json", "geojson", "kml", "gpx" or "csv".
[[nodiscard]] std::optional<ExportFormat> exportFormatNamed(std::string_view name);

/// By extension, any case: .geojson or .json (GeoJSON: a file named .json is
/// meant for GIS programs, not for the store), .kml, .gpx, .csv.
[[nodiscard]] std::optional<ExportFormat> exportFormatForFile(const std::filesystem::path& file);

/// The measurements in `format`, UTF-8, in the order given. None only when the
/// store's JSON cannot encode a record (a number that is not finite).
[[nodiscard]] std::optional<std::string> exportMeasurements(ExportFormat format,
                                                            std::span<const PersistedMeasurement> measurements);

/// A Feature per measurement: Polygon (ring closed, counter-clockwise, first vertex
/// first) for three or more vertices, LineString for two, Point for one, null for none.
[[nodiscard]] std::string writeGeoJson(std::span<const PersistedMeasurement> measurements);
/// A Placemark per measurement: name, TimeStamp, ExtendedData, then Polygon with
/// outerBoundaryIs (closed, counter-clockwise), LineString or Point; none for no vertices.
[[nodiscard]] std::string writeKml(std::span<const PersistedMeasurement> measurements);
/// A trk per measurement, in the app's vertex order, its one trkseg closed for an
/// area; the other properties in the trk's extensions.
[[nodiscard]] std::string writeGpx(std::span<const PersistedMeasurement> measurements);
/// Header "id,title,index,latitude,longitude", then a row per vertex (index from 1),
/// CRLF line ends, fields quoted where RFC 4180 needs it. A title a spreadsheet would
/// run as a formula (=, +, -, @ first) is written with a leading apostrophe.
[[nodiscard]] std::string writeCsv(std::span<const PersistedMeasurement> measurements);

}  // namespace kavrano::interop
