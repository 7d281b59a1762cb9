#include "kavrano/qt_map/quick_map_view.h"

#include <QGeoPositionInfoSource>
#include <QPainter>
#include <QQuickWindow>
#include <QSGImageNode>
#include <QSGRectangleNode>
#include <QSGRendererInterface>
#include <QSGTexture>
#include <cmath>
#include <numbers>
#include <unordered_set>

#include "kavrano/qt_map/annotation_images.h"
#include "kavrano/qt_map/map_accessibility.h"
#include "kavrano/qt_map/overlay_render_node.h"
#include "kavrano/qt_map/web_mercator.h"

namespace kavrano {

namespace {

// A press and release closer than these is a tap (what phone toolkits use).
constexpr double kTapSlop = 10.0;            // points
constexpr quint64 kTapMaxMs = 300;           // milliseconds
constexpr double kFlickMinSpeed = 100;       // points per second; slower releases just stop
constexpr double kFlickDeceleration = 2500;  // points per second²
constexpr quint64 kVelocityWindowMs = 100;
constexpr int kRegionAnimationMs = 300;
// Neutral grey of a tile not yet loaded, close to the average of imagery.
const QColor kPlaceholder(0xd9, 0xd6, 0xcf);

QColor toQColor(const std::optional<MapColor>& c) {
  return c ? QColor::fromRgbF(c->red, c->green, c->blue, c->alpha) : QColor();
}

struct LabelKey {
  QString text;
  double width, height, size;
  bool bold, shrink, shadow;
  int alignment;
  MapColor color, shadowColor;
  QPointF shadowOffset;
  bool operator==(const LabelKey& o) const {
    return text == o.text && width == o.width && height == o.height && size == o.size && bold == o.bold &&
           shrink == o.shrink && shadow == o.shadow && alignment == o.alignment && color == o.color &&
           shadowColor == o.shadowColor && shadowOffset == o.shadowOffset;
  }
};

size_t qHash(const LabelKey& k, size_t seed = 0) { return qHashMulti(seed, k.text, k.width, k.height, k.size); }

LabelKey keyOf(const LabelView& l) {
  return {l.text,
          l.frame.width(),
          l.frame.height(),
          l.font.pointSize,
          l.font.bold,
          l.adjustsFontSizeToFitWidth,
          l.shadowColor.has_value(),
          static_cast<int>(l.alignment),
          l.textColor,
          l.shadowColor.value_or(MapColor{}),
          l.shadowOffset};
}

// Everything the render side keeps between frames; deleted on the render thread
// with the node tree, which is where textures must die.
class MapRootNode : public QSGNode {
 public:
  explicit MapRootNode(QQuickWindow* window) : window(window) {
    // The groups are members: the tree must not delete them.
    for (QSGNode* group : {&placeholders, &tiles, &overlays, &annotations, &chrome}) {
      group->setFlag(QSGNode::OwnedByParent, false);
      appendChildNode(group);
    }
  }
  ~MapRootNode() override {
    for (const auto& t : std::as_const(tileTextures)) delete t.texture;
    qDeleteAll(pictureTextures);
    delete overlayTexture;
  }

  QSGTexture* tileTexture(const QImage& image) {
    auto it = tileTextures.find(image.cacheKey());
    if (it == tileTextures.end())
      it = tileTextures.insert(image.cacheKey(), {window->createTextureFromImage(image), frame});
    it->lastFrame = frame;
    return it->texture;
  }
  void dropUnusedTileTextures() {
    // A few screens' worth stay for panning back; older ones go.
    if (tileTextures.size() < 96) return;
    for (auto it = tileTextures.begin(); it != tileTextures.end();) {
      if (it->lastFrame != frame) {
        delete it->texture;
        it = tileTextures.erase(it);
      } else {
        ++it;
      }
    }
  }
  const QImage& labelImage(const LabelView& label, qreal dpr) {
    const LabelKey key = keyOf(label);
    if (auto it = labelImages.constFind(key); it != labelImages.cend()) return *it;
    // Distinct texts are few in practice; past this something is feeding us noise.
    if (labelImages.size() > 8192) forgetPictures();
    return *labelImages.insert(key, renderLabelImage(label, dpr));
  }
  const QImage& namedImage(const QString& name, const std::function<QImage()>& make) {
    if (auto it = namedImages.constFind(name); it != namedImages.cend()) return *it;
    return *namedImages.insert(name, make());
  }
  // Each picture is uploaded once, when first drawn.
  QSGTexture* textureOf(const QImage& image) {
    if (QSGTexture* t = pictureTextures.value(image.cacheKey())) return t;
    QSGTexture* t = window->createTextureFromImage(image);
    pictureTextures.insert(image.cacheKey(), t);
    return t;
  }
  void forgetPictures() {
    qDeleteAll(pictureTextures);
    pictureTextures.clear();
    labelImages.clear();
    namedImages.clear();
  }

