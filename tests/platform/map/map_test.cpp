// The map: Web Mercator and the camera, the tiles a view needs and their
// addresses, and the real map view shown offscreen: pixel probes of what it
// draws, the label pictures, gestures, the camera's limits, following the own
// position and the map's accessibility.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <QAccessible>
#include <QBuffer>
#include <QFile>
#include <QGeoPositionInfoSource>
#include <QGuiApplication>
#include <QNetworkAccessManager>
#include <QPainter>
#include <QQuickWindow>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QTimer>
#include <algorithm>
#include <cmath>

#include "kavrano/map/point_annotation.h"
#include "kavrano/qt_map/annotation_images.h"
#include "kavrano/qt_map/map_camera.h"
#include "kavrano/qt_map/map_sources.h"
#include "kavrano/qt_map/mbtiles_reader.h"
#include "kavrano/qt_map/mbtiles_tile_source.h"
#include "kavrano/qt_map/network_tile_source.h"
#include "kavrano/qt_map/quick_map_view.h"
#include "kavrano/qt_map/tile_disk_cache.h"
#include "kavrano/qt_map/tile_layer.h"
#include "kavrano/qt_map/tile_url_template.h"
#include "kavrano/qt_map/web_mercator.h"
#include "local_http_server.h"

namespace kavrano {
namespace {

QImage solid(const QColor& color, int size = 256) {
  QImage image(size, size, QImage::Format_RGB32);
  image.fill(color);
  return image;
}
/// Tiles from memory, answered on the next turn of the event loop; records what
/// was asked and cancelled.
class MemoryTileSource : public TileSource {
 public:
  explicit MemoryTileSource(QImage everywhere = {}) : everywhere(std::move(everywhere)) {}
  QHash<TileId, QImage> tiles;
  QImage everywhere;  // when set, every tile not in `tiles`
  QList<TileId> requested;
  QList<TileId> cancelled;

  void request(const TileId& tile) override {
    // Sources make objects and talk to the network: never from the render thread.
    if (QThread::currentThread() != thread()) qFatal("tile requested off the GUI thread");
    requested << tile;
    QTimer::singleShot(0, this, [this, tile] {
      if (cancelled.contains(tile)) return;
      if (tiles.contains(tile) || !everywhere.isNull()) return emit tileReady(tile, tiles.value(tile, everywhere));
      emit tileUnavailable(tile);
    });
  }
  void cancel(const TileId& tile) override { cancelled << tile; }
  [[nodiscard]] QString attribution() const override { return QStringLiteral("Test imagery"); }
  [[nodiscard]] int maxZoom() const override { return 19; }
};

/// A shown window holding only the map, with memory tiles for satellite imagery.
struct MapWindow {
  explicit MapWindow(QSize size = {256, 256}) : map(new QuickMapView(window.contentItem())) {
    window.resize(size);
    map->setSize(size);
    map->setTileSource(MapType::Satellite, std::unique_ptr<MemoryTileSource>(tiles = new MemoryTileSource));
    window.show();
  }

