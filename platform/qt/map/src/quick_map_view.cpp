#include "kavrano/qt_map/quick_map_view.h"

#include <QGeoPositionInfoSource>
#include <QKeyEvent>
#include <algorithm>
#include <cmath>
#include <unordered_set>

#include "kavrano/qt_map/map_accessibility.h"
#include "kavrano/qt_map/web_mercator.h"

namespace kavrano {

namespace {
constexpr int kRegionAnimationMs = 300;
// A map unchanged this long is looked at, not moved: what it decoded on the
// way is let go.
constexpr int kRestMs = 3000;
// An arrow key moves the map a fifth of the view; held down, the key's repeat
// crosses the screen in under a second.
constexpr double kKeyPanFraction = 0.2;
}  // namespace

QuickMapView::QuickMapView(QQuickItem* parent)
    : QQuickItem(parent),
      satellite_(std::make_unique<TileLayer>()),
      standard_(std::make_unique<TileLayer>()),
      world_(std::make_unique<TileLayer>()),
      userLocation_(std::make_shared<UserLocationAnnotation>()),
      gestures_(gestureHandlers()) {
  setFlag(ItemHasContents);
  setClip(true);
  MapAccessibility::installFactory();
  setAcceptedMouseButtons(Qt::LeftButton);
  setAcceptTouchEvents(true);
  setActiveFocusOnTab(true);
  for (TileLayer* layer : {satellite_.get(), standard_.get()})
    connect(layer, &TileLayer::changed, this, [this, layer] {
      if (layer == layerFor(type_)) redraw();
    });
  connect(world_.get(), &TileLayer::changed, this, &QuickMapView::redraw);
  // Zooms 0–4 on a phone screen and its ring: about 40 tiles.
  world_->setMemoryCacheBytes(12LL * 1024 * 1024);
  cameraAnimation_.setDuration(kRegionAnimationMs);
  cameraAnimation_.setEasingCurve(QEasingCurve::InOutCubic);
  cameraAnimation_.setStartValue(0.0);
  cameraAnimation_.setEndValue(1.0);
  connect(&cameraAnimation_, &QVariantAnimation::valueChanged, this, [this](const QVariant& v) {
    const double t = v.toDouble();
    camera_.centre = animFromCentre_ + (animToCentre_ - animFromCentre_) * t;
    camera_.zoom = animFromZoom_ + (animToZoom_ - animFromZoom_) * t;
    changed();
  });
  rest_.setSingleShot(true);
  rest_.setInterval(kRestMs);
  rest_.callOnTimeout(this, &QuickMapView::rest);
  flick_.setEasingCurve(QEasingCurve::OutQuad);
  flick_.setStartValue(0.0);
  flick_.setEndValue(1.0);
  connect(&flick_, &QVariantAnimation::valueChanged, this, [this](const QVariant& v) {
    // OutQuad starts at twice the mean speed, as the glide's travel assumes.
    camera_.centre = flickFrom_ - flickTravel_ * v.toDouble();
    changed();
  });
}

// The ground stays under the finger: moving the hand right moves the centre left.
MapGestures::Handlers QuickMapView::gestureHandlers() {
  return {
      .pressed = [this] { stopAnimations(); },
      .tapped =
          [this](QPointF at) {
            for (const auto& r : std::vector(recognizers_)) r->recognize(at);
            emit tapped(at);
          },
      .dragged =
          [this](QPointF delta) {
            endFollowByHand();
            panBy(delta);
          },
      .pinchStarted =
          [this](QPointF middle) {
            pinchStartZoom_ = camera_.zoom;
            pinchWorldAnchor_ = camera_.toWorld(middle);
            endFollowByHand();
          },
      .pinched =
          [this](double spread, QPointF middle) {
            // The world point first under the fingers' middle stays under it.
            camera_.zoom =
                std::min(std::max(pinchStartZoom_ + std::log2(spread), camera_.minimumZoom()), maximumZoom());
            camera_.centre =
                pinchWorldAnchor_ -
                (middle - QPointF(camera_.viewport.width(), camera_.viewport.height()) / 2.0) / camera_.scale();
            changed();
          },
      .flicked =
          [this](MapGestures::Flick flick) {
            flickFrom_ = camera_.centre;
            flickTravel_ = flick.travel() / camera_.scale();
            flick_.setDuration(static_cast<int>(flick.seconds * 1000));
            flick_.start();
          },
  };
}

QuickMapView::~QuickMapView() = default;

void QuickMapView::setAccessibleText(QString name, QString description) {
  accessibleName_ = std::move(name);
  accessibleDescription_ = std::move(description);
  QAccessibleEvent event(this, QAccessible::NameChanged);
  QAccessible::updateAccessibility(&event);
}

void QuickMapView::redraw() {
  polish();
  update();
}

// On the GUI thread before each frame: tile requests create objects and talk to
// the network, which the render thread must not do.
void QuickMapView::updatePolish() {
  rest_.start();
  if (cameraAnimation_.state() != QAbstractAnimation::Running) {
    pieces_ = layerFor(type_)->update(camera_);
    updateWorldPieces(camera_);
    return;
  }
  // Flying to a place, the zooms passed on the way show for a frame or two:
  // only the place's tiles are worth loading; the way is drawn from what is loaded.
  MapCamera destination = camera_;
  destination.centre = animToCentre_;
  destination.zoom = animToZoom_;
  if (minDistance_) destination.zoom = std::min(destination.zoom, destination.zoomForCameraDistance(*minDistance_));
  destination.normalise();
  pieces_ = layerFor(type_)->update(camera_, destination);
  updateWorldPieces(destination);
}

// Only the view stays decoded, and the world only while it shows. The next
// frame lets go of the textures of what went.
void QuickMapView::rest() {
  layerFor(type_)->keepOnlyVisible();
  if (worldPieces_.empty())
    world_->release();
  else
    world_->keepOnlyVisible();
  update();
}

void QuickMapView::updateWorldPieces(const MapCamera& wanting) {
  const bool holes = std::any_of(pieces_.begin(), pieces_.end(), [](const auto& p) { return p.image.isNull(); });
  if (holes && world_->source())
    worldPieces_ = world_->update(camera_, wanting);
  else
    worldPieces_.clear();
}

void QuickMapView::setWorldSource(std::unique_ptr<TileSource> source) {
  world_->setSource(std::move(source));
  redraw();
}

void QuickMapView::setWorldOverview(WorldOverview overview) {
  overview_ = std::move(overview);
  redraw();
}

TileLayer* QuickMapView::layerFor(MapType type) const {
  return type == MapType::Standard ? standard_.get() : satellite_.get();
}

void QuickMapView::setTileSource(MapType type, std::unique_ptr<TileSource> source) {
  layerFor(type)->setSource(std::move(source));
  redraw();
}

void QuickMapView::setPositionSource(QGeoPositionInfoSource* source) {
  if (position_) {
    position_->stopUpdates();
    position_->disconnect(this);
  }
  position_ = source;
  if (!source) return;
  source->setParent(this);
  connect(source, &QGeoPositionInfoSource::positionUpdated, this, &QuickMapView::positionUpdated);
  if (showsUser_) source->startUpdates();
}

void QuickMapView::setCamera(QPointF worldCentre, double zoom) {
  stopAnimations();
  camera_.centre = worldCentre;
  camera_.zoom = zoom;
  changed();
}

double QuickMapView::maximumZoom() const {
  return minDistance_ ? std::min(MapCamera::kMaxZoom, camera_.zoomForCameraDistance(*minDistance_))
                      : MapCamera::kMaxZoom;
}

void QuickMapView::applyZoomLimit() { camera_.zoom = std::min(camera_.zoom, maximumZoom()); }

void QuickMapView::changed() {
  applyZoomLimit();
  camera_.normalise();
  redraw();
  emit cameraChanged();
}

bool QuickMapView::isAnimating() const {
  return cameraAnimation_.state() == QAbstractAnimation::Running || flick_.state() == QAbstractAnimation::Running;
}

void QuickMapView::stopAnimations() {
  cameraAnimation_.stop();
  flick_.stop();
}

void QuickMapView::animateTo(QPointF worldCentre, double zoom) {
  stopAnimations();
  animFromCentre_ = camera_.centre;
  animFromZoom_ = camera_.zoom;
  // The short way round the world.
  worldCentre.setX(animFromCentre_.x() + (worldCentre.x() - animFromCentre_.x()) -
                   std::round(worldCentre.x() - animFromCentre_.x()));
  animToCentre_ = worldCentre;
  animToZoom_ = zoom;
  cameraAnimation_.start();
}

void QuickMapView::setMapType(MapType type) {
  if (type == type_) return;
  layerFor(type_)->release();  // one layer's tiles in memory at a time
  type_ = type;
  redraw();
}

void QuickMapView::setShowsUserLocation(bool shows) {
  if (shows == showsUser_) return;
  showsUser_ = shows;
  if (shows) {
    userLocationView_ = askForView(userLocation_);
    if (position_) position_->startUpdates();
  } else {
    userLocationView_.reset();
    if (position_) position_->stopUpdates();
  }
  redraw();
}

void QuickMapView::setUserTrackingMode(UserTrackingMode mode) {
  if (mode == tracking_) return;
  tracking_ = mode;
  if (mode == UserTrackingMode::Follow && userLocation_->hasFix()) {
    stopAnimations();
    camera_.centreOn(mercator::toWorld(userLocation_->coordinate()));
    changed();
  }
  emit userTrackingModeChanged();
}

void QuickMapView::endFollowByHand() {
  if (tracking_ == UserTrackingMode::None) return;
  tracking_ = UserTrackingMode::None;
  emit userTrackingModeChanged();
}

void QuickMapView::positionUpdated(const QGeoPositionInfo& info) {
  const QGeoCoordinate c = info.coordinate();
  if (!c.isValid()) return;
  const double accuracy = info.hasAttribute(QGeoPositionInfo::HorizontalAccuracy)
                              ? info.attribute(QGeoPositionInfo::HorizontalAccuracy)
                              : 0.0;
  userLocation_->setFix({c.latitude(), c.longitude()}, std::isfinite(accuracy) ? std::max(accuracy, 0.0) : 0.0);
  if (tracking_ == UserTrackingMode::Follow) {
    cameraAnimation_.stop();
    camera_.centreOn(mercator::toWorld(userLocation_->coordinate()));
    changed();
  } else {
    redraw();
  }
  if (delegate_) delegate_->didUpdateUserLocation(*this);
}

void QuickMapView::addGestureRecognizer(std::shared_ptr<TapGestureRecognizer> recognizer) {
  if (recognizer) recognizers_.push_back(std::move(recognizer));
}

Coordinate QuickMapView::convertPointToCoordinate(QPointF point) const { return camera_.coordinateAt(point); }

QPointF QuickMapView::convertCoordinateToPoint(Coordinate coordinate) const {
  return camera_.toView(mercator::toWorld(coordinate));
}

void QuickMapView::setCameraZoomRange(double minCenterCoordinateDistance, bool animated) {
  minDistance_ = std::isfinite(minCenterCoordinateDistance) && minCenterCoordinateDistance > 0
                     ? std::optional(minCenterCoordinateDistance)
                     : std::nullopt;
  if (animated && camera_.zoom > maximumZoom())
    animateTo(camera_.centre, maximumZoom());
  else
    changed();
}

Coordinate QuickMapView::centerCoordinate() const { return camera_.centreCoordinate(); }

void QuickMapView::setRegion(Coordinate centre, double metresNorthSouth, double metresEastWest, bool animated) {
  if (!std::isfinite(centre.latitude) || !std::isfinite(centre.longitude) || !std::isfinite(metresNorthSouth) ||
      !std::isfinite(metresEastWest))
    return;
  const QPointF target = mercator::toWorld(centre);
  // A region near a pole is shown closer than asked, so that it is still centred.
  const double zoom =
      std::max(std::min(camera_.zoomForRegion(centre, std::max(metresNorthSouth, 0.0), std::max(metresEastWest, 0.0)),
                        maximumZoom()),
               camera_.zoomToCentre(target));
  if (animated) {
    animateTo(target, zoom);
  } else {
    stopAnimations();
    camera_.centre = target;
    camera_.zoom = zoom;
    changed();
  }
}

std::shared_ptr<AnnotationView> QuickMapView::askForView(const std::shared_ptr<Annotation>& annotation) {
  return delegate_ ? delegate_->viewForAnnotation(*this, annotation) : nullptr;
}

std::vector<std::shared_ptr<Annotation>> QuickMapView::annotations() const {
  std::vector<std::shared_ptr<Annotation>> out;
  out.reserve(shown_.size());
  for (const Shown& s : shown_) out.push_back(s.annotation);
  return out;
}

void QuickMapView::addAnnotation(std::shared_ptr<Annotation> annotation) {
  if (!annotation) return;
  Shown s{annotation, askForView(annotation), mercator::toWorld(annotation->coordinate())};
  shown_.push_back(std::move(s));
  redraw();
}

void QuickMapView::removeAnnotations(const std::vector<std::shared_ptr<Annotation>>& gone) {
  std::unordered_set<const Annotation*> set;
  for (const auto& a : gone) set.insert(a.get());
  std::erase_if(shown_, [&](Shown& s) {
    if (!set.contains(s.annotation.get())) return false;
    if (s.view) reusable_[s.view->reuseIdentifier()].push_back(std::move(s.view));
    return true;
  });
  redraw();
}

std::shared_ptr<AnnotationView> QuickMapView::dequeueReusableAnnotationView(const QString& identifier) {
  auto it = reusable_.find(identifier);
  if (it == reusable_.end() || it->second.empty()) return nullptr;
  auto view = std::move(it->second.back());
  it->second.pop_back();
  return view;
}

std::vector<std::shared_ptr<Overlay>> QuickMapView::overlays() const {
  std::vector<std::shared_ptr<Overlay>> out;
  out.reserve(overlays_.size());
  for (const ShownOverlay& o : overlays_) out.push_back(o.overlay);
  return out;
}

void QuickMapView::addOverlay(std::shared_ptr<Overlay> overlay) {
  if (!overlay) return;
  auto renderer = delegate_ ? delegate_->rendererForOverlay(*this, overlay) : nullptr;
  auto shape = std::make_unique<OverlayShape>(*overlay);
  overlays_.push_back({std::move(overlay), std::move(renderer), std::move(shape)});
  redraw();
}

void QuickMapView::removeOverlays(const std::vector<std::shared_ptr<Overlay>>& gone) {
  std::unordered_set<const Overlay*> set;
  for (const auto& o : gone) set.insert(o.get());
  std::erase_if(overlays_, [&](const ShownOverlay& o) { return set.contains(o.overlay.get()); });
  redraw();
}

void QuickMapView::geometryChange(const QRectF& newGeometry, const QRectF& oldGeometry) {
  QQuickItem::geometryChange(newGeometry, oldGeometry);
  camera_.viewport = newGeometry.size();
  changed();
}

void QuickMapView::panBy(QPointF viewDelta) {
  camera_.centre -= viewDelta / camera_.scale();
  changed();
}

void QuickMapView::mousePressEvent(QMouseEvent* event) {
  endTextEditing();
  gestures_.press(event->position(), event->timestamp());
  event->accept();
}

// A press on the map takes the keyboard from a text field, as a tap outside a
// field does on a phone: the field's editing ends and the keys move the map.
void QuickMapView::endTextEditing() {
  if (!hasActiveFocus()) forceActiveFocus(Qt::MouseFocusReason);
}

void QuickMapView::mouseMoveEvent(QMouseEvent* event) { gestures_.move(event->position(), event->timestamp()); }

void QuickMapView::mouseReleaseEvent(QMouseEvent* event) { gestures_.release(event->position(), event->timestamp()); }

void QuickMapView::mouseUngrabEvent() { gestures_.cancel(); }

void QuickMapView::touchUngrabEvent() { gestures_.cancel(); }

void QuickMapView::touchEvent(QTouchEvent* event) {
  event->accept();
  if (event->type() == QEvent::TouchCancel || event->points().isEmpty()) {
    gestures_.cancel();
    return;
  }
  if (event->type() == QEvent::TouchBegin) endTextEditing();
  std::vector<QPointF> down;
  for (const QEventPoint& p : event->points())
    if (p.state() != QEventPoint::Released) down.push_back(p.position());
  const auto phase = event->type() == QEvent::TouchBegin ? MapGestures::TouchPhase::Begin
                     : event->type() == QEvent::TouchEnd ? MapGestures::TouchPhase::End
                                                         : MapGestures::TouchPhase::Update;
  gestures_.touch(phase, down, event->points().first().position(), event->timestamp());
}

void QuickMapView::wheelEvent(QWheelEvent* event) {
  // One notch is half a zoom level; touchpads send pixels, 120 of them a notch.
  const double notches =
      event->angleDelta().y() != 0 ? event->angleDelta().y() / 120.0 : event->pixelDelta().y() / 120.0;
  if (notches == 0) return;
  stopAnimations();
  endFollowByHand();
  camera_.zoomAbout(std::min(camera_.zoom + notches * 0.5, maximumZoom()), event->position());
  changed();
  event->accept();
}

void QuickMapView::zoomStep(double levels, QPointF anchor) {
  MapCamera target = camera_;
  if (cameraAnimation_.state() == QAbstractAnimation::Running) {
    target.centre = animToCentre_;
    target.zoom = animToZoom_;
  }
  target.zoomAbout(std::min(target.zoom + levels, maximumZoom()), anchor);
  animateTo(target.centre, target.zoom);
}

// The first click of the two has placed its point; the second zooms instead of
// placing another on top of it.
void QuickMapView::mouseDoubleClickEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return;
  gestures_.cancel();
  endFollowByHand();
  zoomStep(1.0, event->position());
  event->accept();
}

void QuickMapView::keyPressEvent(QKeyEvent* event) {
  // Shortcuts with Ctrl, Alt or Meta belong to the screen; Shift makes the +.
  if (event->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)) {
    event->ignore();
    return;
  }
  const QPointF middle(width() / 2, height() / 2);
  const double stepX = width() * kKeyPanFraction, stepY = height() * kKeyPanFraction;
  // The ground moves the other way: the right arrow shows what is east.
  auto pan = [&](QPointF viewDelta) {
    stopAnimations();
    endFollowByHand();
    panBy(viewDelta);
  };
  switch (event->key()) {
    case Qt::Key_Left:
      pan({stepX, 0});
      break;
    case Qt::Key_Right:
      pan({-stepX, 0});
      break;
    case Qt::Key_Up:
      pan({0, stepY});
      break;
    case Qt::Key_Down:
      pan({0, -stepY});
      break;
    case Qt::Key_Plus:
    case Qt::Key_Equal:
      zoomStep(1.0, middle);
      break;
    case Qt::Key_Minus:
      zoomStep(-1.0, middle);
      break;
    default:
      event->ignore();
      return;
  }
  event->accept();
}

}  // namespace kavrano
