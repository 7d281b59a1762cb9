// Every view of the app, in the real window: each control says what it does to
// assistive technology and is large enough to touch.
#include <gtest/gtest.h>

#include <QAccessible>
#include <QQuickItem>
#include <QQuickWindow>
#include <QTest>

#include "kavrano/app/scene_delegate.h"
#include "kavrano/core/memory_preference_store.h"

namespace kavrano {
namespace {

void collectControls(QQuickItem* item, QList<QQuickItem*>& out) {
  if (!item->isVisible()) return;
  if (item->inherits("QQuickAbstractButton") || item->inherits("QQuickTextField")) out << item;
  for (QQuickItem* child : item->childItems()) collectControls(child, out);
}

QString accessibleName(QObject* item) {
  QAccessibleInterface* a = QAccessible::queryAccessibleInterface(item);
  return a ? a->text(QAccessible::Name) : QString();
}

QQuickItem* findItem(QQuickItem* root, const QString& name) {
  if (!root) return nullptr;
  if (root->objectName() == name) return root;
  for (QQuickItem* child : root->childItems()) {
    if (QQuickItem* found = findItem(child, name)) return found;
  }
  return nullptr;
}

TEST(AppViews, EveryControlIsNamedAndTouchable) {
  PreferenceStore::installStandard(std::make_shared<MemoryPreferenceStore>());
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
  checkControls("settings placeholder");
  EXPECT_EQ(findItem(window->contentItem(), QStringLiteral("navigationTitle"))->property("text").toString(),
            "Settings");
  scene.navigation()->back();
  ASSERT_TRUE(QTest::qWaitFor([&] { return scene.navigation()->isNavigationBarHidden(); }, 2000))
      << "the measuring screen hides it again";
}

}  // namespace
}  // namespace kavrano
