#include "kavrano/measure/map_data_source.h"

#include <QPointer>
#include <utility>

#include "kavrano/core/measurement_manager.h"
#include "kavrano/core/unit_converter.h"
#include "kavrano/map/overlay.h"
#include "kavrano/map/overlay_renderer.h"
#include "kavrano/map/point_annotation.h"
#include "kavrano/map/user_location_annotation.h"
#include "kavrano/measure/title_annotation_view.h"

namespace kavrano {

MapDataSource::MapDataSource(MapView& mapView, Scheduler& scheduler, ViewTransition mapTransition,
                             AnnotationsUpdated onAnnotationsUpdated, QObject* parent)
    : QObject(parent),
      mapView_(mapView),
      scheduler_(scheduler),
      mapTransition_(std::move(mapTransition)),
      onAnnotationsUpdated_(std::move(onAnnotationsUpdated)) {
  configureMap();
}

MapDataSource::~MapDataSource() { mapView_.setDelegate(nullptr); }

void MapDataSource::configureMap() {
  mapView_.setMapType(MapType::Satellite);
  mapView_.setShowsUserLocation(true);
  mapView_.setUserTrackingMode(UserTrackingMode::Follow);
  mapView_.setDelegate(this);

  // Bound to this object: once the data source is gone the step does nothing.
  scheduler_.schedule(this, kInitialFollow, [this] { endInitialFollow(); });

  QPointer<MapDataSource> self(this);
  auto tap = std::make_shared<TapGestureRecognizer>([self](const TapGestureRecognizer& sender) {
    if (self) self->mapTapped(sender);
  });
  tap->cancelsTouchesInView = false;  // the map still pans and zooms on the same touches
  mapView_.addGestureRecognizer(std::move(tap));
  mapView_.setCameraZoomRange(kMinimumCameraDistance, true);
}

// With a fix the close zoom is on the map's centre, where following put it.
// Without one the centre is no place of the user's (0°, 0° in open sea): the
// last known position stands in, or the wide view stays, updates flowing, until
// the first fix.
void MapDataSource::endInitialFollow() {
  const std::optional<Coordinate> fix = mapView_.userLocationFix();
  const std::optional<Coordinate> lastKnown = fix ? std::nullopt : mapView_.lastKnownUserLocation();
  if (!fix && !lastKnown) {
    mapView_.setUserTrackingMode(UserTrackingMode::None);
    waitingForFix_ = mapView_.centerCoordinate();
    return;
  }
  mapView_.setShowsUserLocation(false);
  mapView_.setUserTrackingMode(UserTrackingMode::None);
  mapView_.setRegion(fix ? mapView_.centerCoordinate() : *lastKnown, kRegionMetres, kRegionMetres, true);
}

void MapDataSource::didUpdateUserLocation(MapView& mapView) {
  if (!waitingForFix_) return;
  const Coordinate wideViewCentre = *std::exchange(waitingForFix_, std::nullopt);
  // Following again means the user asked for it (the focus button): theirs now.
  if (mapView.userTrackingMode() == UserTrackingMode::Follow) return;
  mapView.setShowsUserLocation(false);
  // Whoever moved the map meanwhile (a pan, a search, a saved measurement) keeps it.
  const Coordinate now = mapView.centerCoordinate();
  if (now.latitude != wideViewCentre.latitude || now.longitude != wideViewCentre.longitude) return;
  if (const auto fix = mapView.userLocationFix()) mapView.setRegion(*fix, kRegionMetres, kRegionMetres, true);
}

void MapDataSource::mapTapped(const TapGestureRecognizer& sender) {
  const Coordinate coordinate = mapView_.convertPointToCoordinate(sender.locationInView());
  annotations.push_back(std::make_shared<PointAnnotation>(coordinate));
  QPointer<MapDataSource> self(this);
  mapTransition_(kTapTransitionSeconds, [self] {
    if (self) self->redraw();
  });
}

void MapDataSource::removeEverything() {
  mapView_.removeAnnotations(mapView_.annotations());
  mapView_.removeOverlays(mapView_.overlays());
}

void MapDataSource::redraw() {
  removeEverything();
  for (const auto& vertex : annotations) mapView_.addAnnotation(vertex);

  const std::size_t n = annotations.size();
  if (n >= 2) {
    std::vector<Coordinate> ring;
    ring.reserve(n);
    for (const auto& vertex : annotations) ring.push_back(vertex->coordinate());
    if (n >= 3) {
      mapView_.addOverlay(std::make_shared<PolygonOverlay>(std::move(ring)));
    } else {
      mapView_.addOverlay(std::make_shared<PolylineOverlay>(std::move(ring)));
    }
    for (std::size_t i = 0; i + 1 < n; ++i) addSegmentLabel(*annotations[i], *annotations[i + 1]);
    if (n >= 3) addSegmentLabel(*annotations[n - 1], *annotations[0]);
  }
  if (onAnnotationsUpdated_) onAnnotationsUpdated_(annotations);
}

void MapDataSource::addSegmentLabel(const Annotation& a, const Annotation& b) {
  const MeasurementManager geodesy;
  const Coordinate position = geodesy.midpoint(a.coordinate(), b.coordinate());
  const double metres = geodesy.distance(a.coordinate(), b.coordinate());
  mapView_.addAnnotation(
      std::make_shared<PointAnnotation>(position, QString::fromStdString(UnitConverter::shared().lengthText(metres))));
}

void MapDataSource::clear() {
  removeEverything();
  annotations.clear();
}

std::shared_ptr<OverlayRenderer> MapDataSource::rendererForOverlay(MapView&, const std::shared_ptr<Overlay>& overlay) {
  if (dynamic_cast<const PolygonOverlay*>(overlay.get())) {
    auto renderer = std::make_shared<PolygonRenderer>();
    renderer->strokeColor = MapColor::white();
    renderer->lineWidth = 2.0;
    renderer->fillColor = MapColor::lightGray().withAlpha(0.25);
    return renderer;
  }
  if (dynamic_cast<const PolylineOverlay*>(overlay.get())) {
    auto renderer = std::make_shared<PolylineRenderer>();
    renderer->strokeColor = MapColor::white();
    renderer->lineWidth = 2.0;
    return renderer;
  }
  return std::make_shared<OverlayRenderer>();
}

std::shared_ptr<AnnotationView> MapDataSource::viewForAnnotation(MapView& mapView,
                                                                 const std::shared_ptr<Annotation>& annotation) {
  if (dynamic_cast<const UserLocationAnnotation*>(annotation.get())) return nullptr;  // the standard blue dot
  const auto title = annotation->title();
  if (!title) return mapView.dequeueReusableAnnotationView(kDefaultAnnotationViewReuseIdentifier);

  auto view = std::dynamic_pointer_cast<TitleAnnotationView>(
      mapView.dequeueReusableAnnotationView(TitleAnnotationView::kReuseIdentifier));
  if (!view) view = TitleAnnotationView::make(annotation);
  view->setAnnotation(annotation);
  view->image.reset();
  view->label->text = *title;
  return view;
}

}  // namespace kavrano
