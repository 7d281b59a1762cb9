#include <gtest/gtest.h>

#include <cmath>

#include "kavrano/qt_map/map_camera.h"
#include "kavrano/qt_map/web_mercator.h"

namespace kavrano {
namespace {

// Point-to-coordinate must undo drawing to well below a millimetre: taps place
// measurement vertices.
constexpr double kDegreeTolerance = 1e-9;

TEST(WebMercator, KnownPointsAndInverse) {
  EXPECT_NEAR(mercator::toWorld({0, 0}).x(), 0.5, 1e-15);
  EXPECT_NEAR(mercator::toWorld({0, 0}).y(), 0.5, 1e-15);
  EXPECT_NEAR(mercator::toWorld({mercator::kMaxLatitude, -180}).y(), 0.0, 1e-12);
  EXPECT_NEAR(mercator::toWorld({-mercator::kMaxLatitude, 180}).y(), 1.0, 1e-12);
  EXPECT_NEAR(mercator::toWorld({89.9, 0}).y(), 0.0, 1e-12) << "latitudes beyond the square world are clamped";
  for (double lat : {-85.0, -60.5, -1e-9, 0.0, 33.3, 85.0})
    for (double lon : {-180.0, -179.999999, -45.0, 0.0, 120.25, 179.999999}) {
      const Coordinate back = mercator::toCoordinate(mercator::toWorld({lat, lon}));
      EXPECT_NEAR(back.latitude, lat, kDegreeTolerance) << lat << "," << lon;
      EXPECT_NEAR(back.longitude, lon, kDegreeTolerance) << lat << "," << lon;
    }
  EXPECT_DOUBLE_EQ(mercator::toCoordinate({1.25, 0.5}).longitude, -90.0) << "x wraps round the world";
}

TEST(MapCamera, DrawingAndPointToCoordinateAreInverseAtEveryZoom) {
  MapCamera camera;
  camera.viewport = {390, 844};
  for (double zoom : {0.0, 3.5, 12.0, 17.25, 22.0}) {
    for (Coordinate centre : {Coordinate{0, 0}, Coordinate{48.2, 16.37}, Coordinate{-84.9, 179.9999}}) {
      camera.centre = mercator::toWorld(centre);
      camera.zoom = zoom;
      for (QPointF p : {QPointF(0, 0), QPointF(195, 422), QPointF(389.5, 843.5), QPointF(13.25, 700)}) {
        const Coordinate c = camera.coordinateAt(p);
        if (std::abs(c.latitude) >= mercator::kMaxLatitude - 1e-9) continue;  // beyond the world's edge
        const QPointF back = camera.toView(mercator::toWorld(c));
        EXPECT_NEAR(back.x(), p.x(), 1e-6) << "zoom " << zoom << " centre " << centre.latitude;
        EXPECT_NEAR(back.y(), p.y(), 1e-6) << "zoom " << zoom << " centre " << centre.latitude;
      }
    }
  }
}

TEST(MapCamera, AcrossTheAntimeridian) {
  MapCamera camera;
  camera.viewport = {400, 400};
  camera.zoom = 10;
  camera.centre = mercator::toWorld({-16.5, 180.0});
  camera.normalise();
  const Coordinate east = camera.coordinateAt({300, 200});
  const Coordinate west = camera.coordinateAt({100, 200});
  EXPECT_LT(east.longitude, -179.0) << "right of the line lies the west";
  EXPECT_GT(west.longitude, 179.0);
  // Both sides draw where they were picked, whatever copy of the world they are in.
  EXPECT_NEAR(camera.toView(mercator::toWorld(east)).x(), 300, 1e-6);
  EXPECT_NEAR(camera.toView(mercator::toWorld(west)).x(), 100, 1e-6);
  EXPECT_NEAR(camera.toView(mercator::toWorld({-16.5, -180.0})).x(), 200, 1e-6);
}

TEST(MapCamera, ZoomAboutKeepsTheAnchorAndClamps) {
  MapCamera camera;
  camera.centre = mercator::toWorld({51.5, -0.12});
  camera.zoom = 15;
  const QPointF anchor(50, 700);
  const Coordinate before = camera.coordinateAt(anchor);
  camera.zoomAbout(16.7, anchor);
  EXPECT_NEAR(camera.coordinateAt(anchor).latitude, before.latitude, kDegreeTolerance);
  EXPECT_NEAR(camera.coordinateAt(anchor).longitude, before.longitude, kDegreeTolerance);
  camera.zoomAbout(40, anchor);
  EXPECT_EQ(camera.zoom, MapCamera::kMaxZoom);
  camera.zoomAbout(-3, anchor);
  EXPECT_EQ(camera.zoom, MapCamera::kMinZoom);
  camera.centre = {std::nan(""), 0.2};
  camera.zoom = std::nan("");
  camera.normalise();
  EXPECT_EQ(camera.centre, QPointF(0.5, 0.5)) << "NaN never reaches the tile grid";
  EXPECT_EQ(camera.zoom, MapCamera::kMinZoom);
}

TEST(MapCamera, RegionsAndTheMinimumCameraDistanceBecomeZooms) {
  MapCamera camera;
  camera.viewport = {390, 844};
  for (Coordinate centre : {Coordinate{0, 0}, Coordinate{60, 25}, Coordinate{-33.9, 151.2}}) {
    camera.zoom = camera.zoomForRegion(centre, 200, 200);
    camera.centre = mercator::toWorld(centre);
    const double perPoint = mercator::metresPerWorldUnit(centre.latitude) / camera.scale();
    // Narrow portrait view: the east–west span decides, edge to edge.
    EXPECT_NEAR(camera.viewport.width() * perPoint, 200.0, 2.0) << centre.latitude;
    EXPECT_GE(camera.viewport.height() * perPoint, 200.0);
  }
  camera.centre = mercator::toWorld({45, 7});
  camera.zoom = camera.zoomForCameraDistance(1000);
  // 30° field of view: the view's height covers 2·d·tan(15°).
  EXPECT_NEAR(camera.visibleHeightMetres(), 2 * 1000 * std::tan(15 * M_PI / 180), 1e-6);
  EXPECT_GT(camera.zoomForCameraDistance(10), camera.zoomForCameraDistance(1000));
}

}  // namespace
}  // namespace kavrano
