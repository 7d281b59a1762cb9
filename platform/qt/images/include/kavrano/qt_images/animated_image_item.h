#pragma once

#include <QtQmlIntegration/qqmlintegration.h>
#include <QQuickPaintedItem>
#include <QTimer>

#include "kavrano/qt_images/animated_image.h"

namespace kavrano {

/// Shows an AnimatedImage (or a PendingPicture, once decoded), looping, fitted
/// inside the item with its aspect kept and its corners rounded by `radius`. An
/// invalid value shows nothing.
class AnimatedImageItem : public QQuickPaintedItem {
  Q_OBJECT
  QML_ELEMENT
  Q_PROPERTY(QVariant image READ image WRITE setImage NOTIFY imageChanged)
  Q_PROPERTY(qreal radius READ radius WRITE setRadius NOTIFY radiusChanged)
  Q_PROPERTY(int currentIndex READ currentIndex NOTIFY currentIndexChanged)
 public:
  explicit AnimatedImageItem(QQuickItem* parent = nullptr);

  [[nodiscard]] QVariant image() const { return value_; }
  void setImage(const QVariant& image);
  [[nodiscard]] qreal radius() const { return radius_; }
  void setRadius(qreal radius);
  /// The picture of the loop shown now.
  [[nodiscard]] int currentIndex() const { return index_; }

  void paint(QPainter* painter) override;

 signals:
  void imageChanged();
  void radiusChanged();
  void currentIndexChanged();

 private:
  void show(const AnimatedImage& picture);
  void step();

  QVariant value_;
  AnimatedImage picture_;
  QTimer timer_;
  int index_ = 0;
  int generation_ = 0;  // which value a finished decoding belongs to
  qreal radius_ = 0;
};

}  // namespace kavrano
