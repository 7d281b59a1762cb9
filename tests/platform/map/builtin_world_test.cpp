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
#include "kavrano/qt_map/world_label_layout.h"
#include "kavrano/qt_map/world_label_node.h"
#include "kavrano/qt_map/world_overview.h"
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

TEST(WorldOverview, ShowsSeaAndLandWhereTheyAreAndDamagedFilesAreRefused) {
  const WorldOverview shipped = builtinWorldOverview();
  const QImage& overview = shipped.image;
  ASSERT_FALSE(overview.isNull()) << "share/kavrano/world.overview";
  EXPECT_EQ(shipped.credit, QStringLiteral("NASA Visible Earth"));
  EXPECT_EQ(overview.size(), QSize(512, 512));
  auto at = [&](Coordinate c) {
    const QPointF p = mercator::toWorld(c) * overview.width();
    return overview.pixelColor(p.toPoint());
  };
  const QColor gulfOfGuinea = at({0, 0}), sahara = at({23, 10});
  EXPECT_GT(gulfOfGuinea.blue(), gulfOfGuinea.red());
  EXPECT_GT(sahara.red(), sahara.blue());

  // A file of the same pixels, whole and then damaged.
  QTemporaryDir dir;
  QByteArray bytes("KVWO\x02\0\0\0\0\x02\0\0\x03\0\0\0", 16);
  for (int y = 0; y < overview.height(); ++y)
    bytes.append(reinterpret_cast<const char*>(overview.constScanLine(y)), qsizetype{overview.width()} * 4);
  bytes.append("Sky");
  auto refused = [&](const QByteArray& damaged) {
    const QString path = dir.filePath(QStringLiteral("damaged.overview"));
    QFile out(path);
    if (!out.open(QIODevice::WriteOnly) || out.write(damaged) != damaged.size()) return false;
    out.close();
    return openWorldOverview(path).image.isNull();
  };
  EXPECT_FALSE(refused(bytes));
  EXPECT_EQ(openWorldOverview(dir.filePath(QStringLiteral("damaged.overview"))).credit, QStringLiteral("Sky"));
  EXPECT_TRUE(refused(bytes.left(bytes.size() - 1)));
  EXPECT_TRUE(refused(bytes + '\0'));
  EXPECT_TRUE(refused(bytes.left(8)));
  QByteArray huge = bytes;
  huge[9] = 0x7f;  // a side of 32,512 pixels, far more than the file holds
  EXPECT_TRUE(refused(huge));
  QByteArray future = bytes;
  future[4] = 3;
  EXPECT_TRUE(refused(future));
  QByteArray longCredit = bytes;
  longCredit[13] = 0x01;  // 259 bytes, over the bound, and more than the file holds
  EXPECT_TRUE(refused(longCredit));
}

// Spain at zoom 6 across a phone's view, named as the map names it, held
// against every place the file knows there.
TEST(BuiltinWorldLabels, NoTownIsNamedOverALargerPlaceAndTheLargestCitiesAreNamed) {
  auto made = makeTileSource(QStringLiteral("builtin"), MapType::Satellite, nullptr);
  ASSERT_TRUE(made) << made.failure().reason;
  const auto world = qobject_cast<BuiltinWorldTileSource*>(made.value().get())->world();
  std::shared_ptr<const GazetteerIndex> places;
  ASSERT_TRUE(QTest::qWaitFor([&] { return (places = world->places()) != nullptr; }, 20000));
  auto nameOf = [&](std::uint32_t place) {
    const std::string_view name = places->place(place).name;
    return QString::fromUtf8(name.data(), qsizetype(name.size()));
  };
  auto sizeOf = [](std::uint32_t, const GazetteerPlace& details) {
    return QSizeF(WorldLabelNode::picture(details.name, 1).size());
  };
  // Capitals come first whatever their size.
  const QStringList capitals{QStringLiteral("Madrid"), QStringLiteral("Gibraltar"), QStringLiteral("Rabat"),
                             QStringLiteral("Lisbon"), QStringLiteral("Andorra la Vella")};
  for (const double zoom : {6.0, 6.5}) {
    MapCamera camera;
    camera.viewport = QSizeF(390, 844);
    camera.centre = mercator::toWorld({40, -4});
    camera.zoom = zoom;
    const auto placed = layOutWorldLabels(
        world->vectors(), *places, camera, [](QPointF) { return true; }, sizeOf);
    QStringList named;
    for (const PlacedWorldLabel& p : placed) named << nameOf(p.place);
    for (const char* city : {"Madrid", "Sevilla", "Málaga", "Granada", "Albacete", "Valladolid", "Murcia", "Córdoba"})
      EXPECT_TRUE(named.contains(QString::fromUtf8(city)))
          << city << " at zoom " << zoom << "; named: " << qPrintable(named.join(", "));

    const QRectF view(QPointF(0, 0), camera.viewport);
    const QRectF seen = camera.visibleWorld();
    const GridBox box{std::int64_t(seen.left() * (1 << 24)), std::int64_t(seen.top() * (1 << 24)),
                      std::int64_t(seen.right() * (1 << 24)), std::int64_t(seen.bottom() * (1 << 24))};
    for (const WorldVectors::Label& label : world->vectors().labels(14, box)) {
      const GazetteerPlace left = places->place(label.place);
      const QSizeF size = sizeOf(label.place, left);
      const QRectF rect(camera.toView(mercator::toWorld(left.coordinate)) - QPointF(size.width(), size.height()) / 2,
                        size);
      if (!view.contains(rect)) continue;
      for (const PlacedWorldLabel& p : placed) {
        const GazetteerPlace kept = places->place(p.place);
        if (p.place == label.place || !p.rect.intersects(rect) || kept.population >= left.population ||
            capitals.contains(nameOf(p.place)))
          continue;
        ADD_FAILURE() << qPrintable(nameOf(p.place)) << " (" << kept.population << ") is named over "
                      << qPrintable(nameOf(label.place)) << " (" << left.population << ") at zoom " << zoom;
      }
    }
  }
}

}  // namespace
}  // namespace kavrano