  struct TileTexture {
    QSGTexture* texture;
    quint64 lastFrame;
  };
  QQuickWindow* window;
  quint64 frame = 0;
  qreal dpr = 0;
  QSGNode placeholders, tiles, overlays, annotations, chrome;
  QHash<qint64, TileTexture> tileTextures;
  QHash<LabelKey, QImage> labelImages;
  QHash<QString, QImage> namedImages;
  QHash<qint64, QSGTexture*> pictureTextures;
  QSGTexture* overlayTexture = nullptr;
};

// Walks a group's children in order, reusing them for this frame's pictures and
// dropping the rest at the end. Children are a linked list: indexing them is linear.
class NodeFiller {
 public:
  NodeFiller(QQuickWindow* window, QSGNode& group) : window_(window), group_(group), next_(group.firstChild()) {}

  // Nodes are filled in before they join the tree: the software renderer looks
  // at a node as soon as it is added.
  void image(QSGTexture* texture, const QRectF& rect, const QRectF& source = {}) {
    auto* n = static_cast<QSGImageNode*>(take());
    const bool fresh = !n;
    if (fresh) {
      n = window_->createImageNode();
      n->setOwnsTexture(false);
      n->setFiltering(QSGTexture::Linear);
    }
    n->setTexture(texture);
    n->setSourceRect(source.isNull() ? QRectF(QPointF(0, 0), texture->textureSize()) : source);
    n->setRect(rect);
    if (fresh) group_.appendChildNode(n);
  }
  void rectangle(const QRectF& rect, const QColor& color) {
    auto* n = static_cast<QSGRectangleNode*>(take());
    const bool fresh = !n;
    if (fresh) n = window_->createRectangleNode();
    n->setRect(rect);
    n->setColor(color);
    if (fresh) group_.appendChildNode(n);
  }
  ~NodeFiller() {
    while (next_) {
      QSGNode* gone = next_;
      next_ = next_->nextSibling();
      group_.removeChildNode(gone);
      delete gone;
    }
  }

