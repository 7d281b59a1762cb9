// The map a user sees with no network: the built-in world beneath imagery that
// never arrives, at the scale of the world, a country and a city.
#include <gtest/gtest.h>

#include <QDir>
#include <QQuickWindow>
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
