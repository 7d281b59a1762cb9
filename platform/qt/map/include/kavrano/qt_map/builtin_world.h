#pragma once

#include <QColor>
#include <QFile>
#include <QImage>
#include <QSet>
#include <QString>
#include <QThreadPool>
#include <atomic>
#include <memory>
#include <mutex>
#include <optional>
#include <span>

#include "kavrano/qt_map/mbtiles_reader.h"
#include "kavrano/qt_map/tile_id.h"
#include "kavrano/qt_map/tile_source.h"
#include "kavrano/qt_places/gazetteer_index.h"
#include "kavrano/qt_world/world_vectors.h"

namespace kavrano {

/// The world that ships with the app: its imagery for the small scales (an
/// MBTiles file, may be absent), its vectors (mapped from a file, read in
/// place) and the place names its labels come from (asked for on first use).
class BuiltinWorld : public std::enable_shared_from_this<BuiltinWorld> {
 public:
  /// None, with `error` set, when the vectors file is missing or damaged.
  [[nodiscard]] static std::shared_ptr<const BuiltinWorld> open(const QString& vectorsPath,
                                                                std::shared_ptr<MbtilesReader> imagery,
                                                                GazetteerIndexSource places, QString& error);
  ~BuiltinWorld();
  BuiltinWorld(const BuiltinWorld&) = delete;
  BuiltinWorld& operator=(const BuiltinWorld&) = delete;

  [[nodiscard]] const WorldVectors& vectors() const { return *vectors_; }
  [[nodiscard]] const MbtilesReader* imagery() const { return imagery_.get(); }
  /// The gazetteer the labels were made with; null while it is being opened
  /// (on the thread pool, from the first call: checking it takes long enough
  /// to hold up frames), or when the one shipped is another (labels are then
  /// left out rather than misnamed).
  [[nodiscard]] std::shared_ptr<const GazetteerIndex> places() const;
  /// The credit line: the imagery's, then the vectors' and the names' sources.
  [[nodiscard]] const QString& attribution() const { return attribution_; }

  /// Zooms up to this draw the imagery (scaled up past its own zooms); beyond,
  /// land and sea are coloured from the vectors.
  static constexpr int kImageryZoom = 6;

  /// A 256-pixel tile: imagery or land and sea, then coastlines and borders.
  /// Thread-safe.
  [[nodiscard]] QImage paintTile(const TileId& tile) const;
  /// Hands the vectors' pages back to the system: painting the world on the way
  /// from a wide view down to the imagery reads most of the file, and a map
  /// whose imagery covers the view needs none of it.
  void handBackPages() const;

 private:
  BuiltinWorld() = default;
  [[nodiscard]] QImage imageryFor(const TileId& tile) const;

  QFile file_;
  std::span<const std::byte> mapped_;
  std::optional<WorldVectors> vectors_;
  std::shared_ptr<MbtilesReader> imagery_;
  GazetteerIndexSource placesSource_;
  mutable std::once_flag placesOnce_;
  mutable std::shared_ptr<const GazetteerIndex> places_;  // set once, before placesReady_
  mutable std::atomic<bool> placesReady_ = false;
  QString attribution_;
};

/// Tiles of the built-in world for every zoom, painted on the thread pool.
class BuiltinWorldTileSource : public TileSource {
  Q_OBJECT
 public:
  explicit BuiltinWorldTileSource(std::shared_ptr<const BuiltinWorld> world, QObject* parent = nullptr);

  void request(const TileId& tile) override;
  void cancel(const TileId& tile) override { wanted_.remove(tile); }
  [[nodiscard]] QString attribution() const override { return world_->attribution(); }
  [[nodiscard]] int maxZoom() const override;
  [[nodiscard]] const std::shared_ptr<const BuiltinWorld>& world() const { return world_; }
  void letGo() override { world_->handBackPages(); }

 private:
  std::shared_ptr<const BuiltinWorld> world_;
  QSet<TileId> wanted_;
  // One thread of its own: a screenful of tiles to paint must not hold up the
  // app's work on the shared pool (views compiled ahead, the gazetteer, imagery).
  QThreadPool painter_;
};

}  // namespace kavrano