  QQuickWindow window;
  QuickMapView* map;
  MemoryTileSource* tiles;
};

// Point-to-coordinate must undo drawing to well below a millimetre: taps place
// measurement vertices.
constexpr double kDegrees = 1e-9;
double dist(Coordinate a, Coordinate b) { return std::hypot(a.latitude - b.latitude, a.longitude - b.longitude); }

TEST(WebMercator, KnownPointsAndInverse) {
  EXPECT_EQ(mercator::toWorld({0, 0}), QPointF(0.5, 0.5));
  EXPECT_NEAR(mercator::toWorld({mercator::kMaxLatitude, -180}).y(), 0.0, 1e-12);
  EXPECT_NEAR(mercator::toWorld({-mercator::kMaxLatitude, 180}).y(), 1.0, 1e-12);
  EXPECT_NEAR(mercator::toWorld({89.9, 0}).y(), 0.0, 1e-12) << "latitudes beyond the square world are clamped";
  for (double lat : {-85.0, -60.5, -1e-9, 0.0, 33.3, 85.0})
    for (double lon : {-180.0, -179.999999, -45.0, 0.0, 120.25, 179.999999})
      EXPECT_LT(dist(mercator::toCoordinate(mercator::toWorld({lat, lon})), {lat, lon}), kDegrees) << lat << "," << lon;
  EXPECT_DOUBLE_EQ(mercator::toCoordinate({1.25, 0.5}).longitude, -90.0) << "x wraps round the world";
}

TEST(MapCamera, DrawingAndPointToCoordinateAreInverseAtEveryZoom) {
  MapCamera camera;  // a portrait phone's view
  for (double zoom : {0.0, 3.5, 12.0, 17.25, 22.0})
    for (Coordinate centre : {Coordinate{0, 0}, Coordinate{48.2, 16.37}, Coordinate{-84.9, 179.9999}})
      for (QPointF p : {QPointF(0, 0), QPointF(195, 422), QPointF(389.5, 843.5), QPointF(13.25, 700)}) {
        camera = {mercator::toWorld(centre), zoom};
        const Coordinate c = camera.coordinateAt(p);
        if (std::abs(c.latitude) >= mercator::kMaxLatitude - 1e-9) continue;  // beyond the world's edge
        EXPECT_LT(QLineF(camera.toView(mercator::toWorld(c)), p).length(), 1e-6) << zoom << " " << centre.latitude;
      }
}

TEST(MapCamera, NormaliseWrapsTheCentreZoomClampsAndNaNNeverReachesTheTileGrid) {
  MapCamera camera{mercator::toWorld({-16.5, 180.0}), 10, {400, 400}};
  camera.normalise();
  EXPECT_LT(camera.coordinateAt({300, 200}).longitude, -179.0) << "right of the line lies the west";
  EXPECT_GT(camera.coordinateAt({100, 200}).longitude, 179.0);
  EXPECT_NEAR(camera.toView(mercator::toWorld({-16.5, -180.0})).x(), 200, 1e-6);
  camera.zoomAbout(40, {50, 700});
  EXPECT_EQ(camera.zoom, MapCamera::kMaxZoom);
  camera.zoomAbout(-3, {50, 700});
  EXPECT_EQ(camera.zoom, MapCamera::kMinZoom);
  camera.centre = {std::nan(""), 0.2};
  camera.zoom = std::nan("");
  camera.normalise();
  EXPECT_EQ(camera.centre, QPointF(0.5, 0.5));
  EXPECT_EQ(camera.zoom, MapCamera::kMinZoom);
}

TEST(MapCamera, RegionsAndTheMinimumCameraDistanceBecomeZooms) {
  MapCamera camera{{}, 0, {390, 844}};
  for (Coordinate centre : {Coordinate{0, 0}, Coordinate{60, 25}, Coordinate{-33.9, 151.2}}) {
    camera = {mercator::toWorld(centre), camera.zoomForRegion(centre, 200, 200), camera.viewport};
    const double perPoint = mercator::metresPerWorldUnit(centre.latitude) / camera.scale();
    // Narrow portrait view: the east–west span decides, edge to edge.
    EXPECT_NEAR(camera.viewport.width() * perPoint, 200.0, 2.0) << centre.latitude;
    EXPECT_GE(camera.viewport.height() * perPoint, 200.0);
  }
  camera.centre = mercator::toWorld({45, 7});
  camera.zoom = camera.zoomForCameraDistance(1000);
  // 30° field of view: the view's height covers 2·d·tan(15°).
  EXPECT_NEAR(camera.visibleHeightMetres(), 2 * 1000 * std::tan(15 * M_PI / 180), 1e-6);
  EXPECT_GT(camera.zoomForCameraDistance(10), camera.zoomForCameraDistance(1000));
}

TEST(TileLayer, AsksForTheViewAndOneRingCancelsWhatLeftItAndWrapsRoundTheWorld) {
  TileLayer layer;
  auto* source = new MemoryTileSource;
  layer.setSource(std::unique_ptr<MemoryTileSource>(source));
  MapCamera camera{{300 / 1024.0, 400 / 1024.0}, 10, {256, 256}};  // over the corner of four tiles
  EXPECT_EQ(layer.update(camera).size(), 4u) << "a one-tile view over a corner touches four";
  EXPECT_EQ(source->requested.size(), 16u) << "four visible and the ring of twelve around them";
  for (const TileId& t : source->requested) EXPECT_TRUE(t.z == 10 && t.x >= 298 && t.x <= 302) << t.z << "/" << t.x;
  source->requested.clear();
  (void)layer.update(camera);
  EXPECT_TRUE(source->requested.isEmpty()) << "nothing asked twice";
  camera.centre.rx() += 10.0 / 1024.0;  // ten tiles east
  (void)layer.update(camera);
  EXPECT_EQ(source->cancelled.size(), 16);
  EXPECT_EQ(source->requested.size(), 16);

  // Across the antimeridian at the north pole.
  source->requested.clear();
  camera = {{0.0, 0.01}, 2, {512, 512}};
  EXPECT_EQ(layer.update(camera).size(), 4u) << "rows above the world are not drawn";
  for (const TileId& t : source->requested) EXPECT_TRUE(t.valid()) << t.x << "," << t.y;
  EXPECT_TRUE(source->requested.contains(TileId{2, 3, 0}) && source->requested.contains(TileId{2, 0, 0}));
}

TEST(TileUrlTemplate, FillsPlaceholdersPicksASteadySubdomainAndRefusesWhatCannotAddressTiles) {
  const TileUrlTemplate t(QStringLiteral("https://{s}.tiles.test/{z}/{x}/{y}.png"));
  // The same tile always from the same host, so the cache works.
  EXPECT_EQ(t.url({3, 5, 2}).toString(), QStringLiteral("https://b.tiles.test/3/5/2.png"));
  EXPECT_EQ(t.url({1, 0, 0}).host(), QStringLiteral("a.tiles.test"));
  EXPECT_EQ(TileUrlTemplate(QStringLiteral("http://127.0.0.1:8080/{z}/{y}/{x}")).url({19, 300000, 12}).toString(),
            QStringLiteral("http://127.0.0.1:8080/19/12/300000"));
  for (const char* text : {"https://tiles.test/{z}/{x}.png", "tiles.test/{z}/{x}/{y}", "file:///{z}/{x}/{y}.png",
                           "ftp://tiles.test/{z}/{x}/{y}", "", "https:///{z}/{x}/{y}"})
    EXPECT_FALSE(TileUrlTemplate(QString::fromUtf8(text)).isValid()) << text;
}

TEST(TileUrlTemplate, ATemplateThatBreaksForDeepTilesIsRefused) {
  // Found by fuzzing: valid for tile 0/0/0, but a host label past 63 characters or a
  // port past 65535 once the numbers grow, so deep tiles could never load.
  for (const QString& text :
       {"https://" + QString(62, 'a') + "{z}.test/{z}/{x}/{y}", QStringLiteral("http://tiles.test:{x}/{z}/{x}/{y}")})
    EXPECT_FALSE(TileUrlTemplate(text).isValid()) << text.toStdString();
  EXPECT_TRUE(TileUrlTemplate("https://" + QString(60, 'a') + "{z}.test/{z}/{x}/{y}").isValid());
}

QByteArray pngOf(const QColor& color, int size = 256) {
  QBuffer buffer;
  buffer.open(QIODevice::WriteOnly);
  solid(color, size).save(&buffer, "PNG");
  return buffer.data();
}

// An MBTiles file whose tile (z, x, TMS row) holds `bytes`.
void makeMbtiles(const QString& path, const QList<std::tuple<int, int, int, QByteArray>>& tiles) {
  QString sql = QStringLiteral(
      "CREATE TABLE metadata (name text, value text);"
      "CREATE TABLE tiles (zoom_level integer, tile_column integer, tile_row integer, tile_data blob);"
      "INSERT INTO metadata VALUES ('maxzoom', '3'), ('attribution', '<a href=\"x\">Survey</a> 2024');");
  for (const auto& [z, x, row, bytes] : tiles)
    sql += QString::asprintf("INSERT INTO tiles VALUES (%d, %d, %d, X'%s');", z, x, row, bytes.toHex().constData());
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(path.toUtf8().constData(), &db), SQLITE_OK);
  EXPECT_EQ(sqlite3_exec(db, sql.toUtf8().constData(), nullptr, nullptr, nullptr), SQLITE_OK);
  sqlite3_close(db);
}

TEST(Mbtiles, ReadsRowsInTmsOrderDecodesOffTheCallerAndRefusesFilesThatAreNotTileSets) {
  QTemporaryDir dir;
  const QString path = dir.filePath(QStringLiteral("area.mbtiles"));
  // At zoom 2 the XYZ row 0 (north) is TMS row 3.
  makeMbtiles(path, {{2, 1, 3, "north"}, {2, 1, 0, "south"}, {1, 0, 1, pngOf(Qt::red)}, {1, 1, 1, "garbage"}});
  auto reader = std::make_shared<MbtilesReader>();
  ASSERT_TRUE(reader->open(path)) << reader->errorText().toStdString();
  EXPECT_EQ(reader->tile({2, 1, 0}).value_or("none"), "north");
  EXPECT_EQ(reader->tile({2, 1, 3}).value_or("none"), "south");
  EXPECT_FALSE(reader->tile({2, 0, 0}).has_value());
  EXPECT_FALSE(reader->tile({2, 4, 0}).has_value()) << "outside the zoom level's grid";
  EXPECT_EQ(reader->maxZoom(), 3);

  MbtilesTileSource source(reader);
  EXPECT_EQ(source.attribution(), QStringLiteral("Survey 2024")) << "markup is dropped";
  QSignalSpy ready(&source, &TileSource::tileReady);
  QSignalSpy unavailable(&source, &TileSource::tileUnavailable);
  for (TileId t : {TileId{1, 0, 0}, {1, 1, 0}, {1, 0, 1}}) source.request(t);
  ASSERT_TRUE(QTest::qWaitFor([&] { return ready.size() + unavailable.size() == 3; }, 5000));
  ASSERT_EQ(ready.size(), 1) << "a missing and a broken tile are unavailable";
  EXPECT_EQ(ready[0][0].value<TileId>(), (TileId{1, 0, 0}));
  EXPECT_EQ(ready[0][1].value<QImage>().pixelColor(128, 128), QColor(Qt::red));

  EXPECT_FALSE(MbtilesReader().open(dir.filePath(QStringLiteral("nothing.mbtiles"))));
  QFile text(dir.filePath(QStringLiteral("text.mbtiles")));
  ASSERT_TRUE(text.open(QIODevice::WriteOnly) && text.write("not a database, just words") && text.flush());
  MbtilesReader notSqlite;
  EXPECT_FALSE(notSqlite.open(text.fileName()));
  EXPECT_FALSE(notSqlite.errorText().isEmpty());
  EXPECT_FALSE(notSqlite.tile({0, 0, 0}).has_value());
}

using Response = LocalHttpServer::Response;

const NetworkTileSource::Options kQuick{.timeoutMs = 300, .firstRetryDelayMs = 20, .attribution = {}};

// A tile source on a local server, through the app's network and disk cache.
struct Fixture {
  explicit Fixture(LocalHttpServer::Handler handler) : server(std::move(handler)) {}
  bool settled(int n) {
    return QTest::qWaitFor([&] { return ready.size() + unavailable.size() >= n; });
  }

