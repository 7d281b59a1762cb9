// Every view of the app, in the real window: each control says what it does to
// assistive technology and is large enough to touch.
#include <gtest/gtest.h>

#include <QAccessible>
#include <QQmlComponent>
#include <QQmlEngine>
#include <QQuickItem>
#include <QQuickStyle>
#include <QQuickWindow>
#include <QTest>

#include "kavrano/app/scene_delegate.h"
#include "kavrano/core/memory_preference_store.h"
#include "kavrano/core/persistance_manager.h"
#include "kavrano/core/user_settings.h"
#include "kavrano/qt_images/animated_image_item.h"
#include "kavrano/settings/settings_view_controller.h"
#include "quick_items.h"

namespace kavrano {
namespace {

using test::accessibleName;
using test::findItem;

// What a user can press or type into: the styled controls, and the plain items
// that tell assistive technology they are buttons or text fields.
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

// A QML module missing from the machine fails only when its file is compiled:
// compile every view the app carries.
TEST(AppViews, EveryViewCompiles) {
  QQuickStyle::setStyle(QStringLiteral("Material"));  // as the app, before any control is loaded
  registerQuickUiTypes();
  AnimatedImageItem::registerType();
  QQmlEngine engine;
  const QList<QUrl> views = viewsIn(QStringLiteral(":/kavrano"));
  for (const QUrl& view : views) {
    QQmlComponent component(&engine, view);
    EXPECT_TRUE(component.isReady()) << qPrintable(component.errorString());
  }
  EXPECT_GE(views.size(), 13) << "every screen's and row's view";
}

TEST(AppViews, EveryControlIsNamedAndTouchable) {
  PreferenceStore::installStandard(std::make_shared<MemoryPreferenceStore>());
  UserSettings::shared().setDidShowIntro(true);
  SceneDelegate scene;
  QString error;
  // A tile server that is never there: the views need no imagery.
  ASSERT_TRUE(scene.connect(
      {{}, QStringLiteral("http://127.0.0.1:9/{z}/{x}/{y}.png"), QStringLiteral("offline"), {}, {}}, error))
      << qPrintable(error);
  QQuickWindow* window = scene.window();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(window));
  EXPECT_EQ(window->size(), QSize(390, 844));

  auto checkControls = [&](const char* screen) {
    QList<QQuickItem*> controls;
    collectControls(window->contentItem(), controls);
    EXPECT_FALSE(controls.isEmpty()) << screen;
    for (QQuickItem* control : controls) {
      EXPECT_FALSE(accessibleName(control).isEmpty()) << screen << ": " << qPrintable(control->objectName());
      EXPECT_GE(std::min(control->width(), control->height()), 44.0)
          << screen << ": " << qPrintable(control->objectName());
    }
  };
  QTest::qWait(300);
  checkControls("measuring screen");
  QQuickItem* label = findItem(window->contentItem(), QStringLiteral("areaLabel"));
  ASSERT_NE(label, nullptr);
  EXPECT_EQ(accessibleName(label), "Tap on the map to measure") << "a label is named by its text";
  QQuickItem* focus = findItem(window->contentItem(), QStringLiteral("focusOnLocationButton"));
  EXPECT_EQ(accessibleName(focus), "Follow my position");
  scene.measureController()->locationTapped();
  EXPECT_EQ(accessibleName(focus), "Stop following my position");
  QQuickItem* clear = findItem(window->contentItem(), QStringLiteral("clearButton"));
  EXPECT_FALSE(clear->isEnabled()) << "idle until a point is placed";

  scene.measureController()->saveTapped();  // no point: "Point needed"
  ASSERT_TRUE(QTest::qWaitFor([&] { return scene.measurePresenter().isPresenting(); }, 1000));
  QTest::qWait(300);
  checkControls("alert");
  scene.measurePresenter().dismiss(false);

  scene.measureController()->settingsTapped();
  ASSERT_TRUE(QTest::qWaitFor([&] { return scene.navigation()->depth() == 2; }, 1000));
  QTest::qWait(600);
  EXPECT_FALSE(scene.navigation()->isNavigationBarHidden()) << "pushed screens show the bar";
  checkControls("settings");
  EXPECT_EQ(findItem(window->contentItem(), QStringLiteral("navigationTitle"))->property("text").toString(),
            "Settings");

