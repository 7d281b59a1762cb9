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
    const QString path = dir.filePath(QStringLiteral("share/kavrano/") + name);
    if (QFileInfo(path).isFile()) return path;
    if (!dir.cdUp()) break;
  }
  return {};
}

// The imagery is optional: without it the small scales are coloured too.
std::unique_ptr<TileSource> makeBuiltinWorld(QString& error) {
  const QString vectors = sharedFile(QStringLiteral("world.vectors"));
  if (vectors.isEmpty()) {
    error = QStringLiteral("the built-in world map is not installed (share/kavrano/world.vectors)");
    return nullptr;
  }
  std::shared_ptr<MbtilesReader> imagery;
  if (const QString path = builtinWorldPath(); !path.isEmpty()) {
    imagery = std::make_shared<MbtilesReader>();
    if (!imagery->open(path)) imagery.reset();
  }
  auto world = BuiltinWorld::open(vectors, std::move(imagery), &shippedGazetteer, error);
  return world ? std::make_unique<BuiltinWorldTileSource>(std::move(world)) : nullptr;
}

}  // namespace

QString builtinWorldPath() { return sharedFile(QStringLiteral("world.mbtiles")); }

std::unique_ptr<TileSource> makeTileSource(const QString& option, MapType type, QNetworkAccessManager* network,
                                           QString& error) {
  if (option == QLatin1String("builtin")) return makeBuiltinWorld(error);
  if (option.endsWith(QLatin1String(".mbtiles"), Qt::CaseInsensitive)) {
    auto reader = std::make_shared<MbtilesReader>();
    if (!reader->open(option)) {
      error = reader->errorText();
      return nullptr;
    }
    return std::make_unique<MbtilesTileSource>(std::move(reader));
  }
  const DefaultImagery imagery = defaultImagery(type);
  TileUrlTemplate url(option.isEmpty() ? imagery.urlTemplate : option);
  if (!url.isValid()) {
    error = QStringLiteral("not a tile URL template with {z}, {x} and {y}: %1").arg(option);
    return nullptr;
  }
  NetworkTileSource::Options options;
  if (option.isEmpty()) {
    options.attribution = imagery.attribution;
    options.maxZoom = imagery.maxZoom;
  } else {
    options.attribution = url.url({0, 0, 0}).host();  // at least say where the pictures come from
  }
  return std::make_unique<NetworkTileSource>(std::move(url), options, network);
}

std::unique_ptr<TileSource> makeWorldBeneath(const QString& tilesOption) {
  if (tilesOption == QLatin1String("builtin")) return nullptr;
  QString unused;
  return makeTileSource(QStringLiteral("builtin"), MapType::Satellite, nullptr, unused);
}

QNetworkAccessManager* makeTileNetwork(QObject* parent, const QString& cacheDirectory, qint64 cacheBytes) {
  installNetworkWarningFilter();
  auto* network = new QNetworkAccessManager(parent);
  network->setCache(new TileDiskCache(cacheDirectory.isEmpty() ? TileDiskCache::defaultDirectory() : cacheDirectory,
                                      cacheBytes, network));
  return network;
}

QGeoPositionInfoSource* makePositionSource(const QString& option, QObject* parent, QString& error) {
  if (option.isEmpty()) return QGeoPositionInfoSource::createDefaultSource(parent);
  static const QRegularExpression pair(QStringLiteral(R"(^\s*([-+]?\d+(?:\.\d+)?)\s*,\s*([-+]?\d+(?:\.\d+)?)\s*$)"));
  if (const auto m = pair.match(option); m.hasMatch()) {
    const QGeoCoordinate c(m.captured(1).toDouble(), m.captured(2).toDouble());
    if (!c.isValid() || c.latitude() < -90 || c.latitude() > 90 || c.longitude() < -180 || c.longitude() > 180) {
      error = QStringLiteral("position out of range: %1").arg(option);
      return nullptr;
    }
    return new FixedPositionSource(c, parent);
  }
  const auto log = readNmeaLog(option, error);
  if (!log) return nullptr;
  auto* source = new QNmeaPositionInfoSource(QNmeaPositionInfoSource::SimulationMode, parent);
  auto* device = new QBuffer(source);
  device->setData(*log);  // shared, not copied
  device->open(QIODevice::ReadOnly);
  source->setDevice(device);
  return source;
}

}  // namespace kavrano
