// The real app, end to end under the offscreen platform, from a fresh data
// directory: the introduction, areas in the chosen unit, the feedback form,
// saving under a title, the settings and the saved list; then a second start, a
// process later, straight to measuring, with the record found in the store.
// Every screen on the way is photographed, and each control on it must say what
// it does to assistive technology and be large enough to touch.
#include <gtest/gtest.h>

#include <QAccessible>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QProcess>
#include <QQmlComponent>
#include <QQmlEngine>
#include <QQuickItem>
#include <QQuickStyle>
#include <QQuickWindow>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include "kavrano/app/app_delegate.h"
#include "kavrano/app/scene_delegate.h"
#include "kavrano/core/measurement_manager.h"
#include "kavrano/core/persistance_manager.h"
#include "kavrano/core/unit_converter.h"
#include "kavrano/core/user_settings.h"
#include "kavrano/qt_images/animated_image_item.h"
#include "kavrano/tools/fields_imagery.h"
#include "screenshot_compare.h"
#include "user_session.h"
#include "view_warnings.h"

namespace kavrano {
namespace {

using testing::accessibleName;

constexpr double kLatitude = testing::kFieldsLatitude, kLongitude = testing::kFieldsLongitude;
constexpr char kFirstRunDir[] = "KAVRANO_TEST_FIRST_RUN_DIR";

/// The first item of that name (and text, when given) that is on screen:
/// stacks keep covered screens.
QQuickItem* find(QQuickItem* root, const QString& name, const QString& text = {}) {
  if (!root || !root->isVisible()) return nullptr;
  if (root->objectName() == name && (text.isNull() || root->property("text").toString() == text)) return root;
  for (QQuickItem* child : root->childItems()) {
    if (QQuickItem* found = find(child, name, text)) return found;
  }
  return nullptr;
}

/// What a user can press or type into: the styled controls, and the plain items
/// that tell assistive technology they are buttons or text fields.
void collectControls(QQuickItem* item, QList<QQuickItem*>& out) {
  if (!item->isVisible()) return;
  const QAccessibleInterface* a = QAccessible::queryAccessibleInterface(item);
  const QAccessible::Role role = a ? a->role() : QAccessible::NoRole;
  if (item->inherits("QQuickAbstractButton") || item->inherits("QQuickTextField") || role == QAccessible::Button ||
      role == QAccessible::EditableText) {
    out << item;
  }
  for (QQuickItem* child : item->childItems()) collectControls(child, out);
}

/// The data directory and offline imagery of the fields (about 1.2 m a pixel)
/// in `dir`, with the position on them.
AppOptions fieldsOptions(const QString& dir) {
  return {dir + "/data", dir + "/fields.mbtiles", "offline", QStringLiteral("%1,%2").arg(kLatitude).arg(kLongitude),
          "en_US"};
}

/// One start of the app as its main does it.
struct AppRun {
  explicit AppRun(const AppOptions& options) {
    app.didFinishLaunching(options);
    const auto shown = scene.connect(options);
    if (!shown) error = QString::fromStdString(shown.failure().reason);
    started = shown && QTest::qWaitForWindowExposed(scene.window());
  }
  QQuickWindow* window() const { return scene.window(); }
  QQuickItem* find(const QString& name, const QString& text = {}, QQuickItem* in = nullptr) const {
    return kavrano::find(in ? in : window()->contentItem(), name, text);
  }
  void click(QQuickItem* item, Qt::MouseButton button = Qt::LeftButton) {
    ASSERT_NE(item, nullptr);
    QTest::mouseClick(window(), button, {}, item->mapToScene(QPointF(item->width() / 2, item->height() / 2)).toPoint());
  }
  /// The state as people see it, and every control in it checked.
  void screen(const QString& shot) {
    EXPECT_TRUE(QTest::qWaitFor([&] { return settled(); })) << qPrintable(shot + ": still moving");
    const QImage seen = window()->grabWindow();
    EXPECT_TRUE(seen.save(QStringLiteral(KAVRANO_SHOTS_DIR "/%1.png").arg(shot)));
    // The intro's moving pictures are at whatever frame they have reached.
    QRect moving;
    if (QQuickItem* picture = find("imageView")) {
      moving = picture->mapRectToScene(QRectF(0, 0, picture->width(), picture->height())).toAlignedRect();
    }
    const QString change =
        testing::compareWithReference(seen, QStringLiteral(KAVRANO_SHOT_REFERENCES "/%1.png").arg(shot), moving);
    EXPECT_TRUE(change.isEmpty()) << qPrintable(shot + ": " + change + ", see " KAVRANO_SHOTS_DIR);
    QList<QQuickItem*> controls;
    collectControls(window()->contentItem(), controls);
    EXPECT_FALSE(controls.isEmpty()) << qPrintable(shot);
    for (QQuickItem* control : controls) {
      const QString name = accessibleName(control), text = control->property("text").toString();
      EXPECT_FALSE(name.isEmpty()) << qPrintable(shot + ": " + control->objectName());
      // A button or row is named by what it shows; a field by its label, not its content.
      const QAccessibleInterface* a = QAccessible::queryAccessibleInterface(control);
      const QAccessible::Role role = a ? a->role() : QAccessible::NoRole;
      EXPECT_NE(role, QAccessible::NoRole) << qPrintable(shot + ": " + name);
      if (!text.isEmpty() && role != QAccessible::EditableText) {
        EXPECT_EQ(name, text) << qPrintable(shot + ": named by its visible text");
      }
      EXPECT_GE(std::min(control->width(), control->height()), 44.0) << qPrintable(shot + ": " + control->objectName());
    }
  }

