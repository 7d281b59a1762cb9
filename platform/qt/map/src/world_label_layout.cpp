#include "kavrano/qt_map/world_label_layout.h"

#include <algorithm>
#include <cmath>

namespace kavrano {

namespace fmt = world_vectors_format;

std::vector<PlacedWorldLabel> layOutWorldLabels(
    const WorldVectors& vectors, const GazetteerIndex& places, const MapCamera& camera,
    const std::function<bool(QPointF)>& shown,
    const std::function<QSizeF(std::uint32_t place, const GazetteerPlace& details)>& sizeOf) {
  struct Candidate {
    WorldVectors::Label label;
    QPointF world;
  };
  std::vector<Candidate> candidates;
  const auto zoom = static_cast<std::uint32_t>(std::max(0.0, std::floor(camera.zoom)));
  const QRectF view = camera.visibleWorld();
  // The view may show the world's seam: each copy of the world is asked apart.
  for (double copy = std::floor(view.left()); copy < view.right(); copy += 1) {
    const QRectF part = view.intersected(QRectF(copy, 0, 1, 1));
    if (part.isEmpty()) continue;
    const GridBox box{static_cast<std::int64_t>((part.left() - copy) * fmt::kGrid),
                      static_cast<std::int64_t>(part.top() * fmt::kGrid),
                      static_cast<std::int64_t>(std::ceil((part.right() - copy) * fmt::kGrid)),
                      static_cast<std::int64_t>(std::ceil(part.bottom() * fmt::kGrid))};
    for (const WorldVectors::Label& label : vectors.labels(zoom, box)) {
      const QPointF at(copy + double(label.x) / fmt::kGrid, double(label.y) / fmt::kGrid);
      if (shown(at)) candidates.push_back({label, at});
    }
  }
  // By rank alone: the zoom a name shows from only makes it a candidate.
  std::sort(candidates.begin(), candidates.end(),
            [](const Candidate& a, const Candidate& b) { return a.label.rank < b.label.rank; });
  const QRectF bounds(QPointF(0, 0), camera.viewport);
  std::vector<PlacedWorldLabel> placed;
  // Every name before it counts, drawn or not: a town beside a larger place
  // that had no room would read as the larger one's name.
  std::vector<QRectF> claimed;
  for (const Candidate& c : candidates) {
    const QSizeF size = sizeOf(c.label.place, places.place(c.label.place));
    const QPointF centre = camera.toView(c.world);
    const QRectF rect(centre - QPointF(size.width(), size.height()) / 2, size);
    const bool free = std::none_of(claimed.begin(), claimed.end(), [&](const QRectF& r) { return r.intersects(rect); });
    claimed.push_back(rect);
    if (free && rect.intersects(bounds)) placed.push_back({c.label.place, rect});
  }
  return placed;
}

}  // namespace kavrano
