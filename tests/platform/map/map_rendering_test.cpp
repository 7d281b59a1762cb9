#include <gtest/gtest.h>

#include <QAccessible>

#include "fake_map_view.h"
#include "kavrano/map/point_annotation.h"
#include "kavrano/qt_map/annotation_images.h"
#include "kavrano/qt_map/web_mercator.h"
#include "map_window.h"

namespace kavrano {
namespace {

using test::MapWindow;
using test::solid;

// Colours may differ by antialiasing and texture filtering at most this much.
bool near(QColor a, QColor b, int tolerance = 6) {
  return std::abs(a.red() - b.red()) <= tolerance && std::abs(a.green() - b.green()) <= tolerance &&
         std::abs(a.blue() - b.blue()) <= tolerance;
}
// Beside the test program, for a person to open.
void saveForLooking(const QImage& shot, const char* name) {
  shot.save(QCoreApplication::applicationDirPath() + QLatin1Char('/') + QLatin1String(name));
}

#define EXPECT_COLOR(actual, expected)    \
  EXPECT_PRED3(near, actual, expected, 6) \
      << (actual).name().toStdString() << " vs " << QColor(expected).name().toStdString()

TEST(MapRendering, TilesAppearWhereTheyBelong) {
  MapWindow w;
  w.tiles->tiles = {{{1, 0, 0}, solid(Qt::red)},
                    {{1, 1, 0}, solid(Qt::green)},
                    {{1, 0, 1}, solid(Qt::blue)},
                    {{1, 1, 1}, solid(Qt::yellow)}};
  w.map->setCamera({0.5, 0.5}, 1.0);
  ASSERT_TRUE(test::waitUntil([&] { return w.map->tileLayer().hasImage({1, 1, 1}); }));
  const QImage shot = w.grab();
  EXPECT_COLOR(shot.pixelColor(20, 20), QColor(Qt::red));
  EXPECT_COLOR(shot.pixelColor(236, 20), QColor(Qt::green));
  EXPECT_COLOR(shot.pixelColor(20, 200), QColor(Qt::blue));
  EXPECT_COLOR(shot.pixelColor(200, 200), QColor(Qt::yellow));  // clear of the credit line
  saveForLooking(shot, "map_rendering_tiles.png");

  auto street = std::make_unique<test::MemoryTileSource>();
  street->everywhere = solid(Qt::magenta);
  w.map->setTileSource(MapType::Standard, std::move(street));
  w.map->setMapType(MapType::Standard);
  ASSERT_TRUE(test::waitUntil([&] { return w.map->tileLayer().hasImage({1, 1, 1}); }));
  EXPECT_COLOR(w.grab().pixelColor(20, 20), QColor(Qt::magenta)) << "type 0 shows the street map";
  w.map->setMapType(MapType::Satellite);
  EXPECT_FALSE(w.map->tileLayer().hasImage({1, 1, 1})) << "the hidden layer let go of its tiles";
}

TEST(MapRendering, AMissingTileShowsItsAncestorElseAPlaceholderNeverAHole) {
  MapWindow w;
  QImage parent(256, 256, QImage::Format_RGB32);
  parent.fill(Qt::white);
  for (int y = 128; y < 256; ++y)
    for (int x = 0; x < 256; ++x) parent.setPixelColor(x, y, Qt::darkGreen);  // south half
  w.tiles->tiles = {{{0, 0, 0}, parent}};
  w.map->setCamera({0.5, 0.5}, 0.0);
  ASSERT_TRUE(test::waitUntil([&] { return w.map->tileLayer().hasImage({0, 0, 0}); }));
  w.map->setCamera({0.5, 0.75}, 2.0);  // over the south half only, tiles of zoom 2 missing
  test::waitUntil([&] { return false; }, 50);
  EXPECT_COLOR(w.grab().pixelColor(128, 128), QColor(Qt::darkGreen)) << "the ancestor's south half, scaled up";

  w.map->setTileSource(MapType::Satellite, std::make_unique<test::MemoryTileSource>());
  const QImage empty = w.grab();
  EXPECT_COLOR(empty.pixelColor(128, 128), QColor(0xd9, 0xd6, 0xcf));
  EXPECT_COLOR(empty.pixelColor(2, 253), QColor(0xd9, 0xd6, 0xcf));
}

// The measurement label: bold 20, white on a black shadow, shrinking to fit 44 points.
std::shared_ptr<LabelView> measurementLabel() {
  auto label = std::make_shared<LabelView>();
  label->frame = QRectF(-22, -32, 44, 44);
  label->font = MapFont::boldSystem(20);
  label->textColor = MapColor::white();
  label->alignment = TextAlignment::Center;
  label->adjustsFontSizeToFitWidth = true;
  label->shadowColor = MapColor::black();
  label->shadowOffset = {1, 1};
  return label;
}

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
      view->addSubview(measurementLabel());
      ++made;
    }
    view->setAnnotation(a);
    view->subviews().front()->text = *a->title();
    return view;
  }
  int made = 0;
};

int countNear(const QImage& image, QRect area, QColor color, int tolerance = 40) {
  int n = 0;
  for (int y = area.top(); y <= area.bottom(); ++y)
    for (int x = area.left(); x <= area.right(); ++x) n += near(image.pixelColor(x, y), color, tolerance);
  return n;
}

