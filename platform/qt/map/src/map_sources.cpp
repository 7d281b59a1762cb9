#include "kavrano/qt_map/map_sources.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGeoPositionInfoSource>
#include <QNetworkAccessManager>
#include <QNmeaPositionInfoSource>
#include <QRegularExpression>

#include "kavrano/qt_map/builtin_world.h"
#include "kavrano/qt_map/fixed_position_source.h"
#include "kavrano/qt_map/mbtiles_tile_source.h"
#include "kavrano/qt_map/network_tile_source.h"
#include "kavrano/qt_map/network_warning_filter.h"
#include "kavrano/qt_map/nmea_log.h"
#include "kavrano/qt_map/tile_disk_cache.h"
#include "kavrano/qt_map/world_overview.h"
#include "kavrano/qt_places/shipped_gazetteer.h"

namespace kavrano {

DefaultImagery defaultImagery(MapType type) {
  if (type == MapType::Standard)
    return {QStringLiteral("https://tile.openstreetmap.org/{z}/{x}/{y}.png"),
            QStringLiteral("© OpenStreetMap contributors"), 19};
  return {
      QStringLiteral("https://server.arcgisonline.com/ArcGIS/rest/services/World_Imagery/MapServer/tile/{z}/{y}/{x}"),
      QStringLiteral("Imagery © Esri, Maxar, Earthstar Geographics"), 19};
}

namespace {

QString sharedFile(const QString& name) {
  QDir dir(QCoreApplication::applicationDirPath());
  for (int up = 0; up <= 3; ++up) {
    QString path = dir.filePath(QStringLiteral("share/kavrano/") + name);
    if (QFileInfo(path).isFile()) return path;
    if (!dir.cdUp()) break;
  }
  return {};
}

Failure unusableOption(const QString& why) { return {why.toStdString(), Failure::Kind::invalidRequest}; }

// The imagery is optional: without it the small scales are coloured too.
Result<std::unique_ptr<TileSource>> makeBuiltinWorld() {
  const QString vectors = sharedFile(QStringLiteral("world.vectors"));
  if (vectors.isEmpty()) {
    return unusableOption(QStringLiteral("the built-in world map is not installed (share/kavrano/world.vectors)"));
  }
  std::shared_ptr<MbtilesReader> imagery;
  if (const QString path = builtinWorldPath(); !path.isEmpty()) {
    imagery = std::make_shared<MbtilesReader>();
    if (!imagery->open(path)) imagery.reset();
  }
  QString error;
  auto world = BuiltinWorld::open(vectors, std::move(imagery), &shippedGazetteer, error);
  if (!world) return unusableOption(error);
  return std::unique_ptr<TileSource>(std::make_unique<BuiltinWorldTileSource>(std::move(world)));
}

}  // namespace

QString builtinWorldPath() { return sharedFile(QStringLiteral("world.mbtiles")); }

WorldOverview builtinWorldOverview() {
  const QString path = sharedFile(QStringLiteral("world.overview"));
  return path.isEmpty() ? WorldOverview() : openWorldOverview(path);
}

Result<std::unique_ptr<TileSource>> makeTileSource(const QString& option, MapType type,
                                                   QNetworkAccessManager* network) {
  if (option == QLatin1String("builtin")) return makeBuiltinWorld();
  if (option.endsWith(QLatin1String(".mbtiles"), Qt::CaseInsensitive)) {
    auto reader = std::make_shared<MbtilesReader>();
    if (!reader->open(option)) return unusableOption(reader->errorText());
    return std::unique_ptr<TileSource>(std::make_unique<MbtilesTileSource>(std::move(reader)));
  }
  const DefaultImagery imagery = defaultImagery(type);
  TileUrlTemplate url(option.isEmpty() ? imagery.urlTemplate : option);
  if (!url.isValid()) {
    return unusableOption(QStringLiteral("not a tile URL template with {z}, {x} and {y}: %1").arg(option));
  }
  NetworkTileSource::Options options;
  if (option.isEmpty()) {
    options.attribution = imagery.attribution;
    options.maxZoom = imagery.maxZoom;
  } else {
    options.attribution = url.url({0, 0, 0}).host();  // at least say where the pictures come from
  }
  return std::unique_ptr<TileSource>(std::make_unique<NetworkTileSource>(std::move(url), options, network));
}

std::unique_ptr<TileSource> makeWorldBeneath(const QString& tilesOption) {
  if (tilesOption == QLatin1String("builtin")) return nullptr;
  auto world = makeTileSource(QStringLiteral("builtin"), MapType::Satellite, nullptr);
  return world ? std::move(world).value() : nullptr;
}

QNetworkAccessManager* makeTileNetwork(QObject* parent, const QString& cacheDirectory, qint64 cacheBytes) {
  installNetworkWarningFilter();
  auto* network = new QNetworkAccessManager(parent);
  network->setCache(new TileDiskCache(cacheDirectory.isEmpty() ? TileDiskCache::defaultDirectory() : cacheDirectory,
                                      cacheBytes, network));
  return network;
}

Result<QGeoPositionInfoSource*> makePositionSource(const QString& option, QObject* parent) {
  if (option.isEmpty()) return QGeoPositionInfoSource::createDefaultSource(parent);
  static const QRegularExpression pair(QStringLiteral(R"(^\s*([-+]?\d+(?:\.\d+)?)\s*,\s*([-+]?\d+(?:\.\d+)?)\s*$)"));
  if (const auto m = pair.match(option); m.hasMatch()) {
    const QGeoCoordinate c(m.captured(1).toDouble(), m.captured(2).toDouble());
    if (!c.isValid() || c.latitude() < -90 || c.latitude() > 90 || c.longitude() < -180 || c.longitude() > 180) {
      return unusableOption(QStringLiteral("position out of range: %1").arg(option));
    }
    return new FixedPositionSource(c, parent);
  }
  const auto log = readNmeaLog(option);
  if (!log) return log.failure();
  auto* source = new QNmeaPositionInfoSource(QNmeaPositionInfoSource::SimulationMode, parent);
  auto* device = new QBuffer(source);
  device->setData(log.value());  // shared, not copied
  device->open(QIODevice::ReadOnly);
  source->setDevice(device);
  return source;
}

}  // namespace kavrano