  QTemporaryDir cacheDir;
  LocalHttpServer server;
  std::unique_ptr<QNetworkAccessManager> network{makeTileNetwork(nullptr, cacheDir.path(), 1 << 20)};
  NetworkTileSource source{TileUrlTemplate(QString::fromUtf8(server.baseUrl() + "/{z}/{x}/{y}")), kQuick,
                           network.get()};
  QSignalSpy ready{&source, &TileSource::tileReady};
  QSignalSpy unavailable{&source, &TileSource::tileUnavailable};
};

TEST(NetworkTileSource, AnswersOfEveryKindEndInOneSignal) {
  int flaky = 0;
  Fixture f([&](const LocalHttpServer::Request& r) {
    if (r.path == "/1/0/0") return Response{200, {}, pngOf(Qt::green)};
    if (r.path == "/1/1/0") return Response{404, {}, "no such tile"};
    if (r.path == "/1/0/1") return Response{200, {}, "\x89PNG but not really"};
    if (r.path == "/1/1/1") return ++flaky < 3 ? Response{500, {}, "busy"} : Response{200, {}, pngOf(Qt::blue)};
    if (r.path == "/2/0/0") return Response{503, {}, "down"};
    return Response{200, {}, {}, 0, true};  // never answered
  });
  for (TileId t : {TileId{1, 0, 0}, {1, 1, 0}, {1, 0, 1}, {1, 1, 1}, {2, 0, 0}, {2, 1, 1}}) f.source.request(t);
  ASSERT_TRUE(f.settled(6));
  QList<TileId> good;
  for (const auto& s : f.ready) good << s[0].value<TileId>();
  EXPECT_EQ(good, (QList<TileId>{{1, 0, 0}, {1, 1, 1}})) << "a 500 is retried until it succeeds";
  EXPECT_EQ(f.unavailable.size(), 4);
  EXPECT_EQ(f.ready[1][1].value<QImage>().pixelColor(5, 5), QColor(Qt::blue));
  const auto asked = [&](const char* path) {
    return std::count_if(f.server.requests.begin(), f.server.requests.end(), [&](auto& r) { return r.path == path; });
  };
  EXPECT_EQ(asked("/1/1/0"), 1) << "a 404 is final";
  EXPECT_EQ(asked("/2/0/0"), 3) << "server errors get three attempts";
  EXPECT_EQ(asked("/2/1/1"), 3) << "a stalled answer times out and is retried";
  EXPECT_TRUE(f.server.requests.first().headers.value("user-agent").startsWith("Kavrano/"));
}

TEST(NetworkTileSource, NoMoreThanSixAtOnceAndCancelledOnesAreNeverAsked) {
  Fixture f([](const LocalHttpServer::Request&) { return Response{200, {}, pngOf(Qt::gray, 8), 50}; });
  for (int x = 0; x < 16; ++x) f.source.request({4, x, 3});
  EXPECT_LE(f.source.runningRequests(), 6);
  for (int x = 10; x < 16; ++x) f.source.cancel({4, x, 3});
  ASSERT_TRUE(f.settled(10));
  QTest::qWait(150);
  EXPECT_EQ(f.ready.size(), 10);
  EXPECT_EQ(f.unavailable.size(), 0);
  // Side by side, six at most.
  EXPECT_TRUE(f.server.maxWaiting >= 2 && f.server.maxWaiting <= 6) << f.server.maxWaiting;
  for (const auto& r : f.server.requests) EXPECT_LT(r.path.split('/').value(2).toInt(), 10) << r.path.constData();
}

TEST(NetworkTileSource, FreshTilesComeFromTheDiskCacheAndStaleOnesAreRevalidated) {
  Fixture f([](const LocalHttpServer::Request& r) {
    if (r.path == "/0/0/0") return Response{200, {{"Cache-Control", "max-age=3600"}}, pngOf(Qt::red)};
    if (r.headers.contains("if-none-match")) return Response{304, {{"ETag", "\"v1\""}}, {}};
    return Response{200, {{"Cache-Control", "no-cache"}, {"ETag", "\"v1\""}}, pngOf(Qt::cyan)};
  });
  for (int round : {1, 2}) {
    for (TileId t : {TileId{0, 0, 0}, {1, 0, 0}}) f.source.request(t);
    ASSERT_TRUE(f.settled(2 * round));
  }
  EXPECT_EQ(f.ready.size(), 4);
  ASSERT_EQ(f.server.requests.size(), 3) << "the fresh tile was not asked again";
  EXPECT_EQ(f.server.requests[2].path, "/1/0/0");
  EXPECT_EQ(f.server.requests[2].headers.value("if-none-match"), "\"v1\"");
  // A 304 serves the cached body; the cached and the revalidated tile may come in either order.
  for (int i : {2, 3}) {
    const bool revalidated = f.ready[i][0].value<TileId>() == TileId{1, 0, 0};
    EXPECT_EQ(f.ready[i][1].value<QImage>().pixelColor(1, 1), QColor(revalidated ? Qt::cyan : Qt::red)) << i;
  }
}

TEST(TileDiskCache, DropsTheLeastRecentlyUsedAboveItsCapAndLivesUnderTheXdgCache) {
  QTemporaryDir dir;
  TileDiskCache cache(dir.path(), 4000);  // three entries fit, four do not
  auto put = [&](const char* url) {
    QNetworkCacheMetaData meta;
    meta.setUrl(QUrl(QString::fromLatin1(url)));
    meta.setSaveToDisk(true);
    QIODevice* device = cache.prepare(meta);
    device->write(QByteArray(1000, 'x'));
    cache.insert(device);
    QThread::msleep(20);  // file times must differ for the order to be seen
  };
  for (const char* url : {"http://t/a", "http://t/b", "http://t/c"}) put(url);
  delete cache.data(QUrl(QStringLiteral("http://t/a")));  // a read makes it recent
  QThread::msleep(20);
  put("http://t/d");
  ASSERT_TRUE(QTest::qWaitFor([&] { return cache.cacheSize() <= 4000; }));
  for (const char* url : {"http://t/a", "http://t/b", "http://t/c", "http://t/d"})
    EXPECT_EQ(cache.metaData(QUrl(QString::fromLatin1(url))).isValid(), url[9] != 'b') << url;
  EXPECT_EQ(TileDiskCache::defaultDirectory(), qEnvironmentVariable("XDG_CACHE_HOME") + "/kavrano/tiles");
}

// Colours may differ by antialiasing and texture filtering at most this much.
testing::AssertionResult near(QColor a, QColor b, int most = 6) {
  if (std::max({std::abs(a.red() - b.red()), std::abs(a.green() - b.green()), std::abs(a.blue() - b.blue())}) <= most)
    return testing::AssertionSuccess();
  return testing::AssertionFailure() << a.name().toStdString() << " vs " << b.name().toStdString();
}
int countNear(const QImage& image, QRect area, QColor color, int tolerance = 40) {
  int n = 0;
  for (int y = area.top(); y <= area.bottom(); ++y)
    for (int x = area.left(); x <= area.right(); ++x) n += bool(near(image.pixelColor(x, y), color, tolerance));
  return n;
}

TEST(MapRendering, TilesAppearWhereTheyBelongOnlyForTheShownMapTypeAndTheMapIsAnAccessibleGraphic) {
  MapWindow w;
  const std::tuple<int, int, Qt::GlobalColor> quarters[] = {
      {0, 0, Qt::red}, {1, 0, Qt::green}, {0, 1, Qt::blue}, {1, 1, Qt::yellow}};
  for (auto [x, y, color] : quarters) w.tiles->tiles[{1, x, y}] = solid(color);
  w.map->setCamera({0.5, 0.5}, 1.0);
  ASSERT_TRUE(QTest::qWaitFor([&] { return w.map->tileLayer().hasImage({1, 1, 1}); }));
  const QImage shot = w.window.grabWindow();
  // Near each quarter's outer corner; the bottom right probe keeps clear of the credit line.
  for (auto [x, y, color] : quarters)
    EXPECT_TRUE(near(shot.pixelColor(20 + 180 * x, 20 + 180 * y), QColor(color))) << x << "," << y;
  w.map->setTileSource(MapType::Standard, std::make_unique<MemoryTileSource>(solid(Qt::magenta)));
  w.map->setMapType(MapType::Standard);
  ASSERT_TRUE(QTest::qWaitFor([&] { return w.map->tileLayer().hasImage({1, 1, 1}); }));
  EXPECT_TRUE(near(w.window.grabWindow().pixelColor(20, 20), QColor(Qt::magenta))) << "type 0 shows the street map";
  w.map->setMapType(MapType::Satellite);
  EXPECT_FALSE(w.map->tileLayer().hasImage({1, 1, 1})) << "the hidden layer let go of its tiles";

  // To assistive technology the map is a named graphic inside its window.
  QAccessibleInterface* map = QAccessible::queryAccessibleInterface(w.map);
  ASSERT_TRUE(map && map->parent());
  EXPECT_EQ(map->text(QAccessible::Name), QStringLiteral("Map"));
  EXPECT_FALSE(map->text(QAccessible::Description).isEmpty());
  EXPECT_EQ(map->role(), QAccessible::Graphic);
  EXPECT_EQ(map->parent()->window(), &w.window);
  EXPECT_EQ(map->rect().size(), QSize(256, 256));
}

TEST(MapRendering, AMissingTileShowsItsAncestorElseAPlaceholderNeverAHole) {
  MapWindow w;
  QImage parent = solid(Qt::white);
  QPainter(&parent).fillRect(0, 128, 256, 128, Qt::darkGreen);  // the south half
  w.tiles->tiles = {{{0, 0, 0}, parent}};
  w.map->setCamera({0.5, 0.5}, 0.0);
  ASSERT_TRUE(QTest::qWaitFor([&] { return w.map->tileLayer().hasImage({0, 0, 0}); }));
  w.map->setCamera({0.5, 0.75}, 2.0);  // over the south half only, tiles of zoom 2 missing
  QTest::qWait(50);
  EXPECT_TRUE(near(w.window.grabWindow().pixelColor(128, 128), QColor(Qt::darkGreen))) << "the ancestor, scaled up";

  w.map->setTileSource(MapType::Satellite, std::make_unique<MemoryTileSource>());
  const QImage empty = w.window.grabWindow();
  EXPECT_TRUE(near(empty.pixelColor(128, 128), QColor(0xd9, 0xd6, 0xcf)));
  EXPECT_TRUE(near(empty.pixelColor(2, 253), QColor(0xd9, 0xd6, 0xcf)));
}

// The measurement label: bold 20, white on a black shadow, shrinking to fit 44 points.
LabelView measurementLabel(const QString& text) {
  return {QRectF(-22, -32, 44, 44), text, MapFont::boldSystem(20), MapColor::white(),
          TextAlignment::Center,    true, MapColor::black(),       {1, 1}};
}

// Red polygons outlined in white; titled points get a reusable measurement label.
class Delegate : public MapViewDelegate {
 public:
  std::shared_ptr<OverlayRenderer> rendererForOverlay(MapView&, const std::shared_ptr<Overlay>& o) override {
    if (!dynamic_cast<PolygonOverlay*>(o.get())) return std::make_shared<OverlayRenderer>();
    auto r = std::make_shared<PolygonRenderer>();
    r->fillColor = MapColor{1, 0, 0, 1};
    r->strokeColor = MapColor::white();
    r->lineWidth = 6;
    return r;
  }
  std::shared_ptr<AnnotationView> viewForAnnotation(MapView& map, const std::shared_ptr<Annotation>& a) override {
    if (!a->title()) return nullptr;
    auto view = map.dequeueReusableAnnotationView(QStringLiteral("custom"));
    if (!view) {
      view = std::make_shared<AnnotationView>(a, QStringLiteral("custom"));
      view->addSubview(std::make_shared<LabelView>(measurementLabel({})));
      ++made;
    }
    view->setAnnotation(a);
    view->subviews().front()->text = *a->title();
    return view;
  }
  int made = 0;
};

TEST(MapRendering, OverlaysMarkersAndLabelsInTheirColoursAndLabelViewsAreReused) {
  MapWindow w;
  w.tiles->everywhere = solid(Qt::blue);
  Delegate delegate;
  w.map->setDelegate(&delegate);
  w.map->setCamera({0.5, 0.5}, 10.0);
  const auto at = [&](double x, double y) { return w.map->convertPointToCoordinate({x, y}); };
  w.map->addOverlay(std::make_shared<PolygonOverlay>(std::vector{at(40, 40), at(216, 40), at(216, 180), at(40, 180)}));
  w.map->addOverlay(std::make_shared<PolylineOverlay>(std::vector{at(0, 250), at(256, 250)}));  // plain: not drawn
  w.map->addAnnotation(std::make_shared<PointAnnotation>(at(128, 236), QStringLiteral("8 m")));
  w.map->addAnnotation(std::make_shared<PointAnnotation>(at(60, 100)));
  ASSERT_TRUE(QTest::qWaitFor([&] { return w.map->tileLayer().hasImage({10, 512, 512}); }));
  const QImage shot = w.window.grabWindow();
  EXPECT_TRUE(near(shot.pixelColor(150, 150), QColor(Qt::red))) << "fill";
  EXPECT_TRUE(near(shot.pixelColor(128, 40), QColor(Qt::white))) << "outline on the edge";
  EXPECT_TRUE(near(shot.pixelColor(216, 110), QColor(Qt::white))) << "closing edge";
  EXPECT_TRUE(near(shot.pixelColor(128, 30), QColor(Qt::blue))) << "outside: imagery";
  EXPECT_TRUE(near(shot.pixelColor(128, 250), QColor(Qt::blue))) << "the plain renderer draws nothing";
  // The label: white text with a black shadow, within its 44 × 44 frame above the point.
  const QRect frame(128 - 22, 236 - 32, 44, 44);
  EXPECT_GT(countNear(shot, frame, Qt::white), 25);
  EXPECT_GT(countNear(shot, frame, Qt::black), 10);
  EXPECT_EQ(countNear(shot, QRect(10, 226, 40, 20), Qt::white), 0);
  // The standard marker stands with its tip on the point.
  EXPECT_GT(countNear(shot, QRect(52, 68, 16, 20), QColor(230, 57, 53)), 20);

  for (int round = 0; round < 2; ++round) {
    w.map->removeAnnotations(w.map->annotations());
    for (int i = 0; i < 5; ++i)
      w.map->addAnnotation(std::make_shared<PointAnnotation>(at(30 + 40 * i, 120), QString::number(round)));
    w.window.grabWindow();
  }
  EXPECT_EQ(delegate.made, 5);
  EXPECT_EQ(w.map->annotations().size(), 5u);
}

// Ink is measured on the label picture itself.
QRect inkOf(const QImage& image) {
  QRect ink;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x)
      if (qAlpha(image.pixel(x, y)) > 128) ink |= QRect(x, y, 1, 1);
  return ink;
}

