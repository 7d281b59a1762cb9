// Opens the map alone, for looking at it by hand: taps become vertices of a
// region with a length label on every side, and each tap's coordinate is printed.
#include <QCommandLineParser>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QQuickWindow>
#include <QTimer>
#include <algorithm>
#include <cstdio>

#include "kavrano/core/measurement_manager.h"
#include "kavrano/map/point_annotation.h"
#include "kavrano/measure/title_annotation_view.h"
#include "kavrano/qt_map/map_sources.h"
#include "kavrano/qt_map/quick_map_view.h"
#include "kavrano/qt_map/web_mercator.h"

namespace {

using namespace kavrano;

/// Draws what the measuring screen draws, with its own label views, so overlays
/// and labels can be judged.
class ViewerDelegate : public MapViewDelegate {
 public:
  std::shared_ptr<OverlayRenderer> rendererForOverlay(MapView&, const std::shared_ptr<Overlay>& overlay) override {
    std::shared_ptr<OverlayPathRenderer> r;
    if (dynamic_cast<PolygonOverlay*>(overlay.get())) {
      r = std::make_shared<PolygonRenderer>();
      r->fillColor = MapColor::lightGray().withAlpha(0.25);
    } else {
      r = std::make_shared<PolylineRenderer>();
    }
    r->strokeColor = MapColor::white();
    r->lineWidth = 2.0;
    return r;
  }
  std::shared_ptr<AnnotationView> viewForAnnotation(MapView& map, const std::shared_ptr<Annotation>& a) override {
    const auto title = a->title();
    if (dynamic_cast<UserLocationAnnotation*>(a.get()) || !title) return nullptr;
    auto view = map.dequeueReusableAnnotationView(QStringLiteral("custom"));
    if (!view) {
      view = TitleAnnotationView::make(a);
    }
    view->setAnnotation(a);
    view->image.reset();
    view->subviews().front()->text = *title;
    return view;
  }
};

void rebuild(MapView& map, const std::vector<Coordinate>& vertices) {
  map.removeAnnotations(map.annotations());
  map.removeOverlays(map.overlays());
  for (const Coordinate& c : vertices) map.addAnnotation(std::make_shared<PointAnnotation>(c));
  if (vertices.size() >= 3) map.addOverlay(std::make_shared<PolygonOverlay>(vertices));
  if (vertices.size() == 2) map.addOverlay(std::make_shared<PolylineOverlay>(vertices));
  const MeasurementManager geodesy;
  const std::size_t sides = vertices.size() >= 3 ? vertices.size() : vertices.size() - (vertices.empty() ? 0 : 1);
  for (std::size_t i = 0; i < sides; ++i) {
    const Coordinate a = vertices[i], b = vertices[(i + 1) % vertices.size()];
    map.addAnnotation(std::make_shared<PointAnnotation>(geodesy.midpoint(a, b),
                                                        QStringLiteral("%1 m").arg(geodesy.distance(a, b), 0, 'f', 1)));
  }
}

std::optional<Coordinate> parsePair(const QString& text) {
  const QStringList parts = text.split(QLatin1Char(','));
  bool ok1 = false, ok2 = false;
  if (parts.size() != 2) return std::nullopt;
  const Coordinate c{parts[0].trimmed().toDouble(&ok1), parts[1].trimmed().toDouble(&ok2)};
  if (!ok1 || !ok2 || std::abs(c.latitude) > 90 || std::abs(c.longitude) > 180) return std::nullopt;
  return c;
}

}  // namespace

