// The app's speed where the user feels it, offscreen:
//  - a tap on the map to the first frame that shows the new point, its side
//    labels and the line or region, with 100 and 1,000 points already placed;
//  - the saved-measurements list opening over 10,000 records: the press of the
//    load button to the first frame that shows the list (store read, decode,
//    view made);
//  - process start to the first frame of the measuring screen, against a
//    minimal Qt Quick window started the same way.
//
//   kavrano_app_bench                       the tap figures (Google Benchmark)
//   kavrano_app_bench --startup [RUNS]      the start-up comparison
//   kavrano_app_bench --memory [RUNS]       memory at rest with offline imagery, against
//                                           the minimal window, and the tiles decoded per start
//                                           (KAVRANO_BENCH_MAPPINGS=1: where each child's
//                                           memory is, on stderr)
#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <QBuffer>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QGuiApplication>
#include <QProcess>
#include <QQmlComponent>
#include <QQmlEngine>
#include <QQuickItem>
#include <QQuickWindow>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#if defined(__GLIBC__)
#include <malloc.h>
#endif

#include "child_start.h"
#include "kavrano/app/memory_tuning.h"
#include "kavrano/app/scene_delegate.h"
#include "kavrano/core/memory_preference_store.h"
#include "kavrano/core/persisted_measurement.h"
#include "kavrano/core/sqlite_preference_store.h"
#include "kavrano/core/uuid.h"
#include "kavrano/map/point_annotation.h"
#include "kavrano/qt_map/quick_map_view.h"
#include "kavrano/qt_map/web_mercator.h"
#include "resident_memory.h"

namespace {

using namespace kavrano;

// Tiles from a server that is never there: the figures are the measuring
// screen's own work, not the imagery's.
const QString kNoTiles = QStringLiteral("http://127.0.0.1:9/{z}/{x}/{y}.png");

/// Runs the event loop until the window has swapped a frame (or 2 s passed).
void waitForFrame(QQuickWindow* window) {
  QEventLoop loop;
  QObject::connect(window, &QQuickWindow::frameSwapped, &loop, &QEventLoop::quit);
  QTimer::singleShot(2000, &loop, &QEventLoop::quit);
  window->update();
  loop.exec();
}

struct Scene {
  Scene() {
    // A real store file, as the list reads it on a phone.
    auto opened = SqlitePreferenceStore::open(std::filesystem::path(dataDir.path().toStdString()) /
                                              SqlitePreferenceStore::kFileName);
    if (!opened) std::exit(1);
    PreferenceStore::installStandard(std::move(opened).value());
    // The form would cover the map at the first area; this is not its figure.
    UserSettings::shared().setDidRequest(true);
    UserSettings::shared().setDidShowIntro(true);
    if (const auto shown = scene.connect({{}, kNoTiles, QStringLiteral("offline"), QStringLiteral("46.51,6.63"), {}});
        !shown) {
      std::fprintf(stderr, "%s\n", shown.failure().reason.c_str());
      std::exit(1);
    }
    if (!QTest::qWaitForWindowExposed(scene.window())) std::exit(1);
    // The start-up follow and zoom are over.
    QTest::qWait(3500);
  }
  QTemporaryDir dataDir;
  SceneDelegate scene;
};

// Made at the first run, gone before the application (main resets it).
std::unique_ptr<Scene> gFixture;

void BM_TapToFrame(benchmark::State& state) {
  if (!gFixture) gFixture = std::make_unique<Scene>();
  SceneDelegate& scene = gFixture->scene;
  MapDataSource& data = *scene.measureController()->mapDataSource();
  QQuickWindow* window = scene.window();

  // n − 1 points on a circle of 80 m around the centre; the tap adds the n-th.
  const auto n = static_cast<int>(state.range(0));
  const QPointF centre(195, 420);
  data.clear();
  for (int i = 0; i < n - 1; ++i) {
    const double a = 2 * M_PI * i / n;
    const QPointF p = centre + QPointF(std::cos(a), std::sin(a)) * 120;
    data.annotations.push_back(std::make_shared<PointAnnotation>(scene.mapView()->convertPointToCoordinate(p)));
  }
  data.redraw();
  waitForFrame(window);
  const auto base = data.annotations;

  for (auto _ : state) {
    const int ticks = scene.haptics().impactCount();
    QElapsedTimer timer;
    timer.start();
    QTest::mouseClick(window, Qt::LeftButton, Qt::NoModifier, QPoint(195, 300));
    while (scene.haptics().impactCount() == ticks) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    waitForFrame(window);  // the first frame drawn with the new content
    state.SetIterationTime(static_cast<double>(timer.nsecsElapsed()) / 1e9);

    state.PauseTiming();
    data.clear();
    data.annotations = base;
    data.redraw();
    QTest::qWait(300);  // the dissolve is over, and no double tap
    state.ResumeTiming();
  }
}
BENCHMARK(BM_TapToFrame)->Arg(100)->Arg(1000)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(20);

void BM_OpenSavedList(benchmark::State& state) {
  if (!gFixture) gFixture = std::make_unique<Scene>();
  SceneDelegate& scene = gFixture->scene;
  QQuickWindow* window = scene.window();
  std::vector<PersistedMeasurement> list;
  for (int i = 0; i < state.range(0); ++i) {
    PersistedMeasurement m{makeUuidString(), 786000000.5 + i, {}, "Field " + std::to_string(i), {47.3125, 8.5125}};
    for (int v = 0; v < 10; ++v) m.annotations.push_back({47.3123 + v * 1e-4, 8.5123 - v * 1e-4});
    list.push_back(std::move(m));
  }
  const auto json = encodeMeasurements(list);
  PreferenceStore::standard().setData(Bytes(json->begin(), json->end()), "PERSISTED_MEASUREMENTS");

  for (auto _ : state) {
    QElapsedTimer timer;
    timer.start();
    scene.measureController()->loadTapped();
    waitForFrame(window);
    state.SetIterationTime(static_cast<double>(timer.nsecsElapsed()) / 1e9);

    state.PauseTiming();
    if (scene.navigation()->depth() != 2) state.SkipWithError("the list was not pushed");
    QTest::qWait(500);  // the push is over
    scene.navigation()->popViewController(false);
    QTest::qWait(300);
    state.ResumeTiming();
  }
  PreferenceStore::standard().removeObject("PERSISTED_MEASUREMENTS");
}
BENCHMARK(BM_OpenSavedList)->Arg(10000)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);

