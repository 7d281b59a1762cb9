#pragma once

#include <span>

#include "kavrano/core/coordinate.h"

namespace kavrano {

/// The geodesy of the product: the area of a ring, the length and the midpoint of a side.
///
/// The area uses a spherical model with the WGS 84 equatorial radius (a
/// trapezoid sum over the edges); for small rings it lies within about 0.5 % of the
/// ellipsoidal area. Lengths are WGS 84 geodesics (GeographicLib, accurate to
/// about 15 nm). The midpoint is the normalised mean of the two unit vectors.
/// Stateless apart from one constant; make one wherever one is needed.
class MeasurementManager {
 public:
  /// Earth radius in metres used by the area formula (WGS 84 semi-major axis).
  const double kEarthRadius = 6378137.0;

  /// Area enclosed by `coordinates`, in square metres, never negative.
  /// The ring is closed implicitly; fewer than three points give exactly 0.
  /// Longitude differences are used as they stand (no wrapping at ±180°).
  [[nodiscard]] double polygonArea(std::span<const Coordinate> coordinates) const;

  /// Geodesic distance on the WGS 84 ellipsoid in metres. Latitudes must lie in
  /// −90…90 degrees; outside that the result is not a number.
  [[nodiscard]] double distance(Coordinate from, Coordinate to) const;

  /// Midpoint of the great-circle segment; independent of argument order.
  /// Longitude in −180…180 degrees. When the mean vector has no horizontal part
  /// (exactly opposite points, rarely met in floating point) the pole or NaN results.
  [[nodiscard]] Coordinate midpoint(Coordinate a, Coordinate b) const;
};

}  // namespace kavrano
