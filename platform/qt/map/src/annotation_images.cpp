#include "kavrano/qt_map/annotation_images.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <cmath>

namespace kavrano {

namespace {

QColor toQColor(const MapColor& c) { return QColor::fromRgbF(c.red, c.green, c.blue, c.alpha); }

QImage blank(QSizeF points, qreal dpr) {
  QImage image(std::max(1, static_cast<int>(std::ceil(points.width() * dpr))),
               std::max(1, static_cast<int>(std::ceil(points.height() * dpr))), QImage::Format_ARGB32_Premultiplied);
  image.setDevicePixelRatio(dpr);
  image.fill(Qt::transparent);
  return image;
}

QFont systemFont(double pixelSize, bool bold) {
  QFont font;  // the platform's UI font
  font.setPixelSize(std::max(1, static_cast<int>(std::lround(pixelSize))));
  font.setBold(bold);
  return font;
}

}  // namespace

QImage renderLabelImage(const LabelView& label, qreal dpr) {
  QImage image = blank(label.frame.size(), dpr);
  if (label.text.isEmpty()) return image;
  double size = label.font.pointSize;
  QFont font = systemFont(size, label.font.bold);
  if (label.adjustsFontSizeToFitWidth) {
    // Shrink by whole pixels until it fits, as far as a quarter of the size.
    while (size > label.font.pointSize / 4.0 && size > 1.0 &&
           QFontMetricsF(font).horizontalAdvance(label.text) > label.frame.width()) {
      size -= 1.0;
      font = systemFont(size, label.font.bold);
    }
  }
  const QRectF box(QPointF(0, 0), label.frame.size());
  const int align = Qt::AlignVCenter | (label.alignment == TextAlignment::Center  ? Qt::AlignHCenter
                                        : label.alignment == TextAlignment::Right ? Qt::AlignRight
                                                                                  : Qt::AlignLeft);
  const QString text = QFontMetricsF(font).elidedText(label.text, Qt::ElideRight, label.frame.width());
  QPainter p(&image);
  p.setRenderHint(QPainter::TextAntialiasing);
  p.setFont(font);
  if (label.shadowColor) {
    p.setPen(toQColor(*label.shadowColor));
    p.drawText(box.translated(label.shadowOffset), align, text);
  }
  p.setPen(toQColor(label.textColor));
  p.drawText(box, align, text);
  return image;
}

QImage renderStandardMarker(qreal dpr) {
  QImage image = blank({28, 40}, dpr);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);
  QPainterPath pin;
  pin.moveTo(14, 39);
  pin.cubicTo(10, 30, 2, 24, 2, 14);
  pin.arcTo(QRectF(2, 2, 24, 24), 180, -180);
  pin.cubicTo(26, 24, 18, 30, 14, 39);
  p.setPen(QPen(QColor(120, 20, 20), 1.2));
  p.setBrush(QColor(230, 57, 53));
  p.drawPath(pin);
  p.setPen(Qt::NoPen);
  p.setBrush(Qt::white);
  p.drawEllipse(QPointF(14, 14), 5, 5);
  return image;
}

QImage renderUserDot(qreal dpr) {
  QImage image = blank({26, 26}, dpr);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(0, 0, 0, 50));
  p.drawEllipse(QPointF(13, 13.8), 11.5, 11.5);
  p.setBrush(Qt::white);
  p.drawEllipse(QPointF(13, 13), 11, 11);
  p.setBrush(QColor(0, 122, 255));
  p.drawEllipse(QPointF(13, 13), 8, 8);
  return image;
}

QImage renderAttribution(const QString& text, qreal dpr) {
  // The platform's UI font as it is: Qt Quick loads it before the first frame,
  // so the credit adds no font of its own.
  const QFont font;
  const QFontMetricsF metrics(font);
  const QSizeF size(metrics.horizontalAdvance(text) + 8, metrics.height() + 4);
  QImage image = blank(size, dpr);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(255, 255, 255, 180));
  p.drawRoundedRect(QRectF(QPointF(0, 0), size), 3, 3);
  p.setFont(font);
  p.setPen(QColor(40, 40, 40));
  p.drawText(QRectF(QPointF(0, 0), size), Qt::AlignCenter, text);
  return image;
}

}  // namespace kavrano
