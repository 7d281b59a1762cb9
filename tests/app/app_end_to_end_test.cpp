// The real app, end to end under the offscreen platform: taps on the map, the
// area in the chosen unit, the feedback form, saving under a title, and after
// a restart the record in the store and back on the map. Each run of the app is
// a process of its own (this program, started again with --session). The
// in-process view checks share this main.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <QBuffer>
#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QProcess>
#include <QQuickItem>
#include <QQuickWindow>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>
#include <cstdio>

#include "kavrano/app/app_delegate.h"
#include "kavrano/app/scene_delegate.h"
#include "kavrano/core/measurement_manager.h"
#include "kavrano/core/persistance_manager.h"
#include "kavrano/core/sqlite_preference_store.h"
#include "kavrano/core/unit_converter.h"
#include "kavrano/qt_map/web_mercator.h"

namespace kavrano {
namespace {

constexpr double kLatitude = 46.5105, kLongitude = 6.6326;  // fields above a lake shore
constexpr int kZoom = 17;                                   // about 1.2 m a pixel here

QString gProgram;

/// Imagery-like tiles: fields of varied greens and browns between hedges.
QByteArray fieldTile(int x, int y) {
  QImage image(256, 256, QImage::Format_RGB32);
  QPainter p(&image);
  const QColor fields[] = {{94, 122, 62}, {128, 140, 78}, {150, 128, 86}, {76, 104, 58}, {170, 160, 110}};
  p.setPen(QPen(QColor(52, 74, 40), 3));
  for (int f = 0; f < 16; ++f) {
    p.setBrush(fields[QRandomGenerator(static_cast<quint32>(x * 31 + y * 17 + f)).bounded(5)]);
    p.drawRect(f % 4 * 64, f / 4 * 64, 64, 64);
  }
  p.end();
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  image.save(&buffer, "PNG");
  return bytes;
}

/// An MBTiles file covering a few hundred metres around the place, at one zoom.
bool makeFixture(const QString& path) {
  sqlite3* db = nullptr;
  if (sqlite3_open(path.toUtf8().constData(), &db) != SQLITE_OK) return false;
  sqlite3_exec(db,
               "CREATE TABLE metadata (name text, value text);"
               "CREATE TABLE tiles (zoom_level integer, tile_column integer, tile_row integer, tile_data blob);"
               "INSERT INTO metadata VALUES ('maxzoom', '17'), ('minzoom', '17'), "
               "('attribution', 'Test imagery, drawn by the test');",
               nullptr, nullptr, nullptr);
  const QPointF world = mercator::toWorld({kLatitude, kLongitude});  // 0..1 across the world
  const int n = 1 << kZoom;
  const int cx = static_cast<int>(world.x() * n), cy = static_cast<int>(world.y() * n);
  for (int x = cx - 3; x <= cx + 3; ++x) {
    for (int y = cy - 4; y <= cy + 4; ++y) {
      const QByteArray png = fieldTile(x, y);
      sqlite3_stmt* st = nullptr;
      sqlite3_prepare_v2(db, "INSERT INTO tiles VALUES (?, ?, ?, ?)", -1, &st, nullptr);
      sqlite3_bind_int(st, 1, kZoom);
      sqlite3_bind_int(st, 2, x);
      sqlite3_bind_int(st, 3, n - 1 - y);  // TMS rows count from the south
      sqlite3_bind_blob(st, 4, png.constData(), static_cast<int>(png.size()), SQLITE_TRANSIENT);
      sqlite3_step(st);
      sqlite3_finalize(st);
    }
  }
  return sqlite3_close(db) == SQLITE_OK;
}

QQuickItem* findItem(QQuickItem* root, const QString& name) {
  if (!root) return nullptr;
  if (root->objectName() == name) return root;
  for (QQuickItem* child : root->childItems()) {
    if (QQuickItem* found = findItem(child, name)) return found;
  }
  return nullptr;
}

void click(QQuickWindow* window, QQuickItem* item) {
  const QPointF centre = item->mapToScene(QPointF(item->width() / 2, item->height() / 2));
  QTest::mouseClick(window, Qt::LeftButton, Qt::NoModifier, centre.toPoint());
}

bool shoot(QQuickWindow* window, const QString& dir, const QString& name) {
  QTest::qWait(450);  // transitions and dissolves are over
  return window->grabWindow().save(dir + QLatin1Char('/') + name + QStringLiteral(".png"));
}

#define SESSION_CHECK(condition, what)                    \
  do {                                                    \
    if (!(condition)) {                                   \
      std::fprintf(stderr, "session: %s failed\n", what); \
      return 1;                                           \
    }                                                     \
  } while (false)

/// First run: measure three points in acres, answer the form, save as "Garden".
int measureSession(const QString& data, const QString& tiles, const QString& shots) {
  AppDelegate app;
  QString error;
  AppOptions options{data, tiles, QStringLiteral("offline"), QStringLiteral("%1,%2").arg(kLatitude).arg(kLongitude),
                     QStringLiteral("en_US")};
  SESSION_CHECK(app.didFinishLaunching(options, error), "launch");
  UnitConverter::shared().setAreaUnit("ac");
  SceneDelegate scene;
  SESSION_CHECK(scene.connect(options, error), "window");
  QQuickWindow* window = scene.window();
  SESSION_CHECK(QTest::qWaitForWindowExposed(window), "exposed");
  QTest::qWait(1800);  // the start-up follow, then the 200 m zoom
  SESSION_CHECK(shoot(window, shots, "1-start"), "shot start");

  MapMeasureViewController* measure = scene.measureController();
  const QPoint taps[] = {{110, 380}, {280, 360}, {230, 600}};
  std::vector<Coordinate> ring;
  for (const QPoint& tap : taps) {
    ring.push_back(scene.mapView()->convertPointToCoordinate(tap));
    QTest::mouseClick(window, Qt::LeftButton, Qt::NoModifier, tap);
    QTest::qWait(350);  // beyond the double-tap window, so each is a tap of its own
  }
  const QString expected =
      QStringLiteral("Area: ") +
      QString::fromStdString(UnitConverter::shared().areaText(MeasurementManager().polygonArea(ring)));
  SESSION_CHECK(QTest::qWaitFor([&] { return measure->areaText() == expected; }, 3000), "area text");
  SESSION_CHECK(expected.endsWith(QStringLiteral(" ac")), "acres");
  std::printf("%s\n", qPrintable(measure->areaText()));
  SESSION_CHECK(scene.haptics().impactCount() == 3, "one tick per point");

  // The first area ever brings the feedback form over the screen.
  SESSION_CHECK(QTest::qWaitFor([&] { return scene.measurePresenter().isPresenting(); }, 2000), "form shown");
  SESSION_CHECK(shoot(window, shots, "2-feedback-form"), "shot form");
  QQuickItem* positive = findItem(scene.measurePresenter().presentedView(), QStringLiteral("positiveButton"));
  SESSION_CHECK(positive, "form button");
  click(window, positive);
  SESSION_CHECK(QTest::qWaitFor([&] { return scene.storeReview().requestCount() == 1; }, 2000), "review requested");
  SESSION_CHECK(shoot(window, shots, "3-area"), "shot area");

  QQuickItem* page = window->contentItem();
  click(window, findItem(page, QStringLiteral("saveButton")));
  SESSION_CHECK(QTest::qWaitFor([&] { return scene.measurePresenter().isPresenting(); }, 2000), "save dialog");
  QQuickItem* dialog = scene.measurePresenter().presentedView();
  QQuickItem* field = findItem(dialog, QStringLiteral("alertTextField0"));
  SESSION_CHECK(field, "title field");
  field->forceActiveFocus();
  for (const char c : QByteArrayLiteral("Garden")) QTest::keyClick(window, c);
  SESSION_CHECK(shoot(window, shots, "4-save-dialog"), "shot dialog");
  click(window, findItem(dialog, QStringLiteral("alertButtonSave")));
  SESSION_CHECK(QTest::qWaitFor(
                    [&] {
                      QQuickItem* shown = scene.measurePresenter().presentedView();
                      QQuickItem* title = findItem(shown, QStringLiteral("alertTitle"));
                      return title && title->property("text").toString() == QStringLiteral("Success");
                    },
                    3000),
                "success alert");
  SESSION_CHECK(shoot(window, shots, "5-saved"), "shot saved");
  click(window, findItem(scene.measurePresenter().presentedView(), QStringLiteral("alertButtonOK")));
  SESSION_CHECK(QTest::qWaitFor([&] { return !scene.measurePresenter().isPresenting(); }, 2000), "alert gone");

  click(window, findItem(page, QStringLiteral("loadButton")));
  SESSION_CHECK(QTest::qWaitFor([&] { return scene.navigation()->depth() == 2; }, 2000), "list pushed");
  SESSION_CHECK(shoot(window, shots, "6-list"), "shot list");
  return 0;
}

/// Second run: the saved record, opened from the store onto the map.
int reopenSession(const QString& data, const QString& tiles, const QString& shots) {
  AppDelegate app;
  QString error;
  AppOptions options{data, tiles, QStringLiteral("offline"), {}, QStringLiteral("en_US")};
  SESSION_CHECK(app.didFinishLaunching(options, error), "launch");
  SceneDelegate scene;
  SESSION_CHECK(scene.connect(options, error), "window");
  SESSION_CHECK(QTest::qWaitForWindowExposed(scene.window()), "exposed");
  QTest::qWait(1200);
  const auto records = PersistanceManager().loadMeasurements();
  SESSION_CHECK(records.size() == 1 && records[0].title == "Garden", "record found by the app");
  MapMeasureViewController* measure = scene.measureController();
  measure->didSelectMeasurement(records[0]);
  SESSION_CHECK(QTest::qWaitFor([&] { return measure->areaText().startsWith(QStringLiteral("Area: ")); }, 3000),
                "reopened");
  SESSION_CHECK(measure->areaText().endsWith(QStringLiteral(" ac")), "unit kept across runs");
  SESSION_CHECK(shoot(scene.window(), shots, "7-reopened"), "shot reopened");

  // The place search over the map, answered by the offline gazetteer.
  QQuickItem* field = findItem(scene.window()->contentItem(), QStringLiteral("searchField"));
  SESSION_CHECK(field, "search field");
  field->forceActiveFocus();
  for (const char c : QByteArrayLiteral("Lausanne")) QTest::keyClick(scene.window(), c);
  SESSION_CHECK(QTest::qWaitFor(
                    [&] {
                      QQuickItem* table = findItem(scene.window()->contentItem(), QStringLiteral("tableView"));
                      return table && table->property("count").toInt() > 0;
                    },
                    5000),
                "suggestions");
  SESSION_CHECK(shoot(scene.window(), shots, "8-search"), "shot search");
  return 0;
}

int runSession(const QStringList& args) {
  // --session NAME DATA TILES SHOTS
  const QString& name = args.at(2);
  if (name == QLatin1String("measure")) return measureSession(args.at(3), args.at(4), args.at(5));
  return reopenSession(args.at(3), args.at(4), args.at(5));
}

int runChild(const QString& session, const QString& data, const QString& tiles, QString* output) {
  QProcess child;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
  env.insert(QStringLiteral("XDG_CACHE_HOME"), data + QStringLiteral("-cache"));  // not the user's tile cache
  child.setProcessEnvironment(env);
  child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
  child.start(gProgram, {QStringLiteral("--session"), session, data, tiles, QStringLiteral(KAVRANO_SHOTS_DIR)});
  if (!child.waitForFinished(120'000)) return -1;
  if (output) *output = QString::fromUtf8(child.readAllStandardOutput());
  return child.exitStatus() == QProcess::NormalExit ? child.exitCode() : -2;
}

TEST(AppEndToEnd, MeasureSaveRestartAndFindTheRecord) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  QDir().mkpath(QStringLiteral(KAVRANO_SHOTS_DIR));
  const QString data = dir.filePath(QStringLiteral("data"));
  const QString tiles = dir.filePath(QStringLiteral("fields.mbtiles"));
  ASSERT_TRUE(makeFixture(tiles));

  QString printed;
  ASSERT_EQ(runChild(QStringLiteral("measure"), data, tiles, &printed), 0);
  EXPECT_TRUE(printed.startsWith(QStringLiteral("Area: "))) << qPrintable(printed);

  // The store, read by this process after the app has gone.
  auto store =
      SqlitePreferenceStore::open(std::filesystem::path(data.toStdString()) / SqlitePreferenceStore::kFileName);
  ASSERT_TRUE(store);
  const auto records = PersistanceManager(*store).loadMeasurements();
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0].title, "Garden");
  EXPECT_EQ(records[0].annotations.size(), 3u);
  EXPECT_NEAR(records[0].center.latitude, kLatitude, 0.01);
  EXPECT_TRUE(store->boolForKey("DID_REQUEST"));
  EXPECT_TRUE(store->boolForKey("ACHIEVED_SUCCESS"));

  EXPECT_EQ(runChild(QStringLiteral("reopen"), data, tiles, nullptr), 0);
}

}  // namespace
}  // namespace kavrano

int main(int argc, char** argv) {
  if (argc == 6 && QByteArray(argv[1]) == "--session") {
    QStringList args;
    for (int i = 0; i < argc; ++i) args << QString::fromLocal8Bit(argv[i]);
    QGuiApplication app(argc, argv);
    return kavrano::runSession(args);
  }
  kavrano::gProgram = QString::fromLocal8Bit(argv[0]);
  qputenv("QT_QPA_PLATFORM", "offscreen");  // never a display, also when listing tests
  QTemporaryDir cache;
  qputenv("XDG_CACHE_HOME", cache.path().toUtf8());
  QGuiApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
