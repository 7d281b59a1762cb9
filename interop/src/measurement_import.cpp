#include "kavrano/interop/measurement_import.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <fstream>

#include "kavrano/core/measurement_geometry.h"
#include "kavrano/core/utf8.h"
#include "kavrano/core/uuid.h"

namespace kavrano::interop {
namespace {

// A path as given, with what a terminal would act on escaped.
std::string shownPath(const std::filesystem::path& file) {
  const std::string text = file.string();
  std::string out;
  const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
  for (std::size_t i = 0; i < text.size();) {
    const std::size_t length = detail::utf8SequenceLength(bytes + i, text.size() - i);
    if (length == 0 || bytes[i] < 0x20 || bytes[i] == 0x7F) {
      char escape[8];
      std::snprintf(escape, sizeof escape, "\\x%02X", bytes[i]);
      out += escape;
      ++i;
    } else {
      out.append(text, i, length);
      i += length;
    }
  }
  return out;
}

// A file name as a title: bytes that are not UTF-8 become U+FFFD, as the store keeps UTF-8 only.
std::string utf8Name(const std::string& name) {
  std::string out;
  const auto* bytes = reinterpret_cast<const unsigned char*>(name.data());
  for (std::size_t i = 0; i < name.size();) {
    const std::size_t length = detail::utf8SequenceLength(bytes + i, name.size() - i);
    if (length == 0) {
      out += "\xEF\xBF\xBD";
      ++i;
    } else {
      out.append(name, i, length);
      i += length;
    }
  }
  return out;
}

// For a file whose extension says nothing: the first thing in it.
std::optional<ImportFormat> sniffedFormat(std::string_view bytes) {
  if (bytes.starts_with("\xEF\xBB\xBF")) bytes.remove_prefix(3);
  const auto start = bytes.find_first_not_of(" \t\r\n");
  if (start == std::string_view::npos) return std::nullopt;
  if (bytes[start] == '{') return ImportFormat::geojson;
  const std::string_view head = bytes.substr(start, 4096);
  if (head.find("<kml") != std::string_view::npos) return ImportFormat::kml;
  if (head.find("<gpx") != std::string_view::npos) return ImportFormat::gpx;
  return std::nullopt;
}

std::optional<std::string> readBounded(const std::filesystem::path& file, std::string& bytes) {
  std::error_code error;
  if (std::filesystem::is_directory(file, error)) return "is a directory";
  std::ifstream in(file, std::ios::binary);
  if (!in) return "cannot be opened";
  // In pieces, and one past the limit, so a file growing while it is read (or a
  // pipe) is still caught and a small file costs no more than its size.
  char piece[1 << 16];
  while (bytes.size() <= kMaxImportBytes && in.read(piece, sizeof piece).gcount() > 0) {
    bytes.append(piece, static_cast<std::size_t>(in.gcount()));
  }
  if (in.bad()) return "cannot be read";
  if (bytes.size() > kMaxImportBytes) {
    return "is larger than " + std::to_string(kMaxImportBytes >> 20) + " MiB, the most one import takes";
  }
  return std::nullopt;
}

}  // namespace

std::optional<ImportFormat> importFormatForFile(const std::filesystem::path& file) {
  std::string extension = file.extension().string();
  std::transform(extension.begin(), extension.end(), extension.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  if (extension == ".geojson" || extension == ".json") return ImportFormat::geojson;
  if (extension == ".kml") return ImportFormat::kml;
  if (extension == ".gpx") return ImportFormat::gpx;
  return std::nullopt;
}

FileImport importMeasurementFile(const std::filesystem::path& file, double now) {
  FileImport imported;
  const std::string where = shownPath(file);
  std::string bytes;
  if (const auto problem = readBounded(file, bytes)) {
    imported.error = where + ": " + *problem;
    return imported;
  }
  const auto format = importFormatForFile(file) ? importFormatForFile(file) : sniffedFormat(bytes);
  if (!format) {
    imported.error = where + ": neither its name nor its start says GeoJSON, KML or GPX";
    return imported;
  }
  const ImportResult result = *format == ImportFormat::geojson ? readGeoJson(bytes)
                              : *format == ImportFormat::kml   ? readKml(bytes)
                                                               : readGpx(bytes);
  const auto located = [&](const ImportNote& note) {
    return where + (note.line > 0 ? ":" + std::to_string(note.line) : "") + ": " + note.message;
  };
  if (result.error) {
    imported.error = located(*result.error);
    return imported;
  }
  for (const auto& warning : result.warnings) imported.warnings.push_back(located(warning));
  const std::string fileName = utf8Name(file.filename().string());
  for (std::size_t i = 0; i < result.geometries.size(); ++i) {
    const auto& geometry = result.geometries[i];
    PersistedMeasurement record;
    record.id = makeUuidString();
    record.date = geometry.date.value_or(now);
    record.annotations = annotationsOf(geometry.vertices);
    record.title = geometry.name.empty() ? fileName + " " + std::to_string(i + 1) : geometry.name;
    const Coordinate centre = centreOf(geometry.vertices);
    record.center = {centre.latitude, centre.longitude};
    imported.records.push_back(std::move(record));
  }
  if (imported.records.empty() && imported.warnings.empty())
    imported.warnings.push_back(where + ": holds no measurement");
  return imported;
}

Result<void> saveAllOrNone(PersistanceManager& store, const std::vector<PersistedMeasurement>& records) {
  if (records.empty()) return {};
  return store.appendMeasurements(records);
}

}  // namespace kavrano::interop
