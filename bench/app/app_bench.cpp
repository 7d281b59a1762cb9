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
#include <benchmark/benchmark.h>

#include <QElapsedTimer>
#include <QEventLoop>
#include <QGuiApplication>
#include <QProcess>
#include <QQmlComponent>
#include <QQmlEngine>
#include <QQuickItem>
#include <QQuickWindow>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <filesystem>

#include "kavrano/app/memory_tuning.h"
#include "kavrano/app/scene_delegate.h"
#include "kavrano/core/memory_preference_store.h"
#include "kavrano/core/persisted_measurement.h"
#include "kavrano/core/sqlite_preference_store.h"
#include "kavrano/core/uuid.h"
#include "kavrano/map/point_annotation.h"

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
    QString error;
    if (!scene.connect({{}, kNoTiles, QStringLiteral("offline"), QStringLiteral("46.51,6.63"), {}}, error)) {
      std::fprintf(stderr, "%s\n", qPrintable(error));
      std::exit(1);
    }
    if (!QTest::qWaitForWindowExposed(scene.window())) std::exit(1);
    // The start-up follow and zoom are over, and so is the compiling of the
    // screens not shown at start, which runs beside the UI thread after it.
    QTest::qWait(std::chrono::milliseconds(SceneDelegate::kPrecompileDelay).count() + 2000);
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
  QString error;
  QElapsedTimer timer;
  timer.start();
  if (!scene.connect({{}, kNoTiles, QStringLiteral("offline"), {}, {}}, error)) return 1;
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

int childMinimal() {
  QQmlEngine engine;
  QQmlComponent component(&engine);
  component.setData("import QtQuick\nRectangle { color: \"black\" }", QUrl());
  QQuickWindow window;
  window.resize(390, 844);
  auto* root = qobject_cast<QQuickItem*>(component.create());
  root->setParentItem(window.contentItem());
  QObject::connect(&window, &QQuickWindow::frameSwapped, [] {
    std::printf("frame\n");
    std::fflush(stdout);
    QCoreApplication::exit(0);
  });
  window.show();
  return QGuiApplication::exec();
}

double startToFrameMs(const QString& program, const QString& mode) {
  QProcess child;
  QElapsedTimer timer;
  timer.start();
  child.start(program, {mode});
  child.waitForReadyRead(30'000);
  const double ms = static_cast<double>(timer.nsecsElapsed()) / 1e6;
  child.waitForFinished(30'000);
  return child.readAllStandardOutput().startsWith("frame") ? ms : -1;
}

int startupComparison(const QString& program, int runs) {
  std::vector<double> app, minimal;
  for (int i = 0; i < runs; ++i) {  // interleaved, so a busy moment hurts both
    minimal.push_back(startToFrameMs(program, QStringLiteral("--child-minimal")));
    app.push_back(startToFrameMs(program, QStringLiteral("--child-app")));
  }
  auto median = [](std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
  };
  const double a = median(app), m = median(minimal);
  std::printf("start to first frame, median of %d: app %.0f ms, minimal Qt Quick window %.0f ms, ratio %.2f\n", runs, a,
              m, a / m);
  return 0;
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
  if (mode == "--child-minimal") return childMinimal();
  if (mode == "--startup")
    return startupComparison(QCoreApplication::applicationFilePath(), argc > 2 ? atoi(argv[2]) : 9);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  gFixture.reset();
  return 0;
}
