// The map: Web Mercator and the camera, the tiles a view needs and their
// addresses, and the real map view shown offscreen: pixel probes of what it
// draws, the label pictures, gestures, the camera's limits, following the own
// position and the map's accessibility.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <QAccessible>
#include <QBuffer>
#include <QDirIterator>
#include <QFile>
#include <QGeoPositionInfoSource>
#include <QGuiApplication>
#include <QImageWriter>
#include <QLoggingCategory>
#include <QNetworkAccessManager>
#include <QPainter>
#include <QPointer>
#include <QQuickWindow>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QThreadPool>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <thread>

#include "hostile_tile_run.h"
#include "kavrano/map/point_annotation.h"
#include "kavrano/qt_map/annotation_images.h"
#include "kavrano/qt_map/label_picture_cache.h"
#include "kavrano/qt_map/map_camera.h"
#include "kavrano/qt_map/map_sources.h"
#include "kavrano/qt_map/mbtiles_reader.h"
#include "kavrano/qt_map/mbtiles_tile_source.h"
#include "kavrano/qt_map/network_reachability.h"
#include "kavrano/qt_map/network_tile_source.h"
#include "kavrano/qt_map/network_warning_filter.h"
#include "kavrano/qt_map/quick_map_view.h"
#include "kavrano/qt_map/tile_disk_cache.h"
#include "kavrano/qt_map/tile_layer.h"
#include "kavrano/qt_map/tile_url_template.h"
#include "kavrano/qt_map/web_mercator.h"
#include "local_http_server.h"
#include "process_probe.h"

#if defined(__SANITIZE_ADDRESS__)
// AddressSanitizer holds freed memory back (256 MB by default) to catch late uses;
// the memory bounds measured here would count that instead of what the map keeps.
extern "C" const char* __asan_default_options() { return "quarantine_size_mb=8"; }
#endif

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
  QString credit = QStringLiteral("Test imagery");
  int zoomLimit = 19;

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
  [[nodiscard]] QString attribution() const override { return credit; }
  [[nodiscard]] int maxZoom() const override { return zoomLimit; }
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
  EXPECT_EQ(camera.zoom, camera.minimumZoom()) << "the world stays as tall as the view";
  camera.centre = {std::nan(""), 0.2};
  camera.zoom = std::nan("");
  camera.normalise();
  EXPECT_EQ(camera.centre, QPointF(0.5, 0.5));
  EXPECT_EQ(camera.zoom, camera.minimumZoom());
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

  // At rest only the view is kept, so only the view is waited for; a move wants the ring again.
  layer.keepOnlyVisible();
  (void)layer.update(camera);
  EXPECT_EQ(layer.wanted().size(), 4u) << "a resting map waits for a ring it does not ask for";
  camera.centre.rx() += 1.0 / 1024.0;
  (void)layer.update(camera);
  EXPECT_EQ(layer.wanted().size(), 16u);

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

// A file of a few KB whose view makes blobs of any size: the cap must hold
// before SQLite builds the value, not after.
TEST(Mbtiles, BlobsOverTheCapAreRefusedBeforeTheyAreMade) {
  QTemporaryDir dir;
  const QString path = dir.filePath(QStringLiteral("bomb.mbtiles"));
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(path.toUtf8().constData(), &db), SQLITE_OK);
  EXPECT_EQ(sqlite3_exec(db,
                         "CREATE TABLE metadata (name text, value text);"
                         "CREATE VIEW tiles AS SELECT 0 AS zoom_level, 0 AS tile_column, 0 AS tile_row,"
                         " zeroblob(300000000) AS tile_data"
                         " UNION ALL SELECT 1, 0, 0, zeroblob(4194305) UNION ALL SELECT 1, 1, 0, zeroblob(4194304);",
                         nullptr, nullptr, nullptr),
            SQLITE_OK);
  sqlite3_close(db);
  MbtilesReader reader;
  ASSERT_TRUE(reader.open(path)) << reader.errorText().toStdString();
  const qint64 before = residentBytes();
  EXPECT_FALSE(reader.tile({0, 0, 0}).has_value());
  EXPECT_FALSE(reader.tile({1, 0, 1}).has_value()) << "one byte over";
  EXPECT_EQ(reader.tile({1, 1, 1}).value_or("none").size(), MbtilesReader::kMaxTileBytes) << "the cap itself";
  EXPECT_LE(residentBytes() - before, 50LL << 20);
}

