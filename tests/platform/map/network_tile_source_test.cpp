#include <gtest/gtest.h>

#include <QNetworkAccessManager>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTemporaryDir>
#include <algorithm>

#include "kavrano/qt_map/map_sources.h"
#include "kavrano/qt_map/network_tile_source.h"
#include "kavrano/qt_map/tile_disk_cache.h"
#include "local_http_server.h"
#include "map_test_support.h"

namespace kavrano {
namespace {

using Response = LocalHttpServer::Response;

struct Fixture {
  explicit Fixture(LocalHttpServer::Handler handler, NetworkTileSource::Options options = fastOptions())
      : server(std::move(handler)),
        network(makeTileNetwork(nullptr, cacheDir.path(), 1 << 20)),
        source(TileUrlTemplate(QString::fromUtf8(server.baseUrl() + "/{z}/{x}/{y}")), std::move(options),
               network.get()),
        ready(&source, &TileSource::tileReady),
        unavailable(&source, &TileSource::tileUnavailable) {}

  static NetworkTileSource::Options fastOptions() {
    NetworkTileSource::Options o;
    o.timeoutMs = 300;
    o.firstRetryDelayMs = 20;
    return o;
  }
  bool settled(int count) {
    return test::waitUntil([&] { return ready.size() + unavailable.size() >= count; });
  }

  QTemporaryDir cacheDir;
  LocalHttpServer server;
  std::unique_ptr<QNetworkAccessManager> network;
  NetworkTileSource source;
  QSignalSpy ready;
  QSignalSpy unavailable;
};

TEST(NetworkTileSource, AnswersOfEveryKindEndInOneSignal) {
  int flaky = 0;
  Fixture f([&](const LocalHttpServer::Request& r) {
    if (r.path == "/1/0/0") return Response{200, {}, test::pngOf(Qt::green)};
    if (r.path == "/1/1/0") return Response{404, {}, "no such tile"};
    if (r.path == "/1/0/1") return Response{200, {}, "\x89PNG but not really"};
    if (r.path == "/1/1/1") return ++flaky < 3 ? Response{500, {}, "busy"} : Response{200, {}, test::pngOf(Qt::blue)};
    if (r.path == "/2/0/0") return Response{503, {}, "down"};
    Response stalled;
    stalled.stall = true;
    return stalled;
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
  Fixture f([](const LocalHttpServer::Request&) { return Response{200, {}, test::pngOf(Qt::gray, 8), 50}; });
  for (int x = 0; x < 16; ++x) f.source.request({4, x, 3});
  EXPECT_LE(f.source.runningRequests(), 6);
  for (int x = 10; x < 16; ++x) f.source.cancel({4, x, 3});
  ASSERT_TRUE(f.settled(10));
  test::waitUntil([] { return false; }, 150);
  EXPECT_EQ(f.ready.size(), 10);
  EXPECT_EQ(f.unavailable.size(), 0);
  EXPECT_LE(f.server.maxWaiting, 6);
  EXPECT_GE(f.server.maxWaiting, 2) << "requests do run side by side";
  for (const auto& r : f.server.requests) EXPECT_LT(r.path.split('/').value(2).toInt(), 10) << r.path.constData();
}

TEST(NetworkTileSource, FreshTilesComeFromTheDiskCacheAndStaleOnesAreRevalidated) {
  Fixture f([](const LocalHttpServer::Request& r) {
    if (r.path == "/0/0/0") return Response{200, {{"Cache-Control", "max-age=3600"}}, test::pngOf(Qt::red)};
    if (r.headers.contains("if-none-match")) return Response{304, {{"ETag", "\"v1\""}}, {}};
    return Response{200, {{"Cache-Control", "no-cache"}, {"ETag", "\"v1\""}}, test::pngOf(Qt::cyan)};
  });
  f.source.request({0, 0, 0});
  f.source.request({1, 0, 0});
  ASSERT_TRUE(f.settled(2));
  f.source.request({0, 0, 0});
  f.source.request({1, 0, 0});
  ASSERT_TRUE(f.settled(4));
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
  QTcpServer closed;  // a port nobody listens on once the server is gone
  closed.listen(QHostAddress::LocalHost, 0);
  const quint16 port = closed.serverPort();
  closed.close();
  QNetworkAccessManager network;
  NetworkTileSource source(TileUrlTemplate(QStringLiteral("http://127.0.0.1:%1/{z}/{x}/{y}").arg(port)),
                           Fixture::fastOptions(), &network);
  QSignalSpy unavailable(&source, &TileSource::tileUnavailable);
  for (int x = 0; x < 8; ++x) source.request({3, x, 0});
  ASSERT_TRUE(test::waitUntil([&] { return unavailable.size() == 8; }));
  EXPECT_EQ(source.runningRequests(), 0);
}

TEST(TileDiskCache, DropsTheLeastRecentlyUsedAboveItsCap) {
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
  ASSERT_TRUE(test::waitUntil([&] { return cache.cacheSize() <= 4000; }));
  for (const char* url : {"http://t/a", "http://t/b", "http://t/c", "http://t/d"})
    EXPECT_EQ(cache.metaData(QUrl(QString::fromLatin1(url))).isValid(), url[9] != 'b') << url;
}

TEST(TileDiskCache, DefaultDirectoryFollowsXdgCacheHome) {
  EXPECT_EQ(TileDiskCache::defaultDirectory(),
            qEnvironmentVariable("XDG_CACHE_HOME") + QStringLiteral("/kavrano/tiles"));
}

}  // namespace
}  // namespace kavrano
