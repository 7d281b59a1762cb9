// The built-in world's vectors file: the app maps it from share/kavrano/, where
// anyone who can write there can change it. Whatever the bytes, opening, every
// shape's points, land tests and label queries stay inside them, and what they
// answer keeps the promises the map relies on.
#include <cstdint>
#include <cstdlib>
#include <span>
#include <vector>

#include "kavrano/qt_world/world_vectors.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  namespace fmt = kavrano::world_vectors_format;
  const auto world = kavrano::WorldVectors::open(std::span(reinterpret_cast<const std::byte*>(data), size));
  if (!world) return 0;
  std::vector<kavrano::GridPoint> points;
  for (std::size_t level = 0; level < world->levelCount(); ++level) {
    for (std::size_t i = 0; i < world->shapeCount(level); ++i) {
      const auto shape = world->shape(level, i);
      points.clear();
      if (!kavrano::WorldVectors::points(shape, points)) {
        if (!points.empty()) std::abort();  // a damaged shape gives nothing, not a part
        continue;
      }
      if (points.size() != shape.count) std::abort();
      for (const kavrano::GridPoint& p : points)
        if (p.x < shape.box.left || p.x > shape.box.right || p.y < shape.box.top || p.y > shape.box.bottom)
          std::abort();
    }
  }
  (void)world->isLand({0, 0});
  (void)world->isLand({45.5, -73.6});
  for (std::uint32_t zoom : {0u, 6u, 40u})
    for (const auto& label : world->labels(zoom, {0, 0, fmt::kGrid, fmt::kGrid}))
      if (label.fromZoom > zoom || label.place >= world->gazetteerSize() || label.x > fmt::kGrid) std::abort();
  return 0;
}
