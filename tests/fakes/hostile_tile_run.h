#pragma once

#include <QElapsedTimer>
#include <QNetworkAccessManager>
#include <QQuickWindow>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

#include "kavrano/qt_map/map_sources.h"
#include "kavrano/qt_map/network_tile_source.h"
#include "kavrano/qt_map/quick_map_view.h"
#include "local_http_server.h"
#include "process_probe.h"

namespace kavrano {

/// What a map showing the whole world (zoom 2 in a 1024 px window: sixteen
/// tiles) went through against a server, until every tile had come or given up.
struct TileRun {
  bool ended = false;  // every tile came or was given up within a minute
  qsizetype ready = 0, unavailable = 0;
  qint64 growthBytes = 0;  // resident memory, start to end
  qint64 elapsedMs = 0;
  int beats = 0;  // of a 10 ms heartbeat on the UI thread
  qint64 longestGapMs = 0;
};

/// Runs the map against `handler` with short timeouts and a 256 MB disk cache.
inline TileRun runMapAgainst(const LocalHttpServer::Handler& handler) {
  LocalHttpServer server(handler);
  QTemporaryDir cacheDir;
  std::unique_ptr<QNetworkAccessManager> network(makeTileNetwork(nullptr, cacheDir.path(), 256 << 20));
  const NetworkTileSource::Options options{
      .timeoutMs = 300, .maxAttempts = 2, .firstRetryDelayMs = 20, .attribution = {}, .deadlineMs = 1000};
  auto* source = new NetworkTileSource(TileUrlTemplate(QString::fromUtf8(server.baseUrl() + "/{z}/{x}/{y}")), options,
                                       network.get());
  QSignalSpy ready(source, &TileSource::tileReady);
  QSignalSpy unavailable(source, &TileSource::tileUnavailable);
  QQuickWindow window;
  window.resize(1024, 1024);
  auto* map = new QuickMapView(window.contentItem());
  map->setSize({1024, 1024});
  window.show();
  TileRun run;
  if (!QTest::qWaitForWindowExposed(&window)) return run;
  const qint64 before = residentBytes();
  const Heartbeat heart;
  QElapsedTimer clock;
  clock.start();
  map->setTileSource(MapType::Satellite, std::unique_ptr<TileSource>(source));
  map->setCamera({0.5, 0.5}, 2);
  run.ended = QTest::qWaitFor([&] { return ready.size() + unavailable.size() >= 16; }, 60'000);
  run.elapsedMs = clock.elapsed();
  run.growthBytes = residentBytes() - before;
  run.ready = ready.size();
  run.unavailable = unavailable.size();
  run.beats = heart.beats();
  run.longestGapMs = heart.longestGapMs();
  return run;
}

}  // namespace kavrano
