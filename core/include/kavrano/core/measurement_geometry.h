#pragma once

#include <span>
#include <vector>

#include "kavrano/core/coordinate.h"
#include "kavrano/core/persisted_measurement.h"

namespace kavrano {

// The shape of a measurement, for every caller that draws, saves or exports one.
// Ellipsoidal figures are on WGS 84 (GeographicLib: lengths to about 15 nm, areas
// to about 0.1 m² for rings of a few kilometres). Latitudes must lie in −90…90
// degrees; outside that the results are not a number. A measurement of three or
// more vertices is a ring closed implicitly; two make a line; fewer have no extent.

/// The saved vertices as coordinates, in order.
[[nodiscard]] std::vector<Coordinate> coordinatesOf(std::span<const PersistedAnnotation> annotations);
/// The coordinates as saved vertices, in order.
[[nodiscard]] std::vector<PersistedAnnotation> annotationsOf(std::span<const Coordinate> coordinates);

/// The ring with its first vertex repeated at the end, as file formats write it;
/// fewer than three vertices are returned as they are.
[[nodiscard]] std::vector<Coordinate> closedRing(std::span<const Coordinate> vertices);
/// A written ring back to the app's form: a last vertex equal to the first (both
/// numbers bit for bit) is dropped when at least three others remain.
[[nodiscard]] std::vector<Coordinate> openRing(std::span<const Coordinate> vertices);

/// Signed ellipsoidal area of the implicitly closed ring in m²: positive when the
/// vertices run counter-clockwise seen from above, 0 for fewer than three.
[[nodiscard]] double signedWgs84Area(std::span<const Coordinate> vertices);
/// Ellipsoidal area in m², never negative; 0 for fewer than three vertices.
[[nodiscard]] double wgs84Area(std::span<const Coordinate> vertices);
/// The same ring running counter-clockwise, its first vertex still first (the
/// order GIS formats require of an outer ring); other inputs are returned as they are.
[[nodiscard]] std::vector<Coordinate> counterClockwise(std::span<const Coordinate> vertices);

/// Sum of the geodesic sides the app labels, in metres: every edge, plus the
/// closing one for three or more vertices.
[[nodiscard]] double perimeter(std::span<const Coordinate> vertices);

/// Where the map is centred to show the vertices: the normalised mean of their unit
/// vectors, so a shape across the 180th meridian is centred on it. The first vertex
/// when the mean has no direction (antipodal pairs); (0, 0) when empty.
[[nodiscard]] Coordinate centreOf(std::span<const Coordinate> vertices);

}  // namespace kavrano
