#pragma once

#include <QPointF>
#include <QRectF>
#include <QSizeF>
#include <functional>
#include <vector>

#include "kavrano/qt_map/map_camera.h"
#include "kavrano/qt_places/gazetteer_index.h"
#include "kavrano/qt_world/world_vectors.h"

namespace kavrano {

struct PlacedWorldLabel {
  std::uint32_t place;  // gazetteer record
  QRectF rect;          // view pixels, centred on the place
};

/// The place names a view shows: every candidate the file offers for the
/// camera's zoom, taken by rank (capitals, then the most populous) across the
/// whole view, each kept unless it would overlap a candidate before it, kept
/// or not. So no town is named over a larger place, wherever tiles meet.
/// `shown` says whether a world point's anchor may be labelled; `sizeOf` the
/// size a name takes on screen.
[[nodiscard]] std::vector<PlacedWorldLabel> layOutWorldLabels(
    const WorldVectors& vectors, const GazetteerIndex& places, const MapCamera& camera,
    const std::function<bool(QPointF)>& shown,
    const std::function<QSizeF(std::uint32_t place, const GazetteerPlace& details)>& sizeOf);

}  // namespace kavrano
