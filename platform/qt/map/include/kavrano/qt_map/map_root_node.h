#pragma once

#include <QHash>
#include <QImage>
#include <QRectF>
#include <QSGNode>
#include <functional>

#include "kavrano/qt_map/label_picture_cache.h"

class QQuickWindow;
class QSGTexture;

namespace kavrano {

/// Everything the map's render side keeps between frames: the node groups in
/// drawing order, tile textures, and the annotation pictures with their
/// textures. Deleted on the render thread with the node tree, which is where
/// textures must die.
class MapRootNode : public QSGNode {
 public:
  explicit MapRootNode(QQuickWindow* window);
  ~MapRootNode() override;

  /// Starts a frame drawn at a pixel ratio; pictures drawn for another go.
  void beginFrame(qreal dpr);
  [[nodiscard]] qreal dpr() const { return dpr_; }

  /// The tile image's texture, made at its first frame.
  QSGTexture* tileTexture(const QImage& image);
  /// Textures of tiles not drawn this frame go.
  void dropUnusedTileTextures();

  [[nodiscard]] const QImage& labelImage(const LabelView& label) { return labels_.picture(label, dpr_); }
  /// A picture known by name (markers, view images, the credit), made once.
  const QImage& namedImage(const QString& name, const std::function<QImage()>& make);
  /// Each picture is uploaded once, when first drawn.
  QSGTexture* textureOf(const QImage& image);
  /// The view-sized overlay picture of hardware back ends: its new texture is
  /// handed to `use`, and the last one goes once nothing points to it.
  void replaceOverlayTexture(const QImage& image, const std::function<void(QSGTexture*)>& use);

  QSGNode placeholders, tiles, labels, overlays, annotations, chrome;

 private:
  void forgetPictures();

  struct TileTexture {
    QSGTexture* texture;
    quint64 lastFrame;
  };
  QQuickWindow* window_;
  quint64 frame_ = 0;
  qreal dpr_ = 0;
  QHash<qint64, TileTexture> tileTextures_;
  LabelPictureCache labels_;
  QHash<QString, QImage> namedImages_;
  QHash<qint64, QSGTexture*> pictureTextures_;
  QSGTexture* overlayTexture_ = nullptr;
};

/// Walks a group's children in order, reusing them for this frame's pictures and
/// dropping the rest at the end. Children are a linked list: indexing them is linear.
class NodeFiller {
 public:
  NodeFiller(QQuickWindow* window, QSGNode& group) : window_(window), group_(group), next_(group.firstChild()) {}
  ~NodeFiller();
  NodeFiller(const NodeFiller&) = delete;
  NodeFiller& operator=(const NodeFiller&) = delete;

  /// `source` in texture pixels; empty: the whole texture.
  void image(QSGTexture* texture, const QRectF& rect, const QRectF& source = {});
  void rectangle(const QRectF& rect, const QColor& color);

 private:
  QSGNode* take();

  QQuickWindow* window_;
  QSGNode& group_;
  QSGNode* next_;
};

}  // namespace kavrano