// ---------------------------------------------------------------------------

int childApp() {
  PreferenceStore::installStandard(std::make_shared<MemoryPreferenceStore>());
  UserSettings::shared().setDidShowIntro(true);
  SceneDelegate scene;
  QElapsedTimer timer;
  timer.start();
  if (!scene.connect({{}, kNoTiles, QStringLiteral("offline"), {}, {}})) return 1;
  if (qEnvironmentVariableIsSet("KAVRANO_BENCH_PHASES")) std::fprintf(stderr, "connect %lld ms\n", timer.elapsed());
  QObject::connect(scene.window(), &QQuickWindow::frameSwapped, [timer, &scene] {
    // The intro is the window's root: the frame that counts is the first one
    // with the measuring screen over it.
    if (!scene.mapView() || !scene.mapView()->isVisible()) return;
    if (qEnvironmentVariableIsSet("KAVRANO_BENCH_PHASES")) std::fprintf(stderr, "frame %lld ms\n", timer.elapsed());
    std::printf("frame\n");
    std::fflush(stdout);
    QCoreApplication::exit(0);
  });
  return QGuiApplication::exec();
}

/// With KAVRANO_BENCH_MAPPINGS, what a child at rest holds, per mapping and in the heap.
void explainMemory(const char* who) {
  if (!qEnvironmentVariableIsSet("KAVRANO_BENCH_MAPPINGS")) return;
  std::fprintf(stderr, "--- %s: resident by mapping\n", who);
  printResidentByMapping(stderr);
#if defined(__GLIBC__)
  malloc_stats();
#endif
}

// Long enough for the start-up zoom (1 s), the tiles, and the app's letting go
// at rest (3 s after the map's last change, 5 s after the last frame), with
// room for a machine under load.
constexpr int kIdleAfterFrameMs = 20000;

