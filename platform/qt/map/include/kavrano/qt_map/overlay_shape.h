#pragma once

#include <QColor>
#include <QPainter>
#include <QPolygonF>
#include <QRectF>
#include <map>
#include <vector>

#include "kavrano/map/overlay.h"
#include "kavrano/qt_map/map_camera.h"

namespace kavrano {

/// An overlay's points in world units, kept continuous across the antimeridian
/// (each point takes the copy of its longitude nearest the previous point), and
/// its simplifications for each zoom level: a point that falls in the same pixel
/// as the last kept one is dropped, then those within half a pixel of the line
/// through their neighbours (Douglas–Peucker). A 100,000-point region seen
/// whole thus costs about as many points as it covers pixels of outline.
class OverlayShape {
 public:
  explicit OverlayShape(const Overlay& overlay);

  [[nodiscard]] bool closed() const { return closed_; }
  [[nodiscard]] const QRectF& bounds() const { return bounds_; }
  [[nodiscard]] std::size_t size() const { return points_.size(); }
  /// The points for drawing at zooms up to `level`.
  [[nodiscard]] const std::vector<QPointF>& simplified(int level);

  /// The shape in view points for this camera, cut to the view grown by `margin`
  /// points (a closed shape stays closed; the cut edges lie outside the view).
  /// An open shape may come back as several runs.
  [[nodiscard]] std::vector<QPolygonF> project(const MapCamera& camera, double margin);

 private:
  std::vector<QPointF> points_;
  bool closed_;
  QRectF bounds_;
  std::map<int, std::vector<QPointF>> levels_;
};

/// One thing for the overlay pass to paint, already in view points.
struct OverlayDrawItem {
  QPolygonF points;
  bool closed = false;
  QColor fill;    // invalid: no fill
  QColor stroke;  // invalid: no stroke
  qreal width = 0;
};

/// Paints the items in order, antialiased; the painter's transform maps view points.
void paintOverlayItems(QPainter& painter, const std::vector<OverlayDrawItem>& items);

}  // namespace kavrano
