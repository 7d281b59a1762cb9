#include "kavrano/core/measurement_manager.h"

#include <GeographicLib/Geodesic.hpp>
#include <cmath>
#include <limits>

#include "edge_terms.h"

namespace kavrano {
namespace {

inline double degrees(double radians) { return radians * 180.0 / area::kPi; }

}  // namespace

double MeasurementManager::polygonArea(std::span<const Coordinate> c) const {
  const std::size_t n = c.size();
  if (n < 3) return 0.0;

  // The closing edge goes first, then 0→1, 1→2, …: the order of the sum is part of the
  // result. The widest kernel the CPU runs adds the rest; each gives the same bits.
  static const area::AddEdgesFn addEdges = area::kernelEntry(area::widestKernel()).addEdges;
  double sum = 0.0;
  sum += area::edgeTerm(c[n - 1].longitude, area::latitudeSine(c[n - 1].latitude), c[0].longitude,
                        area::latitudeSine(c[0].latitude));
  sum = addEdges(c.data(), n, sum);

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
  const double phi1 = area::radians(a.latitude), lambda1 = area::radians(a.longitude);
  const double phi2 = area::radians(b.latitude), lambda2 = area::radians(b.longitude);

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
