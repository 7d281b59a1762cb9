// Gesture recognition alone, without a window: what a hand's presses, moves and
// fingers are taken for, in which direction, and what never counts as a tap.
#include <gtest/gtest.h>

#include <QLineF>
#include <cmath>

#include "kavrano/qt_map/map_gestures.h"

namespace kavrano {
namespace {

/// Everything the gestures reported, in order.
struct Recorder {
  MapGestures gestures{{
      .pressed = [this] { ++presses; },
      .tapped = [this](QPointF at) { taps.push_back(at); },
      .dragged = [this](QPointF d) { dragged += d; },
      .pinchStarted = [this](QPointF at) { pinchStarts.push_back(at); },
      .pinched = [this](double spread, QPointF) { spreads.push_back(spread); },
      .flicked = [this](MapGestures::Flick f) { flicks.push_back(f); },
  }};
  /// A mouse drag from `from` by `by` in `steps` moves `ms` apart, released where it ends.
  void drag(QPointF from, QPointF by, int steps, quint64 ms, quint64 restBeforeRelease = 0) {
    quint64 t = 1000;
    gestures.press(from, t);
    for (int i = 1; i <= steps; ++i) gestures.move(from + by * i / steps, t += ms);
    gestures.release(from + by, t + restBeforeRelease);
  }
  int presses = 0;
  std::vector<QPointF> taps;
  QPointF dragged;
  std::vector<QPointF> pinchStarts;
  std::vector<double> spreads;
  std::vector<MapGestures::Flick> flicks;
};

TEST(MapGestureRecognition, TapsAreShortAndStillEverythingElseIsNot) {
  struct Case {
    const char* what;
    QPointF releaseAt;
    quint64 heldMs;
    bool tap;
  } cases[] = {
      {"still and short", {50, 50}, 100, true},
      {"within the slop", {57, 56}, 299, true},
      {"beyond the slop", {62, 50}, 100, false},
      {"held too long", {50, 50}, 400, false},
  };
  for (const Case& c : cases) {
    Recorder r;
    r.gestures.press({50, 50}, 1000);
    r.gestures.release(c.releaseAt, 1000 + c.heldMs);
    EXPECT_EQ(r.taps, c.tap ? std::vector{c.releaseAt} : std::vector<QPointF>{}) << c.what;
    EXPECT_EQ(r.presses, 1) << c.what;
  }
}

TEST(MapGestureRecognition, DragsAndFlicksGoTheWayTheFingerWent) {
  // A slow drag: all of it reported as movement, the slop too, and no glide afterwards.
  for (QPointF by : {QPointF(60, 0), QPointF(-40, 25), QPointF(0, -80)}) {
    Recorder slow;
    slow.drag({100, 100}, by, 10, 200);
    EXPECT_LT(QLineF(slow.dragged, by).length(), 1e-9) << by.x() << "," << by.y();
    EXPECT_TRUE(slow.taps.empty() && slow.flicks.empty());
  }
  // Quick drags glide on in the same direction, at the finger's speed.
  for (QPointF by : {QPointF(75, 0), QPointF(-75, 0), QPointF(0, 75), QPointF(30, -40)}) {
    Recorder quick;
    quick.drag({100, 100}, by, 5, 10);  // 75 points in 50 ms: 1,500 points per second
    ASSERT_EQ(quick.flicks.size(), 1u) << by.x() << "," << by.y();
    const MapGestures::Flick f = quick.flicks.front();
    const double speed = std::hypot(f.velocity.x(), f.velocity.y());
    EXPECT_NEAR(speed, QLineF({}, by).length() * 20, 1.0);
    EXPECT_NEAR(QPointF::dotProduct(f.velocity, by) / (speed * QLineF({}, by).length()), 1.0, 1e-9)
        << "the glide continues the finger's direction";
    EXPECT_GT(QPointF::dotProduct(f.travel(), by), 0);
    EXPECT_NEAR(QLineF({}, f.travel()).length(), speed * f.seconds / 2, 1e-9);
  }
  Recorder rested;
  rested.drag({100, 100}, {75, 0}, 5, 10, 150);
  EXPECT_TRUE(rested.flicks.empty()) << "the finger rested before lifting";
  Recorder crawl;
  crawl.drag({100, 100}, {30, 0}, 10, 100);
  EXPECT_TRUE(crawl.flicks.empty()) << "too slow to glide";
}

TEST(MapGestureRecognition, TwoFingersPinchAndAreNeverATapOrAFlick) {
  using Phase = MapGestures::TouchPhase;
  Recorder r;
  r.gestures.touch(Phase::Begin, {{100, 150}, {140, 150}}, {100, 150}, 1000);
  r.gestures.touch(Phase::Update, {{80, 150}, {160, 150}}, {80, 150}, 1010);
  // One finger lifts: the other pans on without a jump.
  r.gestures.touch(Phase::Update, {{160, 150}}, {80, 150}, 1020);
  r.gestures.touch(Phase::Update, {{170, 150}}, {170, 150}, 1030);
  r.gestures.touch(Phase::End, {}, {170, 150}, 1040);
  EXPECT_EQ(r.pinchStarts, (std::vector<QPointF>{{120, 150}}));
  EXPECT_EQ(r.spreads, (std::vector<double>{2.0})) << "twice as far apart";
  EXPECT_EQ(r.dragged, QPointF(10, 0));
  EXPECT_TRUE(r.taps.empty());
  EXPECT_TRUE(r.flicks.empty());

  Recorder cancelled;
  cancelled.gestures.touch(Phase::Begin, {{10, 10}}, {10, 10}, 1000);
  cancelled.gestures.cancel();
  cancelled.gestures.touch(Phase::End, {}, {10, 10}, 1050);
  EXPECT_TRUE(cancelled.taps.empty()) << "a cancelled touch is forgotten";
}

}  // namespace
}  // namespace kavrano