 private:
  QSGNode* take() {
    QSGNode* n = next_;
    if (n) next_ = n->nextSibling();
    return n;
  }
  QQuickWindow* window_;
  QSGNode& group_;
  QSGNode* next_;
};

QRectF snapped(const QRectF& r, qreal dpr) {
  auto s = [dpr](double v) { return std::round(v * dpr) / dpr; };
  return QRectF(QPointF(s(r.left()), s(r.top())), QPointF(s(r.right()), s(r.bottom())));
}

}  // namespace

QuickMapView::QuickMapView(QQuickItem* parent)
    : QQuickItem(parent),
      satellite_(std::make_unique<TileLayer>()),
      standard_(std::make_unique<TileLayer>()),
      userLocation_(std::make_shared<UserLocationAnnotation>()) {
  setFlag(ItemHasContents);
  setClip(true);
  MapAccessibility::installFactory();
  setAcceptedMouseButtons(Qt::LeftButton);
  setAcceptTouchEvents(true);
  for (TileLayer* layer : {satellite_.get(), standard_.get()})
    connect(layer, &TileLayer::changed, this, [this, layer] {
      if (layer == layerFor(type_)) redraw();
    });
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
  flick_.setEasingCurve(QEasingCurve::OutQuad);
  flick_.setStartValue(0.0);
  flick_.setEndValue(1.0);
  connect(&flick_, &QVariantAnimation::valueChanged, this, [this](const QVariant& v) {
    // OutQuad starts at twice the mean speed: the whole distance is v·T/2.
    camera_.centre = flickFrom_ - flickVelocity_ * (flickSeconds_ / 2.0 * v.toDouble());
    changed();
  });
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
void QuickMapView::updatePolish() { pieces_ = layerFor(type_)->update(camera_); }

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
    camera_.centre = mercator::toWorld(userLocation_->coordinate());
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
    camera_.centre = mercator::toWorld(userLocation_->coordinate());
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
  const double zoom = std::min(
      camera_.zoomForRegion(centre, std::max(metresNorthSouth, 0.0), std::max(metresEastWest, 0.0)), maximumZoom());
  const QPointF target = mercator::toWorld(centre);
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

std::vector<OverlayDrawItem> QuickMapView::overlayItems() {
  std::vector<OverlayDrawItem> items;
  for (ShownOverlay& o : overlays_) {
    const auto* path = dynamic_cast<const OverlayPathRenderer*>(o.renderer.get());
    if (!path) continue;  // no renderer or the plain one: nothing to draw
    OverlayDrawItem base;
    base.closed = o.shape->closed();
    base.fill = base.closed ? toQColor(path->fillColor) : QColor();
    base.stroke = toQColor(path->strokeColor);
    base.width = path->lineWidth;
    if (!base.fill.isValid() && (!base.stroke.isValid() || base.width <= 0)) continue;
    for (QPolygonF& poly : o.shape->project(camera_, base.width + 2.0)) {
      OverlayDrawItem item = base;
      item.points = std::move(poly);
      items.push_back(std::move(item));
    }
  }
  if (showsUser_ && !userLocationView_ && userLocation_->hasFix() && userLocation_->horizontalAccuracy() > 0) {
    const double radius = userLocation_->horizontalAccuracy() /
                          mercator::metresPerWorldUnit(userLocation_->coordinate().latitude) * camera_.scale();
    const QPointF centre = camera_.toView(mercator::toWorld(userLocation_->coordinate()));
    const QRectF view(QPointF(0, 0), camera_.viewport);
    if (radius > 8.0 && view.adjusted(-radius, -radius, radius, radius).contains(centre) &&
        radius < 4.0 * (view.width() + view.height())) {
      OverlayDrawItem circle;
      circle.closed = true;
      circle.fill = QColor(0, 122, 255, 40);
      circle.stroke = QColor(0, 122, 255, 120);
      circle.width = 1.0;
      const int steps = std::clamp(static_cast<int>(radius / 2.0), 24, 256);
      for (int i = 0; i < steps; ++i) {
        const double a = 2.0 * std::numbers::pi * i / steps;
        circle.points << centre + QPointF(std::cos(a), std::sin(a)) * radius;
      }
      items.push_back(std::move(circle));
    }
  }
  return items;
}

QSGNode* QuickMapView::updatePaintNode(QSGNode* old, UpdatePaintNodeData*) {
  auto* root = static_cast<MapRootNode*>(old);
  if (!root) root = new MapRootNode(window());
  ++root->frame;
  const qreal dpr = window()->effectiveDevicePixelRatio();
  if (root->dpr != dpr) {  // label pictures are drawn for one pixel density
    root->forgetPictures();
    root->dpr = dpr;
  }
  const QRectF bounds(QPointF(0, 0), camera_.viewport);
  const double s = camera_.scale();
  const QPointF origin = camera_.centre - QPointF(bounds.width(), bounds.height()) / (2.0 * s);

  // Imagery.
  {
    NodeFiller holes(window(), root->placeholders), tiles(window(), root->tiles);
    for (const TileLayer::Piece& piece : pieces_) {
      const QRectF rect = snapped(QRectF((piece.world.topLeft() - origin) * s, piece.world.size() * s), dpr);
      if (piece.image.isNull())
        holes.rectangle(rect, kPlaceholder);
      else
        tiles.image(root->tileTexture(piece.image), rect, piece.sourceRect);
    }
  }
  root->dropUnusedTileTextures();

  // Overlays, then annotation views: only pictures that touch the view cost anything.
  // The software renderer pays per node, so there one node paints them all.
  std::vector<OverlayDrawItem> items = overlayItems();
  const bool software = window()->rendererInterface()->graphicsApi() == QSGRendererInterface::Software;
  std::vector<OverlayRenderNode::Picture> pictures;
  std::optional<NodeFiller> pictureNodes;
  if (!software) pictureNodes.emplace(window(), root->annotations);
  auto place = [&](const QImage& image, const QRectF& rect) {
    if (image.isNull() || !rect.intersects(bounds)) return;
    if (software)
      pictures.push_back({image, snapped(rect, dpr)});
    else
      pictureNodes->image(root->textureOf(image), snapped(rect, dpr));
  };
  auto drawView = [&](const AnnotationView& view, QPointF at) {
    if (view.image) {
      const QImage& image = root->namedImage(*view.image, [&] { return QImage(*view.image); });
      const QSizeF size = image.deviceIndependentSize();
      place(image, QRectF(at - QPointF(size.width(), size.height()) / 2.0, size));
    }
    for (const auto& label : view.subviews()) {
      if (!label || label->frame.isEmpty()) continue;
      const QRectF rect = label->frame.translated(at);
      if (rect.intersects(bounds)) place(root->labelImage(*label, dpr), rect);
    }
  };
  for (const Shown& shown : shown_) {
    const QPointF at = camera_.toView(shown.world);
    if (shown.view) {
      drawView(*shown.view, at);
    } else {
      const QRectF pin(at.x() - 14, at.y() - 40, 28, 40);
      if (pin.intersects(bounds))
        place(root->namedImage(QStringLiteral(":marker"), [dpr] { return renderStandardMarker(dpr); }), pin);
    }
  }
  if (showsUser_ && userLocation_->hasFix()) {
    const QPointF at = camera_.toView(mercator::toWorld(userLocation_->coordinate()));
    if (userLocationView_)
      drawView(*userLocationView_, at);
    else
      place(root->namedImage(QStringLiteral(":user"), [dpr] { return renderUserDot(dpr); }),
            QRectF(at.x() - 13, at.y() - 13, 26, 26));
  }
  pictureNodes.reset();

  if (software) {
    auto* node = root->overlays.firstChild() ? static_cast<OverlayRenderNode*>(root->overlays.firstChild()) : nullptr;
    if (!node) {
      node = new OverlayRenderNode(window());
      root->overlays.appendChildNode(node);
    }
    node->setContent(std::move(items), std::move(pictures), bounds);
  } else {
    // Hardware back ends: the overlays painted into an image the size of the view.
    QImage image(std::max(1, static_cast<int>(bounds.width() * dpr)),
                 std::max(1, static_cast<int>(bounds.height() * dpr)), QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(dpr);
    image.fill(Qt::transparent);
    if (!items.empty()) {
      QPainter p(&image);
      paintOverlayItems(p, items);
    }
    QSGTexture* previous = root->overlayTexture;
    root->overlayTexture = window()->createTextureFromImage(image);
    NodeFiller(window(), root->overlays).image(root->overlayTexture, bounds);
    delete previous;
  }

  // The imagery's credit, bottom right.
  const TileSource* source = layerFor(type_)->source();
  const QString credit = source ? source->attribution() : QString();
  if (!credit.isEmpty()) {
    const QImage& image =
        root->namedImage(QStringLiteral("credit:") + credit, [&] { return renderAttribution(credit, dpr); });
    QSGTexture* t = root->textureOf(image);
    const QSizeF size = image.deviceIndependentSize();
    NodeFiller(window(), root->chrome)
        .image(t, snapped(QRectF(QPointF(bounds.right() - size.width() - 4, bounds.bottom() - size.height() - 4), size),
                          dpr));
  } else {
    NodeFiller(window(), root->chrome);
  }
  return root;
}

void QuickMapView::geometryChange(const QRectF& newGeometry, const QRectF& oldGeometry) {
  QQuickItem::geometryChange(newGeometry, oldGeometry);
  camera_.viewport = newGeometry.size();
  changed();
}

void QuickMapView::press(QPointF at, quint64 time) {
  stopAnimations();
  gesture_ = Gesture{};
  gesture_.active = true;
  gesture_.pressAt = gesture_.last = at;
  gesture_.pressTime = time;
  gesture_.samples.emplace_back(time, at);
}

void QuickMapView::move(QPointF at, quint64 time) {
  if (!gesture_.active) return;
  if (!gesture_.moved && QLineF(at, gesture_.pressAt).length() > kTapSlop) gesture_.moved = true;
  if (gesture_.moved) {
    endFollowByHand();
    panBy(at - gesture_.last);
    gesture_.last = at;
  }
  gesture_.samples.emplace_back(time, at);
  while (gesture_.samples.size() > 2 && time - gesture_.samples.front().first > kVelocityWindowMs)
    gesture_.samples.pop_front();
}

void QuickMapView::release(QPointF at, quint64 time) {
  if (!gesture_.active) return;
  gesture_.active = false;
  if (!gesture_.moved && !gesture_.pinched && time - gesture_.pressTime <= kTapMaxMs &&
      QLineF(at, gesture_.pressAt).length() <= kTapSlop) {
    for (const auto& r : std::vector(recognizers_)) r->recognize(at);
    emit tapped(at);
    return;
  }
  if (!gesture_.moved || gesture_.pinched || gesture_.samples.size() < 2) return;
  const auto& [t0, p0] = gesture_.samples.front();
  const auto& [t1, p1] = gesture_.samples.back();
  if (t1 <= t0 || time - t1 > kVelocityWindowMs) return;  // the finger rested before lifting
  const QPointF velocity = (p1 - p0) * (1000.0 / static_cast<double>(t1 - t0));
  const double speed = std::hypot(velocity.x(), velocity.y());
  if (speed < kFlickMinSpeed) return;
  flickSeconds_ = std::min(speed / kFlickDeceleration, 2.0);
  flickVelocity_ = velocity / camera_.scale();
  flickFrom_ = camera_.centre;
  flick_.setDuration(static_cast<int>(flickSeconds_ * 1000));
  flick_.start();
}

void QuickMapView::panBy(QPointF viewDelta) {
  camera_.centre -= viewDelta / camera_.scale();
  changed();
}

void QuickMapView::mousePressEvent(QMouseEvent* event) {
  press(event->position(), event->timestamp());
  event->accept();
}

void QuickMapView::mouseMoveEvent(QMouseEvent* event) { move(event->position(), event->timestamp()); }

void QuickMapView::mouseReleaseEvent(QMouseEvent* event) { release(event->position(), event->timestamp()); }

void QuickMapView::mouseUngrabEvent() { gesture_.active = false; }

void QuickMapView::touchUngrabEvent() { gesture_.active = false; }

void QuickMapView::touchEvent(QTouchEvent* event) {
  event->accept();
  if (event->type() == QEvent::TouchCancel) {
    gesture_ = Gesture{};
    return;
  }
  const quint64 time = event->timestamp();
  QList<QEventPoint> down;
  for (const QEventPoint& p : event->points())
    if (p.state() != QEventPoint::Released) down << p;
  if (event->type() == QEvent::TouchBegin && !event->points().isEmpty())
    press(event->points().first().position(), time);
  if (!gesture_.active) return;

  if (down.size() >= 2) {
    const QPointF a = down[0].position(), b = down[1].position();
    const QPointF mid = (a + b) / 2.0;
    const double distance = std::max(QLineF(a, b).length(), 1.0);
    if (gesture_.pinchStartDistance == 0) {
      gesture_.pinched = gesture_.moved = true;
      gesture_.pinchStartDistance = distance;
      gesture_.pinchStartZoom = camera_.zoom;
      gesture_.pinchWorldAnchor = camera_.toWorld(mid);
      endFollowByHand();
    } else {
      // The world point first under the fingers' middle stays under it.
      camera_.zoom = std::clamp(gesture_.pinchStartZoom + std::log2(distance / gesture_.pinchStartDistance),
                                MapCamera::kMinZoom, maximumZoom());
      camera_.centre = gesture_.pinchWorldAnchor -
                       (mid - QPointF(camera_.viewport.width(), camera_.viewport.height()) / 2.0) / camera_.scale();
      changed();
    }
    gesture_.last = mid;
    gesture_.samples.clear();
  } else if (down.size() == 1) {
    if (gesture_.pinchStartDistance != 0) {  // one finger lifted: carry on panning with the other
      gesture_.pinchStartDistance = 0;
      gesture_.last = down[0].position();
      gesture_.samples.clear();
    } else if (event->type() != QEvent::TouchBegin) {
      move(down[0].position(), time);
    }
  }
  if (down.isEmpty()) release(event->points().first().position(), time);
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

}  // namespace kavrano
