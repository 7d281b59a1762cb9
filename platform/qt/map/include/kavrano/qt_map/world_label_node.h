#pragma once

#include <QHash>
#include <QImage>
#include <QPointF>
#include <QSGNode>
#include <functional>
#include <string_view>

#include "kavrano/qt_map/builtin_world.h"
#include "kavrano/qt_map/map_camera.h"

class QQuickWindow;
class QSGTexture;

namespace kavrano {

/// The built-in world's place names for a frame, as layOutWorldLabels chooses
/// them. Names are plain text. Pictures and textures of recent names are kept;
/// lives on the render thread, where textures die.
class WorldLabelNode : public QSGNode {
 public:
  explicit WorldLabelNode(QQuickWindow* window) : window_(window) {}
  ~WorldLabelNode() override;
  WorldLabelNode(const WorldLabelNode&) = delete;
  WorldLabelNode& operator=(const WorldLabelNode&) = delete;

  /// Only anchors for which `shown` (a world point) is true get a label.
  void update(const BuiltinWorld& world, const MapCamera& camera, const std::function<bool(QPointF)>& shown, qreal dpr);

  /// A name as drawn: white on a dark halo.
  [[nodiscard]] static QImage picture(std::string_view name, qreal dpr);

 private:
  struct Picture {
    QImage image;
    QSGTexture* texture = nullptr;
    quint64 lastFrame = 0;
  };
  Picture& pictureOf(quint32 place, const GazetteerPlace& details, qreal dpr);
  void dropOld();

  QQuickWindow* window_;
  QHash<quint32, Picture> pictures_;
  quint64 frame_ = 0;
  qreal dpr_ = 0;
};

}  // namespace kavrano
