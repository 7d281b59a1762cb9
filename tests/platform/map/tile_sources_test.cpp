// Where tiles come from: MBTiles files, the network through the disk cache.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <QBuffer>
#include <QImage>
#include <QNetworkAccessManager>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>

#include "kavrano/qt_map/map_sources.h"
#include "kavrano/qt_map/mbtiles_reader.h"
#include "kavrano/qt_map/mbtiles_tile_source.h"
#include "kavrano/qt_map/network_tile_source.h"
#include "kavrano/qt_map/tile_disk_cache.h"
#include "local_http_server.h"

namespace kavrano {
namespace {

QByteArray pngOf(const QColor& color, int size = 256) {
  QImage image(size, size, QImage::Format_RGB32);
  image.fill(color);
  QBuffer buffer;
  buffer.open(QIODevice::WriteOnly);
  image.save(&buffer, "PNG");
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

  MbtilesReader missing;
  EXPECT_FALSE(missing.open(dir.filePath(QStringLiteral("nothing.mbtiles"))));
  QFile text(dir.filePath(QStringLiteral("text.mbtiles")));
  ASSERT_TRUE(text.open(QIODevice::WriteOnly) && text.write("not a database at all, just some words to fill a page") &&
              text.flush());
  MbtilesReader notSqlite;
  EXPECT_FALSE(notSqlite.open(text.fileName()));
  EXPECT_FALSE(notSqlite.errorText().isEmpty());
  EXPECT_FALSE(notSqlite.tile({0, 0, 0}).has_value());
}

using Response = LocalHttpServer::Response;

const NetworkTileSource::Options kQuick{.timeoutMs = 300, .firstRetryDelayMs = 20, .attribution = {}};

// A tile source on a local server (or `base`), through the app's network and disk cache.
struct Fixture {
  explicit Fixture(LocalHttpServer::Handler handler, const QByteArray& base = {})
      : server(std::move(handler)), base(base.isEmpty() ? server.baseUrl() : base) {}
  bool settled(int count) {
    return QTest::qWaitFor([&] { return ready.size() + unavailable.size() >= count; });
  }

  QTemporaryDir cacheDir;
  LocalHttpServer server;
  QByteArray base;
  std::unique_ptr<QNetworkAccessManager> network{makeTileNetwork(nullptr, cacheDir.path(), 1 << 20)};
  NetworkTileSource source{TileUrlTemplate(QString::fromUtf8(base + "/{z}/{x}/{y}")), kQuick, network.get()};
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
  QList<TileId> good, bad;
  for (const auto& s : f.ready) good << s[0].value<TileId>();
  for (const auto& s : f.unavailable) bad << s[0].value<TileId>();
  EXPECT_EQ(good, (QList<TileId>{{1, 0, 0}, {1, 1, 1}})) << "a 500 is retried until it succeeds";
  EXPECT_EQ(bad.size(), 4);
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
  EXPECT_LE(f.server.maxWaiting, 6);
  EXPECT_GE(f.server.maxWaiting, 2) << "requests do run side by side";
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
  for (int i : {2, 3}) {  // the cached and the revalidated tile may come in either order
    const bool revalidated = f.ready[i][0].value<TileId>() == TileId{1, 0, 0};
    EXPECT_EQ(f.ready[i][1].value<QImage>().pixelColor(1, 1), QColor(revalidated ? Qt::cyan : Qt::red))
        << "a 304 serves the cached body";
  }
}

TEST(NetworkTileSource, OfflineEveryTileEndsUnavailableAfterItsRetries) {
  QTcpServer closed;  // a port nobody listens on once closed
  closed.listen(QHostAddress::LocalHost, 0);
  Fixture f({}, "http://127.0.0.1:" + QByteArray::number(closed.serverPort()));
  closed.close();
  for (int x = 0; x < 8; ++x) f.source.request({3, x, 0});
  ASSERT_TRUE(f.settled(8));
  EXPECT_EQ(f.unavailable.size(), 8);
  EXPECT_EQ(f.source.runningRequests(), 0);
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
  };
  for (const char* url : {"http://t/a", "http://t/b", "http://t/c"}) {
    put(url);
    QThread::msleep(20);  // file times must differ for the order to be seen
  }
  delete cache.data(QUrl(QStringLiteral("http://t/a")));  // a read makes it recent
  QThread::msleep(20);
  put("http://t/d");
  ASSERT_TRUE(QTest::qWaitFor([&] { return cache.cacheSize() <= 4000; }));
  for (const char* url : {"http://t/a", "http://t/b", "http://t/c", "http://t/d"})
    EXPECT_EQ(cache.metaData(QUrl(QString::fromLatin1(url))).isValid(), url[9] != 'b') << url;
  EXPECT_EQ(TileDiskCache::defaultDirectory(), qEnvironmentVariable("XDG_CACHE_HOME") + "/kavrano/tiles");
}

}  // namespace
}  // namespace kavrano
