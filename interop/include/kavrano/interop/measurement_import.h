#pragma once

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "kavrano/core/coordinate.h"
#include "kavrano/core/persistance_manager.h"
#include "kavrano/core/persisted_measurement.h"

namespace kavrano::interop {

// What one file may hold. Each is checked before the memory for it is taken, so a
// hostile file costs at most a small multiple of these.
/// Bytes per file: a day of 1 Hz GPS track is about 10 MB of GPX.
inline constexpr std::size_t kMaxImportBytes = 64u << 20;
/// Vertices per measurement: each is a marker on the map, and the map stays fluid
/// up to about this many.
inline constexpr std::size_t kMaxVerticesPerMeasurement = 10'000;
/// Vertices per file: about 5 MB in the saved list.
inline constexpr std::size_t kMaxVerticesPerFile = 100'000;
/// Measurements per file: all of them go into the saved list as one change, which
/// holds every other writer off while it lasts.
inline constexpr std::size_t kMaxMeasurementsPerFile = 1'000;
/// Element or array/object nesting: real files stay below 15.
inline constexpr std::size_t kMaxNestingDepth = 64;
/// JSON values per GeoJSON file, which bounds its parsed tree to about 100 MB.
inline constexpr std::size_t kMaxJsonValues = 1'000'000;
/// Bytes of a measurement's name.
inline constexpr std::size_t kMaxNameBytes = 1'000;

/// One geometry found in a file, in the app's form (ring open, vertices in file order).
struct ImportedGeometry {
  std::string name;            ///< empty when the file gives none
  std::optional<double> date;  ///< seconds since 2001-01-01 UTC, when the file says
  std::vector<Coordinate> vertices;
  std::size_t line = 0;  ///< where it starts in the file, from 1
};

/// Something about a file, at a line (from 1; 0 for the file as a whole).
struct ImportNote {
  std::size_t line = 0;
  std::string message;
};

/// All of a file or nothing: with an error, `geometries` is empty.
struct ImportResult {
  std::vector<ImportedGeometry> geometries;
  std::vector<ImportNote> warnings;  ///< what was read differently from the file (holes dropped, ...)
  std::optional<ImportNote> error;
};

// The readers take any bytes (they are the fuzzing entry points) and never throw.
// Coordinates must be finite, latitude within ±90 and longitude within ±180.
// Text must be UTF-8; XML may not carry a DOCTYPE (so no entity is ever defined).

/// GeoJSON: a FeatureCollection, a Feature or a bare geometry. Point, LineString,
/// Polygon (outer ring; holes dropped with a warning), MultiPolygon (its first
/// polygon, with a warning when there are more). Name from the properties "title"
/// or "name", date from "date". Features without geometry are skipped with a warning.
[[nodiscard]] ImportResult readGeoJson(std::string_view bytes);
/// KML 2.2 (and 2.0/2.1): every Placemark at any depth of Documents and Folders,
/// with Point, LineString, LinearRing, Polygon (outer ring) or MultiGeometry (its
/// first); coordinates "lon,lat[,alt]" separated by any whitespace. Elements in other
/// namespaces are ignored. Name from name, date from TimeStamp/when.
[[nodiscard]] ImportResult readKml(std::string_view bytes);
/// GPX 1.0/1.1: each trk (its segments joined), each rte, and all wpt together as one
/// measurement. A closed track becomes an area. Date from Kavrano's extension, else
/// the first point's time, else the metadata time.
[[nodiscard]] ImportResult readGpx(std::string_view bytes);

enum class ImportFormat { geojson, kml, gpx };
/// By extension, any case: .geojson or .json, .kml, .gpx.
[[nodiscard]] std::optional<ImportFormat> importFormatForFile(const std::filesystem::path& file);

/// A file made ready for the store: every message already says "FILE:LINE: what".
struct FileImport {
  std::vector<PersistedMeasurement> records;
  std::vector<std::string> warnings;
  std::optional<std::string> error;
};

/// Reads `file` (at most kMaxImportBytes) and makes a record of each geometry: a new
/// id, the file's date or `now`, title from the name else "<file name> <n>", centre
/// from centreOf(). All or nothing: with an error, no records.
[[nodiscard]] FileImport importMeasurementFile(const std::filesystem::path& file, double now);

/// Appends `records` to the saved list as one change of the store: all of them, or
/// none and the reason. No other writer, in any process, changes the list in between.
[[nodiscard]] Result<void> saveAllOrNone(PersistanceManager& store, const std::vector<PersistedMeasurement>& records);

}  // namespace kavrano::interop
