#include "kavrano/tools/fields_imagery.h"

#include <sqlite3.h>

#include <QBuffer>
#include <QImage>
#include <QPainter>
#include <QRandomGenerator>
#include <memory>

#include "kavrano/qt_map/web_mercator.h"

namespace kavrano {

namespace {

QByteArray fieldTile(int x, int y) {
  QImage image(256, 256, QImage::Format_RGB32);
  QPainter p(&image);
  const QColor fields[] = {{94, 122, 62}, {128, 140, 78}, {150, 128, 86}, {76, 104, 58}, {170, 160, 110}};
  p.setPen(QPen(QColor(52, 74, 40), 3));
  for (int f = 0; f < 16; ++f) {
    p.setBrush(fields[QRandomGenerator(static_cast<quint32>(x * 31 + y * 17 + f)).bounded(5)]);
    p.drawRect(f % 4 * 64, f / 4 * 64, 64, 64);
  }
  p.end();
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  image.save(&buffer, "PNG");
  return bytes;
}

struct CloseDatabase {
  void operator()(sqlite3* db) const { sqlite3_close(db); }
};

}  // namespace

bool writeFieldsImagery(const QString& path, double latitude, double longitude, int zoom) {
  sqlite3* opened = nullptr;
  const int status = sqlite3_open(path.toUtf8().constData(), &opened);
  std::unique_ptr<sqlite3, CloseDatabase> db(opened);
  if (status != SQLITE_OK) return false;
  const QByteArray zoomText = QByteArray::number(zoom);
  const QByteArray schema =
      "CREATE TABLE metadata (name text, value text);"
      "CREATE TABLE tiles (zoom_level integer, tile_column integer, tile_row integer, "
      "tile_data blob);"
      "INSERT INTO metadata VALUES ('maxzoom', '" +
      zoomText + "'), ('minzoom', '" + zoomText +
      "'), ('attribution', 'Test imagery, drawn by Kavrano');"
      "BEGIN;";
  if (sqlite3_exec(db.get(), schema.constData(), nullptr, nullptr, nullptr) != SQLITE_OK) return false;

  sqlite3_stmt* insert = nullptr;
  if (sqlite3_prepare_v2(db.get(), "INSERT INTO tiles VALUES (?, ?, ?, ?)", -1, &insert, nullptr) != SQLITE_OK) {
    return false;
  }
  const QPointF world = mercator::toWorld({latitude, longitude});  // 0..1 across the world
  const int n = 1 << zoom;
  const int cx = static_cast<int>(world.x() * n), cy = static_cast<int>(world.y() * n);
  bool written = true;
  for (int x = cx - 3; x <= cx + 3 && written; ++x) {
    for (int y = cy - 4; y <= cy + 4 && written; ++y) {
      const QByteArray png = fieldTile(x, y);
      sqlite3_bind_int(insert, 1, zoom);
      sqlite3_bind_int(insert, 2, x);
      sqlite3_bind_int(insert, 3, n - 1 - y);  // TMS rows count from the south
      sqlite3_bind_blob(insert, 4, png.constData(), static_cast<int>(png.size()), SQLITE_TRANSIENT);
      written = sqlite3_step(insert) == SQLITE_DONE;
      sqlite3_reset(insert);
    }
  }
  sqlite3_finalize(insert);
  return written && sqlite3_exec(db.get(), "COMMIT;", nullptr, nullptr, nullptr) == SQLITE_OK;
}

}  // namespace kavrano
