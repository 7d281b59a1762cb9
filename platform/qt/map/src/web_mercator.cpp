#include "kavrano/qt_map/web_mercator.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace kavrano::mercator {

QPointF toWorld(Coordinate c) {
  const double lat = std::clamp(c.latitude, -kMaxLatitude, kMaxLatitude) * std::numbers::pi / 180.0;
  const double x = (c.longitude + 180.0) / 360.0;
  const double y = 0.5 - std::asinh(std::tan(lat)) / (2.0 * std::numbers::pi);
  return {x, y};
}

double wrapX(double x) {
  double w = x - std::floor(x);
  return w >= 1.0 ? 0.0 : w;
}

Coordinate toCoordinate(QPointF world) {
  const double lat = std::atan(std::sinh((0.5 - world.y()) * 2.0 * std::numbers::pi)) * 180.0 / std::numbers::pi;
  double lon = wrapX(world.x()) * 360.0 - 180.0;
  return {lat, lon};
}

double metresPerWorldUnit(double latitude) {
  return 2.0 * std::numbers::pi * kEarthRadius * std::cos(latitude * std::numbers::pi / 180.0);
}

}  // namespace kavrano::mercator
