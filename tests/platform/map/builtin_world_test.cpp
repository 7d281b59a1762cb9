// The map a user sees with no network: the built-in world beneath imagery that
// never arrives, at the scale of the world, a country and a city.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QQuickWindow>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include "kavrano/qt_map/builtin_world.h"
#include "kavrano/qt_map/map_sources.h"
#include "kavrano/qt_map/quick_map_view.h"
#include "kavrano/qt_map/web_mercator.h"
#include "screenshot_compare.h"

namespace kavrano {
namespace {

/// Imagery with no way to its server: every tile is unavailable, for good.
class OfflineImagery : public TileSource {
 public:
  void request(const TileId& tile) override {
    QTimer::singleShot(0, this, [this, tile] { emit tileUnavailable(tile); });
  }
  void cancel(const TileId&) override {}
  [[nodiscard]] QString attribution() const override { return QStringLiteral("Imagery"); }
  [[nodiscard]] int maxZoom() const override { return 19; }
};

/// Imagery everywhere, one colour.
class CoveringImagery : public TileSource {
 public:
  void request(const TileId& tile) override {
    QTimer::singleShot(0, this, [this, tile] {
      QImage image(256, 256, QImage::Format_RGB32);
      image.fill(Qt::darkGreen);
      emit tileReady(tile, image);
    });
  }
  void cancel(const TileId&) override {}
  [[nodiscard]] QString attribution() const override { return QStringLiteral("Imagery"); }
  [[nodiscard]] int maxZoom() const override { return 19; }
};

/// KiB of `path`'s mapping in memory, from /proc/self/smaps.
long residentKiBOfMapping(const QString& path) {
  QFile smaps(QStringLiteral("/proc/self/smaps"));
  if (!smaps.open(QIODevice::ReadOnly)) return -1;
  long kib = 0;
  bool ours = false;
  for (const QByteArray& line : smaps.readAll().split('\n')) {
    const QList<QByteArray> words = line.simplified().split(' ');
    if (words.size() >= 5 && words[0].contains('-') && words[1].size() == 4)
      ours = words.size() >= 6 && words[5] == path.toUtf8();
    else if (ours && words.size() == 3 && words[0] == "Rss:")
      kib += words[1].toLong();
  }
  return kib;
}

// The way from the world down to the imagery paints the world and reads most of
// its vectors; once the imagery covers the view and the map rests, the map
// holds none of their pages.
TEST(BuiltinWorldOffline, ItsVectorsGoBackToTheSystemOnceImageryCoversTheViewAtRest) {
  const QString shipped = QFileInfo(builtinWorldPath()).dir().filePath(QStringLiteral("world.vectors"));
  if (builtinWorldPath().isEmpty() || !QFileInfo::exists(shipped)) GTEST_SKIP() << "no built-in world in this build";
  QTemporaryDir dir;
  const QString own = dir.filePath(QStringLiteral("world.vectors"));  // mapped by no other process
  ASSERT_TRUE(QFile::copy(shipped, own));
  QString error;
  auto world = BuiltinWorld::open(own, nullptr, {}, error);
  ASSERT_TRUE(world) << error.toStdString();

  QQuickWindow window;
  window.resize(320, 400);
  auto* map = new QuickMapView(window.contentItem());
  map->setSize({320, 400});
  map->setTileSource(MapType::Satellite, std::make_unique<OfflineImagery>());
  map->setWorldSource(std::make_unique<BuiltinWorldTileSource>(world));
  window.show();
  for (double zoom : {2.0, 5.0, 8.0}) {
    map->setCamera(mercator::toWorld({46.5, 6.6}), zoom);
    (void)window.grabWindow();
    ASSERT_TRUE(QTest::qWaitFor([&] {
      const auto& wanted = map->worldLayer().wanted();
      return !wanted.isEmpty() &&
             std::all_of(wanted.begin(), wanted.end(), [&](const TileId& t) { return map->worldLayer().hasImage(t); });
    }));
  }
  const long painted = residentKiBOfMapping(own);
  ASSERT_GT(painted, 256) << "painting read the vectors";

  map->setTileSource(MapType::Satellite, std::make_unique<CoveringImagery>());
  EXPECT_TRUE(QTest::qWaitFor([&] { return residentKiBOfMapping(own) < painted / 8; }, 15000))
      << residentKiBOfMapping(own) << " KiB still in memory of " << painted;
  const QImage shot = window.grabWindow();
  EXPECT_EQ(shot.pixelColor(160, 200), QColor(Qt::darkGreen)) << "the imagery covers the view";
}

TEST(BuiltinWorldOffline, CoastsBordersAndNamesShowAtTheScaleOfTheWorldACountryAndACity) {
  QQuickWindow window;
  const QSize size(320, 400);
  window.resize(size);
  auto* map = new QuickMapView(window.contentItem());
  map->setSize(size);
  map->setTileSource(MapType::Satellite, std::make_unique<OfflineImagery>());
  auto made = makeTileSource(QStringLiteral("builtin"), MapType::Satellite, nullptr);
  ASSERT_TRUE(made) << made.failure().reason;
  std::unique_ptr<TileSource> world = std::move(made).value();
  const auto builtin = qobject_cast<BuiltinWorldTileSource*>(world.get())->world();
  map->setWorldSource(std::move(world));
  // The names come once the gazetteer is open, which the first ask starts.
  ASSERT_TRUE(QTest::qWaitFor([&] { return builtin->places() != nullptr; }, 20000));
  window.show();

  struct Case {
    const char* name;
    Coordinate centre;
    double zoom;
  } cases[] = {
      {"world-zoom2", {25, 10}, 2},
      {"country-zoom6", {40, -4}, 6},          // Spain and Portugal
      {"city-zoom12", {43.2965, 5.3698}, 12},  // Marseille and its coast
  };
  QDir().mkpath(QStringLiteral(KAVRANO_SHOTS_DIR));
  for (const Case& c : cases) {
    map->setCamera(mercator::toWorld(c.centre), c.zoom);
    (void)window.grabWindow();  // the frame that asks for the world's tiles
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
          const auto& wanted = map->worldLayer().wanted();
          return !wanted.isEmpty() && std::all_of(wanted.begin(), wanted.end(),
                                                  [&](const TileId& t) { return map->worldLayer().hasImage(t); });
        },
        20000))
        << c.name;
    const QImage shot = window.grabWindow().convertToFormat(QImage::Format_RGB32);
    shot.save(QStringLiteral(KAVRANO_SHOTS_DIR "/%1.png").arg(QLatin1String(c.name)));
    qsizetype placeholder = 0, white = 0;
    for (int y = 0; y < shot.height(); ++y)
      for (int x = 0; x < shot.width(); ++x) {
        const QRgb p = shot.pixel(x, y);
        placeholder += p == qRgb(0xd9, 0xd6, 0xcf);
        white += p == qRgb(255, 255, 255);  // only names are drawn in pure white
      }
    EXPECT_EQ(placeholder, 0) << c.name << ": no void where the world should be";
    EXPECT_GT(white, 100) << c.name << ": place names";
    EXPECT_EQ(map->credit(), QStringLiteral("NASA Visible Earth · Natural Earth · GeoNames")) << c.name;
    const QString why = testing::compareWithReference(
        shot, QStringLiteral(KAVRANO_SHOT_REFERENCES "/%1.png").arg(QLatin1String(c.name)));
    EXPECT_TRUE(why.isEmpty()) << c.name << ": " << qPrintable(why);
  }
}

}  // namespace
}  // namespace kavrano
