#pragma once

#include <QImage>
#include <QSGRenderNode>
#include <vector>

#include "kavrano/qt_map/overlay_shape.h"

class QQuickWindow;

namespace kavrano {

/// Paints overlays and then the annotation pictures straight into the frame with
/// the software scene graph's own painter: antialiased paths, and pictures drawn
/// from images rendered once. One node for all of them, because that renderer's
/// cost grows with the number of nodes. Holds its own copy of everything, taken
/// at sync, so rendering never reads the item.
class OverlayRenderNode : public QSGRenderNode {
 public:
  explicit OverlayRenderNode(QQuickWindow* window) : window_(window) {}

  struct Picture {
    QImage image;  // implicitly shared with the cache: copying is free
    QRectF target;
  };

  void setContent(std::vector<OverlayDrawItem> items, std::vector<Picture> pictures, QRectF bounds);

  void render(const RenderState* state) override;
  [[nodiscard]] StateFlags changedStates() const override { return {}; }
  [[nodiscard]] RenderingFlags flags() const override { return BoundedRectRendering; }
  [[nodiscard]] QRectF rect() const override { return bounds_; }

 private:
  QQuickWindow* window_;
  std::vector<OverlayDrawItem> items_;
  std::vector<Picture> pictures_;
  QRectF bounds_;
};

}  // namespace kavrano
