#pragma once

// The real app, started in a fresh data directory and driven as a user drives
// it: touches and keys at the window, aimed at items found by the name they
// give assistive technology. Only the preparation of the data (records, flags)
// and the checks of the outcome reach past the window.
#include <gtest/gtest.h>

#include <QAccessible>
#include <QGuiApplication>
#include <QPointingDevice>
#include <QQmlComponent>
#include <QQmlEngine>
#include <QQuickItem>
#include <QQuickWindow>
#include <QSignalSpy>
#include <QStyleHints>
#include <QTemporaryDir>
#include <QTest>
#include <cmath>
#include <functional>
#include <vector>

#include "kavrano/app/app_delegate.h"
#include "kavrano/app/scene_delegate.h"
#include "kavrano/core/persistance_manager.h"
#include "kavrano/core/persisted_measurement.h"
#include "kavrano/core/user_settings.h"
#include "kavrano/qt_map/quick_map_view.h"
#include "kavrano/tools/fields_imagery.h"

namespace kavrano::testing {

constexpr double kFieldsLatitude = 46.5105, kFieldsLongitude = 6.6326;  // fields above a lake shore

/// What is in the data directory before the app starts.
struct Prepared {
  bool introShown = true;
  bool sendUsageData = true;
  std::vector<PersistedMeasurement> records;
  QString geocoder = QStringLiteral("offline");
  QString tiles;  // the --tiles option; empty: imagery of fields around the start
};

[[nodiscard]] inline QString accessibleName(QObject* item) {
  QAccessibleInterface* a = item ? QAccessible::queryAccessibleInterface(item) : nullptr;
  return a ? a->text(QAccessible::Name) : QString();
}

[[nodiscard]] inline QAccessible::State accessibleState(QObject* item) {
  QAccessibleInterface* a = item ? QAccessible::queryAccessibleInterface(item) : nullptr;
  return a ? a->state() : QAccessible::State();
}

/// Calls `f` on `item` and every shown item below it, in painted order.
inline void forEachShown(QQuickItem* item, const std::function<void(QQuickItem*)>& f) {
  if (!item || !item->isVisible()) return;
  f(item);
  QList<QQuickItem*> children = item->childItems();
  std::stable_sort(children.begin(), children.end(), [](QQuickItem* a, QQuickItem* b) { return a->z() < b->z(); });
  for (QQuickItem* child : children) forEachShown(child, f);
}

/// The first thing below `root` that moves (a screen slides or fades, a menu
/// or dialog opens, a list scrolls, a row swipes, a dissolve runs), named for a
/// failure message; empty when all is still.
[[nodiscard]] inline QString whatMoves(QQuickItem* root) {
  QString moving;
  forEachShown(root, [&](QQuickItem* item) {
    if (!moving.isEmpty()) return;
    // Qt's easing can leave a finished transition a hair off its end value
    // (a menu's scale at 1 - 2e-13): no one sees that as moving.
    const bool fading = item->opacity() > 0 && item->opacity() < 1 - 1e-6;
    const QObject* swipe = item->property("swipe").value<QObject*>();
    const double swiped = swipe ? std::abs(swipe->property("position").toDouble()) : 0;
    const bool moves = (item->objectName() == "stack" && item->property("busy").toBool()) ||
                       (item->inherits("QQuickFlickable") && item->property("moving").toBool()) ||
                       (item->inherits("QQuickPopupItem") && (fading || std::abs(item->scale() - 1) > 1e-6)) ||
                       item->objectName() == "crossDissolveStill" ||
                       // a presented screen fading in; one going takes no input and needs no wait
                       (item->opacity() < 1 && item->isEnabled() && item->parentItem() &&
                        item->parentItem()->objectName() == "presentationLayer") ||
                       (swiped > 0 && swiped < 1);
    if (moves)
      moving = QStringLiteral("%1 \"%2\" (opacity %3, scale %4, swiped %5)")
                   .arg(QLatin1String(item->metaObject()->className()), item->objectName())
                   .arg(item->opacity(), 0, 'g', 17)
                   .arg(item->scale(), 0, 'g', 17)
                   .arg(swiped);
  });
  return moving;
}

[[nodiscard]] inline bool inMotion(QQuickItem* root) { return !whatMoves(root).isEmpty(); }

/// The start-up follow is over and the camera has come to rest.
[[nodiscard]] inline bool mapAtRest(const QuickMapView& map) {
  return map.userTrackingMode() == UserTrackingMode::None && !map.isAnimating();
}

class UserSession {
 public:
  explicit UserSession(const Prepared& prepared = {}) {
    const QString dir = data_.path();
    options_ = {dir + "/data", prepared.tiles.isEmpty() ? dir + "/fields.mbtiles" : prepared.tiles, prepared.geocoder,
                QStringLiteral("%1,%2").arg(kFieldsLatitude).arg(kFieldsLongitude), "en_US"};
    if (prepared.tiles.isEmpty() && !writeFieldsImagery(options_.tiles, kFieldsLatitude, kFieldsLongitude, 17)) return;
    app_.didFinishLaunching(options_);
    UserSettings::shared().setDidShowIntro(prepared.introShown);
    UserSettings::shared().setSendUsageData(prepared.sendUsageData);
    UserSettings::shared().setDidRequest(true);  // no feedback form over the screens under test
    for (const PersistedMeasurement& record : prepared.records) PersistanceManager().appendMeasurement(record);
    const auto shown = scene.connect(options_);
    if (!shown) error = QString::fromStdString(shown.failure().reason);
    started = shown && QTest::qWaitForWindowExposed(window());
    if (started && prepared.introShown) {
      started = QTest::qWaitFor([this] { return named(QStringLiteral("Tap on the map to measure")) != nullptr; });
    }
  }

