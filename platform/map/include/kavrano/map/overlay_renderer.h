#pragma once

#include <optional>

#include "kavrano/map/map_color.h"

namespace kavrano {

/// How an overlay is drawn. The plain renderer draws nothing.
class OverlayRenderer {
 public:
  virtual ~OverlayRenderer() = default;
};

/// Fills and strokes the overlay's path. A missing colour is not drawn; the line
/// width is in points and centred on the path.
class OverlayPathRenderer : public OverlayRenderer {
 public:
  std::optional<MapColor> strokeColor;
  std::optional<MapColor> fillColor;
  double lineWidth = 0.0;
};

/// For polygons: the fill and the closed outline.
class PolygonRenderer final : public OverlayPathRenderer {};

/// For polylines: the stroke only; a fill colour is ignored.
class PolylineRenderer final : public OverlayPathRenderer {};

}  // namespace kavrano