  /// Nothing moves, and the map shows every tile it wants.
  bool settled() {
    QuickMapView* map = scene.mapView();
    if (testing::inMotion(window()->contentItem()) || (map && map->isAnimating())) return false;
    if (!map || !map->isVisible()) return true;
    const TileLayer& tiles = map->tileLayer();
    return std::all_of(tiles.wanted().begin(), tiles.wanted().end(),
                       [&](const TileId& tile) { return tiles.hasImage(tile); });
  }
  /// A mouse click on the map, once the map has taken it.
  void clickMap(QPoint at) {
    QSignalSpy taken(scene.mapView(), &QuickMapView::tapped);
    QTest::mouseClick(window(), Qt::LeftButton, {}, at);
    EXPECT_TRUE(!taken.isEmpty() || taken.wait()) << "the map took no tap";
  }
  /// The start-up follow is over and the camera rests.
  void awaitMapAtRest() {
    EXPECT_TRUE(QTest::qWaitFor([&] { return testing::mapAtRest(*scene.mapView()); }));
  }

  AppDelegate app;
  SceneDelegate scene;
  QString error;
  bool started = false;
};

/// Taps the points and waits for the area the app should show for them.
QString measureArea(AppRun& run, const std::vector<QPoint>& taps) {
  std::vector<Coordinate> ring;
  for (const QPoint& tap : taps) {
    ring.push_back(run.scene.mapView()->convertPointToCoordinate(tap));
    run.clickMap(tap);
  }
  const QString area =
      "Area: " + QString::fromStdString(UnitConverter::shared().areaText(MeasurementManager().polygonArea(ring)));
  EXPECT_TRUE(QTest::qWaitFor([&] { return run.scene.measureController()->areaText() == area; }))
      << qPrintable(run.scene.measureController()->areaText() + " is not " + area);
  return area;
}

/// The save button, the title typed into the dialog, "Save", then "OK" on "Success".
void saveAs(AppRun& run, const QByteArray& title, const QString& shot = {}) {
  QuickScreenPresenter& presenter = run.scene.measurePresenter();
  run.click(run.find("saveButton"));
  ASSERT_TRUE(QTest::qWaitFor([&] { return presenter.isPresenting(); }));
  QQuickItem* field = run.find("alertTextField0", {}, presenter.presentedView());
  ASSERT_NE(field, nullptr);
  EXPECT_TRUE(field->hasActiveFocus()) << "the dialog's field takes the keyboard as it appears";
  for (const char c : title) QTest::keyClick(run.window(), c);
  if (!shot.isEmpty()) run.screen(shot);
  run.click(run.find("alertButtonSave", {}, presenter.presentedView()));
  ASSERT_TRUE(QTest::qWaitFor([&] { return run.find("alertTitle", "Success", presenter.presentedView()); }));
  if (!shot.isEmpty()) run.screen(shot + "-success");
  run.click(run.find("alertButtonOK", {}, presenter.presentedView()));
  // Gone, not only going: a fading alert takes the taps meant for the screen.
  ASSERT_TRUE(QTest::qWaitFor([&] { return !presenter.isPresenting() && !run.find("alertCard"); }));
}

/// The first run, in a process of its own, started by the test below.
class FirstRun : public ::testing::Test {
  void TestBody() override {
    AppRun run(fieldsOptions(qEnvironmentVariable(kFirstRunDir)));
    ASSERT_TRUE(run.started) << qPrintable(run.error);
    SceneDelegate& scene = run.scene;

    // The introduction alone in the window; the desktop grants the position
    // permission when there is a position source.
    ASSERT_TRUE(QTest::qWaitFor([&] { return scene.intro()->cardVisible(); })) << "the card fades in";
    EXPECT_EQ(scene.navigation(), nullptr);
    EXPECT_EQ(run.window()->size(), QSize(390, 844));
    auto* picture = qobject_cast<AnimatedImageItem*>(run.find("imageView"));
    ASSERT_NE(picture, nullptr);
    const char* titles[] = {"Welcome to Kavrano", "Measure Length", "Measure Area", "Measurement Units"};
    for (int i = 0; i < 4; ++i) {
      run.screen(QStringLiteral("intro-%1").arg(i + 1));
      EXPECT_EQ(accessibleName(run.find("cardTitleLabel")), titles[i]) << "named by its text";
      EXPECT_TRUE(picture->image().isValid()) << i;
      QQuickItem* button = run.find("actionButton");
      EXPECT_EQ(button->property("text").toString() == QLatin1String("Start"), i == 3);
      if (i == 1) {
        const int shown = picture->currentIndex();
        // Decoded off the UI thread first, which a busy machine may take seconds over.
        EXPECT_TRUE(QTest::qWaitFor([&] { return picture->currentIndex() != shown; }, 10'000)) << "it moves";
      }
      run.click(button);
    }
    EXPECT_EQ(scene.introHaptics().impactCount(), 4);
    EXPECT_EQ(scene.introHaptics().style(), ImpactFeedbackStyle::Light);
    ASSERT_TRUE(QTest::qWaitFor([&] { return scene.measureController() != nullptr; }));
    EXPECT_TRUE(UserSettings::shared().didShowIntro());
    EXPECT_EQ(scene.navigation()->topViewController(), scene.measureController());
    run.awaitMapAtRest();  // the start-up follow, then the 200 m zoom
    run.screen("1-start");
    EXPECT_EQ(accessibleName(run.find("areaLabel")), "Tap on the map to measure");
    EXPECT_FALSE(run.find("clearButton")->isEnabled()) << "idle until a point is placed";

    const QString garden = measureArea(run, {{110, 380}, {280, 360}, {230, 600}});
    EXPECT_TRUE(garden.endsWith(" m²")) << "square metres until the unit changes";
    EXPECT_EQ(scene.haptics().impactCount(), 3) << "one tick per point";
    // The first area ever brings the feedback form over the screen.
    ASSERT_TRUE(QTest::qWaitFor([&] { return scene.measurePresenter().isPresenting(); }));
    run.screen("2-feedback-form");
    run.click(run.find("positiveButton", {}, scene.measurePresenter().presentedView()));
    ASSERT_TRUE(QTest::qWaitFor([&] { return scene.storeReview().requestCount() == 1; }));
    run.screen("3-area");
    ASSERT_NO_FATAL_FAILURE(saveAs(run, "Garden", "4-save-dialog"));

    // The settings, where the usage switch stores at once; the area unit screen,
    // where "ac" is chosen.
    run.click(run.find("settingsButton"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return scene.navigation()->depth() == 2; }));
    run.screen("5-settings");
    EXPECT_FALSE(scene.navigation()->isNavigationBarHidden()) << "pushed screens show the bar";
    EXPECT_TRUE(run.find("navigationTitle", "Settings"));
    QQuickItem* usage = run.find("usageSwitch");
    ASSERT_NE(usage, nullptr);
    EXPECT_TRUE(usage->property("checked").toBool());
    run.click(usage);
    EXPECT_FALSE(UserSettings::shared().sendUsageData());
    run.click(run.find("areaUnitLabel", "Area unit: m²"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return scene.navigation()->depth() == 3; }));
    run.screen("6-area-units");
    QList<QQuickItem*> rows;
    collectControls(run.window()->contentItem(), rows);
    EXPECT_TRUE(std::any_of(rows.begin(), rows.end(), [](QQuickItem* row) { return accessibleName(row) == "ha"; }));
    run.click(run.find("unitLabel", "ac"));
    EXPECT_TRUE(QTest::qWaitFor([&] { return UnitConverter::shared().selectedAreaUnit() == AreaUnit::acres; }))
        << "stored on touch";
    run.screen("7-area-units-ac");
    run.click(run.find("backButton"));
    EXPECT_TRUE(QTest::qWaitFor([&] { return run.find("areaUnitLabel", "Area unit: ac"); }));
    run.click(run.find("backButton"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return scene.navigation()->isNavigationBarHidden() && run.settled(); }))
        << "the map hides it";

