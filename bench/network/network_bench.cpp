// The network and the tile cache where a user feels them, offscreen:
//  - the longest hold-up of the UI thread, and the memory growth, while the map
//    and the place search meet each kind of hostile server, against the same
//    run with a well-behaved server;
//  - process start to the first frame of the measuring screen with the tile
//    cache filled to its 256 MB cap, beside an empty cache and a minimal Qt
//    Quick window, all interleaved in one run (the children are the app
//    benchmark's), and the walk over that cache the UI thread no longer does.
//
//   kavrano_network_bench --stalls
//   kavrano_network_bench --startup [RUNS]
#include <QBuffer>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>
#include <cstdio>
#include <vector>

#include "child_start.h"
#include "hostile_tile_run.h"
#include "kavrano/qt_map/tile_disk_cache.h"
#include "kavrano/qt_places/http_place_search_service.h"
#include "local_http_server.h"
#include "process_probe.h"
#include "resident_memory.h"

namespace {

using namespace kavrano;
using Hostile = LocalHttpServer::Hostile;

struct Cost {
  qint64 longestGapMs = 0;  // -1: it never ended
  double growthMb = 0;
  qint64 elapsedMs = 0;
};

QByteArray tilePng() {
  QImage image(256, 256, QImage::Format_RGB32);
  image.fill(Qt::darkGreen);
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  image.save(&buffer, "PNG");
  return bytes;
}

// Sixteen tiles to their end, as the tests run them.
Cost mapAgainst(const LocalHttpServer::Handler& handler) {
  const TileRun run = runMapAgainst(handler);
  return {run.ended ? run.longestGapMs : -1, static_cast<double>(run.growthBytes) / 1e6, run.elapsedMs};
}

// One search and one suggestion request to their end.
Cost searchAgainst(const LocalHttpServer::Handler& handler) {
  LocalHttpServer server(handler);
  HttpPlaceSearchService service({QUrl(QString::fromLatin1(server.baseUrl())), std::chrono::seconds(2)});
  const long before = residentKiB();
  const Heartbeat heart;
  QElapsedTimer clock;
  clock.start();
  bool answered = false;
  service.search(QStringLiteral("Bern"), [&](auto) { answered = true; });
  const bool ended = QTest::qWaitFor([&] { return answered; }, 60'000);
  return {ended ? heart.longestGapMs() : -1, (residentKiB() - before) * 1024 / 1e6, clock.elapsed()};
}

int stalls() {
  const QByteArray png = tilePng();
  const QByteArray bern =
      R"({"type":"FeatureCollection","features":[{"type":"Feature","geometry":{"type":"Point","coordinates":[7.45,46.95]},"properties":{"name":"Bern"}}]})";
  const Cost goodMap = mapAgainst([&](const auto&) { return LocalHttpServer::Response{200, {}, png}; });
  const Cost goodSearch = searchAgainst([&](const auto&) { return LocalHttpServer::Response{200, {}, bern}; });
  std::printf("%-30s %28s %28s\n", "server", "map: longest stall, growth", "search: longest stall, growth");
  auto row = [&](const char* name, Cost m, Cost s) {
    std::printf("%-30s %8lld ms (%4.1fx) %6.1f MB %8lld ms (%4.1fx) %6.1f MB\n", name, m.longestGapMs,
                double(m.longestGapMs) / std::max<qint64>(goodMap.longestGapMs, 1), m.growthMb, s.longestGapMs,
                double(s.longestGapMs) / std::max<qint64>(goodSearch.longestGapMs, 1), s.growthMb);
  };
  row("well-behaved (the anchor)", goodMap, goodSearch);
  for (const Hostile mode : LocalHttpServer::kEveryHostile) {
    (void)LocalHttpServer::hostile(mode, {});  // the bombs are made before the clock runs
    const auto handler = [mode](const LocalHttpServer::Request& r) { return LocalHttpServer::hostile(mode, r); };
    row(LocalHttpServer::name(mode), mapAgainst(handler), searchAgainst(handler));
  }
  return 0;
}

// A cache at its cap: 16 KiB tiles, the size of a typical satellite JPEG.
qint64 fillToTheCap(const QString& directory, qint64 cap) {
  TileDiskCache cache(directory, cap * 2);  // never expiring while it fills
  const QByteArray body(qsizetype{16} * 1024, 'x');
  qint64 written = 0;
  for (int i = 0; written < cap - qint64{64} * 1024; ++i) {
    QNetworkCacheMetaData meta;
    meta.setUrl(QUrl(QStringLiteral("https://tiles.example/18/%1/%2").arg(i % 4096).arg(i / 4096)));
    meta.setSaveToDisk(true);
    meta.setRawHeaders({{"Cache-Control", "max-age=86400"}, {"Content-Type", "image/jpeg"}});
    QIODevice* device = cache.prepare(meta);
    device->write(body);
    cache.insert(device);
    written = cache.cacheSize();
  }
  return written;
}

int startup(int runs) {
  // The children find the tile cache under XDG_CACHE_HOME, compiled QML too.
  QTemporaryDir home;
  qputenv("XDG_CACHE_HOME", home.path().toUtf8());
  const QString tiles = home.filePath(QStringLiteral("kavrano/tiles"));
  const QString full = home.filePath(QStringLiteral("full-tiles"));
  const qint64 bytes = fillToTheCap(full, 256LL << 20);
  int files = 0;
  QElapsedTimer walk;
  walk.start();
  for (QDirIterator it(full, {QStringLiteral("*.tile")}, QDir::Files, QDirIterator::Subdirectories); it.hasNext();) {
    it.next();
    files += it.fileInfo().size() > 0;
  }
  const qint64 walkMs = walk.elapsed();
  QElapsedTimer construct;
  construct.start();
  { TileDiskCache cache(full, 256LL << 20); }
  const qint64 constructMs = construct.elapsed();

  const QString appBench = QStringLiteral(KAVRANO_APP_BENCH);
  (void)startToFrameMs(appBench, QStringLiteral("--child-app"));  // compiles the QML once, for every later start
  std::vector<double> minimal, empty, filled;
  for (int i = 0; i < runs; ++i) {  // interleaved, so a busy moment hurts all three
    minimal.push_back(startToFrameMs(appBench, QStringLiteral("--child-minimal")));
    QDir(tiles).removeRecursively();
    empty.push_back(startToFrameMs(appBench, QStringLiteral("--child-app")));
    QDir(tiles).removeRecursively();
    QDir().rename(full, tiles);
    filled.push_back(startToFrameMs(appBench, QStringLiteral("--child-app")));
    QDir().rename(tiles, full);
  }
  const double m = median(minimal), e = median(empty), f = median(filled);
  std::printf("tile cache: %d files, %.0f MB; a walk over it %lld ms; the cache made over it in %lld ms\n", files,
              bytes / 1e6, walkMs, constructMs);
  std::printf(
      "start to first frame, median of %d: minimal Qt Quick window %.0f ms; app, empty cache %.0f ms (%.2fx); "
      "app, full cache %.0f ms (%.2fx)\n",
      runs, m, e, e / m, f, f / m);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication app(argc, argv);
  const QByteArray mode = argc > 1 ? QByteArray(argv[1]) : QByteArray();
  if (mode == "--stalls") return stalls();
  if (mode == "--startup") {
    bool ok = argc <= 2;
    const int runs = ok ? 9 : QByteArray(argv[2]).toInt(&ok);
    if (ok && runs > 0) return startup(runs);
  }
  std::fprintf(stderr, "usage: %s --stalls | --startup [RUNS]\n", argv[0]);
  return 2;
}
