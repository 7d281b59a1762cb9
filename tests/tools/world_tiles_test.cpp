#include "kavrano/tools/world_tiles.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QGuiApplication>
#include <QTemporaryDir>
#include <algorithm>
#include <cmath>
#include <functional>
#include <map>
#include <numbers>

#include "kavrano/qt_map/map_sources.h"
#include "kavrano/qt_map/mbtiles_reader.h"
#include "kavrano/qt_map/tile_source.h"

namespace kavrano {
namespace {

constexpr int kMid = 125, kSwing = 95;

/// −1 to 1 across half a degree each side of a boundary, linear in between, so
/// that bilinear sampling reproduces it exactly and the half-way colour lies on
/// the boundary to a fraction of a pixel at any zoom.
double ramp(double degreesPast) { return std::clamp(degreesPast / 0.5, -1.0, 1.0); }

/// Red: the eastern hemisphere, rising across 0° and falling across 180°; green:
/// the northern; blue: 51.5°N to 85°N, and south of 85°S.
QImage hemispheres() {
  QImage image(2160, 1080, QImage::Format_RGB888);
  auto channel = [](double s) { return static_cast<int>(std::lround(kMid + kSwing * s)); };
  for (int r = 0; r < image.height(); ++r) {
    const double lat = 90 - (r + 0.5) / 6;
    const double green = ramp(lat);
    const double blue = std::max(std::min(ramp(lat - 51.5), ramp(85 - lat)), ramp(-85 - lat));
    for (int c = 0; c < image.width(); ++c) {
      const double lon = -180 + (c + 0.5) / 6;
      const double red = lon >= 0 ? std::min(ramp(lon), ramp(180 - lon)) : std::max(ramp(lon), ramp(-180 - lon));
      image.setPixelColor(c, r, QColor(channel(red), channel(green), channel(blue)));
    }
  }
  return image;
}

/// Web Mercator forward, written out here rather than taken from the tool,
/// which only ever runs it backwards. Pixels at zoom z, 0 at the north edge.
double rowOf(double latitude, int z) {
  return (1 - std::asinh(std::tan(latitude * std::numbers::pi / 180)) / std::numbers::pi) / 2 * 256 * (1 << z);
}
double columnOf(double longitude, int z) { return (longitude + 180) / 360 * 256 * (1 << z); }

class TileSet {
 public:
  explicit TileSet(const QString& path) { ok_ = reader_.open(path); }
  [[nodiscard]] bool ok() const { return ok_; }
  /// The colour at pixel (x, y) of zoom z, x wrapping around the world.
  QColor at(int z, int x, int y) {
    const int size = 256 << z;
    x = ((x % size) + size) % size;
    const TileId id{z, x / 256, y / 256};
    auto it = decoded_.find({z, id.x, id.y});
    if (it == decoded_.end()) {
      const auto bytes = reader_.tile(id);
      it = decoded_.emplace(std::tuple{z, id.x, id.y}, bytes ? decodeTileImage(*bytes) : QImage()).first;
    }
    return it->second.isNull() ? QColor() : it->second.pixelColor(x % 256, y % 256);
  }
  MbtilesReader& reader() { return reader_; }

 private:
  MbtilesReader reader_;
  bool ok_ = false;
  std::map<std::tuple<int, int, int>, QImage> decoded_;
};

/// Where a channel sampled at pixels first..last crosses half-way, in pixel
/// coordinates (pixel i spans i to i + 1), or NaN if it never does.
double crossing(int first, int last, const std::function<int(int)>& channel) {
  for (int i = first; i < last; ++i) {
    const int a = channel(i), b = channel(i + 1);
    if ((a < kMid) != (b < kMid)) return i + 0.5 + static_cast<double>(kMid - a) / (b - a);
  }
  return std::nan("");
}

class WorldTilesTest : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    dir_ = new QTemporaryDir;
    path_ = dir_->filePath(QStringLiteral("world.mbtiles"));
    error_ = writeWorldTiles(hemispheres(), path_, 4, QStringLiteral("Test credit"));
  }
  static void TearDownTestSuite() { delete dir_; }
  static inline QTemporaryDir* dir_ = nullptr;
  static inline QString path_, error_;
};