    run.click(run.find("clearButton"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return scene.measureController()->areaText() == "Tap on the map to measure"; }));
    const QString field = measureArea(run, {{90, 250}, {300, 240}, {320, 520}, {120, 560}});
    EXPECT_TRUE(field.endsWith(" ac")) << "the next area in acres";
    ASSERT_NO_FATAL_FAILURE(saveAs(run, "Field"));

    // The list: "Garden" deleted through the row's menu, "Field" opened on the map.
    run.click(run.find("loadButton"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return run.find("titleLabel", "Field"); }));
    run.screen("8-list");
    EXPECT_TRUE(run.find("navigationTitle", "My Measurements"));
    QQuickItem* title = run.find("titleLabel", "Garden");
    ASSERT_NE(title, nullptr);
    QQuickItem* row = title->parentItem();
    EXPECT_EQ(row->height(), 60.0);
    EXPECT_EQ(accessibleName(row), "Garden") << "a row is named by its title";
    run.click(row, Qt::RightButton);
    QQuickItem* deleteItem = nullptr;
    // Under the sanitizers on a busy machine the menu's opening can outlast the usual 5 s.
    ASSERT_TRUE(QTest::qWaitFor([&] { return (deleteItem = run.find("deleteMenuItem")) && run.settled(); }, 20'000));
    run.click(deleteItem);
    // The menu's closing fade starts at full opacity: wait for the menu to be gone.
    ASSERT_TRUE(QTest::qWaitFor([&] { return !run.find("titleLabel", "Garden") && !run.find("deleteMenuItem"); }));
    run.screen("9-list-after-delete");
    scene.measureController()->clearTapped();  // the record's own points must come back from the store
    run.click(run.find("titleLabel", "Field"));
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return scene.navigation()->depth() == 1 && scene.measureController()->areaText() == field; }));
    run.screen("10-field-opened");
  }
};

