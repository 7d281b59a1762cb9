#include "kavrano/files/writing_measurement_file_exporter.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

#include "kavrano/interop/measurement_export.h"

namespace kavrano {

std::optional<std::string> WritingMeasurementFileExporter::exportFile(const PersistedMeasurement& measurement,
                                                                      const std::filesystem::path& file) {
  const std::string name = file.filename().string();
  const auto format = interop::exportFormatForFile(file);
  if (!format) return name + " has no extension Kavrano writes: .geojson, .json, .kml, .gpx or .csv";
  const auto text = interop::exportMeasurements(*format, std::span(&measurement, 1));
  if (!text) return name + " was not written: the measurement holds a number that is not finite";
  // stdio rather than a stream: its errno says why, for the alert.
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> out(std::fopen(file.c_str(), "wb"), &std::fclose);
  if (!out) return name + " could not be written: " + std::strerror(errno);
  const bool written = std::fwrite(text->data(), 1, text->size(), out.get()) == text->size();
  const int writeError = errno;
  // A full disk may show only when the buffer is flushed on closing.
  const bool closed = std::fclose(out.release()) == 0;
  if (!written || !closed) return name + " could not be written: " + std::strerror(written ? errno : writeError);
  return std::nullopt;
}

}  // namespace kavrano
