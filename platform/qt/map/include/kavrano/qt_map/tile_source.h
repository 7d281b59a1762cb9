#pragma once

#include <QImage>
#include <QObject>
#include <QString>
#include <chrono>
#include <optional>

#include "kavrano/qt_map/tile_id.h"

namespace kavrano {

/// Where tile images come from. Requests are asynchronous and idempotent; every
/// request ends in exactly one of the two signals unless it is cancelled first.
/// Images arrive decoded (decoding never runs on the caller's thread).
class TileSource : public QObject {
  Q_OBJECT
 public:
  using QObject::QObject;

  virtual void request(const TileId& tile) = 0;
  virtual void cancel(const TileId& tile) = 0;
  /// The credit line the imagery's licence asks for; may be empty.
  [[nodiscard]] virtual QString attribution() const = 0;
  /// Beyond this the map scales up the deepest tiles.
  [[nodiscard]] virtual int maxZoom() const = 0;
  /// How long a tile still in view waits after its `failures`-th unavailable
  /// answer in a row before it is asked again; none: an answer that stays.
  [[nodiscard]] virtual std::optional<std::chrono::milliseconds> retryDelay(int failures) const {
    (void)failures;
    return std::nullopt;
  }
  /// Nothing of this source is drawn any more: what it holds only to make
  /// tiles may go back to the system (it is made again at the next request).
  virtual void letGo() {}

 signals:
  void tileReady(kavrano::TileId tile, QImage image);
  /// Final for this request: the source has no usable image for the tile.
  void tileUnavailable(kavrano::TileId tile);
  /// The way to the tiles is open again (the network came back): what was
  /// unavailable is worth asking at once.
  void reachable();
};

/// Decodes tile bytes, refusing anything that is not a plausible tile image
/// (not PNG, JPEG or WebP, undecodable, empty, or larger than 1024 × 1024, which
/// is read from the header before any pixel). Thread-safe.
[[nodiscard]] QImage decodeTileImage(const QByteArray& bytes);

}  // namespace kavrano