TEST(AppEndToEnd, MeasureSaveRestartAndFindTheRecord) {
  QTemporaryDir dir;
  ASSERT_TRUE(writeFieldsImagery(fieldsOptions(dir.path()).tiles, kLatitude, kLongitude, 17));
  QProcess first;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert(QString::fromLatin1(kFirstRunDir), dir.path());
  first.setProcessEnvironment(env);
  first.setProcessChannelMode(QProcess::ForwardedChannels);
  first.start(QCoreApplication::applicationFilePath(), {});
  ASSERT_TRUE(first.waitForFinished(180'000));
  ASSERT_EQ(first.exitStatus(), QProcess::NormalExit);
  ASSERT_EQ(first.exitCode(), 0) << "the first run failed";

  // The second start: no introduction, the record and the unit from the store.
  AppOptions options = fieldsOptions(dir.path());
  options.position.clear();
  AppRun run(options);
  ASSERT_TRUE(run.started) << qPrintable(run.error);
  SceneDelegate& scene = run.scene;
  ASSERT_TRUE(QTest::qWaitFor([&] { return scene.navigation() != nullptr; }));
  QQuickItem* layer = run.find("presentationLayer");
  ASSERT_TRUE(layer && !layer->childItems().isEmpty());
  EXPECT_EQ(layer->childItems().front()->opacity(), 1.0) << "presented without a fade";
  EXPECT_FALSE(scene.intro()->cardVisible()) << "the card never shows";
  EXPECT_TRUE(QTest::qWaitFor([&] { return scene.navigation()->isNavigationBarHidden(); }));
  run.awaitMapAtRest();
  EXPECT_TRUE(UserSettings::shared().didRequest() && UserSettings::shared().achievedSuccess());
  const auto records = PersistanceManager().loadMeasurements();
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0].title, "Field");
  EXPECT_EQ(records[0].annotations.size(), 4u);
  EXPECT_NEAR(records[0].center.latitude, kLatitude, 0.01);
  scene.measureController()->didSelectMeasurement(records[0]);
  EXPECT_TRUE(QTest::qWaitFor([&] { return scene.measureController()->areaText().endsWith(" ac"); }))
      << "the unit kept across runs";

  // The follow button says what a tap will do, and does it.
  QQuickItem* follow = run.find("focusOnLocationButton");
  QuickMapView& map = *scene.mapView();
  EXPECT_EQ(accessibleName(follow), "Follow my position");
  run.click(follow);
  EXPECT_EQ(accessibleName(follow), "Stop following my position");
  EXPECT_TRUE(map.showsUserLocation() && map.userTrackingMode() == UserTrackingMode::Follow);
  run.click(follow);
  EXPECT_EQ(accessibleName(follow), "Follow my position");
  EXPECT_TRUE(!map.showsUserLocation() && map.userTrackingMode() == UserTrackingMode::None);

  // Touch users swipe a row left and tap its button.
  run.click(run.find("loadButton"));
  QQuickItem* title = nullptr;
  ASSERT_TRUE(QTest::qWaitFor([&] { return (title = run.find("titleLabel", "Field")); }));
  // The list has slid into place: a sliding screen takes no touches.
  ASSERT_TRUE(QTest::qWaitFor([&] { return title->parentItem()->mapToScene({}).x() == 0.0; }));
  const QPoint start = title->parentItem()->mapToScene(QPointF(300, 30)).toPoint();
  QTest::mousePress(run.window(), Qt::LeftButton, {}, start);
  for (int dx = 20; dx <= 200; dx += 20) QTest::mouseMove(run.window(), start - QPoint(dx, 0), 16);
  QTest::mouseRelease(run.window(), Qt::LeftButton, {}, start - QPoint(200, 0));
  QQuickItem* deleteButton = nullptr;
  ASSERT_TRUE(QTest::qWaitFor([&] { return (deleteButton = run.find("deleteButton")); }));
  run.screen("11-row-swiped");
  run.click(deleteButton);
  EXPECT_TRUE(QTest::qWaitFor([&] { return PersistanceManager().loadMeasurements().empty(); }));
  EXPECT_TRUE(QTest::qWaitFor([&] { return run.find("emptyStateView"); }));
  run.click(run.find("backButton"));
  ASSERT_TRUE(QTest::qWaitFor([&] { return scene.navigation()->isNavigationBarHidden(); }));

  // The place search over the map, answered by the offline gazetteer.
  QQuickItem* search = run.find("searchField");
  ASSERT_NE(search, nullptr);
  search->forceActiveFocus();
  for (const char c : QByteArrayLiteral("Lausanne")) QTest::keyClick(run.window(), c);
  EXPECT_TRUE(QTest::qWaitFor([&] {
    QQuickItem* table = run.find("tableView");
    return table && table->property("count").toInt() > 0;
  }));
  run.screen("12-search");
}

