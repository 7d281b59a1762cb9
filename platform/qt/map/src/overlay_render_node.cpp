#include "kavrano/qt_map/overlay_render_node.h"

#include <QQuickWindow>
#include <QSGRendererInterface>

namespace kavrano {

void OverlayRenderNode::setContent(std::vector<OverlayDrawItem> items, std::vector<Picture> pictures, QRectF bounds) {
  items_ = std::move(items);
  pictures_ = std::move(pictures);
  bounds_ = bounds;
  markDirty(QSGNode::DirtyMaterial);
}

void OverlayRenderNode::render(const RenderState* state) {
  auto* painter =
      static_cast<QPainter*>(window_->rendererInterface()->getResource(window_, QSGRendererInterface::PainterResource));
  if (!painter || (items_.empty() && pictures_.empty())) return;
  painter->save();
  painter->setTransform(matrix()->toTransform());
  painter->setOpacity(inheritedOpacity());
  if (state && state->clipRegion() && !state->clipRegion()->isEmpty()) painter->setClipRegion(*state->clipRegion());
  paintOverlayItems(*painter, items_);
  // Pictures are aligned to device pixels and drawn at their own size.
  painter->setRenderHint(QPainter::SmoothPixmapTransform, false);
  for (const Picture& p : pictures_) painter->drawImage(p.target, p.image);
  painter->restore();
}

}  // namespace kavrano
