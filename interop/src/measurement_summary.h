#pragma once

#include <string>
#include <vector>

#include "kavrano/core/coordinate.h"
#include "kavrano/core/persisted_measurement.h"

namespace kavrano::interop {

/// What every export form says about one measurement.
struct MeasurementSummary {
  std::vector<Coordinate> vertices;  ///< in the app's order
  std::string date;                  ///< ISO 8601 UTC, or "invalid-date" outside the years 0–9999
  double area = 0.0;                 ///< the app's area, m²
  double wgs84Area = 0.0;            ///< ellipsoidal, m²
  double perimeter = 0.0;            ///< m
};

[[nodiscard]] MeasurementSummary summarise(const PersistedMeasurement& measurement);

/// Shortest text that reads back to the same double ("-0" keeps its sign).
[[nodiscard]] std::string shortestNumber(double value);

/// `text` as XML 1.0 character data: markup characters as entities, CR as &#13; so
/// it survives line-end normalisation, and what XML cannot carry (other control
/// characters, bytes that are not UTF-8) as U+FFFD.
[[nodiscard]] std::string xmlEscaped(const std::string& text);

}  // namespace kavrano::interop