// "kavrano FILE…": a measurement file is saved and shown on the map as a saved one
// would be; a file that cannot be read is named, with its line, in an alert.
TEST(AppEndToEnd, OpensMeasurementFilesFromTheCommandLine) {
  QTemporaryDir dir;
  AppOptions options = fieldsOptions(dir.path());
  ASSERT_TRUE(writeFieldsImagery(options.tiles, kLatitude, kLongitude, 17));
  {  // someone who has seen the introduction
    AppDelegate earlier;
    earlier.didFinishLaunching(options);
    UserSettings::shared().setDidShowIntro(true);
  }
  const std::vector<Coordinate> vineyard{
      {kLatitude, kLongitude}, {kLatitude, kLongitude + 0.001}, {kLatitude + 0.0007, kLongitude + 0.001}};
  QFile kml(dir.filePath("vineyard.kml"));
  ASSERT_TRUE(kml.open(QIODevice::WriteOnly));
  kml.write(QStringLiteral("<kml xmlns=\"http://www.opengis.net/kml/2.2\"><Placemark><name>Vineyard</name>"
                           "<Polygon><outerBoundaryIs><LinearRing><coordinates>%1,%2 %3,%2 %3,%4 %1,%2"
                           "</coordinates></LinearRing></outerBoundaryIs></Polygon></Placemark></kml>")
                .arg(kLongitude, 0, 'g', 17)
                .arg(kLatitude, 0, 'g', 17)
                .arg(kLongitude + 0.001, 0, 'g', 17)
                .arg(kLatitude + 0.0007, 0, 'g', 17)
                .toUtf8());
  kml.close();
  QFile bad(dir.filePath("bad.gpx"));
  ASSERT_TRUE(bad.open(QIODevice::WriteOnly));
  bad.write("<gpx xmlns=\"http://www.topografix.com/GPX/1/1\">\n<wpt lat=\"NaN\" lon=\"0\"/></gpx>");
  bad.close();
  options.files = {kml.fileName(), bad.fileName()};

  AppRun run(options);
  ASSERT_TRUE(run.started) << qPrintable(run.error);
  SceneDelegate& scene = run.scene;
  QuickScreenPresenter& presenter = scene.measurePresenter();
  ASSERT_TRUE(QTest::qWaitFor([&] { return run.find("alertTitle", "File not opened", presenter.presentedView()); }));
  QQuickItem* message = run.find("alertMessage", {}, presenter.presentedView());
  ASSERT_NE(message, nullptr);
  EXPECT_TRUE(message->property("text").toString().contains("bad.gpx:2: lat 'NaN' is not a number"))
      << qPrintable(message->property("text").toString());
  run.screen("13-file-not-opened");
  run.click(run.find("alertButtonOK", {}, presenter.presentedView()));

  const QString area =
      "Area: " + QString::fromStdString(UnitConverter::shared().areaText(MeasurementManager().polygonArea(vineyard)));
  EXPECT_TRUE(QTest::qWaitFor([&] { return scene.measureController()->areaText() == area; }))
      << qPrintable(scene.measureController()->areaText());
  const auto records = PersistanceManager().loadMeasurements();
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0].title, "Vineyard");
  // The map is on the measurement, as for a saved one.
  EXPECT_TRUE(QTest::qWaitFor([&] {
    const Coordinate centre = scene.mapView()->centerCoordinate();
    return std::abs(centre.latitude - records[0].center.latitude) < 1e-5 &&
           std::abs(centre.longitude - records[0].center.longitude) < 1e-5;
  }));
}