/// The anchor, a window with one rectangle: prints "frame" at its first frame,
/// or, `idle`, "rss KIB" once it has rested as long as the app does.
int childMinimal(bool idle) {
  QQmlEngine engine;
  QQmlComponent component(&engine);
  component.setData("import QtQuick\nRectangle { color: \"black\" }", QUrl());
  QQuickWindow window;
  window.resize(390, 844);
  auto* root = qobject_cast<QQuickItem*>(component.create());
  root->setParentItem(window.contentItem());
  bool first = true;
  QObject::connect(&window, &QQuickWindow::frameSwapped, [&] {
    if (!std::exchange(first, false)) return;
    if (!idle) {
      std::printf("frame\n");
      std::fflush(stdout);
      QCoreApplication::exit(0);
      return;
    }
    QTimer::singleShot(kIdleAfterFrameMs, [] {
      explainMemory("minimal window");
      std::printf("rss %ld\n", residentKiB());
      std::fflush(stdout);
      QCoreApplication::exit(0);
    });
  });
  window.show();
  return QGuiApplication::exec();
}

// ---------------------------------------------------------------------------
// Memory at rest: the app on offline imagery after its start-up (follow, the
// animated zoom to 200 m, the tiles of the final view decoded), against the
// minimal window after its first frame, each in a process of its own.

constexpr double kPlaceLatitude = 46.51, kPlaceLongitude = 6.63;

/// An MBTiles file with imagery at every zoom from 0 to 19 around the place, as
/// an offline map of a region has: a start-up that asked for the zooms passed on
/// the way would find and decode them.
bool writeEveryZoomImagery(const QString& path) {
  sqlite3* db = nullptr;
  if (sqlite3_open(path.toUtf8().constData(), &db) != SQLITE_OK) return false;
  bool ok =
      sqlite3_exec(db,
                   "CREATE TABLE metadata (name text, value text);"
                   "CREATE TABLE tiles (zoom_level integer, tile_column integer, tile_row integer, tile_data blob);"
                   "INSERT INTO metadata VALUES ('maxzoom', '19'), ('format', 'jpg');"
                   "BEGIN;",
                   nullptr, nullptr, nullptr) == SQLITE_OK;
  sqlite3_stmt* insert = nullptr;
  ok = ok && sqlite3_prepare_v2(db, "INSERT INTO tiles VALUES (?, ?, ?, ?)", -1, &insert, nullptr) == SQLITE_OK;
  const QPointF place = mercator::toWorld({kPlaceLatitude, kPlaceLongitude});
  QRandomGenerator random(7);
  for (int z = 0; z <= 19 && ok; ++z) {
    const int n = 1 << z;
    const int cx = static_cast<int>(place.x() * n), cy = static_cast<int>(place.y() * n);
    for (int x = std::max(0, cx - 4); x <= std::min(n - 1, cx + 4) && ok; ++x)
      for (int y = std::max(0, cy - 5); y <= std::min(n - 1, cy + 5) && ok; ++y) {
        QImage tile(256, 256, QImage::Format_RGB32);  // speckled, so that it compresses as imagery does
        for (int row = 0; row < 256; ++row) {
          auto* line = reinterpret_cast<QRgb*>(tile.scanLine(row));
          for (int col = 0; col < 256; ++col) line[col] = qRgb(60 + random.bounded(40), 90 + random.bounded(40), 50);
        }
        QByteArray jpeg;
        QBuffer buffer(&jpeg);
        buffer.open(QIODevice::WriteOnly);
        tile.save(&buffer, "JPG", 80);
        sqlite3_bind_int(insert, 1, z);
        sqlite3_bind_int(insert, 2, x);
        sqlite3_bind_int(insert, 3, n - 1 - y);  // rows counted from the south
        sqlite3_bind_blob(insert, 4, jpeg.constData(), static_cast<int>(jpeg.size()), SQLITE_TRANSIENT);
        ok = sqlite3_step(insert) == SQLITE_DONE;
        sqlite3_reset(insert);
      }
  }
  sqlite3_finalize(insert);
  ok = ok && sqlite3_exec(db, "COMMIT;", nullptr, nullptr, nullptr) == SQLITE_OK;
  sqlite3_close(db);
  return ok;
}

