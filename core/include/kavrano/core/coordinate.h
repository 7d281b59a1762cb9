#pragma once

namespace kavrano {

/// A point on the Earth: degrees, north and east positive. No range is enforced;
/// values are carried as the map or the user gave them.
struct Coordinate {
  double latitude = 0.0;
  double longitude = 0.0;
};

}  // namespace kavrano