  // Once started, the app compiles its other screens in the background; a quit
  // in the middle of that is the engine's warning of interrupted loads.
  ~UserSession() {
    if (!started) return;
    (void)QTest::qWaitFor([this] {
      const auto loads = scene.engine().findChildren<QQmlComponent*>(Qt::FindDirectChildrenOnly);
      return loads.size() > 1 && std::none_of(loads.begin(), loads.end(), [](auto* c) { return c->isLoading(); });
    });
  }
  UserSession(const UserSession&) = delete;
  UserSession& operator=(const UserSession&) = delete;

  [[nodiscard]] QQuickWindow* window() const { return scene.window(); }

  /// The topmost item on screen that assistive technology knows by `name` (and
  /// `role`, when given).
  [[nodiscard]] QQuickItem* named(const QString& name, QAccessible::Role role = QAccessible::NoRole) const {
    QQuickItem* found = nullptr;
    forEachShown(window()->contentItem(), [&](QQuickItem* item) {
      QAccessibleInterface* a = QAccessible::queryAccessibleInterface(item);
      if (a && a->text(QAccessible::Name) == name && (role == QAccessible::NoRole || a->role() == role)) found = item;
    });
    return found;
  }
  /// Waits until an item of that name is on screen.
  [[nodiscard]] QQuickItem* await(const QString& name, int timeoutMs = 5000) const {
    QQuickItem* found = nullptr;
    (void)QTest::qWaitFor([&] { return (found = named(name)) != nullptr; }, timeoutMs);
    return found;
  }
  /// The items on screen, painted order, that `accept` picks.
  [[nodiscard]] QList<QQuickItem*> all(const std::function<bool(QQuickItem*)>& accept) const {
    QList<QQuickItem*> out;
    forEachShown(window()->contentItem(), [&](QQuickItem* item) {
      if (accept(item)) out << item;
    });
    return out;
  }

  static QPoint centre(QQuickItem* item) {
    return item->mapToScene(QPointF(item->width() / 2, item->height() / 2)).toPoint();
  }
  /// One finger down and up at a point of the window.
  void tap(QPoint at) {
    QTest::touchEvent(window(), touchScreen()).press(0, at);
    QTest::touchEvent(window(), touchScreen()).release(0, at);
    QCoreApplication::processEvents();
  }
  void tap(QQuickItem* item) {
    ASSERT_NE(item, nullptr);
    tap(centre(item));
  }
  /// As a user does: once the control is there, enabled and still (screens
  /// sliding in take no touches). A failure says what still moved.
  void tap(const QString& name) {
    QQuickItem* item = await(name);
    ASSERT_NE(item, nullptr) << "nothing on screen is named " << qPrintable(name);
    if (QTest::qWaitFor([&] { return item->isEnabled() && settled(); })) return tap(item);
    const QString moving = scene.mapView() && scene.mapView()->isAnimating() ? QStringLiteral("the map")
                                                                             : whatMoves(window()->contentItem());
    FAIL() << qPrintable(name) << (item->isEnabled() ? "" : " stays disabled") << (moving.isEmpty() ? "" : ", moving: ")
           << qPrintable(moving);
  }
  /// One finger held on the item past the platform's long-press time: the
  /// gesture's own length, not a wait for the app.
  void longPress(QQuickItem* item) {
    ASSERT_NE(item, nullptr);
    const QPoint at = centre(item);
    QTest::touchEvent(window(), touchScreen()).press(0, at);
    QTest::qWait(QGuiApplication::styleHints()->mousePressAndHoldInterval() + 200);
    QTest::touchEvent(window(), touchScreen()).release(0, at);
    QCoreApplication::processEvents();
  }
  void rightClick(QQuickItem* item) {
    ASSERT_NE(item, nullptr);
    QTest::mouseClick(window(), Qt::RightButton, {}, centre(item));
  }
  /// A drag from one point to another in steps; `hold` ms at the end makes it a
  /// drag that stops there rather than a flick.
  void swipe(QPoint from, QPoint to, int hold = 0, int steps = 10) {
    QTest::mousePress(window(), Qt::LeftButton, {}, from);
    for (int i = 1; i <= steps; ++i) QTest::mouseMove(window(), from + (to - from) * i / steps, 16);
    QTest::mouseRelease(window(), Qt::LeftButton, {}, to, hold);
  }
  void type(const QByteArray& text) {
    for (const char c : text) QTest::keyClick(window(), c);
  }
  void press(Qt::Key key) { QTest::keyClick(window(), key); }

  /// A tap on the map at `at`, once the map has taken it.
  void tapMap(QPoint at) {
    QSignalSpy taken(scene.mapView(), &QuickMapView::tapped);
    tap(at);
    EXPECT_TRUE(!taken.isEmpty() || taken.wait()) << "the map took no tap";
  }

  /// Nothing on screen moves: no screen slides or fades, no menu or dialog
  /// opens, no list scrolls, no row swipes, no dissolve runs, the camera rests.
  [[nodiscard]] bool settled() const {
    return !(scene.mapView() && scene.mapView()->isAnimating()) && !inMotion(window()->contentItem());
  }
  /// Waits until nothing on screen moves.
  [[nodiscard]] bool settle() const {
    return QTest::qWaitFor([this] { return settled(); });
  }

  QString error;
  bool started = false;
  SceneDelegate scene;

 private:
  static QPointingDevice* touchScreen() {
    static QPointingDevice* device = QTest::createTouchDevice();
    return device;
  }

  QTemporaryDir data_;
  AppOptions options_;
  AppDelegate app_;
};

}  // namespace kavrano::testing
