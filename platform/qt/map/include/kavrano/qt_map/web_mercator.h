#pragma once

#include <QPointF>

#include "kavrano/core/coordinate.h"

namespace kavrano::mercator {

/// Spherical ("Web") Mercator on the WGS 84 equatorial radius, as every XYZ tile
/// service uses it. World units: x and y in [0, 1), x east from −180°, y south
/// from the latitude limit. Accurate to rounding; scale errors against the
/// ellipsoid (up to 0.7 %) matter only for the distance/zoom conversions below.

/// The latitude where the square world ends, atan(sinh(π)).
inline constexpr double kMaxLatitude = 85.05112877980659;
inline constexpr double kEarthRadius = 6378137.0;  // metres, WGS 84 a
inline constexpr double kTileSize = 256.0;         // points per tile edge

/// Latitude is clamped to ±kMaxLatitude; longitude is not wrapped (x may leave [0, 1)).
[[nodiscard]] QPointF toWorld(Coordinate coordinate);
/// Exact inverse of `toWorld` for y inside the world; longitude wrapped to [−180, 180).
[[nodiscard]] Coordinate toCoordinate(QPointF world);
/// x brought into [0, 1).
[[nodiscard]] double wrapX(double x);
/// Metres on the ground per world unit at a latitude (degrees).
[[nodiscard]] double metresPerWorldUnit(double latitude);

}  // namespace kavrano::mercator