TEST(LabelPicture, LongTextShrinksToTheFrameWidthCentred) {
  const QRect shortInk = inkOf(renderLabelImage(measurementLabel(QStringLiteral("8 m")), 1.0));
  const QImage longer = renderLabelImage(measurementLabel(QStringLiteral("1,234.5 km")), 1.0);
  const QRect longInk = inkOf(longer);
  EXPECT_EQ(longer.size(), QSize(44, 44));
  EXPECT_GT(longInk.width(), 30) << "uses the width";
  EXPECT_LT(longInk.height(), shortInk.height()) << "in a smaller font";
  EXPECT_NEAR((longInk.left() + longInk.right()) / 2.0, 22, 2.0) << "centred";
  EXPECT_TRUE(inkOf(renderLabelImage(measurementLabel({}), 1.0)).isEmpty()) << "an empty title draws nothing";
}

// How far from `point` the map draws `c`.
double offBy(QuickMapView* map, Coordinate c, QPointF p) {
  return QLineF(map->convertCoordinateToPoint(c), p).length();
}

// A mouse drag in `steps` equal moves, `msPerStep` apart (slow ones do not flick).
void drag(QWindow& window, QPoint from, QPoint to, int steps, int msPerStep) {
  QTest::mousePress(&window, Qt::LeftButton, {}, from);
  for (int i = 1; i <= steps; ++i) QTest::mouseMove(&window, from + (to - from) * i / steps, msPerStep);
  QTest::mouseRelease(&window, Qt::LeftButton, {}, to, msPerStep);
}

