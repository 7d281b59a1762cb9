#pragma once

#include <QBuffer>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QHash>
#include <QImage>
#include <QList>
#include <QThread>
#include <QTimer>
#include <functional>

#include "kavrano/qt_map/tile_source.h"

namespace kavrano::test {

/// Runs the event loop until `done` or the deadline; returns `done()`.
inline bool waitUntil(const std::function<bool()>& done, int timeoutMs = 5000) {
  QDeadlineTimer deadline(timeoutMs);
  while (!done() && !deadline.hasExpired()) {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
  }
  return done();
}

inline QByteArray pngOf(const QColor& color, int size = 256) {
  QImage image(size, size, QImage::Format_RGB32);
  image.fill(color);
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  image.save(&buffer, "PNG");
  return bytes;
}

/// Tiles from memory, answered on the next turn of the event loop; records what
/// was asked and cancelled.
class MemoryTileSource : public TileSource {
 public:
  QHash<TileId, QImage> tiles;
  QImage everywhere;  // when set, every tile not in `tiles`
  QList<TileId> requested;
  QList<TileId> cancelled;
  int maxZoomLevel = 19;

  void request(const TileId& tile) override {
    // Sources make objects and talk to the network: never from the render thread.
    if (QThread::currentThread() != thread()) qFatal("tile requested off the GUI thread");
    requested << tile;
    QTimer::singleShot(0, this, [this, tile] {
      if (cancelled.contains(tile)) return;
      if (tiles.contains(tile) || !everywhere.isNull())
        emit tileReady(tile, tiles.value(tile, everywhere));
      else
        emit tileUnavailable(tile);
    });
  }
  void cancel(const TileId& tile) override { cancelled << tile; }
  [[nodiscard]] QString attribution() const override { return QStringLiteral("Test imagery"); }
  [[nodiscard]] int maxZoom() const override { return maxZoomLevel; }
};

}  // namespace kavrano::test
