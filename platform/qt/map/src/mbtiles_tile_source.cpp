#include "kavrano/qt_map/mbtiles_tile_source.h"

#include <QFutureWatcher>
#include <QRegularExpression>
#include <QtConcurrent>

namespace kavrano {

MbtilesTileSource::MbtilesTileSource(std::shared_ptr<MbtilesReader> reader, QObject* parent)
    : TileSource(parent), reader_(std::move(reader)) {
  // MBTiles attributions are often HTML; we draw plain text.
  attribution_ = reader_->metadata(QStringLiteral("attribution"));
  attribution_.remove(QRegularExpression(QStringLiteral("<[^>]*>")));
}

void MbtilesTileSource::request(const TileId& tile) {
  if (wanted_.contains(tile)) return;
  wanted_.insert(tile);
  auto* watcher = new QFutureWatcher<QImage>(this);
  connect(watcher, &QFutureWatcher<QImage>::finished, this, [this, watcher, tile] {
    watcher->deleteLater();
    if (!wanted_.remove(tile)) return;
    const QImage image = watcher->result();
    if (image.isNull())
      emit tileUnavailable(tile);
    else
      emit tileReady(tile, image);
  });
  watcher->setFuture(QtConcurrent::run([reader = reader_, tile] {
    const auto bytes = reader->tile(tile);
    return bytes ? decodeTileImage(*bytes) : QImage();
  }));
}

}  // namespace kavrano