// A store file the app cannot read (damaged, foreign, newer) used to stop the start
// with an error. Now it is moved aside whole and the app starts on a new one.
TEST(AppEndToEnd, ADamagedStoreIsMovedAsideAndTheAppStartsAndSaves) {
  QTemporaryDir dir;
  const AppOptions options = fieldsOptions(dir.path());
  ASSERT_TRUE(writeFieldsImagery(options.tiles, kLatitude, kLongitude, 17));
  ASSERT_TRUE(QDir().mkpath(options.dataDirectory));
  QByteArray damaged("SQLite format 3", 16);
  for (int i = 0; i < 8192; ++i) damaged += static_cast<char>((i * 7919) >> 3);
  QFile file(options.dataDirectory + "/preferences.sqlite3");
  ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.write(damaged) == damaged.size());
  file.close();

  AppRun run(options);
  ASSERT_TRUE(run.started) << qPrintable(run.error);
  const QStringList aside = QDir(options.dataDirectory).entryList({"preferences.sqlite3.unreadable.*"}, QDir::Files);
  ASSERT_EQ(aside.size(), 1) << qPrintable(aside.join(", "));
  QFile kept(options.dataDirectory + "/" + aside.front());
  ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
  EXPECT_EQ(kept.readAll(), damaged) << "set aside byte for byte";

  ASSERT_TRUE(QTest::qWaitFor([&] { return run.scene.intro()->cardVisible(); })) << "a new store: a first start";
  for (int page = 0; page < 4; ++page) {
    ASSERT_TRUE(QTest::qWaitFor([&] { return run.settled(); }));
    run.click(run.find("actionButton"));
  }
  ASSERT_TRUE(QTest::qWaitFor([&] { return run.scene.measureController() != nullptr; }));
  run.awaitMapAtRest();
  for (const QPoint tap : {QPoint(110, 380), QPoint(280, 360)}) run.clickMap(tap);
  ASSERT_TRUE(QTest::qWaitFor(
      [&] { return run.scene.measureController()->areaText() == QLatin1String("Add more points to get area"); }));
  ASSERT_NO_FATAL_FAILURE(saveAs(run, "Kept"));
  ASSERT_EQ(PersistanceManager().loadMeasurements().size(), 1u);
  EXPECT_EQ(PersistanceManager().loadMeasurements()[0].title, "Kept");
}