void wheel(QWindow& window, QPointF at, int angle) {
  QWheelEvent event(at, at, {}, QPoint(0, angle), Qt::NoButton, {}, Qt::NoScrollPhase, false);
  QCoreApplication::sendEvent(&window, &event);
}

TEST(MapGestures, ATapReportsTheCoordinateUnderTheFingerADragPansAndPinchAndWheelZoomAboutThePointer) {
  MapWindow w;
  w.map->setCamera(mercator::toWorld({47.37, 8.54}), 17.3);
  std::vector<QPointF> taps;
  w.map->addGestureRecognizer(std::make_shared<TapGestureRecognizer>(
      [&](const TapGestureRecognizer& r) { taps.push_back(r.locationInView()); }));
  QTest::mouseClick(&w.window, Qt::LeftButton, {}, QPoint(60, 70));
  EXPECT_EQ(taps, (std::vector<QPointF>{{60, 70}}));
  EXPECT_LT(offBy(w.map, w.map->convertPointToCoordinate({60, 70}), {60, 70}), 1e-6);

  QPointingDevice* finger = QTest::createTouchDevice();
  QTest::touchEvent(&w.window, finger).press(0, QPoint(200, 30));
  QTest::touchEvent(&w.window, finger).move(0, QPoint(203, 32));  // within the slop
  QTest::touchEvent(&w.window, finger).release(0, QPoint(203, 32));
  EXPECT_EQ(taps, (std::vector<QPointF>{{60, 70}, {203, 32}}));

  // A drag pans and is never a tap.
  taps.clear();
  const Coordinate grabbed = w.map->convertPointToCoordinate({100, 100});
  drag(w.window, {100, 100}, {160, 100}, 10, 200);
  EXPECT_TRUE(taps.empty());
  EXPECT_LT(offBy(w.map, grabbed, {160, 100}), 1e-6);  // the ground followed the finger
  EXPECT_FALSE(w.map->isAnimating());

  // A quick drag flicks on after the release; a small back-and-forth is still no tap.
  drag(w.window, {100, 100}, {100, 175}, 5, 10);
  EXPECT_TRUE(w.map->isAnimating());
  EXPECT_TRUE(taps.empty());

  // Pinch and wheel zoom about the fingers and the cursor.
  w.map->setCamera(mercator::toWorld({35.68, 139.76}), 14);
  const Coordinate between = w.map->convertPointToCoordinate({120, 150});
  QTest::touchEvent(&w.window, finger).press(0, QPoint(100, 150)).press(1, QPoint(140, 150));
  QTest::touchEvent(&w.window, finger).move(0, QPoint(80, 150)).move(1, QPoint(160, 150));
  QTest::touchEvent(&w.window, finger).release(0, QPoint(80, 150)).release(1, QPoint(160, 150));
  EXPECT_NEAR(w.map->camera().zoom, 15.0, 1e-9) << "fingers twice as far apart: one level closer";
  EXPECT_LT(offBy(w.map, between, {120, 150}), 1e-6);
  EXPECT_TRUE(taps.empty()) << "a pinch is never a tap";

  const Coordinate underCursor = w.map->convertPointToCoordinate({30, 200});
  wheel(w.window, {30, 200}, 240);
  EXPECT_NEAR(w.map->camera().zoom, 16.0, 1e-9);
  EXPECT_LT(offBy(w.map, underCursor, {30, 200}), 1e-6);
}

