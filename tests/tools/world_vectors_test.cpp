// The built-in world's vectors as the build made them: read back, whole where
// the Earth is whole, and every ring simple at every level of detail.
#include <gtest/gtest.h>

#include <QFile>
#include <algorithm>
#include <cmath>
#include <numbers>

#include "kavrano/qt_world/world_vectors.h"

namespace kavrano {
namespace {

namespace fmt = world_vectors_format;

class BuiltWorldVectors : public ::testing::Test {
 protected:
  void SetUp() override {
    file_.setFileName(QStringLiteral(KAVRANO_BUILT_WORLD_VECTORS));
    ASSERT_TRUE(file_.open(QIODevice::ReadOnly)) << KAVRANO_BUILT_WORLD_VECTORS;
    const uchar* bytes = file_.map(0, file_.size());
    ASSERT_NE(bytes, nullptr);
    world_ = WorldVectors::open(std::span(reinterpret_cast<const std::byte*>(bytes), std::size_t(file_.size())));
    ASSERT_TRUE(world_);
  }
  QFile file_;
  std::optional<WorldVectors> world_;
};

GridPoint gridOf(double lat, double lon) {
  const double phi = lat * std::numbers::pi / 180;
  return {
      std::llround((lon + 180) / 360 * fmt::kGrid),
      std::llround((0.5 - std::log(std::tan(std::numbers::pi / 4 + phi / 2)) / (2 * std::numbers::pi)) * fmt::kGrid)};
}

bool contains(const std::vector<GridPoint>& ring, GridPoint p) {
  bool inside = false;
  for (std::size_t k = 1; k < ring.size(); ++k) {
    const GridPoint a = ring[k - 1], b = ring[k];
    if ((a.y > p.y) != (b.y > p.y) && p.x < a.x + double(p.y - a.y) * double(b.x - a.x) / double(b.y - a.y))
      inside = !inside;
  }
  return inside;
}

// Checked apart from the compiler's own check: sides sorted by their west end
// and swept, each held against the sides still open.
bool simple(const std::vector<GridPoint>& ring) {
  struct Side {
    GridPoint a, b;
    std::size_t i;
  };
  const std::size_t n = ring.size() - 1;
  std::vector<Side> sides;
  for (std::size_t i = 0; i < n; ++i) {
    GridPoint a = ring[i], b = ring[i + 1];
    if (b.x < a.x) std::swap(a, b);
    sides.push_back({a, b, i});
  }
  std::sort(sides.begin(), sides.end(), [](const Side& s, const Side& t) { return s.a.x < t.a.x; });
  auto turn = [](GridPoint a, GridPoint b, GridPoint c) {
    const std::int64_t v = (b.x - a.x) * (c.y - a.y) - (b.y - a.y) * (c.x - a.x);
    return (v > 0) - (v < 0);
  };
  auto between = [](GridPoint a, GridPoint b, GridPoint p) {
    return std::min(a.x, b.x) <= p.x && p.x <= std::max(a.x, b.x) && std::min(a.y, b.y) <= p.y &&
           p.y <= std::max(a.y, b.y);
  };
  std::vector<const Side*> open;
  for (const Side& s : sides) {
    std::erase_if(open, [&](const Side* o) { return o->b.x < s.a.x; });
    for (const Side* o : open) {
      const std::size_t lo = std::min(s.i, o->i), hi = std::max(s.i, o->i);
      if (hi == lo + 1 || (lo == 0 && hi == n - 1)) continue;
      const int t1 = turn(s.a, s.b, o->a), t2 = turn(s.a, s.b, o->b), t3 = turn(o->a, o->b, s.a),
                t4 = turn(o->a, o->b, s.b);
      if ((t1 != t2 && t3 != t4) || (t1 == 0 && between(s.a, s.b, o->a)) || (t2 == 0 && between(s.a, s.b, o->b)) ||
          (t3 == 0 && between(o->a, o->b, s.a)) || (t4 == 0 && between(o->a, o->b, s.b)))
        return false;
    }
    open.push_back(&s);
  }
  return true;
}

TEST_F(BuiltWorldVectors, IcelandIsOneClosedRingOfCoastAtEveryLevel) {
  const GridPoint inland = gridOf(64.9, -18.6);
  const GridPoint southWest = gridOf(63.0, -25.0), northEast = gridOf(67.0, -13.0);
  for (std::size_t level = 0; level < world_->levelCount(); ++level) {
    int rings = 0;
    for (std::size_t i = 0; i < world_->shapeCount(level); ++i) {
      const WorldVectors::Shape shape = world_->shape(level, i);
      std::vector<GridPoint> points;
      if (shape.kind != WorldVectors::ShapeKind::Land || !WorldVectors::points(shape, points) ||
          !contains(points, inland))
        continue;
      ++rings;
      EXPECT_EQ(points.front(), points.back()) << "level " << level;
      EXPECT_GT(shape.box.left, southWest.x);
      EXPECT_LT(shape.box.right, northEast.x);
      EXPECT_GT(shape.box.top, northEast.y);
      EXPECT_LT(shape.box.bottom, southWest.y);
    }
    EXPECT_EQ(rings, 1) << "level " << level;
  }
}

TEST_F(BuiltWorldVectors, LandAndSeaWhereTheyAreAcrossTheSeamAndThePoles) {
  struct Case {
    const char* where;
    double lat, lon;
    bool land;
  } cases[] = {
      {"mid-Atlantic", 30, -40, false},
      {"Sahara", 23, 10, true},
      {"Caspian Sea", 42, 51, false},
      {"Pacific at the seam", 0, 179.99, false},
      {"Chukotka, east of the seam", 66, -175, true},
      {"Chukotka, west of the seam", 66, 175, true},
      {"Antarctica at the Mercator limit", -84, 0, true},
      {"Arctic Ocean", 84, 0, false},
  };
  for (const Case& c : cases) EXPECT_EQ(world_->isLand({c.lat, c.lon}), c.land) << c.where;
}

TEST_F(BuiltWorldVectors, SimplificationKeepsEveryRingSimpleAndCoarseLevelsSmall) {
  std::vector<std::size_t> pointsPerLevel;
  for (std::size_t level = 0; level < world_->levelCount(); ++level) {
    std::size_t total = 0;
    for (std::size_t i = 0; i < world_->shapeCount(level); ++i) {
      const WorldVectors::Shape shape = world_->shape(level, i);
      std::vector<GridPoint> points;
      ASSERT_TRUE(WorldVectors::points(shape, points)) << "level " << level << " shape " << i;
      total += points.size();
      if (shape.kind != WorldVectors::ShapeKind::Land) continue;
      ASSERT_GE(points.size(), 4u);
      EXPECT_EQ(points.front(), points.back());
      EXPECT_TRUE(simple(points)) << "level " << level << " ring " << i << " of " << points.size() << " points";
    }
    pointsPerLevel.push_back(total);
  }
  // Simplified at all: fewer points at each coarser level, and the world at
  // zoom 2 in a tenth of the data's.
  for (std::size_t level = 0; level + 1 < pointsPerLevel.size(); ++level)
    EXPECT_LT(pointsPerLevel[level], pointsPerLevel[level + 1]) << "level " << level;
  EXPECT_LT(pointsPerLevel.front() * 10, pointsPerLevel.back());
}

}  // namespace
}  // namespace kavrano