/// Imagery everywhere, each tile a picture of its own as if just decoded.
class EverywhereTiles : public TileSource {
 public:
  void request(const TileId& t) override {
    QMetaObject::invokeMethod(
        this,
        [this, t] {
          QImage tile(256, 256, QImage::Format_RGB32);
          tile.fill(QColor(70 + t.x % 50, 90 + t.y % 50, 60));
          emit tileReady(t, tile);
        },
        Qt::QueuedConnection);
  }
  void cancel(const TileId&) override {}
  [[nodiscard]] QString attribution() const override { return QStringLiteral("Bench imagery"); }
  [[nodiscard]] int maxZoom() const override { return 19; }
};

/// Pans the map 400 screens east, a screen a frame.
void panFourHundredScreens(SceneDelegate& scene) {
  QuickMapView& map = *scene.mapView();
  map.setTileSource(MapType::Satellite, std::make_unique<EverywhereTiles>());
  QPointF centre = map.camera().centre;
  const double zoom = map.camera().zoom;
  for (int i = 0; i < 400; ++i) {
    centre.rx() += map.camera().viewport.width() / map.camera().scale();
    map.setCamera(centre, zoom);
    QCoreApplication::processEvents();
    scene.window()->grabWindow();
  }
}

/// Prints "rss KIB" (and what the map decoded) once the app has rested after its
/// start, or, with `pan`, after panning 400 screens from there.
int childAppIdle(const QString& tiles, bool pan) {
  PreferenceStore::installStandard(std::make_shared<MemoryPreferenceStore>());
  UserSettings::shared().setDidShowIntro(true);
  UserSettings::shared().setDidRequest(true);
  SceneDelegate scene;
  const QString place = QStringLiteral("%1,%2").arg(kPlaceLatitude).arg(kPlaceLongitude);
  if (!scene.connect({{}, tiles, QStringLiteral("offline"), place, {}})) return 1;
  int decoded = 0;
  bool counting = false;
  QObject::connect(scene.window(), &QQuickWindow::frameSwapped, [&] {
    if (counting || !scene.mapView() || !scene.mapView()->isVisible()) return;
    // Tiles are asked for once the first frame is out: every one is counted.
    counting = true;
    QObject::connect(scene.mapView()->tileLayer().source(), &TileSource::tileReady, [&] { ++decoded; });
    QTimer::singleShot(kIdleAfterFrameMs, [&] {
      if (pan) panFourHundredScreens(scene);
      explainMemory(pan ? "app after panning" : "app at rest");
      const TileLayer& layer = scene.mapView()->tileLayer();
      const auto loaded = std::count_if(layer.wanted().begin(), layer.wanted().end(),
                                        [&](const TileId& t) { return layer.hasImage(t); });
      std::printf("rss %ld decoded %d wanted %lld loaded %lld zoom %.2f\n", residentKiB(), decoded,
                  static_cast<long long>(layer.wanted().size()), static_cast<long long>(loaded),
                  scene.mapView()->camera().zoom);
      std::fflush(stdout);
      QCoreApplication::exit(0);
    });
  });
  return QGuiApplication::exec();
}