int main(int argc, char** argv) {
  QGuiApplication app(argc, argv);
  QGuiApplication::setApplicationName(QStringLiteral("kavrano-map-viewer"));
  QCommandLineParser parser;
  parser.setApplicationDescription(QStringLiteral("Shows the Kavrano map; taps print their coordinates."));
  parser.addHelpOption();
  parser.addOption(
      {QStringLiteral("tiles"), QStringLiteral("URL template, .mbtiles file or builtin"), QStringLiteral("SOURCE")});
  parser.addOption({QStringLiteral("position"), QStringLiteral("LAT,LON or an NMEA file"), QStringLiteral("POSITION")});
  parser.addOption({QStringLiteral("center"), QStringLiteral("LAT,LON to look at"), QStringLiteral("LAT,LON")});
  parser.addOption(
      {QStringLiteral("zoom"), QStringLiteral("zoom level, 0 to 22"), QStringLiteral("Z"), QStringLiteral("17")});
  parser.addOption(
      {QStringLiteral("point"), QStringLiteral("a measurement vertex; repeat for more"), QStringLiteral("LAT,LON")});
  parser.addOption({QStringLiteral("screenshot"),
                    QStringLiteral("save the window as a PNG once the view's tiles are in (or after 10 s), and quit"),
                    QStringLiteral("FILE")});
  parser.process(app);

  QQuickWindow window;
  window.setTitle(QStringLiteral("Kavrano map"));
  window.resize(390, 844);
  auto* map = new QuickMapView(window.contentItem());
  map->setSize(window.size());
  QObject::connect(&window, &QWindow::widthChanged, map, [&] { map->setSize(window.size()); });
  QObject::connect(&window, &QWindow::heightChanged, map, [&] { map->setSize(window.size()); });

  QNetworkAccessManager* network = makeTileNetwork(&app);
  for (MapType type : {MapType::Satellite, MapType::Standard}) {
    auto source = makeTileSource(parser.value(QStringLiteral("tiles")), type, network);
    if (!source) {
      std::fprintf(stderr, "kavrano-map-viewer: %s\n", source.failure().reason.c_str());
      return 2;
    }
    map->setTileSource(type, std::move(source).value());
  }
  if (auto world = makeWorldBeneath(parser.value(QStringLiteral("tiles")))) map->setWorldSource(std::move(world));
  map->setMapType(MapType::Satellite);
  ViewerDelegate delegate;
  map->setDelegate(&delegate);
  map->setCameraZoomRange(10.0, false);

  if (parser.isSet(QStringLiteral("position"))) {
    const auto position = makePositionSource(parser.value(QStringLiteral("position")), map);
    if (!position) {
      std::fprintf(stderr, "kavrano-map-viewer: %s\n", position.failure().reason.c_str());
      return 2;
    }
    map->setPositionSource(position.value());
    map->setShowsUserLocation(true);
    if (!parser.isSet(QStringLiteral("center"))) map->setUserTrackingMode(UserTrackingMode::Follow);
  }
  bool zoomOk = false;
  const double zoom = parser.value(QStringLiteral("zoom")).toDouble(&zoomOk);
  if (!zoomOk || zoom < 0 || zoom > 22) {
    std::fprintf(stderr, "kavrano-map-viewer: --zoom wants a number from 0 to 22\n");
    return 2;
  }
  Coordinate centre{0, 0};
  if (parser.isSet(QStringLiteral("center"))) {
    const auto c = parsePair(parser.value(QStringLiteral("center")));
    if (!c) {
      std::fprintf(stderr, "kavrano-map-viewer: --center wants LAT,LON in degrees\n");
      return 2;
    }
    centre = *c;
  }
  map->setCamera(mercator::toWorld(centre), zoom);

  std::vector<Coordinate> vertices;
  for (const QString& text : parser.values(QStringLiteral("point"))) {
    const auto c = parsePair(text);
    if (!c) {
      std::fprintf(stderr, "kavrano-map-viewer: --point wants LAT,LON in degrees\n");
      return 2;
    }
    vertices.push_back(*c);
  }
  rebuild(*map, vertices);
  map->addGestureRecognizer(std::make_shared<TapGestureRecognizer>([&](const TapGestureRecognizer& tap) {
    const Coordinate c = map->convertPointToCoordinate(tap.locationInView());
    std::printf("%.7f,%.7f\n", c.latitude, c.longitude);
    std::fflush(stdout);
    vertices.push_back(c);
    rebuild(*map, vertices);
  }));

  window.show();
  if (parser.isSet(QStringLiteral("screenshot"))) {
    const QString file = parser.value(QStringLiteral("screenshot"));
    auto* poll = new QTimer(&app);
    QElapsedTimer waited;
    waited.start();
    QObject::connect(poll, &QTimer::timeout, &app, [&, file, waited] {
      const TileLayer& layer = map->tileLayer();
      const bool loaded =
          std::all_of(layer.wanted().begin(), layer.wanted().end(), [&](const TileId& t) { return layer.hasImage(t); });
      if ((!loaded || map->isAnimating()) && waited.elapsed() < 10'000) return;
      const bool saved = window.grabWindow().save(file);
      if (!saved) std::fprintf(stderr, "kavrano-map-viewer: cannot write %s\n", qPrintable(file));
      QCoreApplication::exit(saved ? 0 : 1);
    });
    poll->start(100);
  }
  return QGuiApplication::exec();
}
