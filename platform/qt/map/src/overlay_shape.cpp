#include "kavrano/qt_map/overlay_shape.h"

#include <QPainterPath>
#include <algorithm>
#include <cmath>

#include "kavrano/qt_map/web_mercator.h"

namespace kavrano {

namespace {

// Sutherland–Hodgman against one edge of an axis-aligned rectangle.
template <typename Inside, typename Cross>
void clipEdge(std::vector<QPointF>& ring, std::vector<QPointF>& out, Inside inside, Cross cross) {
  out.clear();
  if (ring.empty()) return;
  QPointF prev = ring.back();
  bool prevIn = inside(prev);
  for (const QPointF& p : ring) {
    const bool in = inside(p);
    if (in != prevIn) out.push_back(cross(prev, p));
    if (in) out.push_back(p);
    prev = p;
    prevIn = in;
  }
  ring.swap(out);
}

std::vector<QPointF> clipRing(std::vector<QPointF> ring, const QRectF& r) {
  std::vector<QPointF> tmp;
  tmp.reserve(ring.size() + 8);
  auto atX = [](QPointF a, QPointF b, double x) {
    return QPointF(x, a.y() + (b.y() - a.y()) * (x - a.x()) / (b.x() - a.x()));
  };
  auto atY = [](QPointF a, QPointF b, double y) {
    return QPointF(a.x() + (b.x() - a.x()) * (y - a.y()) / (b.y() - a.y()), y);
  };
  const double l = r.left(), rt = r.right(), t = r.top(), b = r.bottom();
  clipEdge(
      ring, tmp, [l](QPointF p) { return p.x() >= l; }, [&](QPointF a, QPointF c) { return atX(a, c, l); });
  clipEdge(
      ring, tmp, [rt](QPointF p) { return p.x() <= rt; }, [&](QPointF a, QPointF c) { return atX(a, c, rt); });
  clipEdge(
      ring, tmp, [t](QPointF p) { return p.y() >= t; }, [&](QPointF a, QPointF c) { return atY(a, c, t); });
  clipEdge(
      ring, tmp, [b](QPointF p) { return p.y() <= b; }, [&](QPointF a, QPointF c) { return atY(a, c, b); });
  return ring;
}

bool segmentMayCross(QPointF a, QPointF b, const QRectF& r) {
  return std::max(a.x(), b.x()) >= r.left() && std::min(a.x(), b.x()) <= r.right() &&
         std::max(a.y(), b.y()) >= r.top() && std::min(a.y(), b.y()) <= r.bottom();
}

}  // namespace

OverlayShape::OverlayShape(const Overlay& overlay) : closed_(dynamic_cast<const PolygonOverlay*>(&overlay) != nullptr) {
  points_.reserve(overlay.coordinates().size());
  for (const Coordinate& c : overlay.coordinates()) {
    QPointF w = mercator::toWorld(c);
    if (!points_.empty()) w.setX(w.x() - std::round(w.x() - points_.back().x()));
    points_.push_back(w);
  }
  if (!points_.empty()) {
    double x0 = points_[0].x(), x1 = x0, y0 = points_[0].y(), y1 = y0;
    for (const QPointF& p : points_) {
      x0 = std::min(x0, p.x());
      x1 = std::max(x1, p.x());
      y0 = std::min(y0, p.y());
      y1 = std::max(y1, p.y());
    }
    bounds_ = QRectF(QPointF(x0, y0), QPointF(x1, y1));
  }
}

const std::vector<QPointF>& OverlayShape::simplified(int level) {
  auto it = levels_.find(level);
  if (it != levels_.end()) return it->second;
  const double grid = mercator::kTileSize * std::exp2(level);  // pixels per world unit at this level
  std::vector<QPointF> kept;
  kept.reserve(std::min<std::size_t>(points_.size(), 4096));
  qint64 lastX = 0, lastY = 0;
  for (std::size_t i = 0; i < points_.size(); ++i) {
    const qint64 gx = static_cast<qint64>(std::floor(points_[i].x() * grid));
    const qint64 gy = static_cast<qint64>(std::floor(points_[i].y() * grid));
    if (i == 0 || i + 1 == points_.size() || gx != lastX || gy != lastY) {
      kept.push_back(points_[i]);
      lastX = gx;
      lastY = gy;
    }
  }
  // Then drop points that lie within half a pixel of the line through their
  // neighbours (Douglas–Peucker): smooth stretches need few points, corners keep theirs.
  const double tolerance = 0.5 / grid;
  std::vector<bool> keep(kept.size(), false);
  if (!kept.empty()) keep.front() = keep.back() = true;
  std::vector<std::pair<std::size_t, std::size_t>> spans;
  if (kept.size() > 2) spans.emplace_back(0, kept.size() - 1);
  while (!spans.empty()) {
    const auto [first, last] = spans.back();
    spans.pop_back();
    const QPointF a = kept[first], d = kept[last] - a;
    const double length = std::hypot(d.x(), d.y());
    double worst = -1;
    std::size_t at = first;
    for (std::size_t i = first + 1; i < last; ++i) {
      const QPointF p = kept[i] - a;
      const double off = length > 0 ? std::abs(d.x() * p.y() - d.y() * p.x()) / length : std::hypot(p.x(), p.y());
      if (off > worst) {
        worst = off;
        at = i;
      }
    }
    if (worst > tolerance) {
      keep[at] = true;
      if (at - first > 1) spans.emplace_back(first, at);
      if (last - at > 1) spans.emplace_back(at, last);
    }
  }
  std::vector<QPointF> reduced;
  for (std::size_t i = 0; i < kept.size(); ++i)
    if (keep[i]) reduced.push_back(kept[i]);
  return levels_.emplace(level, std::move(reduced)).first->second;
}

std::vector<QPolygonF> OverlayShape::project(const MapCamera& camera, double margin) {
  std::vector<QPolygonF> out;
  if (points_.empty()) return out;
  // The copy of the shape nearest the camera.
  const double shift = std::round(camera.centre.x() - bounds_.center().x());
  const int level = std::clamp(static_cast<int>(std::ceil(camera.zoom)), 0, 30);
  const std::vector<QPointF>& pts = simplified(level);
  const double s = camera.scale();
  const QPointF origin(camera.centre.x() - shift - camera.viewport.width() / 2.0 / s,
                       camera.centre.y() - camera.viewport.height() / 2.0 / s);
  auto toView = [&](QPointF w) { return QPointF((w.x() - origin.x()) * s, (w.y() - origin.y()) * s); };
  const QRectF clip = QRectF(QPointF(0, 0), camera.viewport).adjusted(-margin, -margin, margin, margin);
  const QRectF shown = QRectF(toView(bounds_.topLeft()), toView(bounds_.bottomRight()));
  if (!shown.intersects(clip) && !(shown.width() == 0 && clip.contains(shown.topLeft()))) return out;

  if (closed_) {
    std::vector<QPointF> ring;
    ring.reserve(pts.size());
    for (const QPointF& p : pts) ring.push_back(toView(p));
    if (!clip.contains(shown)) ring = clipRing(std::move(ring), clip);
    if (!ring.empty()) out.emplace_back(QPolygonF(QList<QPointF>(ring.begin(), ring.end())));
    return out;
  }
  QPolygonF run;
  for (std::size_t i = 0; i + 1 < pts.size(); ++i) {
    const QPointF a = toView(pts[i]), b = toView(pts[i + 1]);
    if (segmentMayCross(a, b, clip)) {
      if (run.isEmpty()) run << a;
      run << b;
    } else if (!run.isEmpty()) {
      out.push_back(std::move(run));
      run = QPolygonF();
    }
  }
  if (pts.size() == 1) run << toView(pts[0]);
  if (!run.isEmpty()) out.push_back(std::move(run));
  return out;
}

void paintOverlayItems(QPainter& painter, const std::vector<OverlayDrawItem>& items) {
  painter.setRenderHint(QPainter::Antialiasing);
  for (const OverlayDrawItem& item : items) {
    if (item.closed && item.fill.isValid()) {
      painter.setPen(Qt::NoPen);
      painter.setBrush(item.fill);
      painter.drawPolygon(item.points, Qt::OddEvenFill);
    }
    if (item.stroke.isValid() && item.width > 0) {
      QPen pen(item.stroke, item.width);
      // Round joins cost a trigonometric call per vertex; at a few points of width
      // a mitre looks the same.
      pen.setJoinStyle(item.points.size() > 256 ? Qt::MiterJoin : Qt::RoundJoin);
      pen.setCapStyle(Qt::RoundCap);
      painter.setPen(pen);
      painter.setBrush(Qt::NoBrush);
      if (item.closed)
        painter.drawPolygon(item.points);
      else
        painter.drawPolyline(item.points);
    }
  }
}

}  // namespace kavrano