using Response = LocalHttpServer::Response;

const NetworkTileSource::Options kQuick{
    .timeoutMs = 300, .firstRetryDelayMs = 20, .attribution = {}, .deadlineMs = 3000};

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

// Hosts are counted as asked: a redirect to another host once left the count
// of the first raised for good, and tiles stopped after six.
TEST(NetworkTileSource, RedirectsToTheSameOrAnotherHostLoadEveryTileAndOnlyAFewAreFollowed) {
  LocalHttpServer other(
      [](const LocalHttpServer::Request&) {
        return Response{200, {}, pngOf(Qt::green, 8)};
      },
      nullptr, QHostAddress(QStringLiteral("127.0.0.2")));
  ASSERT_TRUE(other.listening());
  Fixture f([&](const LocalHttpServer::Request& r) {
    const QByteArray tile = r.path.mid(r.path.indexOf('/', 1));
    if (r.path.startsWith("/here/")) return Response{200, {}, pngOf(Qt::green, 8)};
    if (r.path.startsWith("/3/")) return Response{302, {{"Location", other.baseUrl() + r.path}}, {}};
    if (r.path.startsWith("/4/")) return Response{301, {{"Location", "/here" + tile}}, {}};
    if (r.path.startsWith("/5/")) return Response{302, {{"Location", "file:///etc/hostname"}}, {}};
    return LocalHttpServer::hostile(LocalHttpServer::Hostile::RedirectChain, r);
  });
  for (int x = 0; x < 8; ++x)
    for (int z : {3, 4}) f.source.request({z, x, 1});
  f.source.request({5, 0, 0});
  f.source.request({6, 0, 0});
  ASSERT_TRUE(f.settled(18));
  EXPECT_EQ(f.ready.size(), 16) << "across hosts and on the same one";
  EXPECT_EQ(other.requests.size(), 8);
  EXPECT_EQ(f.source.runningRequests(), 0);
  const auto hops = std::count_if(f.server.requests.begin(), f.server.requests.end(),
                                  [](const LocalHttpServer::Request& r) { return r.path.startsWith("/6/"); });
  EXPECT_EQ(hops, 1 + NetworkTileSource::kMaxRedirects) << "a chain is given up, not retried";
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

// The manager looks its cache up on the UI thread and waits for the answer: a
// cached file on a slow disk held the whole window. A FIFO's read waits for a writer.
TEST(NetworkTileSource, ACachedTileWhoseReadHangsNeverHoldsUpTheUiThread) {
  Fixture f([](const LocalHttpServer::Request&) {
    return Response{200, {{"Cache-Control", "max-age=3600"}}, pngOf(Qt::red)};
  });
  f.source.request({0, 0, 0});
  ASSERT_TRUE(f.settled(1));
  QDirIterator files(f.cacheDir.path(), {QStringLiteral("*.tile")}, QDir::Files, QDirIterator::Subdirectories);
  ASSERT_TRUE(files.hasNext());
  const QByteArray cached = QFile::encodeName(files.next());
  ASSERT_TRUE(QFile::remove(cached));
  ASSERT_EQ(mkfifo(cached.constData(), 0600), 0);
  std::atomic<bool> release = false;
  std::thread writer([&] {
    // The reader gets its end once the window has shown it kept serving, or
    // after 3 s; what it reads then is no tile.
    for (int i = 0; i < 300 && !release; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    for (int i = 0; i < 500; ++i, std::this_thread::sleep_for(std::chrono::milliseconds(10))) {
      const int fd = ::open(cached.constData(), O_WRONLY | O_NONBLOCK);  // fails until a reader waits
      if (fd < 0) continue;
      (void)!::write(fd, "junk", 4);
      ::close(fd);
      return;
    }
  });
  const Heartbeat heart;
  f.source.request({0, 0, 0});
  EXPECT_TRUE(QTest::qWaitFor([&] { return heart.beats() >= 20; }, 2000)) << heart.beats() << " beats";
  release = true;
  writer.join();
  ASSERT_TRUE(f.settled(2));
  EXPECT_EQ(f.ready.size(), 2) << "an entry that cannot be read is fetched again";
  EXPECT_EQ(f.server.requests.size(), 2);
}

// Only the formats tiles come in are decoded: other readers guess from content,
// and the SVG one inflates any gzip body to look inside.
TEST(TileImages, OnlyPngJpegAndWebpOfAtMost1024PixelsAreDecoded) {
  auto encoded = [](const char* format, QSize size = {256, 256}) {
    QImage image(size, QImage::Format_RGB32);
    image.fill(Qt::darkGreen);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format);
    return bytes;
  };
  for (const char* format : {"PNG", "JPEG", "WEBP"}) {
    if (!QImageWriter::supportedImageFormats().contains(QByteArray(format).toLower())) continue;
    EXPECT_EQ(decodeTileImage(encoded(format)).size(), QSize(256, 256)) << format;
  }
  EXPECT_TRUE(decodeTileImage(encoded("PNG", {1025, 16})).isNull()) << "too wide";
  EXPECT_TRUE(decodeTileImage(encoded("BMP")).isNull());
  EXPECT_TRUE(decodeTileImage("<svg xmlns='http://www.w3.org/2000/svg' width='256' height='256'/>").isNull());
  EXPECT_TRUE(decodeTileImage(LocalHttpServer::hostile(LocalHttpServer::Hostile::PixelBomb, {}).body).isNull());
}

// Whatever a server does, a tile ends as missing: memory stays within a bound
// and the window keeps serving events.
TEST(HostileTileServer, MemoryStaysBoundedWhileTheWindowKeepsServingEvents) {
  for (const auto mode : LocalHttpServer::kEveryHostile) {
    SCOPED_TRACE(LocalHttpServer::name(mode));
    (void)LocalHttpServer::hostile(mode, {});  // the bombs are made once, before the clock runs
    const TileRun run =
        runMapAgainst([mode](const LocalHttpServer::Request& r) { return LocalHttpServer::hostile(mode, r); });
    EXPECT_TRUE(run.ended);
    EXPECT_EQ(run.ready, 0);
    EXPECT_EQ(run.unavailable, 16);
    EXPECT_LE(run.growthBytes, 50LL << 20);
    // A free UI thread beats every 10 ms, a held-up one hardly ever; the margin
    // is for a busy machine.
    EXPECT_GE(run.beats, run.elapsedMs / 200) << "in " << run.elapsedMs << " ms";
  }
}

QStringList logged;
void record(QtMsgType, const QMessageLogContext&, const QString& message) { logged << message; }
Q_LOGGING_CATEGORY(tilesCategory, "kavrano.tiles")

TEST(NetworkWarningFilter, DropsOnlyQtsDuplicateErrorWarning) {
  logged.clear();
  const QtMessageHandler before = qInstallMessageHandler(record);
  installNetworkWarningFilter();
  installNetworkWarningFilter();
  const QString duplicate =
      QStringLiteral("QNetworkReplyImplPrivate::error: Internal problem, this method must only be called once.");
  qWarning().noquote() << duplicate;
  qWarning().noquote() << duplicate + QStringLiteral(" And more");
  qCWarning(tilesCategory).noquote() << duplicate;
  qWarning("Connection refused");
  qInstallMessageHandler(before);
  EXPECT_EQ(logged.join(" | ").toStdString(),
            QStringList({duplicate + " And more", duplicate, "Connection refused"}).join(" | ").toStdString());
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

// Qt cancels the insertion of an aborted or failed transfer by removing its
// URL; a body over the entry cap is dropped as it streams in.
TEST(TileDiskCache, CancelledAndOversizedInsertionsKeepNoBuffer) {
  QTemporaryDir dir;
  TileDiskCache cache(dir.path(), 1 << 30);
  QNetworkCacheMetaData meta;
  meta.setUrl(QUrl(QStringLiteral("http://t/cancelled")));
  meta.setSaveToDisk(true);
  QPointer<QIODevice> cancelled = cache.prepare(meta);
  ASSERT_TRUE(cancelled);
  cancelled->write(QByteArray(1 << 20, 'x'));
  EXPECT_TRUE(cache.remove(meta.url()));
  EXPECT_FALSE(cancelled) << "the buffer of a cancelled insertion is freed";

  meta.setUrl(QUrl(QStringLiteral("http://t/endless")));
  QIODevice* endless = cache.prepare(meta);
  const QByteArray chunk(1 << 20, 'x');
  for (int i = 0; i < 9; ++i) endless->write(chunk);
  cache.insert(endless);
  EXPECT_FALSE(cache.metaData(meta.url()).isValid()) << "9 MB is no tile";

  meta.setRawHeaders({{"Content-Length", "50000000"}});
  EXPECT_EQ(cache.prepare(meta), nullptr) << "an announced 50 MB body is not even started";
}

// A returning user's full cache is thousands of files: they are not walked
// while the app starts, but counted beside the UI thread from the first write,
// and a cap lowered since is met then.
TEST(TileDiskCache, AnEarlierRunsFilesAreCountedFromTheFirstWriteThenExpired) {
  QTemporaryDir dir;
  auto put = [](TileDiskCache& cache, int i) {
    QNetworkCacheMetaData meta;
    meta.setUrl(QUrl(QStringLiteral("http://t/%1").arg(i)));
    meta.setSaveToDisk(true);
    QIODevice* device = cache.prepare(meta);
    device->write(QByteArray(1000, 'x'));
    cache.insert(device);
  };
  qint64 total = 0;
  {
    TileDiskCache earlier(dir.path(), 1 << 30);
    for (int i = 0; i < 40; ++i) put(earlier, i);
    total = earlier.cacheSize();
  }
  TileDiskCache cache(dir.path(), 1 << 30);
  QThreadPool::globalInstance()->waitForDone();  // a walk started with the cache would be over
  QCoreApplication::processEvents();
  EXPECT_EQ(cache.cacheSize(), 0) << "not counted at start";
  put(cache, 40);
  const qint64 one = cache.cacheSize();  // the walk's answer waits for the event loop
  EXPECT_TRUE(QTest::qWaitFor([&] { return cache.cacheSize() == total + one; })) << cache.cacheSize();

  TileDiskCache smaller(dir.path(), total / 2);
  put(smaller, 41);
  EXPECT_TRUE(QTest::qWaitFor([&] { return smaller.cacheSize() > 0 && smaller.cacheSize() <= total / 2; }));
}

TEST(TileDiskCache, TheDirectoryAndItsFilesArePrivateWhateverTheUmask) {
  QTemporaryDir dir;
  const QString tiles = dir.filePath(QStringLiteral("kavrano/tiles"));
  QDir().mkpath(tiles);
  QFile::setPermissions(tiles, QFileDevice::Permissions(0x7755));  // left open by an older version
  const mode_t mask = umask(022);
  {
    TileDiskCache cache(tiles, 1 << 20);
    QNetworkCacheMetaData meta;
    meta.setUrl(QUrl(QStringLiteral("http://t/a")));
    meta.setSaveToDisk(true);
    QIODevice* device = cache.prepare(meta);
    device->write("tile");
    cache.insert(device);
  }
  umask(mask);
  const QFileDevice::Permissions others = QFileDevice::ReadGroup | QFileDevice::WriteGroup | QFileDevice::ExeGroup |
                                          QFileDevice::ReadOther | QFileDevice::WriteOther | QFileDevice::ExeOther;
  QDirIterator it(tiles, QDir::AllEntries | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
  int files = 0;
  for (QString path = tiles; !path.isEmpty(); path = it.hasNext() ? it.next() : QString()) {
    files += QFileInfo(path).isFile();
    EXPECT_FALSE(QFileInfo(path).permissions() & others) << path.toStdString();
  }
  EXPECT_EQ(files, 1);
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

// Offline, the imagery's holes show the built-in world, cut from its coarser
// tiles at the right place, and the credit names whichever is on screen.
TEST(MapRendering, TheBuiltInWorldFillsTheImagerysHolesOnlyAndIsCredited) {
  MapWindow w;
  w.tiles->tiles = {{{1, 0, 0}, solid(Qt::red)}};
  QImage quarters = solid(Qt::white);
  QPainter(&quarters).fillRect(128, 0, 128, 128, Qt::green);
  QPainter(&quarters).fillRect(0, 128, 128, 128, Qt::blue);
  auto* world = new MemoryTileSource;
  world->tiles = {{{0, 0, 0}, quarters}};
  world->zoomLimit = 0;
  world->credit = QStringLiteral("World");
  w.map->setWorldSource(std::unique_ptr<TileSource>(world));
  w.map->setCamera({0.5, 0.5}, 1.0);
  ASSERT_TRUE(QTest::qWaitFor([&] { return w.map->worldLayer().hasImage({0, 0, 0}); }));
  const QImage shot = w.window.grabWindow();
  EXPECT_TRUE(near(shot.pixelColor(20, 20), QColor(Qt::red))) << "the imagery's own tile";
  EXPECT_TRUE(near(shot.pixelColor(236, 20), QColor(Qt::green)));
  EXPECT_TRUE(near(shot.pixelColor(20, 236), QColor(Qt::blue)));
  EXPECT_TRUE(near(shot.pixelColor(200, 200), QColor(Qt::white)));
  EXPECT_EQ(w.map->credit(), QStringLiteral("Test imagery · World"));

  w.map->setCamera({0.75, 0.25}, 2.0);  // inside the hole at 1/1/0: the world alone
  (void)w.window.grabWindow();
  EXPECT_EQ(w.map->credit(), QStringLiteral("World"));

  w.map->setTileSource(MapType::Satellite, std::make_unique<MemoryTileSource>(solid(Qt::yellow)));
  w.map->setCamera({0.5, 0.5}, 1.0);
  ASSERT_TRUE(QTest::qWaitFor([&] { return w.map->tileLayer().hasImage({1, 1, 1}); }));
  EXPECT_TRUE(near(w.window.grabWindow().pixelColor(200, 200), QColor(Qt::yellow)));
  EXPECT_EQ(w.map->credit(), QStringLiteral("Test imagery"));
  auto* idle = new MemoryTileSource;
  w.map->setWorldSource(std::unique_ptr<TileSource>(idle));
  w.map->setCamera({0.3, 0.5}, 1.0);
  (void)w.window.grabWindow();
  EXPECT_TRUE(idle->requested.isEmpty()) << "no holes, nothing asked of the world";
}

// The map over a tile server that has gone away: each tile of the view asked once
// and not found, until the server is back.
struct OfflineMap {
  explicit OfflineMap(NetworkTileSource::Options options) {
    const QString url = QString::fromUtf8(server.baseUrl() + "/{z}/{x}/{y}");
    server.goAway();
    options.maxAttempts = 1;
    auto* source = new NetworkTileSource(TileUrlTemplate(url), options, network.get());
    unavailable = std::make_unique<QSignalSpy>(source, &TileSource::tileUnavailable);
    w = std::make_unique<MapWindow>();
    w->map->setTileSource(MapType::Satellite, std::unique_ptr<TileSource>(source));
    w->map->setCamera({0.5, 0.5}, 1.0);
  }
  bool showsTheServersTiles() {
    return QTest::qWaitFor([&] { return near(w->window.grabWindow().pixelColor(64, 64), QColor(Qt::darkGreen)); });
  }

  LocalHttpServer server{[](const LocalHttpServer::Request&) { return Response{200, {}, pngOf(Qt::darkGreen)}; }};
  QTemporaryDir cacheDir;
  std::unique_ptr<QNetworkAccessManager> network{makeTileNetwork(nullptr, cacheDir.path(), 1 << 20)};
  std::unique_ptr<QSignalSpy> unavailable;
  std::unique_ptr<MapWindow> w;  // owns the source: goes before the network it uses
};

// Offline at start, then the network back while the view stays where it is.
TEST(MapRendering, TilesMissingWhileOfflineAppearWhenTheServerIsBackWithoutAPan) {
  NetworkTileSource::Options options = kQuick;
  options.firstUnavailableRetryMs = 50;
  options.longestUnavailableRetryMs = 200;
  OfflineMap offline(options);
  ASSERT_TRUE(QTest::qWaitFor([&] { return offline.unavailable->size() >= 8; })) << "each of the four asked again";
  EXPECT_TRUE(near(offline.w->window.grabWindow().pixelColor(128, 128), QColor(0xd9, 0xd6, 0xcf)));
  ASSERT_TRUE(offline.server.listenAgain());
  EXPECT_TRUE(offline.showsTheServersTiles());
}

// The system tells that the network is back: what is missing in view is asked
// again at once, not after its pause (an hour here).
TEST(MapRendering, TilesMissingWhileOfflineAppearAsSoonAsTheSystemSaysTheNetworkIsBack) {
  NetworkTileSource::Options options = kQuick;
  options.firstUnavailableRetryMs = 3'600'000;
  QPointer<NetworkReachability> system;
  options.reachability = [&] {
    auto watch = std::make_unique<NetworkReachability>();
    system = watch.get();
    return watch;
  };
  OfflineMap offline(options);
  ASSERT_TRUE(QTest::qWaitFor([&] { return offline.unavailable->size() >= 4; }));
  ASSERT_TRUE(system) << "watched from the first transfer that found no network";
  ASSERT_TRUE(offline.server.listenAgain());
  emit system->online();
  EXPECT_TRUE(offline.showsTheServersTiles());
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
  void didUpdateUserLocation(MapView&) override { ++fixes; }
  int made = 0;
  int fixes = 0;
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

TEST(LabelPicture, TheCacheKeepsItsBytesDroppingTheLeastRecentlyDrawnButNeverOneOfThisFrame) {
  const qint64 one = renderLabelImage(measurementLabel(QStringLiteral("0 m")), 1.0).sizeInBytes();
  LabelPictureCache cache(4 * one);
  QList<qint64> dropped;
  cache.onDropped = [&](const QImage& image) { dropped << image.cacheKey(); };
  QHash<QString, qint64> key;  // what each text was last drawn as
  const auto draw = [&](std::initializer_list<const char*> texts) {
    cache.nextFrame();
    for (const char* text : texts) key[text] = cache.picture(measurementLabel(QString::fromUtf8(text)), 1.0).cacheKey();
  };
  draw({"1 m", "2 m", "3 m", "4 m"});
  const QHash<QString, qint64> first = key;
  draw({"1 m", "5 m"});  // 1 drawn again: 2 is now the least recent
  EXPECT_EQ(dropped, QList<qint64>{first["2 m"]});
  EXPECT_EQ(cache.bytes(), 4 * one);
  draw({"1 m", "3 m"});
  EXPECT_EQ(key["1 m"], first["1 m"]) << "kept, not drawn again";
  EXPECT_EQ(key["3 m"], first["3 m"]);

  // A frame with more labels than the budget keeps them all until it is over.
  draw({"a", "b", "c", "d", "e", "f"});
  EXPECT_EQ(cache.count(), 6);
  draw({"a", "g"});
  EXPECT_LE(cache.bytes(), 4 * one);
  EXPECT_EQ(key["a"], cache.picture(measurementLabel(QStringLiteral("a")), 1.0).cacheKey());
  cache.clear();
  EXPECT_EQ(cache.bytes(), 0);
  EXPECT_EQ(QSet<qint64>(dropped.begin(), dropped.end()).size(), 5 + 7)
      << "each picture made is reported dropped once, for its texture";
  EXPECT_EQ(dropped.size(), 5 + 7);
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

  // A quick drag flicks on after the release, the ground gliding on the way the
  // finger went; a small back-and-forth is still no tap.
  const Coordinate flung = w.map->convertPointToCoordinate({100, 100});
  drag(w.window, {100, 100}, {100, 175}, 5, 10);
  EXPECT_TRUE(w.map->isAnimating());
  EXPECT_TRUE(taps.empty());
  ASSERT_TRUE(QTest::qWaitFor([&] { return !w.map->isAnimating(); }, 3000));
  EXPECT_GT(w.map->convertCoordinateToPoint(flung).y(), 175 + 100);
  EXPECT_NEAR(w.map->convertCoordinateToPoint(flung).x(), 100, 1e-6);

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

TEST(MapCameraControl, TheWorldCoversTheViewSoEveryTapLandsWhereItsMarkerIsDrawn) {
  MapWindow w({390, 844});
  std::vector<QPointF> taps;
  w.map->addGestureRecognizer(std::make_shared<TapGestureRecognizer>(
      [&](const TapGestureRecognizer& r) { taps.push_back(r.locationInView()); }));
  const auto tapEverywhere = [&](const char* how) {
    for (QPoint p : {QPoint(5, 3), QPoint(195, 422), QPoint(385, 840)}) {
      taps.clear();
      QTest::mouseClick(&w.window, Qt::LeftButton, {}, p, 350);  // far enough apart for no double click
      ASSERT_EQ(taps.size(), 1u) << how;
      const Coordinate c = w.map->convertPointToCoordinate(taps.front());
      EXPECT_LT(offBy(w.map, c, p), 1e-6) << how << ": the marker of a tap at " << p.y() << " is drawn at "
                                          << w.map->convertCoordinateToPoint(c).y() << ", " << c.latitude << "°";
    }
  };
  for (Coordinate centre : {Coordinate{89.9, 10}, Coordinate{-85.05, -170}, Coordinate{20, 0}})
    for (double zoom : {0.0, 1.0, 2.5}) {
      w.map->setCamera(mercator::toWorld(centre), zoom);
      tapEverywhere("set");
    }
  wheel(w.window, {195, 5}, -120 * 40);
  EXPECT_NEAR(w.map->camera().zoom, std::log2(844.0 / 256.0), 1e-9) << "the world exactly as tall as the view";
  tapEverywhere("zoomed out");
  drag(w.window, {195, 100}, {195, 700}, 10, 200);  // pulling the north pole down into the view
  tapEverywhere("dragged");

  // Shown places and the own position are centred all the same, a little closer.
  const Coordinate north{78.22, 15.65};
  w.map->setRegion(north, 1e7, 1e7, false);
  EXPECT_LT(dist(w.map->centerCoordinate(), north), 1e-9);
  tapEverywhere("region");
  w.map->setCamera({0.5, 0.5}, 0);
  w.map->setPositionSource(makePositionSource(QStringLiteral("78.22,15.65"), nullptr).value());
  w.map->setShowsUserLocation(true);
  w.map->setUserTrackingMode(UserTrackingMode::Follow);
  ASSERT_TRUE(QTest::qWaitFor([&] { return w.map->userLocation().hasFix(); }));
  EXPECT_LT(dist(w.map->centerCoordinate(), north), 1e-9);
  tapEverywhere("following");
}

TEST(MapCameraControl, FlyingToAPlaceAsksOnlyForTheTilesThere) {
  MapWindow w({390, 844});
  w.tiles->everywhere = solid(Qt::darkGreen);
  const Coordinate target{52.52, 13.405};
  w.map->setCamera(mercator::toWorld(target), 5.0);
  ASSERT_TRUE(QTest::qWaitFor([&] { return w.map->tileLayer().hasImage({5, 17, 10}); }));
  w.tiles->requested.clear();
  w.tiles->everywhere = solid(Qt::blue);
  w.map->setRegion(target, 200, 200, true);
  // On the way in, the place's tiles show in the middle of the view once they are in.
  ASSERT_TRUE(QTest::qWaitFor([&] { return w.map->camera().zoom > 6 || !w.map->isAnimating(); }, 2000));
  w.window.grabWindow();  // a frame on the way asks for them
  ASSERT_TRUE(QTest::qWaitFor([&] { return w.map->camera().zoom > 15 || !w.map->isAnimating(); }, 2000));
  ASSERT_TRUE(w.map->isAnimating());
  EXPECT_TRUE(near(w.window.grabWindow().pixelColor(195, 422), QColor(Qt::blue)));
  ASSERT_TRUE(QTest::qWaitFor([&] { return !w.map->isAnimating(); }, 2000));
  w.window.grabWindow();
  const int z = w.map->tileLayer().tileZoom(w.map->camera());
  ASSERT_EQ(z, 18);
  const auto& requested = w.tiles->requested;
  EXPECT_EQ(std::count_if(requested.begin(), requested.end(), [&](const TileId& t) { return t.z != z; }), 0)
      << "of " << requested.size() << " asked for, these were for zooms on the way";
  EXPECT_EQ(requested.size(), w.map->tileLayer().wanted().size()) << "the destination's view and its ring, each once";
  EXPECT_TRUE(QSet<TileId>(requested.begin(), requested.end()) == w.map->tileLayer().wanted());
  ASSERT_TRUE(QTest::qWaitFor([&] {
    const auto& wanted = w.map->tileLayer().wanted();
    return std::all_of(wanted.begin(), wanted.end(), [&](const TileId& t) { return w.map->tileLayer().hasImage(t); });
  }));
}

// Offline, every frame of a fly-in has holes; the world's tiles of the zooms
// passed on the way would be decoded for a frame each.
TEST(MapCameraControl, FlyingOverHolesAsksTheWorldOnlyForItsTilesThere) {
  MapWindow w({390, 844});  // imagery that has nothing
  auto* world = new MemoryTileSource(solid(Qt::white));
  world->zoomLimit = 4;
  w.map->setWorldSource(std::unique_ptr<TileSource>(world));
  const Coordinate target{52.52, 13.405};
  w.map->setCamera(mercator::toWorld(target), 2.0);
  ASSERT_TRUE(QTest::qWaitFor([&] { return w.map->worldLayer().hasImage({2, 2, 1}); }));
  world->requested.clear();
  w.map->setRegion(target, 200, 200, true);
  ASSERT_TRUE(QTest::qWaitFor(
      [&] {
        w.window.grabWindow();  // every frame on the way
        return !w.map->isAnimating();
      },
      2000));
  ASSERT_FALSE(world->requested.isEmpty());
  EXPECT_TRUE(std::all_of(world->requested.begin(), world->requested.end(), [](const TileId& t) { return t.z == 4; }));
}

TEST(MapOwnPosition, SourcesFromTheOptionTextAndFollowRecentresUntilTheUserPans) {
  for (const char* bad : {"91,0", "/no/such/file.nmea"}) {
    const auto refused = makePositionSource(bad, nullptr);
    EXPECT_TRUE(!refused && !refused.failure().reason.empty()) << bad;
  }
  QTemporaryDir dir;
  QFile log(dir.filePath(QStringLiteral("walk.nmea")));
  ASSERT_TRUE(log.open(QIODevice::WriteOnly));
  log.write(
      "$GPRMC,120000.00,A,4807.038,N,01131.000,E,0.0,0.0,010124,,,A*59\r\n"
      "$GPRMC,120001.00,A,4807.038,N,01131.000,E,0.0,0.0,010124,,,A*58\r\n");
  log.close();
  const auto replay = makePositionSource(log.fileName(), nullptr);
  ASSERT_TRUE(replay) << replay.failure().reason;
  std::unique_ptr<QGeoPositionInfoSource> nmea(replay.value());
  ASSERT_NE(nmea, nullptr);
  QSignalSpy updates(nmea.get(), &QGeoPositionInfoSource::positionUpdated);
  nmea->startUpdates();
  ASSERT_TRUE(QTest::qWaitFor([&] { return !updates.isEmpty(); }));
  const QGeoCoordinate at = updates.first().first().value<QGeoPositionInfo>().coordinate();
  EXPECT_LT(dist({at.latitude(), at.longitude()}, {48 + 7.038 / 60, 11 + 31.0 / 60}), 1e-6);

  Delegate delegate;
  MapWindow w;
  EXPECT_FALSE(w.map->lastKnownUserLocation()) << "no source";
  w.map->setPositionSource(makePositionSource(QStringLiteral("-33.8568, 151.2153"), nullptr).value());
  EXPECT_LT(dist(w.map->lastKnownUserLocation().value_or(Coordinate{}), {-33.8568, 151.2153}), 1e-9);
  EXPECT_FALSE(w.map->userLocationFix());
  w.map->setDelegate(&delegate);
  w.map->setShowsUserLocation(true);
  w.map->setUserTrackingMode(UserTrackingMode::Follow);
  ASSERT_TRUE(QTest::qWaitFor([&] { return w.map->userLocation().hasFix(); }));
  EXPECT_EQ(delegate.fixes, 1) << "each fix is reported";
  EXPECT_LT(dist(w.map->userLocationFix().value_or(Coordinate{}), {-33.8568, 151.2153}), 1e-9);
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