// A QML module missing from the machine fails only when its file is compiled:
// compile every view the app carries.
TEST(AppViews, EveryViewCompiles) {
  QQuickStyle::setStyle("Material");  // as the app, before any control is loaded
  registerQuickUiTypes();
  QQmlEngine engine;
  const QList<QUrl> views = viewsIn(QStringLiteral(":/qt-project.org/imports/Kavrano"));
  for (const QUrl& view : views) {
    QQmlComponent component(&engine, view);
    EXPECT_TRUE(component.isReady()) << qPrintable(component.errorString());
  }
  EXPECT_GE(views.size(), 13) << "every screen's and row's view";
}

}  // namespace
}  // namespace kavrano

int main(int argc, char** argv) {
  failOnViewWarnings();
  qputenv("QT_QPA_PLATFORM", "offscreen");  // never a display, also when listing tests
  QTemporaryDir cache;
  qputenv("XDG_CACHE_HOME", cache.path().toUtf8());  // not the user's tile cache
  QDir().mkpath(QStringLiteral(KAVRANO_SHOTS_DIR));
  QGuiApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  if (qEnvironmentVariableIsSet(kavrano::kFirstRunDir)) {
    ::testing::GTEST_FLAG(filter) = "FirstRun.*";
    ::testing::RegisterTest("FirstRun", "MeasureAndSave", nullptr, nullptr, __FILE__, __LINE__,
                            []() -> ::testing::Test* { return new kavrano::FirstRun; });
  }
  return RUN_ALL_TESTS();
}
