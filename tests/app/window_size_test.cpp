// The desktop window: portrait by default, resizable down to a stated minimum,
// the layout following its size, and the size kept from one start to the next.
#include <gtest/gtest.h>

#include <QFile>
#include <QGuiApplication>
#include <QQuickItem>
#include <QQuickWindow>
#include <QTemporaryDir>
#include <QTest>
#include <memory>
#include <optional>

#include "kavrano/app/app_delegate.h"
#include "kavrano/app/scene_delegate.h"
#include "kavrano/app/window_size_memory.h"
#include "kavrano/core/user_settings.h"
#include "kavrano/tools/fields_imagery.h"

// Sizes in failures as numbers.
inline void PrintTo(const QSize& size, std::ostream* out) { *out << size.width() << " x " << size.height(); }

namespace kavrano {
namespace {

constexpr double kLatitude = 46.5105, kLongitude = 6.6326;

/// A start of the app on offline imagery, past the introduction.
struct Start {
  explicit Start(const QString& dir) {
    const AppOptions options{dir + "/data", dir + "/fields.mbtiles", "offline",
                             QStringLiteral("%1,%2").arg(kLatitude).arg(kLongitude), "en_US"};
    app.didFinishLaunching(options);
    UserSettings::shared().setDidShowIntro(true);
    scene = std::make_unique<SceneDelegate>();
    started = scene->connect(options).ok() && QTest::qWaitForWindowExposed(scene->window()) &&
              QTest::qWaitFor([this] { return scene->mapView() != nullptr; });
  }
  [[nodiscard]] QQuickWindow& window() const { return *scene->window(); }
  /// How far `name` keeps from the window's right and bottom edges; none when it is not there.
  [[nodiscard]] std::optional<QPointF> gapToBottomRight(const char* name) const {
    auto* item = window().contentItem()->findChild<QQuickItem*>(QString::fromLatin1(name));
    if (!item) return std::nullopt;
    const QPointF corner = item->mapToScene(QPointF(item->width(), item->height()));
    return QPointF(window().width() - corner.x(), window().height() - corner.y());
  }

  AppDelegate app;
  std::unique_ptr<SceneDelegate> scene;
  bool started = false;
};

class AppWindow : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dir_.isValid());
    ASSERT_TRUE(writeFieldsImagery(dir_.path() + "/fields.mbtiles", kLatitude, kLongitude, 15));
  }
  [[nodiscard]] QString sizeFile() const { return dir_.path() + "/data/" + WindowSizeMemory::kFileName; }
  QTemporaryDir dir_;
};

TEST_F(AppWindow, ResizedWindowKeepsItsLayoutAndItsSizeForTheNextStart) {
  {
    Start first(dir_.path());
    ASSERT_TRUE(first.started);
    EXPECT_EQ(first.window().size(), QSize(390, 844)) << "portrait, as on a phone";
    EXPECT_EQ(first.window().minimumSize(), QSize(SceneDelegate::kMinimumWidth, SceneDelegate::kMinimumHeight));
    const std::optional<QPointF> saveGap = first.gapToBottomRight("saveButton");
    const std::optional<QPointF> listGap = first.gapToBottomRight("loadButton");
    ASSERT_TRUE(saveGap && listGap) << "the measuring screen's buttons are on screen";

    // The user drags the window's corner, pauses, then drags again and quits at once.
    first.window().resize(700, 600);
    ASSERT_TRUE(QTest::qWaitFor([&] { return first.scene->mapView()->size() == QSizeF(700, 600); }))
        << "the map fills the window";
    EXPECT_EQ(first.gapToBottomRight("saveButton"), saveGap) << "the bottom panel keeps its margins";
    EXPECT_EQ(first.gapToBottomRight("loadButton").value_or(QPointF()).x(), listGap->x())
        << "the buttons stay at the right edge";
    EXPECT_TRUE(QTest::qWaitFor([&] { return WindowSizeMemory(sizeFile()).keptSize() == QSize(700, 600); }))
        << "kept once the drag has settled";
    first.window().resize(480, 900);
    ASSERT_TRUE(QTest::qWaitFor([&] { return first.scene->mapView()->size() == QSizeF(480, 900); }));
  }
  {
    Start second(dir_.path());
    ASSERT_TRUE(second.started);
    EXPECT_EQ(second.window().size(), QSize(480, 900));
  }

  // A size from a damaged file, or below the minimum, does not make an unusable window.
  for (const QByteArray& kept :
       {QByteArray("[window]\nsize=@Size(100000 -5)\n"), QByteArray("[window]\nsize=@Size(200 300)\n")}) {
    QFile file(sizeFile());
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(kept);
    file.close();
    Start next(dir_.path());
    ASSERT_TRUE(next.started);
    EXPECT_GE(next.window().width(), SceneDelegate::kMinimumWidth) << kept.constData();
    EXPECT_GE(next.window().height(), SceneDelegate::kMinimumHeight) << kept.constData();
    EXPECT_LE(next.window().width(), 390) << kept.constData();
  }
}

}  // namespace
}  // namespace kavrano

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QTemporaryDir cache;
  qputenv("XDG_CACHE_HOME", cache.path().toUtf8());  // not the user's tile cache
  QGuiApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
