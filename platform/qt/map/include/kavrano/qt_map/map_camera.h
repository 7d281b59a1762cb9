#pragma once

#include <QPointF>
#include <QRectF>
#include <QSizeF>

#include "kavrano/core/coordinate.h"

namespace kavrano {

/// Where the map looks: a centre in world units (see mercator), a fractional zoom
/// (0 shows the world in one 256-point tile; each step doubles) and the view size
/// in points. Drawing and point-to-coordinate both go through here, so one is the
/// inverse of the other by construction.
struct MapCamera {
  static constexpr double kMinZoom = 0.0;
  static constexpr double kMaxZoom = 22.0;
  /// Vertical field of view of the virtual camera over the flat map. A camera at
  /// distance d (metres, above the centre) sees a view height of 2·d·tan(fov/2)
  /// = 0.5359·d metres on the ground; that is how a minimum distance becomes a
  /// maximum zoom.
  static constexpr double kFieldOfViewDegrees = 30.0;

  QPointF centre{0.5, 0.5};
  double zoom = 2.0;
  QSizeF viewport{390.0, 844.0};

  /// Points per world unit.
  [[nodiscard]] double scale() const;
  /// The view point of a world point, taking the copy of the world nearest the centre.
  [[nodiscard]] QPointF toView(QPointF world) const;
  /// The world point under a view point (x not wrapped).
  [[nodiscard]] QPointF toWorld(QPointF view) const;
  [[nodiscard]] Coordinate coordinateAt(QPointF view) const;
  [[nodiscard]] Coordinate centreCoordinate() const;
  /// The visible world rectangle (x not wrapped).
  [[nodiscard]] QRectF visibleWorld() const;

  /// The least zoom at which the world is as tall as the view: below it a
  /// blank band would show beyond ±85.05°, where no tap can land on the map.
  [[nodiscard]] double minimumZoom() const;
  /// The least zoom at which `world` can sit at the view's centre with the world
  /// still covering the view: further out, the centre would be pushed away
  /// from the poles.
  [[nodiscard]] double zoomToCentre(QPointF world) const;
  /// Puts `world` at the centre, zooming in as far as that needs.
  void centreOn(QPointF world);
  /// Keeps the world covering the view vertically (zoom at least
  /// `minimumZoom`, the view's top and bottom inside the world) and wraps the
  /// centre horizontally.
  void normalise();
  /// Changes zoom keeping the world point under `anchor` (a view point) fixed,
  /// as far as the world's edges allow.
  void zoomAbout(double newZoom, QPointF anchor);

  /// Metres seen over the view's height at the centre's latitude.
  [[nodiscard]] double visibleHeightMetres() const;
  /// The largest zoom at which the camera is still `distance` metres away.
  [[nodiscard]] double zoomForCameraDistance(double distance) const;
  /// The zoom that shows `metresNorthSouth` × `metresEastWest` around a centre.
  [[nodiscard]] double zoomForRegion(Coordinate centre, double metresNorthSouth, double metresEastWest) const;
};

}  // namespace kavrano
