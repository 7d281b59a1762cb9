#include "kavrano/qt_map/world_label_node.h"

#include <QFont>
#include <QPainter>
#include <QPainterPath>
#include <QQuickWindow>
#include <QSGImageNode>
#include <QSGTexture>
#include <algorithm>
#include <cmath>

namespace kavrano {

namespace {
namespace fmt = world_vectors_format;
// Names kept beyond those drawn: a few screens' worth, for panning back.
constexpr qsizetype kKeptPictures = 300;
constexpr int kPixelSize = 12;
constexpr double kHalo = 3;  // pen width of the dark outline that keeps names readable on imagery
}  // namespace

WorldLabelNode::~WorldLabelNode() {
  for (const Picture& p : std::as_const(pictures_)) delete p.texture;
}

WorldLabelNode::Picture& WorldLabelNode::pictureOf(quint32 place, const GazetteerPlace& details, qreal dpr) {
  auto it = pictures_.find(place);
  if (it != pictures_.end()) return *it;
  QFont font;
  font.setPixelSize(kPixelSize);
  QPainterPath text;
  // addText takes the name as it is: no markup is ever read from the data.
  text.addText(0, 0, font, QString::fromUtf8(details.name.data(), static_cast<qsizetype>(details.name.size())));
  const QRectF bounds = text.boundingRect().adjusted(-kHalo, -kHalo, kHalo, kHalo);
  QImage image(std::max(1, static_cast<int>(std::ceil(bounds.width() * dpr))),
               std::max(1, static_cast<int>(std::ceil(bounds.height() * dpr))), QImage::Format_ARGB32_Premultiplied);
  image.setDevicePixelRatio(dpr);
  image.fill(Qt::transparent);
  {
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.translate(-bounds.topLeft());
    p.strokePath(text, QPen(QColor(0, 0, 0, 170), kHalo, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.fillPath(text, Qt::white);
  }
  return *pictures_.insert(place, {image, nullptr, 0});
}

void WorldLabelNode::update(const BuiltinWorld& world, const MapCamera& camera,
                            const std::function<bool(QPointF)>& shown, qreal dpr) {
  ++frame_;
  if (dpr != dpr_) {  // pictures are drawn for one pixel density
    for (const Picture& p : std::as_const(pictures_)) delete p.texture;
    pictures_.clear();
    dpr_ = dpr;
  }
  const auto places = world.places();
  std::vector<QRectF> placed;
  std::vector<std::pair<QSGTexture*, QRectF>> drawn;
  if (places) {
    struct Candidate {
      WorldVectors::Label label;
      GazetteerPlace place;
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
      for (const WorldVectors::Label& label : world.vectors().labels(zoom, box)) {
        const QPointF at(copy + double(label.x) / fmt::kGrid, double(label.y) / fmt::kGrid);
        if (shown(at)) candidates.push_back({label, places->place(label.place), at});
      }
    }
    std::stable_sort(candidates.begin(), candidates.end(), [](const Candidate& a, const Candidate& b) {
      return a.label.fromZoom != b.label.fromZoom ? a.label.fromZoom < b.label.fromZoom
                                                  : a.place.population > b.place.population;
    });
    const QRectF bounds(QPointF(0, 0), camera.viewport);
    for (const Candidate& c : candidates) {
      Picture& picture = pictureOf(c.label.place, c.place, dpr);
      const QSizeF size = picture.image.deviceIndependentSize();
      const QPointF centre = camera.toView(c.world);
      const QRectF rect(centre - QPointF(size.width(), size.height()) / 2, size);
      if (!rect.intersects(bounds) ||
          std::any_of(placed.begin(), placed.end(), [&](const QRectF& r) { return r.intersects(rect); }))
        continue;
      placed.push_back(rect);
      if (!picture.texture) picture.texture = window_->createTextureFromImage(picture.image);
      picture.lastFrame = frame_;
      const qreal snap = 1.0 / dpr;
      drawn.push_back({picture.texture, QRectF(std::round(rect.x() / snap) * snap, std::round(rect.y() / snap) * snap,
                                               rect.width(), rect.height())});
    }
  }
  // Children are reused in order; those left over go.
  QSGNode* child = firstChild();
  for (const auto& [texture, rect] : drawn) {
    auto* node = static_cast<QSGImageNode*>(child);
    const bool fresh = !node;
    if (fresh) {
      node = window_->createImageNode();
      node->setOwnsTexture(false);
      node->setFiltering(QSGTexture::Linear);
    } else {
      child = child->nextSibling();
    }
    node->setTexture(texture);
    node->setSourceRect(QRectF(QPointF(0, 0), texture->textureSize()));
    node->setRect(rect);
    if (fresh) appendChildNode(node);
  }
  while (child) {
    QSGNode* gone = child;
    child = child->nextSibling();
    removeChildNode(gone);
    delete gone;
  }
  dropOld();
}

void WorldLabelNode::dropOld() {
  if (pictures_.size() < kKeptPictures) return;
  for (auto it = pictures_.begin(); it != pictures_.end();) {
    if (it->lastFrame != frame_) {
      delete it->texture;
      it = pictures_.erase(it);
    } else {
      ++it;
    }
  }
}

}  // namespace kavrano
