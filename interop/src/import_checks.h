#pragma once

#include <cstddef>
#include <new>
#include <optional>
#include <string>
#include <string_view>

#include "kavrano/core/coordinate.h"
#include "kavrano/interop/measurement_import.h"

namespace kavrano::interop {

/// What stops a reader: caught once at its top and turned into the result's error.
struct ImportFailure {
  std::size_t line;
  std::string message;
};

/// Runs a reader, turning what stops it into the result's error, so nothing half-read
/// comes out.
template <typename Read>
[[nodiscard]] ImportResult guardedRead(Read&& read) noexcept {
  ImportResult failed;
  try {
    return read();
  } catch (const ImportFailure& failure) {
    failed.error = ImportNote{failure.line, failure.message};
  } catch (const std::bad_alloc&) {
    failed.error = ImportNote{0, "the file needs more memory than there is"};
  }
  return failed;
}

/// `text` from a file, fit for a one-line message: quoted, at most 40 characters,
/// control characters and bytes that are not UTF-8 as \xNN.
[[nodiscard]] std::string shown(std::string_view text);

/// A decimal number as XML Schema and JSON write them (an optional sign, digits, an
/// optional fraction and exponent), surrounding whitespace allowed; none otherwise.
[[nodiscard]] std::optional<double> parseDecimal(std::string_view text);

/// Throws unless the position is finite and on the Earth.
[[nodiscard]] Coordinate checkedCoordinate(double latitude, double longitude, std::size_t line);

/// Keeps count of a file's measurements and vertices against the limits.
class ImportBudget {
 public:
  /// Throws when one more vertex would pass a limit.
  void addVertex(std::size_t verticesInMeasurement, std::size_t line);
  /// Throws when one more measurement would pass the limit.
  void addMeasurement(std::size_t line);

 private:
  std::size_t vertices_ = 0;
  std::size_t measurements_ = 0;
};

/// The app closes every shape of three or more vertices: an open path of that many
/// becomes an area, which the user is told.
void noteOpenPath(ImportResult& result, std::size_t vertices, std::size_t line);

/// Throws when a name is longer than kMaxNameBytes.
void checkName(std::string_view name, std::size_t line);

/// Throws when `bytes` is larger than kMaxImportBytes or is not UTF-8 (a BOM allowed).
/// Returns the bytes after the BOM.
[[nodiscard]] std::string_view checkedText(std::string_view bytes);

/// Line numbers (from 1) of byte offsets, counted forward from the last one asked,
/// so a reader walking the file in order pays for each byte once.
class LineCounter {
 public:
  explicit LineCounter(std::string_view text) : text_(text) {}
  [[nodiscard]] std::size_t lineAt(std::size_t offset);

 private:
  std::string_view text_;
  std::size_t offset_ = 0;
  std::size_t line_ = 1;
};

}  // namespace kavrano::interop
