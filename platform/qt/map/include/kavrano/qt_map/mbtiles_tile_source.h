#pragma once

#include <QSet>
#include <memory>

#include "kavrano/qt_map/mbtiles_reader.h"
#include "kavrano/qt_map/tile_source.h"

namespace kavrano {

/// Tiles from an MBTiles file the user brought, for offline use. Reading and
/// decoding run on the thread pool.
class MbtilesTileSource : public TileSource {
  Q_OBJECT
 public:
  /// `reader` must be open.
  explicit MbtilesTileSource(std::shared_ptr<MbtilesReader> reader, QObject* parent = nullptr);

  void request(const TileId& tile) override;
  void cancel(const TileId& tile) override { wanted_.remove(tile); }
  [[nodiscard]] QString attribution() const override { return attribution_; }
  [[nodiscard]] int maxZoom() const override { return reader_->maxZoom(); }

 private:
  std::shared_ptr<MbtilesReader> reader_;
  QString attribution_;
  QSet<TileId> wanted_;
};

}  // namespace kavrano
