// The map's frame, built on the render thread while the GUI thread waits:
// imagery, overlays, annotation pictures and the imagery's credit.
#include <QPainter>
#include <QQuickWindow>
#include <QSGRendererInterface>
#include <algorithm>
#include <cmath>
#include <numbers>

#include "kavrano/qt_map/annotation_images.h"
#include "kavrano/qt_map/map_root_node.h"
#include "kavrano/qt_map/quick_map_view.h"
#include "kavrano/qt_map/web_mercator.h"
#include "kavrano/qt_map/world_label_node.h"

namespace kavrano {

namespace {

// Neutral grey of a tile not yet loaded, close to the average of imagery.
const QColor kPlaceholder(0xd9, 0xd6, 0xcf);

QColor toQColor(const std::optional<MapColor>& c) {
  return c ? QColor::fromRgbF(c->red, c->green, c->blue, c->alpha) : QColor();
}

QRectF snapped(const QRectF& r, qreal dpr) {
  auto s = [dpr](double v) { return std::round(v * dpr) / dpr; };
  return QRectF(QPointF(s(r.left()), s(r.top())), QPointF(s(r.right()), s(r.bottom())));
}

}  // namespace

QSGNode* QuickMapView::updatePaintNode(QSGNode* old, UpdatePaintNodeData*) {
  auto* root = static_cast<MapRootNode*>(old);
  if (!root) root = new MapRootNode(window());
  root->beginFrame(window()->effectiveDevicePixelRatio());
  paintImagery(*root);
  paintLabels(*root);
  paintOverlaysAndAnnotations(*root, annotationPictures(*root));
  paintCredit(*root);
  return root;
}

void QuickMapView::paintImagery(MapRootNode& root) {
  const double s = camera_.scale();
  const QPointF origin = camera_.visibleWorld().topLeft();
  auto toView = [&](const QRectF& world) {
    return snapped(QRectF((world.topLeft() - origin) * s, world.size() * s), root.dpr());
  };
  imageryShown_ = worldShown_ = overviewShown_ = false;
  builtinShown_.clear();
  const bool imageryIsBuiltin = qobject_cast<const BuiltinWorldTileSource*>(layerFor(type_)->source()) != nullptr;
  {
    NodeFiller holes(window(), root.placeholders), tiles(window(), root.tiles);
    // Where nothing else is there yet, the overview's part of the world; it is
    // one pixel stretched at a city's scale, its colour still the place's.
    auto fillFromOverview = [&](const QRectF& part) {
      if (overview_.image.isNull()) {
        holes.rectangle(toView(part), kPlaceholder);
        return;
      }
      const double side = overview_.image.width();
      const double copy = std::floor(part.center().x());
      QRectF from((part.left() - copy) * side, part.top() * side, part.width() * side, part.height() * side);
      if (from.width() < 1 || from.height() < 1) {
        const QPointF middle(std::clamp(from.center().x(), 0.5, side - 0.5),
                             std::clamp(from.center().y(), 0.5, side - 0.5));
        from = QRectF(middle - QPointF(0.5, 0.5), QSizeF(1, 1));
      }
      tiles.image(root.tileTexture(overview_.image), toView(part), from);
      overviewShown_ = true;
    };
    // A hole is filled with the parts of the world's pieces over it, each cut
    // from its tile in proportion.
    auto fillHole = [&](const QRectF& hole) {
      for (const TileLayer::Piece& world : worldPieces_) {
        const QRectF part = hole.intersected(world.world);
        if (part.isEmpty()) continue;
        if (world.image.isNull()) {
          fillFromOverview(part);
          continue;
        }
        const QRectF& from = world.sourceRect;
        const double fx = from.width() / world.world.width(), fy = from.height() / world.world.height();
        tiles.image(root.tileTexture(world.image), toView(part),
                    QRectF(from.left() + (part.left() - world.world.left()) * fx,
                           from.top() + (part.top() - world.world.top()) * fy, part.width() * fx, part.height() * fy));
        worldShown_ = true;
        builtinShown_.push_back(part);
      }
    };
    for (const TileLayer::Piece& piece : pieces_) {
      if (!piece.image.isNull()) {
        tiles.image(root.tileTexture(piece.image), toView(piece.world), piece.sourceRect);
        imageryShown_ = true;
        if (imageryIsBuiltin) builtinShown_.push_back(piece.world);
      } else if (worldPieces_.empty()) {
        fillFromOverview(piece.world);
      } else {
        fillHole(piece.world);
      }
    }
  }
  root.dropUnusedTileTextures();
}

void QuickMapView::paintLabels(MapRootNode& root) {
  const BuiltinWorld* world = nullptr;
  for (const TileSource* source : {layerFor(type_)->source(), world_->source()})
    if (const auto* builtin = qobject_cast<const BuiltinWorldTileSource*>(source); builtin && !world)
      world = builtin->world().get();
  auto* node = static_cast<WorldLabelNode*>(root.labels.firstChild());
  if (!world || builtinShown_.empty()) {
    delete node;  // its textures go with it, here on the render thread
    return;
  }
  if (!node) {
    node = new WorldLabelNode(window());
    root.labels.appendChildNode(node);
  }
  // Pieces lie in world units with x unwrapped like the camera's.
  node->update(
      *world, camera_,
      [this](QPointF at) {
        return std::any_of(builtinShown_.begin(), builtinShown_.end(), [&](const QRectF& r) { return r.contains(at); });
      },
      root.dpr());
}

// Only pictures that touch the view cost anything.
std::vector<OverlayRenderNode::Picture> QuickMapView::annotationPictures(MapRootNode& root) {
  const QRectF bounds(QPointF(0, 0), camera_.viewport);
  const qreal dpr = root.dpr();
  std::vector<OverlayRenderNode::Picture> pictures;
  auto place = [&](const QImage& image, const QRectF& rect) {
    if (!image.isNull() && rect.intersects(bounds)) pictures.push_back({image, snapped(rect, dpr)});
  };
  auto drawView = [&](const AnnotationView& view, QPointF at) {
    if (view.image) {
      const QImage& image = root.namedImage(*view.image, [&] { return QImage(*view.image); });
      const QSizeF size = image.deviceIndependentSize();
      place(image, QRectF(at - QPointF(size.width(), size.height()) / 2.0, size));
    }
    for (const auto& label : view.subviews()) {
      if (!label || label->frame.isEmpty()) continue;
      const QRectF rect = label->frame.translated(at);
      if (rect.intersects(bounds)) place(root.labelImage(*label), rect);
    }
  };
  for (const Shown& shown : shown_) {
    const QPointF at = camera_.toView(shown.world);
    if (shown.view) {
      drawView(*shown.view, at);
    } else {
      const QRectF pin(at.x() - 14, at.y() - 40, 28, 40);
      if (pin.intersects(bounds))
        place(root.namedImage(QStringLiteral(":marker"), [dpr] { return renderStandardMarker(dpr); }), pin);
    }
  }
  if (showsUser_ && userLocation_->hasFix()) {
    const QPointF at = camera_.toView(mercator::toWorld(userLocation_->coordinate()));
    if (userLocationView_)
      drawView(*userLocationView_, at);
    else
      place(root.namedImage(QStringLiteral(":user"), [dpr] { return renderUserDot(dpr); }),
            QRectF(at.x() - 13, at.y() - 13, 26, 26));
  }
  return pictures;
}

// The software renderer pays per node, so there one node paints the overlays and
// every picture. Hardware back ends get the overlays painted into a view-sized
// texture and one image node per picture.
void QuickMapView::paintOverlaysAndAnnotations(MapRootNode& root, std::vector<OverlayRenderNode::Picture> pictures) {
  const QRectF bounds(QPointF(0, 0), camera_.viewport);
  std::vector<OverlayDrawItem> items = overlayItems();
  if (window()->rendererInterface()->graphicsApi() == QSGRendererInterface::Software) {
    auto* node = static_cast<OverlayRenderNode*>(root.overlays.firstChild());
    if (!node) {
      node = new OverlayRenderNode(window());
      root.overlays.appendChildNode(node);
    }
    node->setContent(std::move(items), std::move(pictures), bounds);
    return;
  }
  const qreal dpr = root.dpr();
  QImage image(std::max(1, static_cast<int>(bounds.width() * dpr)),
               std::max(1, static_cast<int>(bounds.height() * dpr)), QImage::Format_ARGB32_Premultiplied);
  image.setDevicePixelRatio(dpr);
  image.fill(Qt::transparent);
  if (!items.empty()) {
    QPainter p(&image);
    paintOverlayItems(p, items);
  }
  root.replaceOverlayTexture(image,
                             [&](QSGTexture* texture) { NodeFiller(window(), root.overlays).image(texture, bounds); });
  NodeFiller nodes(window(), root.annotations);
  for (const OverlayRenderNode::Picture& picture : pictures) nodes.image(root.textureOf(picture.image), picture.target);
}

// Bottom right.
void QuickMapView::paintCredit(MapRootNode& root) {
  NodeFiller chrome(window(), root.chrome);
  const QString credit = this->credit();
  if (credit.isEmpty()) return;
  const qreal dpr = root.dpr();
  const QImage& image =
      root.namedImage(QStringLiteral("credit:") + credit, [&] { return renderAttribution(credit, dpr); });
  const QSizeF size = image.deviceIndependentSize();
  const QPointF at(camera_.viewport.width() - size.width() - 4, camera_.viewport.height() - size.height() - 4);
  chrome.image(root.textureOf(image), snapped(QRectF(at, size), dpr));
}

QString QuickMapView::credit() const {
  const TileSource* imagery = layerFor(type_)->source();
  const bool world = worldShown_ && world_->source();
  QStringList parts;
  if (imagery && (imageryShown_ || (!world && !overviewShown_))) parts << imagery->attribution();
  // The world's own credit names the overview's source too.
  if (world)
    parts << world_->source()->attribution();
  else if (overviewShown_)
    parts << overview_.credit;
  parts.removeAll(QString());
  return parts.join(QStringLiteral(" · "));
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
  if (auto circle = accuracyCircle()) items.push_back(std::move(*circle));
  return items;
}

// The own position's accuracy, when it is large enough to see and the dot is ours.
std::optional<OverlayDrawItem> QuickMapView::accuracyCircle() const {
  if (!showsUser_ || userLocationView_ || !userLocation_->hasFix() || userLocation_->horizontalAccuracy() <= 0)
    return std::nullopt;
  const double radius = userLocation_->horizontalAccuracy() /
                        mercator::metresPerWorldUnit(userLocation_->coordinate().latitude) * camera_.scale();
  const QPointF centre = camera_.toView(mercator::toWorld(userLocation_->coordinate()));
  const QRectF view(QPointF(0, 0), camera_.viewport);
  if (radius <= 8.0 || !view.adjusted(-radius, -radius, radius, radius).contains(centre) ||
      radius >= 4.0 * (view.width() + view.height()))
    return std::nullopt;
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
  return circle;
}

}  // namespace kavrano
