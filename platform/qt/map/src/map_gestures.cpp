#include "kavrano/qt_map/map_gestures.h"

#include <QLineF>
#include <algorithm>
#include <cmath>

namespace kavrano {

namespace {
// A press and release closer than these is a tap (what phone toolkits use).
constexpr double kTapSlop = 10.0;            // points
constexpr quint64 kTapMaxMs = 300;           // milliseconds
constexpr double kFlickMinSpeed = 100;       // points per second; slower releases just stop
constexpr double kFlickDeceleration = 2500;  // points per second²
constexpr double kFlickMaxSeconds = 2.0;
constexpr quint64 kVelocityWindowMs = 100;
}  // namespace

void MapGestures::press(QPointF at, quint64 ms) {
  if (handlers_.pressed) handlers_.pressed();
  state_ = State{};
  state_.active = true;
  state_.pressAt = state_.last = at;
  state_.pressTime = ms;
  state_.samples.emplace_back(ms, at);
}

void MapGestures::move(QPointF at, quint64 ms) {
  if (!state_.active) return;
  if (!state_.moved && QLineF(at, state_.pressAt).length() > kTapSlop) state_.moved = true;
  if (state_.moved) {
    const QPointF delta = at - state_.last;
    state_.last = at;
    if (handlers_.dragged) handlers_.dragged(delta);
  }
  state_.samples.emplace_back(ms, at);
  while (state_.samples.size() > 2 && ms - state_.samples.front().first > kVelocityWindowMs) state_.samples.pop_front();
}

void MapGestures::release(QPointF at, quint64 ms) {
  if (!state_.active) return;
  state_.active = false;
  if (!state_.moved && !state_.pinched && ms - state_.pressTime <= kTapMaxMs &&
      QLineF(at, state_.pressAt).length() <= kTapSlop) {
    if (handlers_.tapped) handlers_.tapped(at);
    return;
  }
  if (!state_.moved || state_.pinched || state_.samples.size() < 2) return;
  const auto& [t0, p0] = state_.samples.front();
  const auto& [t1, p1] = state_.samples.back();
  if (t1 <= t0 || ms - t1 > kVelocityWindowMs) return;  // the finger rested before lifting
  const QPointF velocity = (p1 - p0) * (1000.0 / static_cast<double>(t1 - t0));
  const double speed = std::hypot(velocity.x(), velocity.y());
  if (speed < kFlickMinSpeed) return;
  if (handlers_.flicked) handlers_.flicked({velocity, std::min(speed / kFlickDeceleration, kFlickMaxSeconds)});
}

void MapGestures::touch(TouchPhase phase, const std::vector<QPointF>& down, QPointF first, quint64 ms) {
  if (phase == TouchPhase::Begin) press(first, ms);
  if (!state_.active) return;

  if (down.size() >= 2) {
    const QPointF mid = (down[0] + down[1]) / 2.0;
    const double distance = std::max(QLineF(down[0], down[1]).length(), 1.0);
    if (state_.pinchStartDistance == 0) {
      state_.pinched = state_.moved = true;
      state_.pinchStartDistance = distance;
      if (handlers_.pinchStarted) handlers_.pinchStarted(mid);
    } else if (handlers_.pinched) {
      handlers_.pinched(distance / state_.pinchStartDistance, mid);
    }
    state_.last = mid;
    state_.samples.clear();
  } else if (down.size() == 1) {
    if (state_.pinchStartDistance != 0) {  // one finger lifted: carry on panning with the other
      state_.pinchStartDistance = 0;
      state_.last = down[0];
      state_.samples.clear();
    } else if (phase != TouchPhase::Begin) {
      move(down[0], ms);
    }
  }
  if (down.empty()) release(first, ms);
}

}  // namespace kavrano
