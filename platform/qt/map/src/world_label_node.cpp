#include "kavrano/qt_map/world_label_node.h"

#include "kavrano/qt_map/world_label_layout.h"

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
// Names kept beyond those drawn: a few screens' worth, for panning back.
constexpr qsizetype kKeptPictures = 300;
constexpr int kPixelSize = 12;
constexpr double kHalo = 3;  // pen width of the dark outline that keeps names readable on imagery
}  // namespace

WorldLabelNode::~WorldLabelNode() {
  for (const Picture& p : std::as_const(pictures_)) delete p.texture;
}

QImage WorldLabelNode::picture(std::string_view name, qreal dpr) {
  QFont font;
  font.setPixelSize(kPixelSize);
  QPainterPath text;
  // addText takes the name as it is: no markup is ever read from the data.
  text.addText(0, 0, font, QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size())));
  const QRectF bounds = text.boundingRect().adjusted(-kHalo, -kHalo, kHalo, kHalo);
  QImage image(std::max(1, static_cast<int>(std::ceil(bounds.width() * dpr))),
               std::max(1, static_cast<int>(std::ceil(bounds.height() * dpr))), QImage::Format_ARGB32_Premultiplied);
  image.setDevicePixelRatio(dpr);
  image.fill(Qt::transparent);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);
  p.translate(-bounds.topLeft());
  p.strokePath(text, QPen(QColor(0, 0, 0, 170), kHalo, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
  p.fillPath(text, Qt::white);
  return image;
}

WorldLabelNode::Picture& WorldLabelNode::pictureOf(quint32 place, const GazetteerPlace& details, qreal dpr) {
  auto it = pictures_.find(place);
  if (it != pictures_.end()) return *it;
  return *pictures_.insert(place, {picture(details.name, dpr), nullptr, 0});
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
  std::vector<std::pair<QSGTexture*, QRectF>> drawn;
  if (places) {
    const auto placed = layOutWorldLabels(world.vectors(), *places, camera, shown,
                                          [&](std::uint32_t place, const GazetteerPlace& details) {
                                            return pictureOf(place, details, dpr).image.deviceIndependentSize();
                                          });
    for (const PlacedWorldLabel& label : placed) {
      Picture& made = pictures_[label.place];  // while laid out
      if (!made.texture) made.texture = window_->createTextureFromImage(made.image);
      made.lastFrame = frame_;
      const qreal snap = 1.0 / dpr;
      const QRectF& rect = label.rect;
      drawn.push_back({made.texture, QRectF(std::round(rect.x() / snap) * snap, std::round(rect.y() / snap) * snap,
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
