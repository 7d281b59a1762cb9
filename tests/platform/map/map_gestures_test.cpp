#include <gtest/gtest.h>

#include <QFile>
#include <QGeoPositionInfoSource>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include "kavrano/qt_map/map_sources.h"
#include "kavrano/qt_map/web_mercator.h"
#include "map_window.h"

namespace kavrano {
namespace {

using test::MapWindow;

struct Taps {
  explicit Taps(QuickMapView* map) : map(map) {
    map->addGestureRecognizer(std::make_shared<TapGestureRecognizer>([this](const TapGestureRecognizer& r) {
      points.push_back(r.locationInView());
      coordinates.push_back(this->map->convertPointToCoordinate(r.locationInView()));
    }));
  }
  QuickMapView* map;
  std::vector<QPointF> points;
  std::vector<Coordinate> coordinates;
};

void expectDrawnAt(QuickMapView* map, const Coordinate& c, QPointF point) {
  const QPointF drawn = map->convertCoordinateToPoint(c);
  EXPECT_NEAR(drawn.x(), point.x(), 1e-6);
  EXPECT_NEAR(drawn.y(), point.y(), 1e-6);
}

// A mouse drag in `steps` equal moves, `msPerStep` apart (slow ones do not flick).
void drag(QWindow& window, QPoint from, QPoint to, int steps, int msPerStep) {
  QTest::mousePress(&window, Qt::LeftButton, {}, from);
  for (int i = 1; i <= steps; ++i) QTest::mouseMove(&window, from + (to - from) * i / steps, msPerStep);
  QTest::mouseRelease(&window, Qt::LeftButton, {}, to, msPerStep);
}

TEST(MapGestures, ATapReportsTheCoordinateUnderTheFingerAndADragPans) {
  MapWindow w;
  w.map->setCamera(mercator::toWorld({47.37, 8.54}), 17.3);
  Taps taps(w.map);
  const Coordinate expected = w.map->convertPointToCoordinate({60, 70});
  QTest::mouseClick(&w.window, Qt::LeftButton, {}, QPoint(60, 70));
  ASSERT_EQ(taps.points.size(), 1u);
  EXPECT_NEAR(taps.coordinates[0].latitude, expected.latitude, 1e-12);
  EXPECT_NEAR(taps.coordinates[0].longitude, expected.longitude, 1e-12);
  expectDrawnAt(w.map, taps.coordinates[0], {60, 70});

  QPointingDevice* finger = QTest::createTouchDevice();
  QTest::touchEvent(&w.window, finger).press(0, QPoint(200, 30));
  QTest::touchEvent(&w.window, finger).move(0, QPoint(203, 32));  // within the slop
  QTest::touchEvent(&w.window, finger).release(0, QPoint(203, 32));
  ASSERT_EQ(taps.points.size(), 2u);
  EXPECT_EQ(taps.points[1], QPointF(203, 32));

  // A drag pans and is never a tap.
  taps.points.clear();
  const Coordinate grabbed = w.map->convertPointToCoordinate({100, 100});
  drag(w.window, {100, 100}, {160, 100}, 10, 200);
  EXPECT_TRUE(taps.points.empty());
  expectDrawnAt(w.map, grabbed, {160, 100});  // the ground followed the finger
  EXPECT_FALSE(w.map->isAnimating());

  // A quick drag flicks on after the release; a small back-and-forth is still no tap.
  drag(w.window, {100, 100}, {100, 175}, 5, 10);
  EXPECT_TRUE(w.map->isAnimating());
  EXPECT_TRUE(taps.points.empty());
}

TEST(MapGestures, PinchAndWheelZoomAboutTheFingersAndCursor) {
  MapWindow w;
  w.map->setCamera(mercator::toWorld({35.68, 139.76}), 14);
  Taps taps(w.map);
  QPointingDevice* fingers = QTest::createTouchDevice();
  const Coordinate between = w.map->convertPointToCoordinate({120, 150});
  QTest::touchEvent(&w.window, fingers).press(0, QPoint(100, 150)).press(1, QPoint(140, 150));
  QTest::touchEvent(&w.window, fingers).move(0, QPoint(80, 150)).move(1, QPoint(160, 150));
  QTest::touchEvent(&w.window, fingers).release(0, QPoint(80, 150)).release(1, QPoint(160, 150));
  EXPECT_NEAR(w.map->camera().zoom, 15.0, 1e-9) << "fingers twice as far apart: one level closer";
  expectDrawnAt(w.map, between, {120, 150});
  EXPECT_TRUE(taps.points.empty()) << "a pinch is never a tap";

  const Coordinate underCursor = w.map->convertPointToCoordinate({30, 200});
  QWheelEvent wheel(QPointF(30, 200), QPointF(30, 200), {}, QPoint(0, 240), Qt::NoButton, {}, Qt::NoScrollPhase, false);
  QCoreApplication::sendEvent(&w.window, &wheel);
  EXPECT_NEAR(w.map->camera().zoom, 16.0, 1e-9);
  expectDrawnAt(w.map, underCursor, {30, 200});
}

TEST(MapCameraControl, RegionAnimatesAndTheMinimumDistanceHolds) {
  MapWindow w({390, 844});
  w.map->setCameraZoomRange(10.0, false);
  const Coordinate target{52.52, 13.405};
  w.map->setRegion(target, 200, 200, true);
  EXPECT_TRUE(w.map->isAnimating());
  ASSERT_TRUE(test::waitUntil([&] { return !w.map->isAnimating(); }, 2000));
  EXPECT_NEAR(w.map->centerCoordinate().latitude, target.latitude, 1e-9);
  EXPECT_NEAR(w.map->centerCoordinate().longitude, target.longitude, 1e-9);
  MapCamera expected = w.map->camera();
  EXPECT_NEAR(w.map->camera().zoom, expected.zoomForRegion(target, 200, 200), 1e-9);

  w.map->setRegion(target, 0.5, 0.5, false);
  EXPECT_LE(w.map->camera().zoom, w.map->maximumZoom() + 1e-9);
  expected.zoom = w.map->camera().zoom;
  const double heightAtLimit = 2 * 10.0 * std::tan(15 * M_PI / 180);
  EXPECT_GE(expected.visibleHeightMetres(), std::min(heightAtLimit, 1e9) - 1e-6);
  QWheelEvent in(QPointF(100, 100), QPointF(100, 100), {}, QPoint(0, 120 * 40), Qt::NoButton, {}, Qt::NoScrollPhase,
                 false);
  QCoreApplication::sendEvent(&w.window, &in);
  EXPECT_LE(w.map->camera().zoom, w.map->maximumZoom() + 1e-9);
}

TEST(MapOwnPosition, FollowRecentresUntilTheUserPans) {
  MapWindow w;
  QString error;
  w.map->setPositionSource(makePositionSource(QStringLiteral("-33.8568, 151.2153"), nullptr, error));
  w.map->setShowsUserLocation(true);
  w.map->setUserTrackingMode(UserTrackingMode::Follow);
  ASSERT_TRUE(test::waitUntil([&] { return w.map->userLocation().hasFix(); }));
  EXPECT_NEAR(w.map->centerCoordinate().latitude, -33.8568, 1e-9);
  EXPECT_NEAR(w.map->centerCoordinate().longitude, 151.2153, 1e-9);
  drag(w.window, {100, 100}, {150, 150}, 1, 100);
  EXPECT_EQ(w.map->userTrackingMode(), UserTrackingMode::None);
}

TEST(MapOwnPosition, SourcesFromTheOptionText) {
  QString error;
  EXPECT_EQ(makePositionSource(QStringLiteral("91,0"), nullptr, error), nullptr);
  EXPECT_FALSE(error.isEmpty());
  error.clear();
  EXPECT_EQ(makePositionSource(QStringLiteral("/no/such/file.nmea"), nullptr, error), nullptr);
  EXPECT_FALSE(error.isEmpty());

  QTemporaryDir dir;
  QFile log(dir.filePath(QStringLiteral("walk.nmea")));
  ASSERT_TRUE(log.open(QIODevice::WriteOnly));
  auto sentence = [](const QByteArray& body) {
    char sum = 0;
    for (char c : body) sum ^= c;
    return "$" + body + "*" + QByteArray::number(static_cast<uchar>(sum), 16).rightJustified(2, '0').toUpper() + "\r\n";
  };
  log.write(sentence("GPRMC,120000.00,A,4807.038,N,01131.000,E,0.0,0.0,010124,,,A"));
  log.write(sentence("GPRMC,120001.00,A,4807.038,N,01131.000,E,0.0,0.0,010124,,,A"));
  log.close();
  std::unique_ptr<QGeoPositionInfoSource> nmea(makePositionSource(log.fileName(), nullptr, error));
  ASSERT_NE(nmea, nullptr) << error.toStdString();
  QSignalSpy updates(nmea.get(), &QGeoPositionInfoSource::positionUpdated);
  nmea->startUpdates();
  ASSERT_TRUE(test::waitUntil([&] { return !updates.isEmpty(); }, 5000));
  const auto info = updates.first().first().value<QGeoPositionInfo>();
  EXPECT_NEAR(info.coordinate().latitude(), 48 + 7.038 / 60, 1e-6);
  EXPECT_NEAR(info.coordinate().longitude(), 11 + 31.0 / 60, 1e-6);
}

}  // namespace
}  // namespace kavrano
