#include "kavrano/qt_map/tile_source.h"

#include <QBuffer>
#include <QImageReader>

namespace kavrano {

QImage decodeTileImage(const QByteArray& bytes) {
  QBuffer buffer;
  buffer.setData(bytes);
  buffer.open(QIODevice::ReadOnly);
  QImageReader reader(&buffer);
  const QSize size = reader.size();
  if (!size.isValid() || size.isEmpty() || size.width() > 1024 || size.height() > 1024) return {};
  QImage image = reader.read();
  if (image.isNull()) return {};
  return image.convertToFormat(image.hasAlphaChannel() ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32);
}

}  // namespace kavrano
