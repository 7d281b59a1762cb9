#include "kavrano/qt_map/map_root_node.h"

#include <QQuickWindow>
#include <QSGImageNode>
#include <QSGRectangleNode>
#include <QSGTexture>
#include <utility>

namespace kavrano {

MapRootNode::MapRootNode(QQuickWindow* window) : window_(window) {
  // The groups are members: the tree must not delete them.
  for (QSGNode* group : {&placeholders, &tiles, &labels, &overlays, &annotations, &chrome}) {
    group->setFlag(QSGNode::OwnedByParent, false);
    appendChildNode(group);
  }
  labels_.onDropped = [this](const QImage& image) { delete pictureTextures_.take(image.cacheKey()); };
}

MapRootNode::~MapRootNode() {
  for (const auto& t : std::as_const(tileTextures_)) delete t.texture;
  qDeleteAll(pictureTextures_);
  delete overlayTexture_;
}

void MapRootNode::beginFrame(qreal dpr) {
  ++frame_;
  labels_.nextFrame();
  if (dpr_ != dpr) {  // pictures are drawn for one pixel density
    forgetPictures();
    dpr_ = dpr;
  }
}

QSGTexture* MapRootNode::tileTexture(const QImage& image) {
  auto it = tileTextures_.find(image.cacheKey());
  if (it == tileTextures_.end())
    it = tileTextures_.insert(image.cacheKey(), {window_->createTextureFromImage(image), frame_});
  it->lastFrame = frame_;
  return it->texture;
}

// A texture holds its tile's pixels (the software one shares the image): kept
// past its frame, it would keep a tile the layer has dropped. Made again from
// the layer's image, it costs an upload, not a decode.
void MapRootNode::dropUnusedTileTextures() {
  for (auto it = tileTextures_.begin(); it != tileTextures_.end();) {
    if (it->lastFrame != frame_) {
      delete it->texture;
      it = tileTextures_.erase(it);
    } else {
      ++it;
    }
  }
}

const QImage& MapRootNode::namedImage(const QString& name, const std::function<QImage()>& make) {
  if (auto it = namedImages_.constFind(name); it != namedImages_.cend()) return *it;
  return *namedImages_.insert(name, make());
}

QSGTexture* MapRootNode::textureOf(const QImage& image) {
  if (QSGTexture* t = pictureTextures_.value(image.cacheKey())) return t;
  QSGTexture* t = window_->createTextureFromImage(image);
  pictureTextures_.insert(image.cacheKey(), t);
  return t;
}

void MapRootNode::replaceOverlayTexture(const QImage& image, const std::function<void(QSGTexture*)>& use) {
  QSGTexture* previous = std::exchange(overlayTexture_, window_->createTextureFromImage(image));
  use(overlayTexture_);
  delete previous;
}

void MapRootNode::forgetPictures() {
  labels_.clear();
  qDeleteAll(pictureTextures_);
  pictureTextures_.clear();
  namedImages_.clear();
}

NodeFiller::~NodeFiller() {
  while (next_) {
    QSGNode* gone = next_;
    next_ = next_->nextSibling();
    group_.removeChildNode(gone);
    delete gone;
  }
}

// Nodes are filled in before they join the tree: the software renderer looks
// at a node as soon as it is added.
void NodeFiller::image(QSGTexture* texture, const QRectF& rect, const QRectF& source) {
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

void NodeFiller::rectangle(const QRectF& rect, const QColor& color) {
  auto* n = static_cast<QSGRectangleNode*>(take());
  const bool fresh = !n;
  if (fresh) n = window_->createRectangleNode();
  n->setRect(rect);
  n->setColor(color);
  if (fresh) group_.appendChildNode(n);
}

QSGNode* NodeFiller::take() {
  QSGNode* n = next_;
  if (n) next_ = n->nextSibling();
  return n;
}

}  // namespace kavrano