  QQuickItem* usageSwitch = findItem(window->contentItem(), QStringLiteral("usageSwitch"));
  ASSERT_NE(usageSwitch, nullptr);
  EXPECT_TRUE(usageSwitch->property("checked").toBool());
  QTest::mouseClick(window, Qt::LeftButton, {},
                    usageSwitch->mapToScene(QPointF(usageSwitch->width() / 2, usageSwitch->height() / 2)).toPoint());
  EXPECT_FALSE(UserSettings::shared().sendUsageData()) << "the switch stores at once";
  UserSettings::shared().setSendUsageData(true);

  auto* settings = qobject_cast<SettingsViewController*>(scene.navigation()->topViewController());
  ASSERT_NE(settings, nullptr);
  settings->selectRow(SettingsViewController::unitSection, 1);
  ASSERT_TRUE(QTest::qWaitFor([&] { return scene.navigation()->depth() == 3; }, 1000));
  QTest::qWait(600);
  checkControls("area units");
  QList<QQuickItem*> rows;
  collectControls(window->contentItem(), rows);
  EXPECT_TRUE(std::any_of(rows.begin(), rows.end(), [](QQuickItem* row) { return accessibleName(row) == "ha"; }));
  scene.navigation()->back();
  ASSERT_TRUE(QTest::qWaitFor([&] { return scene.navigation()->depth() == 2; }, 2000));
  scene.navigation()->back();
  ASSERT_TRUE(QTest::qWaitFor([&] { return scene.navigation()->isNavigationBarHidden(); }, 2000))
      << "the measuring screen hides it again";

  PersistanceManager saved;
  saved.appendMeasurement({"1B9D6BCD-BBFD-4B2D-9B5D-AB8DFBBD4BED", 0, {{1, 2}}, "Roof", {1, 2}});
  QTest::qWait(600);
  scene.measureController()->loadTapped();
  ASSERT_TRUE(QTest::qWaitFor([&] { return scene.navigation()->depth() == 2; }, 1000));
  QTest::qWait(600);
  checkControls("saved list");
  EXPECT_EQ(findItem(window->contentItem(), QStringLiteral("navigationTitle"))->property("text").toString(),
            "My Measurements");
  QQuickItem* title = findItem(window->contentItem(), QStringLiteral("titleLabel"));
  ASSERT_NE(title, nullptr);
  QQuickItem* row = title->parentItem();
  EXPECT_EQ(row->height(), 60.0);
  EXPECT_EQ(accessibleName(row), title->property("text").toString()) << "a row is named by its title";

  // Touch users swipe the row left and tap its button (the row's menu, for mouse
  // users, is driven end to end).
  QTest::qWait(300);
  title = findItem(window->contentItem(), QStringLiteral("titleLabel"));
  ASSERT_NE(title, nullptr);
  EXPECT_EQ(title->property("text").toString(), "Roof");
  const QPoint start = title->parentItem()->mapToScene(QPointF(300, 30)).toPoint();
  QTest::mousePress(window, Qt::LeftButton, {}, start);
  for (int dx = 20; dx <= 200; dx += 20) QTest::mouseMove(window, start - QPoint(dx, 0), 16);
  QTest::mouseRelease(window, Qt::LeftButton, {}, start - QPoint(200, 0));
  QQuickItem* deleteButton = nullptr;
  ASSERT_TRUE(QTest::qWaitFor(
      [&] { return (deleteButton = findItem(window->contentItem(), QStringLiteral("deleteButton"))) != nullptr; },
      1000));
  QTest::qWait(400);
  checkControls("swiped row");
  QTest::mouseClick(window, Qt::LeftButton, {},
                    deleteButton->mapToScene(QPointF(deleteButton->width() / 2, deleteButton->height() / 2)).toPoint());
  ASSERT_TRUE(QTest::qWaitFor([&] { return saved.loadMeasurements().empty(); }, 1000));
  QTest::qWait(300);
  EXPECT_TRUE(findItem(window->contentItem(), QStringLiteral("emptyStateView"))->isVisible());
  scene.navigation()->back();
  ASSERT_TRUE(QTest::qWaitFor([&] { return scene.navigation()->isNavigationBarHidden(); }, 2000));
}

}  // namespace
}  // namespace kavrano
