#pragma once

#include <QPointF>
#include <functional>

namespace kavrano {

/// Reports taps on the map: a press and release close together in place and time.
/// A drag or a pinch is never a tap. With `cancelsTouchesInView` false (the
/// default here) the map keeps panning and zooming on the same touches; our map
/// never lets a recogniser take its touches away, so true changes nothing there.
class TapGestureRecognizer {
 public:
  using Action = std::function<void(const TapGestureRecognizer&)>;

  explicit TapGestureRecognizer(Action action) : action_(std::move(action)) {}

  bool cancelsTouchesInView = false;

  /// Where the last recognised tap was, in the map view's points.
  [[nodiscard]] QPointF locationInView() const { return location_; }

  /// Called by the map view when it has recognised a tap.
  void recognize(QPointF location) {
    location_ = location;
    if (action_) action_(*this);
  }

 private:
  Action action_;
  QPointF location_;
};

}  // namespace kavrano
