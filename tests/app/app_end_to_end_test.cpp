// The real app, end to end under the offscreen platform: taps on the map, the
// area in the chosen unit, the feedback form, saving under a title, and after
// a restart the record in the store and back on the map. Each run of the app is
// a process of its own (this program, started again with --session). The
// in-process view checks share this main.
#include <gtest/gtest.h>

#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QProcess>
#include <QQuickItem>
#include <QQuickWindow>
#include <QTemporaryDir>
#include <QTest>
#include <cstdio>

#include "kavrano/app/app_delegate.h"
#include "kavrano/app/scene_delegate.h"
#include "kavrano/core/measurement_manager.h"
#include "kavrano/core/persistance_manager.h"
#include "kavrano/core/sqlite_preference_store.h"
#include "kavrano/core/unit_converter.h"
#include "kavrano/core/user_settings.h"
#include "kavrano/tools/fields_imagery.h"
#include "quick_items.h"

namespace kavrano {
namespace {

using test::click;
using test::findShownItem;

constexpr double kLatitude = 46.5105, kLongitude = 6.6326;  // fields above a lake shore
constexpr int kZoom = 17;                                   // about 1.2 m a pixel here

QString gProgram;

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

/// Taps the points and waits for the area the app should show for them.
bool measureArea(SceneDelegate& scene, const std::vector<QPoint>& taps, QString& shown) {
  std::vector<Coordinate> ring;
  for (const QPoint& tap : taps) {
    ring.push_back(scene.mapView()->convertPointToCoordinate(tap));
    QTest::mouseClick(scene.window(), Qt::LeftButton, Qt::NoModifier, tap);
    QTest::qWait(350);  // beyond the double-tap window, so each is a tap of its own
  }
  shown = QStringLiteral("Area: ") +
          QString::fromStdString(UnitConverter::shared().areaText(MeasurementManager().polygonArea(ring)));
  return QTest::qWaitFor([&] { return scene.measureController()->areaText() == shown; }, 3000);
}

/// The save button, the title typed into the dialog, "Save", then "OK" on "Success".
bool saveAs(SceneDelegate& scene, const QByteArray& title, const QString& shots, const QString& shot) {
  QQuickWindow* window = scene.window();
  click(window, findShownItem(window->contentItem(), QStringLiteral("saveButton")));
  if (!QTest::qWaitFor([&] { return scene.measurePresenter().isPresenting(); }, 2000)) return false;
  QQuickItem* dialog = scene.measurePresenter().presentedView();
  QQuickItem* field = findShownItem(dialog, QStringLiteral("alertTextField0"));
  if (!field) return false;
  field->forceActiveFocus();
  for (const char c : title) QTest::keyClick(window, c);
  if (!shot.isEmpty() && !shoot(window, shots, shot)) return false;
  click(window, findShownItem(dialog, QStringLiteral("alertButtonSave")));
  if (!QTest::qWaitFor(
          [&] {
            return findShownItem(scene.measurePresenter().presentedView(), QStringLiteral("alertTitle"),
                                 QStringLiteral("Success"));
          },
          3000)) {
    return false;
  }
  if (!shot.isEmpty() && !shoot(window, shots, shot + QStringLiteral("-success"))) return false;
  click(window, findShownItem(scene.measurePresenter().presentedView(), QStringLiteral("alertButtonOK")));
  return QTest::qWaitFor([&] { return !scene.measurePresenter().isPresenting(); }, 2000);
}

/// First run: an area in the default unit, the feedback form, saved as "Garden";
/// the area unit changed to acres in the settings; a second area, in acres, saved
/// as "Field"; in the list "Garden" deleted and "Field" opened on the map.
int measureSession(const QString& data, const QString& tiles, const QString& shots) {
  AppDelegate app;
  QString error;
  AppOptions options{data, tiles, QStringLiteral("offline"), QStringLiteral("%1,%2").arg(kLatitude).arg(kLongitude),
                     QStringLiteral("en_US")};
  SESSION_CHECK(app.didFinishLaunching(options, error), "launch");
  UserSettings::shared().setDidShowIntro(true);
  SceneDelegate scene;
  SESSION_CHECK(scene.connect(options, error), "window");
  QQuickWindow* window = scene.window();
  SESSION_CHECK(QTest::qWaitForWindowExposed(window), "exposed");
  QTest::qWait(1800);  // the start-up follow, then the 200 m zoom
  SESSION_CHECK(shoot(window, shots, "1-start"), "shot start");

  MapMeasureViewController* measure = scene.measureController();
  QString area;
  SESSION_CHECK(measureArea(scene, {{110, 380}, {280, 360}, {230, 600}}, area), "area text");
  SESSION_CHECK(area.endsWith(QStringLiteral(" m²")), "square metres until the unit changes");
  SESSION_CHECK(scene.haptics().impactCount() == 3, "one tick per point");

  // The first area ever brings the feedback form over the screen.
  SESSION_CHECK(QTest::qWaitFor([&] { return scene.measurePresenter().isPresenting(); }, 2000), "form shown");
  SESSION_CHECK(shoot(window, shots, "2-feedback-form"), "shot form");
  QQuickItem* positive = findShownItem(scene.measurePresenter().presentedView(), QStringLiteral("positiveButton"));
  SESSION_CHECK(positive, "form button");
  click(window, positive);
  SESSION_CHECK(QTest::qWaitFor([&] { return scene.storeReview().requestCount() == 1; }, 2000), "review requested");
  SESSION_CHECK(shoot(window, shots, "3-area"), "shot area");
  SESSION_CHECK(saveAs(scene, "Garden", shots, QStringLiteral("4-save-dialog")), "saved Garden");

  // Settings, then the area unit screen, where "ac" is chosen.
  QQuickItem* page = window->contentItem();
  click(window, findShownItem(page, QStringLiteral("settingsButton")));
  SESSION_CHECK(QTest::qWaitFor([&] { return scene.navigation()->depth() == 2; }, 2000), "settings pushed");
  SESSION_CHECK(shoot(window, shots, "5-settings"), "shot settings");
  QQuickItem* areaRow = findShownItem(page, QStringLiteral("areaUnitLabel"), QStringLiteral("Area unit: m²"));
  SESSION_CHECK(areaRow, "area unit row");
  click(window, areaRow);
  SESSION_CHECK(QTest::qWaitFor([&] { return scene.navigation()->depth() == 3; }, 2000), "unit screen pushed");
  SESSION_CHECK(shoot(window, shots, "6-area-units"), "shot units");
  QQuickItem* acres = findShownItem(page, QStringLiteral("unitLabel"), QStringLiteral("ac"));
  SESSION_CHECK(acres, "ac row");
  click(window, acres);
  SESSION_CHECK(QTest::qWaitFor([&] { return UnitConverter::shared().selectedAreaUnit() == AreaUnit::acres; }, 1000),
                "stored on touch");
  SESSION_CHECK(shoot(window, shots, "7-area-units-ac"), "shot ac");
  click(window, findShownItem(page, QStringLiteral("backButton")));
  SESSION_CHECK(
      QTest::qWaitFor(
          [&] { return findShownItem(page, QStringLiteral("areaUnitLabel"), QStringLiteral("Area unit: ac")); }, 2000),
      "settings shows ac");
  click(window, findShownItem(page, QStringLiteral("backButton")));
  SESSION_CHECK(QTest::qWaitFor([&] { return scene.navigation()->isNavigationBarHidden(); }, 2000), "back on the map");
  QTest::qWait(500);  // the pop has slid the screen back in place

  click(window, findShownItem(page, QStringLiteral("clearButton")));
  SESSION_CHECK(
      QTest::qWaitFor([&] { return measure->areaText() == QStringLiteral("Tap on the map to measure"); }, 2000),
      "cleared");
  SESSION_CHECK(measureArea(scene, {{90, 250}, {300, 240}, {320, 520}, {120, 560}}, area), "second area");
  SESSION_CHECK(area.endsWith(QStringLiteral(" ac")), "the next area in acres");
  std::printf("%s\n", qPrintable(area));
  SESSION_CHECK(saveAs(scene, "Field", shots, {}), "saved Field");

  // The list: "Garden" deleted through the row's menu, "Field" opened on the map.
  click(window, findShownItem(page, QStringLiteral("loadButton")));
  SESSION_CHECK(
      QTest::qWaitFor([&] { return findShownItem(page, QStringLiteral("titleLabel"), QStringLiteral("Field")); }, 2000),
      "list pushed");
  SESSION_CHECK(shoot(window, shots, "8-list"), "shot list");
  click(window, findShownItem(page, QStringLiteral("titleLabel"), QStringLiteral("Garden")), Qt::RightButton);
  QQuickItem* deleteItem = nullptr;
  SESSION_CHECK(
      QTest::qWaitFor([&] { return (deleteItem = findShownItem(page, QStringLiteral("deleteMenuItem"))); }, 2000),
      "delete menu");
  QTest::qWait(300);  // the menu has opened
  click(window, deleteItem);
  SESSION_CHECK(QTest::qWaitFor(
                    [&] { return !findShownItem(page, QStringLiteral("titleLabel"), QStringLiteral("Garden")); }, 2000),
                "Garden gone from the list");
  SESSION_CHECK(shoot(window, shots, "9-list-after-delete"), "shot deleted");
  measure->clearTapped();  // the record's own points must come back from the store
  click(window, findShownItem(page, QStringLiteral("titleLabel"), QStringLiteral("Field")));
  SESSION_CHECK(QTest::qWaitFor([&] { return scene.navigation()->depth() == 1 && measure->areaText() == area; }, 3000),
                "Field opened on the map");
  SESSION_CHECK(shoot(window, shots, "10-field-opened"), "shot opened");
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
  SESSION_CHECK(records.size() == 1 && records[0].title == "Field", "record found by the app");
  MapMeasureViewController* measure = scene.measureController();
  measure->didSelectMeasurement(records[0]);
  SESSION_CHECK(QTest::qWaitFor([&] { return measure->areaText().startsWith(QStringLiteral("Area: ")); }, 3000),
                "reopened");
  SESSION_CHECK(measure->areaText().endsWith(QStringLiteral(" ac")), "unit kept across runs");
  SESSION_CHECK(shoot(scene.window(), shots, "11-reopened"), "shot reopened");

  // The place search over the map, answered by the offline gazetteer.
  QQuickItem* field = findShownItem(scene.window()->contentItem(), QStringLiteral("searchField"));
  SESSION_CHECK(field, "search field");
  field->forceActiveFocus();
  for (const char c : QByteArrayLiteral("Lausanne")) QTest::keyClick(scene.window(), c);
  SESSION_CHECK(QTest::qWaitFor(
                    [&] {
                      QQuickItem* table = findShownItem(scene.window()->contentItem(), QStringLiteral("tableView"));
                      return table && table->property("count").toInt() > 0;
                    },
                    5000),
                "suggestions");
  SESSION_CHECK(shoot(scene.window(), shots, "12-search"), "shot search");
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
  ASSERT_TRUE(writeFieldsImagery(tiles, kLatitude, kLongitude, kZoom));

  QString printed;
  ASSERT_EQ(runChild(QStringLiteral("measure"), data, tiles, &printed), 0);
  EXPECT_TRUE(printed.startsWith(QStringLiteral("Area: "))) << qPrintable(printed);

  // The store, read by this process after the app has gone.
  auto store =
      SqlitePreferenceStore::open(std::filesystem::path(data.toStdString()) / SqlitePreferenceStore::kFileName);
  ASSERT_TRUE(store);
  const auto records = PersistanceManager(*store).loadMeasurements();
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0].title, "Field");
  EXPECT_EQ(records[0].annotations.size(), 4u);
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
