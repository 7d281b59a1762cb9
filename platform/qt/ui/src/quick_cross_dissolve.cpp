#include "kavrano/qt_ui/quick_cross_dissolve.h"

#include <QPointer>
#include <QPropertyAnimation>
#include <QQuickWindow>
#include <QSGImageNode>
#include <QTimer>

namespace kavrano {

namespace {

/// A still picture of how a view looked, laid over it while it fades.
class StillItem final : public QQuickItem {
 public:
  StillItem(QImage image, QQuickItem* parent) : QQuickItem(parent), image_(std::move(image)) {
    setFlag(ItemHasContents);
  }

 protected:
  QSGNode* updatePaintNode(QSGNode* old, UpdatePaintNodeData*) override {
    auto* node = static_cast<QSGImageNode*>(old);
    if (!node) {
      node = window()->createImageNode();
      node->setTexture(window()->createTextureFromImage(image_));
      node->setOwnsTexture(true);
    }
    node->setRect(boundingRect());
    return node;
  }

 private:
  QImage image_;
};

/// The window as it is now, drawn at once. Dissolves started in one turn of the
/// event loop (a tap's map and label) share one drawing: in the software
/// renderer each costs as much as a frame.
QImage windowAsItIs(QQuickWindow* window) {
  static QPointer<QQuickWindow> drawnWindow;
  static QImage drawn;
  if (drawnWindow == window && !drawn.isNull()) return drawn;
  drawn = window->grabWindow();
  drawnWindow = window;
  QTimer::singleShot(0, window, [] {
    drawn = QImage();
    drawnWindow = nullptr;
  });
  return drawn;
}

}  // namespace

ViewTransition makeCrossDissolve(QQuickItem* target) {
  return [item = QPointer<QQuickItem>(target)](double seconds, const std::function<void()>& changes) {
    QQuickWindow* window = item ? item->window() : nullptr;
    if (!window || !window->isExposed() || !item->isVisible() || !item->parentItem() || seconds <= 0) {
      changes();
      return;
    }
    // The window drawn at once: the changes need not wait for a frame.
    const QImage frame = windowAsItIs(window);
    // The item's own rectangle: a text's boundingRect() is its text's, which the
    // still would be stretched from.
    const QRectF area = item->mapRectToScene(QRectF(QPointF(0, 0), item->size()));
    const qreal dpr = frame.devicePixelRatio();
    const QImage picture = frame.copy(QRectF(area.topLeft() * dpr, area.size() * dpr).toAlignedRect());
    auto* still = new StillItem(picture, item->parentItem());
    still->setObjectName(QStringLiteral("crossDissolveStill"));  // what tests wait out
    still->setParent(item->parentItem());                        // goes with the view
    still->setPosition(item->position());
    still->setSize(item->size());
    still->setZ(item->z());
    still->stackAfter(item);
    changes();

    auto* fade = new QPropertyAnimation(still, "opacity", still);
    fade->setStartValue(1.0);
    fade->setEndValue(0.0);
    fade->setDuration(static_cast<int>(seconds * 1000));
    QObject::connect(fade, &QPropertyAnimation::finished, still, &QObject::deleteLater);
    fade->start();
  };
}

}  // namespace kavrano
