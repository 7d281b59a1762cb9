// The own position as the measuring screens read it.
#include <QGeoPositionInfoSource>

#include "kavrano/qt_map/quick_map_view.h"

namespace kavrano {

std::optional<Coordinate> QuickMapView::userLocationFix() const {
  if (!userLocation_->hasFix()) return std::nullopt;
  return userLocation_->coordinate();
}

std::optional<Coordinate> QuickMapView::lastKnownUserLocation() const {
  if (!position_) return std::nullopt;
  const QGeoCoordinate c = position_->lastKnownPosition().coordinate();
  if (!c.isValid()) return std::nullopt;
  return Coordinate{c.latitude(), c.longitude()};
}

}  // namespace kavrano
