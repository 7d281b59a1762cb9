#pragma once

#include <memory>

#include "kavrano/map/annotation.h"
#include "kavrano/map/annotation_view.h"
#include "kavrano/map/overlay.h"
#include "kavrano/map/overlay_renderer.h"

namespace kavrano {

class MapView;

/// The two questions the map asks about what it shows. Answering none gives the
/// standard drawing: nothing for an overlay, the standard marker (or the blue dot
/// for the own position) for an annotation. Beside them, one optional report.
class MapViewDelegate {
 public:
  virtual ~MapViewDelegate() = default;
  [[nodiscard]] virtual std::shared_ptr<OverlayRenderer> rendererForOverlay(
      MapView& mapView, const std::shared_ptr<Overlay>& overlay) = 0;
  [[nodiscard]] virtual std::shared_ptr<AnnotationView> viewForAnnotation(
      MapView& mapView, const std::shared_ptr<Annotation>& annotation) = 0;
  /// A new fix of the own position (`MapView::userLocationFix()`), while it is shown.
  virtual void didUpdateUserLocation(MapView& mapView) { (void)mapView; }
};

}  // namespace kavrano
