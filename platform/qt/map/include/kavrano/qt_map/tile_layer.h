#pragma once

#include <QCache>
#include <QElapsedTimer>
#include <QHash>
#include <QImage>
#include <QObject>
#include <QRectF>
#include <QSet>
#include <QTimer>
#include <array>
#include <memory>
#include <optional>
#include <vector>

#include "kavrano/qt_map/map_camera.h"
#include "kavrano/qt_map/tile_source.h"

namespace kavrano {

/// Decides which tiles a camera needs, asks the source for them (visible ones
/// first, then one ring around), cancels those that left the view, keeps decoded
/// tiles in a bounded memory cache, and says what to draw for every visible
/// slot: the tile, else its nearest loaded ancestor cut and scaled, else a
/// placeholder. A tile that came back unavailable is asked again while it stays
/// wanted, after the pause its source names, or at once when the source is
/// reachable again.
class TileLayer : public QObject {
  Q_OBJECT
 public:
  struct Piece {
    QRectF world;       // where it goes, in world units (x may leave [0, 1))
    QImage image;       // null for a placeholder
    QRectF sourceRect;  // part of `image` to show, in its pixels
    TileId tile;        // the tile whose image it is
  };

  explicit TileLayer(QObject* parent = nullptr);

  /// Takes the source; the previous one is dropped with everything it loaded.
  void setSource(std::unique_ptr<TileSource> source);
  [[nodiscard]] TileSource* source() const { return source_.get(); }
  void setMemoryCacheBytes(qint64 bytes);

  /// Cancels every request and empties the memory cache (the disk cache keeps
  /// what came over the network): for a layer that is no longer shown.
  void release();
  /// For a map at rest: drops every decoded tile the last update did not show
  /// (zooms passed on the way, views left, the ring). The ring is asked for
  /// again once the view moves, not while it stays.
  void keepOnlyVisible();
  /// Requests and cancels for this camera; returns the visible pieces.
  [[nodiscard]] std::vector<Piece> update(const MapCamera& camera);
  /// The same for a camera on its way to `wanting`: only the tiles there are
  /// requested (and kept wanted); `shown` is drawn from what is loaded, with the
  /// destination's loaded tiles over it.
  [[nodiscard]] std::vector<Piece> update(const MapCamera& shown, const MapCamera& wanting);
  /// The zoom level whose tiles are drawn for a camera.
  [[nodiscard]] int tileZoom(const MapCamera& camera) const;
  [[nodiscard]] const QSet<TileId>& wanted() const { return wanted_; }
  [[nodiscard]] bool hasImage(const TileId& tile) const { return cache_.contains(tile); }

 signals:
  /// A tile arrived: the view should draw again.
  void changed();

 private:
  struct Slot {
    TileId id;
    int column;  // x before wrapping round the world
    double distance;
  };
  /// The tile grid a camera sees, at its tile zoom.
  struct Grid {
    int z = 0;
    int x0 = 0, x1 = 0, y0 = 0, y1 = 0;  // the visible columns (not wrapped) and rows
    std::vector<Slot> visible;           // nearest the centre first
  };
  [[nodiscard]] Grid gridOf(const MapCamera& camera) const;
  void want(const Grid& grid);
  [[nodiscard]] std::vector<Piece> piecesFor(const Grid& grid) const;
  struct Unavailable {
    int failures = 0;
    std::optional<qint64> askAgainAtMs;  // on `clock_`; none: never
  };
  void arrived(const TileId& tile, const QImage& image);
  void missing(const TileId& tile);
  void scheduleRetry();
  [[nodiscard]] bool waitingToRetry(const TileId& tile) const;

  [[nodiscard]] static std::array<int, 5> boundsOf(const Grid& grid) {
    return {grid.z, grid.x0, grid.x1, grid.y0, grid.y1};
  }

  std::unique_ptr<TileSource> source_;
  QCache<TileId, QImage> cache_;                      // cost in KiB
  QSet<TileId> visible_;                              // of the last update
  std::array<int, 5> restingBounds_{};                // of the last update's grid
  std::optional<std::array<int, 5>> ringDroppedFor_;  // the grid at rest
  QSet<TileId> wanted_;
  QSet<TileId> requested_;
  QHash<TileId, Unavailable> unavailable_;
  QElapsedTimer clock_;
  QTimer retry_;
};

}  // namespace kavrano