TEST(MapRendering, OverlaysMarkersAndLabelsInTheirColours) {
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
  ASSERT_TRUE(test::waitUntil([&] { return w.map->tileLayer().hasImage({10, 512, 512}); }));
  const QImage shot = w.grab();
  saveForLooking(shot, "map_rendering_overlays.png");
  EXPECT_COLOR(shot.pixelColor(150, 150), QColor(Qt::red)) << "fill";
  EXPECT_COLOR(shot.pixelColor(128, 40), QColor(Qt::white)) << "outline on the edge";
  EXPECT_COLOR(shot.pixelColor(216, 110), QColor(Qt::white)) << "closing edge";
  EXPECT_COLOR(shot.pixelColor(128, 30), QColor(Qt::blue)) << "outside: imagery";
  EXPECT_COLOR(shot.pixelColor(128, 250), QColor(Qt::blue)) << "the plain renderer draws nothing";
  // The label: white text with a black shadow, within its 44 × 44 frame above the point.
  const QRect frame(128 - 22, 236 - 32, 44, 44);
  EXPECT_GT(countNear(shot, frame, Qt::white), 25);
  EXPECT_GT(countNear(shot, frame, Qt::black), 10);
  EXPECT_EQ(countNear(shot, QRect(10, 226, 40, 20), Qt::white), 0);
  // The standard marker stands with its tip on the point.
  EXPECT_GT(countNear(shot, QRect(52, 68, 16, 20), QColor(230, 57, 53)), 20);

  // Rebuilds reuse the label views.
  for (int round = 0; round < 2; ++round) {
    w.map->removeAnnotations(w.map->annotations());
    for (int i = 0; i < 5; ++i)
      w.map->addAnnotation(std::make_shared<PointAnnotation>(at(30 + 40 * i, 120), QString::number(round)));
    w.grab();
  }
  EXPECT_EQ(delegate.made, 5);
  EXPECT_EQ(w.map->annotations().size(), 5u);
}

// Screen tests run on the fake: it must ask and reuse as the real map does.
TEST(FakeMapView, AsksTheDelegateReusesViewsAndForwardsTaps) {
  FakeMapView map;
  Delegate delegate;
  map.setDelegate(&delegate);
  auto label = std::make_shared<PointAnnotation>(Coordinate{1, 2}, QString());
  auto vertex = std::make_shared<PointAnnotation>(Coordinate{3, 4});
  map.addAnnotation(label);
  map.addAnnotation(vertex);
  const auto firstView = map.viewFor(label.get());
  ASSERT_NE(firstView, nullptr) << "an empty title is still a title";
  EXPECT_EQ(map.viewFor(vertex.get()), nullptr);
  map.removeAnnotations(map.annotations());
  auto next = std::make_shared<PointAnnotation>(Coordinate{5, 6}, QStringLiteral("2 m"));
  map.addAnnotation(next);
  EXPECT_EQ(map.viewFor(next.get()), firstView);
  EXPECT_EQ(firstView->annotation(), next);

  std::vector<Coordinate> tapped;
  map.addGestureRecognizer(std::make_shared<TapGestureRecognizer>(
      [&](const TapGestureRecognizer& r) { tapped.push_back(map.convertPointToCoordinate(r.locationInView())); }));
  map.tap({100, 200});
  ASSERT_EQ(tapped.size(), 1u);
  EXPECT_DOUBLE_EQ(tapped[0].longitude, 0.01);
  EXPECT_TRUE(map.calls.contains(QStringLiteral("removeAnnotations 2")));
}

// Ink is measured on the label picture itself.
QRect inkOf(const QImage& image) {
  QRect ink;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x)
      if (qAlpha(image.pixel(x, y)) > 128) ink |= QRect(x, y, 1, 1);
  return ink;
}

TEST(LabelPicture, LongTextShrinksToTheFrameWidthAndKeepsItsShadow) {
  LabelView label = *measurementLabel();
  label.text = QStringLiteral("8 m");
  const QRect shortInk = inkOf(renderLabelImage(label, 1.0));
  label.text = QStringLiteral("1,234.5 km");
  const QImage longer = renderLabelImage(label, 1.0);
  const QRect longInk = inkOf(longer);
  EXPECT_EQ(longer.size(), QSize(44, 44));
  EXPECT_GT(longInk.width(), 30) << "uses the width";
  EXPECT_LT(longInk.height(), shortInk.height()) << "in a smaller font";
  EXPECT_NEAR((longInk.left() + longInk.right()) / 2.0, 22, 2.0) << "centred";
  int dark = 0;
  for (int y = 0; y < 44; ++y)
    for (int x = 0; x < 44; ++x) dark += qAlpha(longer.pixel(x, y)) > 128 && qRed(longer.pixel(x, y)) < 60;
  EXPECT_GT(dark, 5) << "the black shadow shows";
  label.text.clear();
  EXPECT_TRUE(inkOf(renderLabelImage(label, 1.0)).isEmpty()) << "an empty title draws nothing";
}

TEST(MapAccessibility, TheMapIsANamedGraphicInsideItsWindow) {
  MapWindow w;
  QAccessibleInterface* map = QAccessible::queryAccessibleInterface(w.map);
  ASSERT_NE(map, nullptr);
  EXPECT_EQ(map->text(QAccessible::Name), QStringLiteral("Map"));
  EXPECT_FALSE(map->text(QAccessible::Description).isEmpty());
  EXPECT_EQ(map->role(), QAccessible::Graphic);
  ASSERT_NE(map->parent(), nullptr);
  EXPECT_EQ(map->parent()->window(), &w.window);
  EXPECT_EQ(map->rect().size(), QSize(256, 256));
}

}  // namespace
}  // namespace kavrano
