#include "kavrano/qt_map/tile_source.h"

#include <QBuffer>
#include <QImageReader>

namespace kavrano {

namespace {

// Tiles are PNG, JPEG or WebP. Named from the first bytes, so that no other
// reader guesses: the SVG one inflates any gzip body to look inside.
QByteArray tileFormat(const QByteArray& bytes) {
  if (bytes.startsWith("\x89PNG\r\n\x1a\n")) return QByteArrayLiteral("png");
  if (bytes.startsWith("\xff\xd8\xff")) return QByteArrayLiteral("jpeg");
  if (bytes.startsWith("RIFF") && bytes.mid(8, 4) == "WEBP") return QByteArrayLiteral("webp");
  return {};
}

}  // namespace

QImage decodeTileImage(const QByteArray& bytes) {
  const QByteArray format = tileFormat(bytes);
  if (format.isEmpty()) return {};
  QBuffer buffer;
  buffer.setData(bytes);
  buffer.open(QIODevice::ReadOnly);
  QImageReader reader(&buffer, format);
  reader.setDecideFormatFromContent(false);
  const QSize size = reader.size();
  if (!size.isValid() || size.isEmpty() || size.width() > 1024 || size.height() > 1024) return {};
  QImage image = reader.read();
  if (image.isNull()) return {};
  return image.convertToFormat(image.hasAlphaChannel() ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32);
}

}  // namespace kavrano
