// Run as: QT_QPA_PLATFORM=offscreen QT_QUICK_BACKEND=software kavrano_map_bench
// (main() sets both when they are missing). A frame is measured as the scene
// graph's sync and software render of the whole 390 × 844 window.
#include <benchmark/benchmark.h>

#include <QBuffer>
#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QNetworkAccessManager>
#include <QQuickWindow>
#include <QTemporaryDir>
#include <algorithm>
#include <cmath>
#include <numbers>

#include "kavrano/core/measurement_manager.h"
#include "kavrano/map/point_annotation.h"
#include "kavrano/measure/title_annotation_view.h"
#include "kavrano/qt_map/map_sources.h"
#include "kavrano/qt_map/network_tile_source.h"
#include "kavrano/qt_map/overlay_shape.h"
#include "kavrano/qt_map/quick_map_view.h"
#include "kavrano/qt_map/web_mercator.h"
#include "local_http_server.h"
#include "resident_memory.h"

namespace {

using namespace kavrano;

const Coordinate kCentre{46.2044, 6.1432};

/// What the measuring screen's data source answers.
class ScreenDelegate : public MapViewDelegate {
 public:
  std::shared_ptr<OverlayRenderer> rendererForOverlay(MapView&, const std::shared_ptr<Overlay>&) override {
    auto r = std::make_shared<PolygonRenderer>();
    r->strokeColor = MapColor::white();
    r->lineWidth = 2;
    r->fillColor = MapColor::lightGray().withAlpha(0.25);
    return r;
  }
  std::shared_ptr<AnnotationView> viewForAnnotation(MapView& map, const std::shared_ptr<Annotation>& a) override {
    if (!a->title()) return map.dequeueReusableAnnotationView(kDefaultAnnotationViewReuseIdentifier);
    auto view = map.dequeueReusableAnnotationView(QStringLiteral("custom"));
    if (!view) {
      view = TitleAnnotationView::make(a);  // the measuring screen's label, as drawn there
    }
    view->setAnnotation(a);
    view->image.reset();
    view->subviews().front()->text = *a->title();
    return view;
  }
};

class SolidTiles : public TileSource {
 public:
  SolidTiles() {
    tile_ = QImage(256, 256, QImage::Format_RGB32);
    tile_.fill(QColor(70, 90, 60));
  }
  void request(const TileId& t) override {
    QMetaObject::invokeMethod(
        this, [this, t] { emit tileReady(t, tile_.copy()); }, Qt::QueuedConnection);
  }
  void cancel(const TileId&) override {}
  QString attribution() const override { return QStringLiteral("Bench imagery"); }
  int maxZoom() const override { return 19; }

