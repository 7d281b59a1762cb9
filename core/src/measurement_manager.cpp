#include "kavrano/core/measurement_manager.h"

#include <GeographicLib/Geodesic.hpp>
#include <cmath>
#include <limits>

namespace kavrano {
namespace {

constexpr double kPi = 3.141592653589793;

// Written out as multiply-then-divide everywhere, so every caller rounds alike.
inline double radians(double degrees) { return degrees * kPi / 180.0; }
inline double degrees(double radians) { return radians * 180.0 / kPi; }

// One edge's term. The bracket is summed left to right: (sin p + 2) + sin q.
inline double edgeTerm(double lonP, double sinLatP, double lonQ, double sinLatQ) {
  return radians(lonQ - lonP) * (sinLatP + 2.0 + sinLatQ);
}

}  // namespace

double MeasurementManager::polygonArea(std::span<const Coordinate> c) const {
  const std::size_t n = c.size();
  if (n < 3) return 0.0;

  // Each vertex's sine serves two edges, so it is computed once. The closing edge
  // goes first, then 0→1, 1→2, …: the order of the sum is part of the result.
  const double sinFirst = std::sin(radians(c[0].latitude));
  const double sinLast = std::sin(radians(c[n - 1].latitude));
  double sum = 0.0;
  sum += edgeTerm(c[n - 1].longitude, sinLast, c[0].longitude, sinFirst);

  double sinP = sinFirst;
  for (std::size_t i = 0; i + 1 < n; ++i) {
    const double sinQ = (i + 2 == n) ? sinLast : std::sin(radians(c[i + 1].latitude));
    sum += edgeTerm(c[i].longitude, sinP, c[i + 1].longitude, sinQ);
    sinP = sinQ;
  }

  double area = sum * kEarthRadius * kEarthRadius * 0.5;
  if (area < 0) area = -area;
  return area;
}

double MeasurementManager::distance(Coordinate from, Coordinate to) const {
  double meters = std::numeric_limits<double>::quiet_NaN();
  GeographicLib::Geodesic::WGS84().Inverse(from.latitude, from.longitude, to.latitude, to.longitude, meters);
  return meters;
}

Coordinate MeasurementManager::midpoint(Coordinate a, Coordinate b) const {
  const double phi1 = radians(a.latitude), lambda1 = radians(a.longitude);
  const double phi2 = radians(b.latitude), lambda2 = radians(b.longitude);

  const double x1 = std::cos(phi1) * std::cos(lambda1), y1 = std::cos(phi1) * std::sin(lambda1), z1 = std::sin(phi1);
  const double x2 = std::cos(phi2) * std::cos(lambda2), y2 = std::cos(phi2) * std::sin(lambda2), z2 = std::sin(phi2);

  const double x = (x1 + x2) * 0.5, y = (y1 + y2) * 0.5, z = (z1 + z2) * 0.5;
  const double h2 = x * x + y * y;
  if (h2 != 0.0) return {degrees(std::atan2(z, std::sqrt(h2))), degrees(std::atan2(y, x))};
  if (z > 0) return {90.0, 0.0};
  if (z < 0) return {-90.0, 0.0};
  const double nan = std::numeric_limits<double>::quiet_NaN();
  return {nan, nan};
}

}  // namespace kavrano