TEST(MapCameraControl, RegionAnimatesAndTheMinimumDistanceHolds) {
  MapWindow w({390, 844});
  w.map->setCameraZoomRange(10.0, false);
  const Coordinate target{52.52, 13.405};
  w.map->setRegion(target, 200, 200, true);
  EXPECT_TRUE(w.map->isAnimating());
  ASSERT_TRUE(QTest::qWaitFor([&] { return !w.map->isAnimating(); }, 2000));
  EXPECT_LT(dist(w.map->centerCoordinate(), target), 1e-9);
  EXPECT_NEAR(w.map->camera().zoom, w.map->camera().zoomForRegion(target, 200, 200), 1e-9);

  w.map->setRegion(target, 0.5, 0.5, false);
  EXPECT_LE(w.map->camera().zoom, w.map->maximumZoom() + 1e-9);
  EXPECT_GE(w.map->camera().visibleHeightMetres(), 2 * 10.0 * std::tan(15 * M_PI / 180) - 1e-6);
  wheel(w.window, {100, 100}, 120 * 40);
  EXPECT_LE(w.map->camera().zoom, w.map->maximumZoom() + 1e-9);
}

TEST(MapOwnPosition, SourcesFromTheOptionTextAndFollowRecentresUntilTheUserPans) {
  QString error;
  for (const char* bad : {"91,0", "/no/such/file.nmea"})
    EXPECT_TRUE(!makePositionSource(bad, nullptr, error) && !std::exchange(error, {}).isEmpty()) << bad;
  QTemporaryDir dir;
  QFile log(dir.filePath(QStringLiteral("walk.nmea")));
  ASSERT_TRUE(log.open(QIODevice::WriteOnly));
  log.write(
      "$GPRMC,120000.00,A,4807.038,N,01131.000,E,0.0,0.0,010124,,,A*59\r\n"
      "$GPRMC,120001.00,A,4807.038,N,01131.000,E,0.0,0.0,010124,,,A*58\r\n");
  log.close();
  std::unique_ptr<QGeoPositionInfoSource> nmea(makePositionSource(log.fileName(), nullptr, error));
  ASSERT_NE(nmea, nullptr) << error.toStdString();
  QSignalSpy updates(nmea.get(), &QGeoPositionInfoSource::positionUpdated);
  nmea->startUpdates();
  ASSERT_TRUE(QTest::qWaitFor([&] { return !updates.isEmpty(); }));
  const QGeoCoordinate at = updates.first().first().value<QGeoPositionInfo>().coordinate();
  EXPECT_LT(dist({at.latitude(), at.longitude()}, {48 + 7.038 / 60, 11 + 31.0 / 60}), 1e-6);

  MapWindow w;
  w.map->setPositionSource(makePositionSource(QStringLiteral("-33.8568, 151.2153"), nullptr, error));
  w.map->setShowsUserLocation(true);
  w.map->setUserTrackingMode(UserTrackingMode::Follow);
  ASSERT_TRUE(QTest::qWaitFor([&] { return w.map->userLocation().hasFix(); }));
  EXPECT_LT(dist(w.map->centerCoordinate(), {-33.8568, 151.2153}), 1e-9);
  drag(w.window, {100, 100}, {150, 150}, 1, 100);
  EXPECT_EQ(w.map->userTrackingMode(), UserTrackingMode::None);
}

}  // namespace
}  // namespace kavrano

// On the offscreen platform, with the tile cache in a throw-away directory:
// tests never touch the user's cache or a display.
int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QTemporaryDir cache;
  qputenv("XDG_CACHE_HOME", cache.path().toUtf8());
  QGuiApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
