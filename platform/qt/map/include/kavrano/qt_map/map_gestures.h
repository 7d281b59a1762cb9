#pragma once

#include <QPointF>
#include <deque>
#include <functional>
#include <utility>
#include <vector>

namespace kavrano {

/// Tells taps, drags, flicks and pinches apart from the raw presses and finger
/// positions of a mouse or a touch screen, in view points and event milliseconds.
/// Knows nothing of the camera: it reports what the hand did, and the map decides
/// what that does to the view.
class MapGestures {
 public:
  /// A release while the finger still moved: the map glides on, slowing evenly.
  struct Flick {
    QPointF velocity;  // points per second at the release, the way the finger went
    double seconds;    // until it stops
    /// The whole glide in points: from the release speed evenly down to rest.
    [[nodiscard]] QPointF travel() const { return velocity * (seconds / 2.0); }
  };
  struct Handlers {
    std::function<void()> pressed;                 // a finger came down: animations stop
    std::function<void(QPointF)> tapped;           // where, in the view
    std::function<void(QPointF)> dragged;          // by how much the finger moved since the last report
    std::function<void(QPointF)> pinchStarted;     // the fingers' middle
    std::function<void(double, QPointF)> pinched;  // spread since the start (2: twice as far apart), middle
    std::function<void(Flick)> flicked;
  };
  enum class TouchPhase { Begin, Update, End };

  explicit MapGestures(Handlers handlers) : handlers_(std::move(handlers)) {}

  void press(QPointF at, quint64 ms);
  void move(QPointF at, quint64 ms);
  void release(QPointF at, quint64 ms);
  /// A touch event: the positions of the fingers still down, and the first
  /// finger's position (where a touch begins, or ends when none are left).
  void touch(TouchPhase phase, const std::vector<QPointF>& down, QPointF first, quint64 ms);
  /// The system took the input away: whatever was going on is forgotten.
  void cancel() { state_ = State{}; }
  [[nodiscard]] bool active() const { return state_.active; }

 private:
  struct State {
    bool active = false;
    bool moved = false;    // went beyond the tap slop: a drag, never a tap
    bool pinched = false;  // a second finger came: never a tap
    QPointF pressAt;
    quint64 pressTime = 0;
    QPointF last;
    double pinchStartDistance = 0;
    std::deque<std::pair<quint64, QPointF>> samples;  // for the flick's speed
  };

  Handlers handlers_;
  State state_;
};

}  // namespace kavrano
