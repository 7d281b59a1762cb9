#pragma once

#include <QObject>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "kavrano/map/map_view.h"
#include "kavrano/map/map_view_delegate.h"
#include "kavrano/map/tap_gesture_recognizer.h"
#include "kavrano/ui/scheduler.h"
#include "kavrano/ui/view_transition.h"

namespace kavrano {

/// The current measurement: its vertices in the order they were placed, and
/// everything drawn on the map for them (markers, the line or region, a length
/// label on every side). Every change rebuilds all of it; the owner is told after
/// each rebuild.
class MapDataSource final : public QObject, public MapViewDelegate {
  Q_OBJECT

 public:
  using AnnotationsUpdated = std::function<void(const std::vector<std::shared_ptr<Annotation>>&)>;

  /// Seconds of the map's cross-dissolve when a tap adds a vertex.
  static constexpr double kTapTransitionSeconds = 0.2;
  /// The start-up follow of the user ends after this, and the map zooms in.
  static constexpr std::chrono::milliseconds kInitialFollow{1000};
  /// Span of the close zoom that ends the start-up follow, metres each way.
  static constexpr double kRegionMetres = 200.0;
  /// The camera never comes closer to the centre than this, in metres.
  static constexpr double kMinimumCameraDistance = 10.0;

  /// Configures `mapView` (satellite, a short follow of the user then a 200 m
  /// zoom, this object as delegate, the tap recogniser, the zoom limit). When no
  /// position is known by the end of the follow, the zoom is on the last known
  /// position, or else waits for the first fix.
  MapDataSource(MapView& mapView, Scheduler& scheduler, ViewTransition mapTransition,
                AnnotationsUpdated onAnnotationsUpdated, QObject* parent = nullptr);
  ~MapDataSource() override;

  /// The vertices, oldest first. The owner may assign a whole list, then `redraw`.
  std::vector<std::shared_ptr<Annotation>> annotations;

  /// The tap recogniser's action: appends the vertex under the tap and redraws
  /// inside a 0.2 s cross-dissolve of the map.
  void mapTapped(const TapGestureRecognizer& sender);
  /// Rebuilds the map's content from `annotations`, then reports them.
  void redraw();
  /// Removes everything from the map and empties `annotations`; reports nothing.
  void clear();

  [[nodiscard]] std::shared_ptr<OverlayRenderer> rendererForOverlay(MapView& mapView,
                                                                    const std::shared_ptr<Overlay>& overlay) override;
  [[nodiscard]] std::shared_ptr<AnnotationView> viewForAnnotation(
      MapView& mapView, const std::shared_ptr<Annotation>& annotation) override;
  void didUpdateUserLocation(MapView& mapView) override;

 private:
  void configureMap();
  void endInitialFollow();
  void removeEverything();
  void addSegmentLabel(const Annotation& a, const Annotation& b);

  MapView& mapView_;
  Scheduler& scheduler_;
  ViewTransition mapTransition_;
  AnnotationsUpdated onAnnotationsUpdated_;
  std::optional<Coordinate> waitingForFix_;  // the wide view's centre while no position is known
};

}  // namespace kavrano