// A quarter pixel: JPEG moves these crossings by a tenth, a sample taken at a
// pixel's corner instead of its centre moves them by half.
TEST_F(WorldTilesTest, KnownPointsLandOnTheirPixelOfTheirTile) {
  ASSERT_EQ(error_, QString());
  TileSet tiles(path_);
  ASSERT_TRUE(tiles.ok());
  for (int z : {3, 4}) {
    SCOPED_TRACE(z);
    const int size = 256 << z;
    const int row10N = static_cast<int>(rowOf(10, z)), column10E = static_cast<int>(columnOf(10, z));
    auto red = [&](int x) { return tiles.at(z, x, row10N).red(); };
    auto green = [&](int y) { return tiles.at(z, column10E, y).green(); };
    auto blue = [&](int y) { return tiles.at(z, column10E, y).blue(); };

    // 0°, 0°: the prime meridian and the equator meet on the corner of four tiles.
    EXPECT_NEAR(crossing(size / 2 - 8, size / 2 + 8, red), size / 2.0, 0.25);
    EXPECT_NEAR(crossing(size / 2 - 8, size / 2 + 8, green), size / 2.0, 0.25);
    // The antimeridian: the last tile's east edge runs on into the first's west.
    EXPECT_NEAR(crossing(-8, 8, red), 0, 0.25);
    // ... without a seam: the step across it is the step across 0°.
    EXPECT_NEAR(red(-1) - red(0), red(size / 2) - red(size / 2 - 1), 6);
    // 51.5°N, and ±85° a few pixels inside the north and south edges.
    EXPECT_NEAR(crossing(static_cast<int>(rowOf(60, z)), static_cast<int>(rowOf(40, z)), blue), rowOf(51.5, z), 0.25);
    // Near the poles one source pixel stretches over a hundred rows, so JPEG's
    // rounding moves the crossing by rows; 0.02° of latitude still tells a
    // square world cut at 85.0511° from one cut anywhere else.
    const double rows002 = rowOf(84.98, z) - rowOf(85, z);
    EXPECT_NEAR(crossing(0, static_cast<int>(rowOf(80, z)), blue), rowOf(85, z), rows002);
    EXPECT_NEAR(crossing(static_cast<int>(rowOf(-80, z)), size - 1, blue), rowOf(-85, z), rows002);
  }
}

TEST_F(WorldTilesTest, PyramidHasEveryTileOfZoomsZeroToFourAndNoneBeyond) {
  ASSERT_EQ(error_, QString());
  MbtilesReader reader;
  ASSERT_TRUE(reader.open(path_));
  EXPECT_EQ(reader.maxZoom(), 4);
  EXPECT_EQ(reader.metadata(QStringLiteral("format")), QStringLiteral("jpg"));
  EXPECT_EQ(reader.metadata(QStringLiteral("attribution")), QStringLiteral("Test credit"));
  for (int z = 0; z <= 4; ++z)
    for (int x = 0; x < 1 << z; ++x)
      for (int y = 0; y < 1 << z; ++y) {
        const auto bytes = reader.tile({z, x, y});
        ASSERT_TRUE(bytes) << z << "/" << x << "/" << y;
        EXPECT_EQ(decodeTileImage(*bytes).size(), QSize(256, 256)) << z << "/" << x << "/" << y;
      }
  EXPECT_FALSE(reader.tile({5, 0, 0}));
  EXPECT_FALSE(reader.tile({4, 16, 0}));
}

TEST(WorldTiles, SamePictureGivesTheSameFileEvenOverAnOldOne) {
  QTemporaryDir dir;
  const QString first = dir.filePath(QStringLiteral("a.mbtiles")), second = dir.filePath(QStringLiteral("b.mbtiles"));
  const QImage picture = hemispheres();
  ASSERT_EQ(writeWorldTiles(picture, first, 2, QStringLiteral("x")), QString());
  ASSERT_EQ(writeWorldTiles(picture.mirrored(), second, 3, QStringLiteral("y")), QString());
  ASSERT_EQ(writeWorldTiles(picture, second, 2, QStringLiteral("x")), QString());
  QFile a(first), b(second);
  ASSERT_TRUE(a.open(QIODevice::ReadOnly) && b.open(QIODevice::ReadOnly));
  EXPECT_TRUE(a.readAll() == b.readAll());
  EXPECT_NE(writeWorldTiles(QImage(), first, 2, {}), QString());
}

// The file the build makes from the NASA picture: right way up and round, and
// found by `--tiles builtin` from a program in the build tree.
TEST(BuiltinWorld, ShowsTheSeaAtZeroZeroAndTheSaharaAsLandAndIsFoundBesideThePrograms) {
  if (!QFile::exists(QStringLiteral(KAVRANO_BUILT_WORLD)))
    GTEST_SKIP() << "built without the source picture (xplanet-images)";
  TileSet tiles(QStringLiteral(KAVRANO_BUILT_WORLD));
  ASSERT_TRUE(tiles.ok());
  const QColor gulfOfGuinea = tiles.at(4, static_cast<int>(columnOf(0, 4)), static_cast<int>(rowOf(0, 4)));
  const QColor sahara = tiles.at(4, static_cast<int>(columnOf(10, 4)), static_cast<int>(rowOf(24, 4)));
  EXPECT_GT(gulfOfGuinea.blue(), gulfOfGuinea.red() + 40) << qPrintable(gulfOfGuinea.name());
  EXPECT_GT(sahara.red(), sahara.blue() + 40) << qPrintable(sahara.name());
  EXPECT_EQ(tiles.reader().metadata(QStringLiteral("attribution")), QStringLiteral("NASA Visible Earth"));

  const auto source = makeTileSource(QStringLiteral("builtin"), MapType::Satellite, nullptr);
  ASSERT_TRUE(source) << source.failure().reason;
  EXPECT_EQ(source.value()->attribution(), QStringLiteral("NASA Visible Earth · Natural Earth · GeoNames"));
}

}  // namespace
}  // namespace kavrano

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication app(argc, argv);  // the JPEG plugin
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
