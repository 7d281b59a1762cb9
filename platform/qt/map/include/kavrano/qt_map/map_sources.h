#pragma once

#include <QImage>
#include <QString>
#include <memory>

#include "kavrano/core/result.h"
#include "kavrano/map/map_type.h"
#include "kavrano/qt_map/tile_source.h"
#include "kavrano/qt_map/world_overview.h"

class QGeoPositionInfoSource;
class QNetworkAccessManager;
class QObject;

namespace kavrano {

/// The sources behind the app's `--tiles` and `--position` options. Each fails with
/// a sentence for the user, of the kind `invalidRequest`, when the option is unusable.

/// Public imagery used when no `--tiles` is given: satellite for type 1, a street
/// map for type 0. Their licences allow interactive viewing with attribution and
/// forbid bulk downloading.
struct DefaultImagery {
  QString urlTemplate;
  QString attribution;
  int maxZoom;
};
[[nodiscard]] DefaultImagery defaultImagery(MapType type);

/// `option` empty: the default imagery for `type`; "builtin": the world map that
/// ships with the app (BuiltinWorldTileSource: its vectors, with the imagery of
/// builtinWorldPath() where present); a path ending in ".mbtiles": that
/// file; otherwise a URL template with {z}, {x}, {y} and optional {s}.
[[nodiscard]] Result<std::unique_ptr<TileSource>> makeTileSource(const QString& option, MapType type,
                                                                 QNetworkAccessManager* network);

/// The shipped world map, share/kavrano/world.mbtiles in the program's directory
/// or up to three levels above it (an installed prefix, or the build tree); an
/// empty text when there is none.
[[nodiscard]] QString builtinWorldPath();
/// The shipped world overview (share/kavrano/world.overview, openWorldOverview):
/// cheap enough to open before the first frame. A null image when not installed.
[[nodiscard]] WorldOverview builtinWorldOverview();

/// The built-in world to draw beneath the imagery a `--tiles` option chose
/// (QuickMapView::setWorldSource); null when that imagery is the built-in world
/// itself or the world map is not installed.
[[nodiscard]] std::unique_ptr<TileSource> makeWorldBeneath(const QString& tilesOption);

/// A network manager for tiles with the HTTP disk cache in `cacheDirectory`
/// (default: TileDiskCache::defaultDirectory()) capped at `cacheBytes`.
[[nodiscard]] QNetworkAccessManager* makeTileNetwork(QObject* parent, const QString& cacheDirectory = {},
                                                     qint64 cacheBytes = 256LL * 1024 * 1024);

/// `option` empty: the system's source (null, not a failure, when there is none);
/// "LAT,LON": that fixed position; otherwise an NMEA log file, replayed (bounded: nmea_log.h).
[[nodiscard]] Result<QGeoPositionInfoSource*> makePositionSource(const QString& option, QObject* parent);

}  // namespace kavrano
