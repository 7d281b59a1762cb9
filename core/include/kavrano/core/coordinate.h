#pragma once

namespace kavrano {

/// A point on the Earth: degrees, north and east positive. No range is enforced;
/// values are carried as the map or the user gave them.
struct Coordinate {
  double latitude = 0.0;
  double longitude = 0.0;
};

/// Whether `c` is a place on the Earth: latitude within −90…90 and longitude within
/// −180…180 degrees, so neither is infinite or not a number. The map and the command
/// line make only such points; a stored record may hold anything.
[[nodiscard]] constexpr bool isOnEarth(Coordinate c) {
  return c.latitude >= -90.0 && c.latitude <= 90.0 && c.longitude >= -180.0 && c.longitude <= 180.0;
}

}  // namespace kavrano
