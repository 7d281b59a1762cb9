// The introduction in the real app, under the offscreen platform, from a fresh
// data directory: the four pages, the permission answer, the measuring screen;
// then a second start on the same directory, which goes straight to measuring.
#include <gtest/gtest.h>

#include <QAccessible>
#include <QDir>
#include <QGuiApplication>
#include <QQuickItem>
#include <QQuickWindow>
#include <QTemporaryDir>
#include <QTest>

#include "kavrano/app/app_delegate.h"
#include "kavrano/app/scene_delegate.h"
#include "kavrano/qt_images/animated_image_item.h"
#include "kavrano/tools/fields_imagery.h"
#include "quick_items.h"

namespace kavrano {
namespace {

using test::accessibleName;
using test::findItem;

constexpr double kLatitude = 46.5105, kLongitude = 6.6326;
constexpr int kZoom = 17;

void shoot(QQuickWindow* window, const QString& name) {
  QTest::qWait(450);  // the page's dissolve is over
  EXPECT_TRUE(window->grabWindow().save(QStringLiteral(KAVRANO_SHOTS_DIR "/%1.png").arg(name)));
}

TEST(AppIntro, FirstStartWalksThePagesAndLaterStartsGoStraightToMeasuring) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  QDir().mkpath(QStringLiteral(KAVRANO_SHOTS_DIR));
  const QString tiles = dir.filePath(QStringLiteral("fields.mbtiles"));
  ASSERT_TRUE(writeFieldsImagery(tiles, kLatitude, kLongitude, kZoom));
  // A position source: the desktop then answers the permission request with yes.
  const AppOptions options{dir.filePath(QStringLiteral("data")), tiles, QStringLiteral("offline"),
                           QStringLiteral("%1,%2").arg(kLatitude).arg(kLongitude), QStringLiteral("en_US")};
  QString error;
  {
    AppDelegate app;
    ASSERT_TRUE(app.didFinishLaunching(options, error)) << qPrintable(error);
    SceneDelegate scene;
    ASSERT_TRUE(scene.connect(options, error)) << qPrintable(error);
    QQuickWindow* window = scene.window();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window));
    IntroViewController* intro = scene.intro();
    ASSERT_TRUE(QTest::qWaitFor([&] { return intro->cardVisible(); }, 3000)) << "the card fades in";
    EXPECT_EQ(scene.navigation(), nullptr) << "the intro is alone in the window";

    QQuickItem* button = findItem(window->contentItem(), QStringLiteral("actionButton"));
    QQuickItem* title = findItem(window->contentItem(), QStringLiteral("cardTitleLabel"));
    auto* picture = qobject_cast<AnimatedImageItem*>(findItem(window->contentItem(), QStringLiteral("imageView")));
    ASSERT_TRUE(button && title && picture);
    const char* titles[] = {"Welcome to Kavrano", "Measure Length", "Measure Area", "Measurement Units"};
    for (int i = 0; i < 4; ++i) {
      shoot(window, QStringLiteral("intro-%1").arg(i + 1));
      EXPECT_EQ(accessibleName(title), titles[i]) << "a label is named by its text";
      EXPECT_TRUE(picture->image().isValid()) << i;
      EXPECT_FALSE(accessibleName(button).isEmpty());
      EXPECT_GE(std::min(button->width(), button->height()), 44.0) << "large enough to touch";
      EXPECT_EQ(button->property("text").toString() == QLatin1String("Start"), i == 3);
      if (i == 1) {
        const int shown = picture->currentIndex();
        EXPECT_TRUE(QTest::qWaitFor([&] { return picture->currentIndex() != shown; }, 2000)) << "it moves";
      }
      QTest::mouseClick(window, Qt::LeftButton, Qt::NoModifier,
                        button->mapToScene(QPointF(button->width() / 2, button->height() / 2)).toPoint());
    }
    EXPECT_EQ(scene.introHaptics().impactCount(), 4);
    EXPECT_EQ(scene.introHaptics().style(), ImpactFeedbackStyle::Light);

    // The desktop answers on the main queue; the main screen follows.
    ASSERT_TRUE(QTest::qWaitFor([&] { return scene.measureController() != nullptr; }, 3000));
    EXPECT_TRUE(UserSettings::shared().didShowIntro());
    EXPECT_EQ(scene.navigation()->topViewController(), scene.measureController());
    QTest::qWait(1500);  // the start-up follow, then the 200 m zoom
    shoot(window, QStringLiteral("intro-5-measure"));
  }
  {
    // The next start reads the flag from the disk.
    AppDelegate app;
    ASSERT_TRUE(app.didFinishLaunching(options, error)) << qPrintable(error);
    SceneDelegate scene;
    ASSERT_TRUE(scene.connect(options, error)) << qPrintable(error);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(scene.window()));
    ASSERT_TRUE(QTest::qWaitFor([&] { return scene.navigation() != nullptr; }, 3000));
    QQuickItem* layer = findItem(scene.window()->contentItem(), QStringLiteral("presentationLayer"));
    ASSERT_FALSE(layer->childItems().isEmpty());
    EXPECT_EQ(layer->childItems().front()->opacity(), 1.0) << "presented without a fade";
    EXPECT_FALSE(scene.intro()->cardVisible()) << "the card never shows";
    EXPECT_TRUE(QTest::qWaitFor([&] { return scene.navigation()->isNavigationBarHidden(); }, 1000));
    QTest::qWait(1500);
    shoot(scene.window(), QStringLiteral("intro-6-second-start"));
  }
}

}  // namespace
}  // namespace kavrano

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");  // never a display, also when listing tests
  QTemporaryDir cache;
  qputenv("XDG_CACHE_HOME", cache.path().toUtf8());  // not the user's tile cache
  QGuiApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
