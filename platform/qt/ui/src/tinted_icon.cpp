#include "kavrano/qt_ui/tinted_icon.h"

#include <QPainter>
#include <QQuickWindow>

namespace kavrano {

TintedIcon::TintedIcon(QQuickItem* parent) : QQuickPaintedItem(parent) {
  connect(this, &QQuickItem::widthChanged, this, [this] { drawn_ = {}; });
  connect(this, &QQuickItem::heightChanged, this, [this] { drawn_ = {}; });
}

void TintedIcon::setSource(const QUrl& source) {
  if (source == source_) return;
  source_ = source;
  // qrc:/a/b.svg is the resource :/a/b.svg; other addresses are local files.
  const QString path =
      source.scheme() == QLatin1String("qrc") ? QLatin1Char(':') + source.path() : source.toLocalFile();
  if (!renderer_.load(path)) qWarning("TintedIcon: cannot read %s", qPrintable(source.toString()));
  drawn_ = {};
  update();
  emit sourceChanged();
}

void TintedIcon::setColor(const QColor& color) {
  if (color == color_) return;
  color_ = color;
  drawn_ = {};
  update();
  emit colorChanged();
}

void TintedIcon::paint(QPainter* painter) {
  if (!renderer_.isValid() || width() <= 0 || height() <= 0) return;
  const qreal ratio = window() ? window()->effectiveDevicePixelRatio() : 1.0;
  const QSize pixels = (size() * ratio).toSize();
  if (drawn_.size() != pixels) {
    drawn_ = QImage(pixels, QImage::Format_ARGB32_Premultiplied);
    drawn_.fill(Qt::transparent);
    QPainter p(&drawn_);
    renderer_.render(&p);
    p.setCompositionMode(QPainter::CompositionMode_SourceIn);
    p.fillRect(drawn_.rect(), color_);
  }
  painter->drawImage(boundingRect(), drawn_);
}

}  // namespace kavrano
