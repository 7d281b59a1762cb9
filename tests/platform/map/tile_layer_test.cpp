#include <gtest/gtest.h>

#include "kavrano/qt_map/tile_layer.h"
#include "map_test_support.h"

namespace kavrano {
namespace {

TEST(TileLayer, AsksForTheViewAndOneRingThenCancelsWhatLeftIt) {
  TileLayer layer;
  auto owned = std::make_unique<test::MemoryTileSource>();
  test::MemoryTileSource* source = owned.get();
  layer.setSource(std::move(owned));
  MapCamera camera;
  camera.viewport = {256, 256};
  camera.zoom = 10;
  camera.centre = {300 / 1024.0, 400 / 1024.0};  // the corner of four tiles
  const auto pieces = layer.update(camera);
  EXPECT_EQ(pieces.size(), 4u) << "a one-tile view over a corner touches four";
  EXPECT_EQ(source->requested.size(), 16u) << "four visible and the ring of twelve around them";
  EXPECT_EQ(source->requested.first().z, 10);
  for (const TileId& t : source->requested) {
    EXPECT_GE(t.x, 298);
    EXPECT_LE(t.x, 302);
  }
  source->requested.clear();
  (void)layer.update(camera);
  EXPECT_TRUE(source->requested.isEmpty()) << "nothing asked twice";

  camera.centre.rx() += 10.0 / 1024.0;  // ten tiles east
  (void)layer.update(camera);
  EXPECT_EQ(source->cancelled.size(), 16);
  EXPECT_EQ(source->requested.size(), 16);
}

TEST(TileLayer, WrapsAroundTheAntimeridianAndStopsAtThePoles) {
  TileLayer layer;
  auto owned = std::make_unique<test::MemoryTileSource>();
  test::MemoryTileSource* source = owned.get();
  layer.setSource(std::move(owned));
  MapCamera camera;
  camera.viewport = {512, 512};
  camera.zoom = 2;
  camera.centre = {0.0, 0.01};
  const auto pieces = layer.update(camera);
  for (const TileId& t : source->requested) EXPECT_TRUE(t.valid()) << t.x << "," << t.y;
  EXPECT_TRUE(source->requested.contains(TileId{2, 3, 0}));
  EXPECT_TRUE(source->requested.contains(TileId{2, 0, 0}));
  EXPECT_EQ(pieces.size(), 4u) << "rows above the world are not drawn";
}

}  // namespace
}  // namespace kavrano
