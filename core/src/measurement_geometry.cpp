#include "kavrano/core/measurement_geometry.h"

#include <GeographicLib/Geodesic.hpp>
#include <GeographicLib/PolygonArea.hpp>
#include <algorithm>
#include <cmath>

#include "kavrano/core/measurement_manager.h"

namespace kavrano {
namespace {

bool sameBits(const Coordinate& a, const Coordinate& b) {
  return std::signbit(a.latitude) == std::signbit(b.latitude) &&
         std::signbit(a.longitude) == std::signbit(b.longitude) && a.latitude == b.latitude &&
         a.longitude == b.longitude;
}

}  // namespace

std::vector<Coordinate> coordinatesOf(std::span<const PersistedAnnotation> annotations) {
  std::vector<Coordinate> coordinates;
  coordinates.reserve(annotations.size());
  for (const auto& annotation : annotations) coordinates.push_back({annotation.latitude, annotation.longitude});
  return coordinates;
}

std::vector<PersistedAnnotation> annotationsOf(std::span<const Coordinate> coordinates) {
  std::vector<PersistedAnnotation> annotations;
  annotations.reserve(coordinates.size());
  for (const auto& coordinate : coordinates) annotations.push_back({coordinate.latitude, coordinate.longitude});
  return annotations;
}

std::vector<Coordinate> closedRing(std::span<const Coordinate> vertices) {
  std::vector<Coordinate> ring(vertices.begin(), vertices.end());
  if (ring.size() >= 3) ring.push_back(ring.front());
  return ring;
}

std::vector<Coordinate> openRing(std::span<const Coordinate> vertices) {
  std::vector<Coordinate> ring(vertices.begin(), vertices.end());
  if (ring.size() >= 4 && sameBits(ring.front(), ring.back())) ring.pop_back();
  return ring;
}

double signedWgs84Area(std::span<const Coordinate> vertices) {
  if (vertices.size() < 3) return 0.0;
  GeographicLib::PolygonArea polygon(GeographicLib::Geodesic::WGS84());
  for (const auto& vertex : vertices) polygon.AddPoint(vertex.latitude, vertex.longitude);
  double perimeter = 0.0;
  double area = 0.0;
  // Signed, and not folded into the other hemisphere: a clockwise ring stays negative.
  polygon.Compute(false, true, perimeter, area);
  return area;
}

double wgs84Area(std::span<const Coordinate> vertices) { return std::fabs(signedWgs84Area(vertices)); }

std::vector<Coordinate> counterClockwise(std::span<const Coordinate> vertices) {
  std::vector<Coordinate> ring(vertices.begin(), vertices.end());
  if (signedWgs84Area(vertices) < 0.0) std::reverse(ring.begin() + 1, ring.end());
  return ring;
}

double perimeter(std::span<const Coordinate> vertices) {
  const MeasurementManager geodesy;
  double total = 0.0;
  for (std::size_t i = 1; i < vertices.size(); ++i) total += geodesy.distance(vertices[i - 1], vertices[i]);
  if (vertices.size() >= 3) total += geodesy.distance(vertices.back(), vertices.front());
  return total;
}

Coordinate centreOf(std::span<const Coordinate> vertices) {
  if (vertices.empty()) return {};
  if (vertices.size() == 1) return vertices.front();
  constexpr double kRadiansPerDegree = 3.141592653589793 / 180.0;
  double x = 0.0, y = 0.0, z = 0.0;
  for (const auto& vertex : vertices) {
    const double phi = vertex.latitude * kRadiansPerDegree, lambda = vertex.longitude * kRadiansPerDegree;
    x += std::cos(phi) * std::cos(lambda);
    y += std::cos(phi) * std::sin(lambda);
    z += std::sin(phi);
  }
  const double horizontal = std::hypot(x, y);
  // Below this the mean direction is rounding noise: the vertices cancel out.
  constexpr double kNoDirection = 1e-12;
  if (horizontal + std::fabs(z) < kNoDirection * static_cast<double>(vertices.size())) return vertices.front();
  return {std::atan2(z, horizontal) / kRadiansPerDegree, std::atan2(y, x) / kRadiansPerDegree};
}

}  // namespace kavrano