/// The child's line of figures, split into name → value.
QHash<QString, double> idleFigures(const QString& program, const QStringList& arguments) {
  QProcess child;
  child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
  child.start(program, arguments);
  child.waitForFinished(60'000);
  QHash<QString, double> figures;
  const QStringList words = QString::fromUtf8(child.readAllStandardOutput()).split(' ', Qt::SkipEmptyParts);
  for (qsizetype i = 0; i + 1 < words.size(); i += 2) figures.insert(words[i], words[i + 1].toDouble());
  return figures;
}

int memoryComparison(const QString& program, int runs) {
  QTemporaryDir dir;
  const QString tiles = dir.filePath(QStringLiteral("region.mbtiles"));
  if (!writeEveryZoomImagery(tiles)) return 1;
  std::vector<double> app, minimal, decoded, panned, bare;
  for (int i = 0; i < runs; ++i) {  // interleaved, as for the start-up
    minimal.push_back(idleFigures(program, {QStringLiteral("--child-minimal-idle")}).value(QStringLiteral("rss")));
    bare.push_back(idleFigures(program, {QStringLiteral("--child-app-idle"), kNoTiles}).value(QStringLiteral("rss")));
    const auto figures = idleFigures(program, {QStringLiteral("--child-app-idle"), tiles});
    app.push_back(figures.value(QStringLiteral("rss")));
    decoded.push_back(figures.value(QStringLiteral("decoded")));
    panned.push_back(idleFigures(program, {QStringLiteral("--child-app-pan"), tiles}).value(QStringLiteral("rss")));
    std::printf(
        "run %d: app %.1f MiB (%g tiles decoded, %g wanted, %g loaded, zoom %.2f), minimal %.1f MiB, app after "
        "400 screens of panning %.1f MiB, app without imagery %.1f MiB\n",
        i + 1, app.back() / 1024, decoded.back(), figures.value(QStringLiteral("wanted")),
        figures.value(QStringLiteral("loaded")), figures.value(QStringLiteral("zoom")), minimal.back() / 1024,
        panned.back() / 1024, bare.back() / 1024);
  }
  const double a = median(app), m = median(minimal);
  std::printf(
      "resident at rest, median of %d: app with MBTiles %.1f MiB (%g tiles decoded), minimal Qt Quick window %.1f MiB, "
      "ratio %.2f; after 400 screens of panning %.1f MiB, ratio %.2f; the app without imagery %.1f MiB, ratio %.2f\n",
      runs, a / 1024, median(decoded), m / 1024, a / m, median(panned) / 1024, median(panned) / m, median(bare) / 1024,
      median(bare) / m);
  return 0;
}

int startupComparison(const QString& program, int runs) {
  std::vector<double> app, minimal;
  for (int i = 0; i < runs; ++i) {  // interleaved, so a busy moment hurts both
    minimal.push_back(startToFrameMs(program, QStringLiteral("--child-minimal")));
    app.push_back(startToFrameMs(program, QStringLiteral("--child-app")));
  }
  const double a = median(app), m = median(minimal);
  std::printf("start to first frame, median of %d: app %.0f ms, minimal Qt Quick window %.0f ms, ratio %.2f\n", runs, a,
              m, a / m);
  return 0;
}

/// A run count from the command line: a typo must not quietly mean no runs.
int runsArgument(int argc, char** argv, int fallback) {
  if (argc <= 2) return fallback;
  bool ok = false;
  const int runs = QByteArray(argv[2]).toInt(&ok);
  if (!ok || runs < 1) {
    std::fprintf(stderr, "app_bench: not a run count: %s\n", argv[2]);
    std::exit(2);
  }
  return runs;
}

}  // namespace

int main(int argc, char** argv) {
  kavrano::keepFreedMemoryForReuse();  // as the app does
  qputenv("QT_QPA_PLATFORM", "offscreen");
  const QByteArray mode = argc > 1 ? QByteArray(argv[1]) : QByteArray();
  // One throw-away cache for the whole run: the children inherit it, so, as for
  // a user, compiled QML from an earlier start is found there.
  QTemporaryDir cache;
  if (!mode.startsWith("--child")) qputenv("XDG_CACHE_HOME", cache.path().toUtf8());
  QGuiApplication app(argc, argv);
  if (mode == "--child-app") return childApp();
  if (mode == "--child-minimal") return childMinimal(false);
  if (mode == "--child-app-idle" && argc > 2) return childAppIdle(QString::fromLocal8Bit(argv[2]), false);
  if (mode == "--child-app-pan" && argc > 2) return childAppIdle(QString::fromLocal8Bit(argv[2]), true);
  if (mode == "--child-minimal-idle") return childMinimal(true);
  if (mode == "--memory") return memoryComparison(QCoreApplication::applicationFilePath(), runsArgument(argc, argv, 5));
  if (mode == "--startup")
    return startupComparison(QCoreApplication::applicationFilePath(), runsArgument(argc, argv, 9));
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  gFixture.reset();
  return 0;
}