 private:
  QImage tile_;
};

/// A ring of `n` vertices around the centre, `radius` metres across.
std::vector<Coordinate> ring(int n, double radiusMetres) {
  std::vector<Coordinate> out;
  const double dLat = radiusMetres / 111'320.0;
  const double dLon = dLat / std::cos(kCentre.latitude * std::numbers::pi / 180);
  for (int i = 0; i < n; ++i) {
    const double a = 2 * std::numbers::pi * i / n;
    // A wobbly ring, so the outline is not trivially simple.
    const double r = 1.0 + 0.08 * std::sin(a * 37);
    out.push_back({kCentre.latitude + dLat * r * std::sin(a), kCentre.longitude + dLon * r * std::cos(a)});
  }
  return out;
}

/// What the data source does on every change: everything removed and rebuilt.
void rebuild(MapView& map, const std::vector<Coordinate>& vertices, bool labels, bool markers = true) {
  map.removeAnnotations(map.annotations());
  map.removeOverlays(map.overlays());
  if (markers)
    for (const Coordinate& c : vertices) map.addAnnotation(std::make_shared<PointAnnotation>(c));
  map.addOverlay(std::make_shared<PolygonOverlay>(vertices));
  if (!labels) return;
  for (std::size_t i = 0; i < vertices.size(); ++i) {
    const MeasurementManager geodesy;
    const Coordinate a = vertices[i], b = vertices[(i + 1) % vertices.size()];
    map.addAnnotation(std::make_shared<PointAnnotation>(geodesy.midpoint(a, b),
                                                        QStringLiteral("%1 m").arg(geodesy.distance(a, b), 0, 'f', 1)));
  }
}

struct Scene {
  Scene() {
    window.resize(390, 844);
    map = new QuickMapView(window.contentItem());
    map->setSize(QSizeF(390, 844));
    map->setTileSource(MapType::Satellite, std::make_unique<SolidTiles>());
    map->setDelegate(&delegate);
    window.show();
  }
  void settle() {
    for (int i = 0; i < 20; ++i) {
      QCoreApplication::processEvents();
      window.grabWindow();
    }
  }
  ScreenDelegate delegate;
  QQuickWindow window;
  QuickMapView* map;
};

/// One frame per iteration, the camera moved three points a frame, back and
/// forth: a steady finger.
void panBackAndForth(benchmark::State& state, Scene& scene, double zoom) {
  QPointF centre = scene.map->camera().centre;
  int step = 0;
  for (auto _ : state) {
    const double dx = ((step++ / 40) % 2 ? -3.0 : 3.0) / scene.map->camera().scale();
    centre.rx() += dx;
    scene.map->setCamera(centre, zoom);
    benchmark::DoNotOptimize(scene.window.grabWindow());
  }
}

void panFrames(benchmark::State& state, int vertices, bool labels, double radius, double zoom) {
  Scene scene;
  rebuild(*scene.map, ring(vertices, radius), labels, labels);
  scene.map->setCamera(mercator::toWorld(kCentre), zoom);
  scene.settle();
  panBackAndForth(state, scene, zoom);
  state.counters["labels"] = labels ? vertices : 0;
  OverlayShape shape(PolygonOverlay(ring(vertices, radius)));
  state.counters["outline_points"] = static_cast<double>(shape.simplified(static_cast<int>(std::ceil(zoom))).size());
}

void BM_PanFrame_1000VerticesWith1000Labels(benchmark::State& state) {
  // Radius 150 m at zoom 17.5: the whole ring and all its labels on screen.
  panFrames(state, 1000, true, 150, 17.5);
}
BENCHMARK(BM_PanFrame_1000VerticesWith1000Labels)->Unit(benchmark::kMillisecond)->MinTime(2.0)->MeasureProcessCPUTime();

void BM_PanFrame_100000VertexPolygon(benchmark::State& state) {
  // The region alone (its vertex markers would be 100,000 pictures): seen whole,
  // seen close with most of it off screen, and seen from afar.
  panFrames(state, 100'000, false, state.range(0), state.range(1) / 10.0);
}
BENCHMARK(BM_PanFrame_100000VertexPolygon)
    ->Args({150, 175})
    ->Args({150, 200})
    ->Args({5000, 125})
    ->Unit(benchmark::kMillisecond)
    ->MinTime(2.0)
    ->MeasureProcessCPUTime();

/// Panning the built-in world with its place names (`--tiles builtin`, or any
/// imagery offline), against the same window showing plain tiles: the anchor.
void builtinWorldFrames(benchmark::State& state, bool world) {
  Scene scene;
  if (world) {
    auto source = makeTileSource(QStringLiteral("builtin"), MapType::Satellite, nullptr);
    if (!source) return state.SkipWithError(source.failure().reason.c_str());
    scene.map->setTileSource(MapType::Satellite, std::move(source).value());
  }
  const double zoom = 6;
  scene.map->setCamera(mercator::toWorld({46.5, 2.5}), zoom);  // France and its neighbours
  // Every tile of the view and its ring painted before the clock starts.
  QElapsedTimer limit;
  limit.start();
  auto loaded = [&] {
    const auto& wanted = scene.map->tileLayer().wanted();
    return std::all_of(wanted.begin(), wanted.end(),
                       [&](const TileId& t) { return scene.map->tileLayer().hasImage(t); });
  };
  do scene.settle();
  while (!loaded() && limit.elapsed() < 30'000);
  panBackAndForth(state, scene, zoom);
}

void BM_PanFrame_PlainTiles(benchmark::State& state) { builtinWorldFrames(state, false); }
BENCHMARK(BM_PanFrame_PlainTiles)->Unit(benchmark::kMillisecond)->MinTime(2.0)->MeasureProcessCPUTime();

void BM_PanFrame_BuiltinWorldWithNamesZoom6(benchmark::State& state) { builtinWorldFrames(state, true); }
BENCHMARK(BM_PanFrame_BuiltinWorldWithNamesZoom6)->Unit(benchmark::kMillisecond)->MinTime(2.0)->MeasureProcessCPUTime();

void BM_Rebuild_1000Vertices(benchmark::State& state) {
  Scene scene;
  const auto vertices = ring(1000, 150);
  scene.map->setCamera(mercator::toWorld(kCentre), 17.5);
  rebuild(*scene.map, vertices, true);
  for (auto _ : state) rebuild(*scene.map, vertices, true);
}
BENCHMARK(BM_Rebuild_1000Vertices)->Unit(benchmark::kMillisecond);

/// Time from a new map to its first full screen of tiles, all from the disk cache.
void BM_StartWithCachedTiles(benchmark::State& state) {
  QTemporaryDir cache;
  QImage tile(256, 256, QImage::Format_RGB32);
  tile.fill(QColor(90, 110, 80));
  QByteArray png;
  QBuffer buffer(&png);
  buffer.open(QIODevice::WriteOnly);
  tile.save(&buffer, "PNG");
  LocalHttpServer server([&](const LocalHttpServer::Request&) {
    return LocalHttpServer::Response{200, {{"Cache-Control", "max-age=86400"}}, png};
  });
  const QString url = QString::fromUtf8(server.baseUrl()) + QStringLiteral("/{z}/{x}/{y}.png");
  auto open = [&](QElapsedTimer* clock, bool everything) {
    auto network = std::unique_ptr<QNetworkAccessManager>(makeTileNetwork(nullptr, cache.path()));
    Scene scene;
    scene.map->setTileSource(MapType::Satellite, makeTileSource(url, MapType::Satellite, network.get()).value());
    scene.map->setCamera(mercator::toWorld(kCentre), 16);
    if (clock) clock->start();
    scene.window.grabWindow();
    auto complete = [&] {
      const MapCamera& c = scene.map->camera();
      const int z = scene.map->tileLayer().tileZoom(c);
      const QRectF v = c.visibleWorld();
      for (int y = int(v.top() * (1 << z)); y < std::ceil(v.bottom() * (1 << z)); ++y)
        for (int x = int(v.left() * (1 << z)); x < std::ceil(v.right() * (1 << z)); ++x)
          if (!scene.map->tileLayer().hasImage({z, x, y})) return false;
      return true;
    };
    while (!complete()) QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    scene.window.grabWindow();
    if (!everything) return;
    QElapsedTimer limit;
    limit.start();
    auto all = [&] {
      for (const TileId& t : scene.map->tileLayer().wanted())
        if (!scene.map->tileLayer().hasImage(t)) return false;
      return true;
    };
    while (!all() && limit.elapsed() < 10'000) QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
  };
  open(nullptr, true);  // fills the cache from the server, the ring around the view too
  const qsizetype asked = server.requests.size();
  for (auto _ : state) {
    QElapsedTimer clock;
    open(&clock, false);
    state.SetIterationTime(clock.nsecsElapsed() / 1e9);
  }
  state.counters["server_requests_after_fill"] = static_cast<double>(server.requests.size() - asked);
}
BENCHMARK(BM_StartWithCachedTiles)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);

/// Resident memory after panning far enough to fill the memory tile cache.
void BM_MemoryWithFullTileCache(benchmark::State& state) {
  Scene scene;
  rebuild(*scene.map, ring(1000, 150), true);
  QPointF centre = mercator::toWorld(kCentre);
  for (auto _ : state) {
    for (int i = 0; i < 400; ++i) {  // 400 screens east: far more tiles than the cache holds
      centre.rx() += 390.0 / (256.0 * std::exp2(16));
      scene.map->setCamera(centre, 16);
      QCoreApplication::processEvents();
      scene.window.grabWindow();
    }
  }
  state.counters["rss_MiB"] = residentKiB() / 1024.0;
}
BENCHMARK(BM_MemoryWithFullTileCache)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  if (qEnvironmentVariableIsEmpty("QT_QUICK_BACKEND")) qputenv("QT_QUICK_BACKEND", "software");
  QTemporaryDir cache;
  qputenv("XDG_CACHE_HOME", cache.path().toUtf8());
  QGuiApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
