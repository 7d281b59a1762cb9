#include "kavrano/qt_map/map_camera.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "kavrano/qt_map/web_mercator.h"

namespace kavrano {

double MapCamera::scale() const { return mercator::kTileSize * std::exp2(zoom); }

QPointF MapCamera::toView(QPointF world) const {
  double dx = world.x() - centre.x();
  dx -= std::round(dx);  // the copy of the world nearest the centre
  const double s = scale();
  return {dx * s + viewport.width() / 2.0, (world.y() - centre.y()) * s + viewport.height() / 2.0};
}

QPointF MapCamera::toWorld(QPointF view) const {
  const double s = scale();
  return {centre.x() + (view.x() - viewport.width() / 2.0) / s, centre.y() + (view.y() - viewport.height() / 2.0) / s};
}

Coordinate MapCamera::coordinateAt(QPointF view) const { return mercator::toCoordinate(toWorld(view)); }

Coordinate MapCamera::centreCoordinate() const { return mercator::toCoordinate(centre); }

QRectF MapCamera::visibleWorld() const {
  const double s = scale();
  const QSizeF size(viewport.width() / s, viewport.height() / s);
  return {centre - QPointF(size.width() / 2.0, size.height() / 2.0), size};
}

double MapCamera::minimumZoom() const {
  const double fit = std::log2(viewport.height() / mercator::kTileSize);
  return std::isfinite(fit) ? std::clamp(fit, kMinZoom, kMaxZoom) : kMinZoom;
}

double MapCamera::zoomToCentre(QPointF world) const {
  const double room = std::min(world.y(), 1.0 - world.y());  // world units to the nearer edge
  const double zoom = room > 0 ? std::log2(viewport.height() / (2.0 * room * mercator::kTileSize)) : kMaxZoom;
  return std::isfinite(zoom) ? std::clamp(zoom, minimumZoom(), kMaxZoom) : minimumZoom();
}

void MapCamera::centreOn(QPointF world) {
  zoom = std::max(zoom, zoomToCentre(world));
  centre = world;
  normalise();
}

void MapCamera::normalise() {
  // A NaN here would reach integer tile indices: fall back to the whole world.
  if (!std::isfinite(centre.x()) || !std::isfinite(centre.y())) centre = {0.5, 0.5};
  if (!std::isfinite(zoom)) zoom = kMinZoom;
  zoom = std::clamp(zoom, minimumZoom(), kMaxZoom);
  centre.setX(mercator::wrapX(centre.x()));
  const double halfHeight = std::min(viewport.height() / scale() / 2.0, 0.5);
  centre.setY(std::clamp(centre.y(), halfHeight, 1.0 - halfHeight));
}

void MapCamera::zoomAbout(double newZoom, QPointF anchor) {
  const QPointF before = toWorld(anchor);
  zoom = std::clamp(newZoom, minimumZoom(), kMaxZoom);
  const QPointF after = toWorld(anchor);
  centre += before - after;
  normalise();
}

double MapCamera::visibleHeightMetres() const {
  const double lat = centreCoordinate().latitude;
  return viewport.height() / scale() * mercator::metresPerWorldUnit(lat);
}

double MapCamera::zoomForCameraDistance(double distance) const {
  const double heightMetres = 2.0 * distance * std::tan(kFieldOfViewDegrees / 2.0 * std::numbers::pi / 180.0);
  const double lat = centreCoordinate().latitude;
  // viewport.height / (256·2^z) · metresPerWorldUnit = heightMetres
  return std::log2(viewport.height() * mercator::metresPerWorldUnit(lat) / (mercator::kTileSize * heightMetres));
}

double MapCamera::zoomForRegion(Coordinate c, double metresNorthSouth, double metresEastWest) const {
  // Metres to degrees as on the sphere of the projection, then degrees to world units.
  const double metresPerDegree = std::numbers::pi * mercator::kEarthRadius / 180.0;
  const double halfLat = metresNorthSouth / metresPerDegree / 2.0;
  const double cosLat = std::max(std::cos(c.latitude * std::numbers::pi / 180.0), 1e-9);
  const double lonSpan = metresEastWest / (metresPerDegree * cosLat);
  const double worldHeight = std::abs(mercator::toWorld({c.latitude - halfLat, c.longitude}).y() -
                                      mercator::toWorld({c.latitude + halfLat, c.longitude}).y());
  const double worldWidth = std::min(lonSpan / 360.0, 1.0);
  const double zx = worldWidth > 0 ? std::log2(viewport.width() / (worldWidth * mercator::kTileSize)) : kMaxZoom;
  const double zy = worldHeight > 0 ? std::log2(viewport.height() / (worldHeight * mercator::kTileSize)) : kMaxZoom;
  return std::clamp(std::min(zx, zy), kMinZoom, kMaxZoom);
}

}  // namespace kavrano
