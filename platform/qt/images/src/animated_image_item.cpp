#include "kavrano/qt_images/animated_image_item.h"

#include <QPainter>

#include <QPainterPath>
#include <algorithm>
#include <cmath>
#include "kavrano/qt_images/resource_image_source.h"

namespace kavrano {

AnimatedImageItem::AnimatedImageItem(QQuickItem* parent) : QQuickPaintedItem(parent) {
  setAntialiasing(true);
  connect(&timer_, &QTimer::timeout, this, &AnimatedImageItem::step);
}

void AnimatedImageItem::setImage(const QVariant& image) {
  value_ = image;
  const int generation = ++generation_;
  if (image.canConvert<PendingPicture>() && !image.value<PendingPicture>().picture().isFinished()) {
    show({});
    image.value<PendingPicture>().picture().then(this, [this, generation](const AnimatedImage& picture) {
      if (generation == generation_) show(picture);
    });
  } else {
    show(pictureOf(image));
  }
  emit imageChanged();
}

void AnimatedImageItem::show(const AnimatedImage& picture) {
  picture_ = picture;
  index_ = 0;
  timer_.stop();
  const auto count = picture_.images.size();
  if (count > 1 && picture_.duration > 0) {
    // Every picture of the loop is shown equally long: the frames' common divisor.
    timer_.setTimerType(Qt::PreciseTimer);
    timer_.start(std::max(1, static_cast<int>(std::lround(picture_.duration * 1000.0 / static_cast<double>(count)))));
  }
  emit currentIndexChanged();
  update();
}

void AnimatedImageItem::setRadius(qreal radius) {
  if (qFuzzyCompare(radius_, radius)) return;
  radius_ = radius;
  emit radiusChanged();
  update();
}

void AnimatedImageItem::step() {
  index_ = (index_ + 1) % static_cast<int>(picture_.images.size());
  emit currentIndexChanged();
  update();
}

void AnimatedImageItem::paint(QPainter* painter) {
  if (picture_.images.isEmpty()) return;
  const QImage& image = picture_.images.at(index_);
  if (image.isNull() || width() <= 0 || height() <= 0) return;
  QSizeF size = image.size();
  size.scale(width(), height(), Qt::KeepAspectRatio);
  const QRectF target((width() - size.width()) / 2, (height() - size.height()) / 2, size.width(), size.height());
  painter->setRenderHints(QPainter::Antialiasing | QPainter::SmoothPixmapTransform);
  if (radius_ > 0) {
    QPainterPath corners;
    corners.addRoundedRect(target, radius_, radius_);
    painter->setClipPath(corners);
  }
  painter->drawImage(target, image);
}

}  // namespace kavrano
