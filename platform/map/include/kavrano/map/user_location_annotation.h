#pragma once

#include "kavrano/map/annotation.h"

namespace kavrano {

/// The device's own position as the map shows it. The map owns the one instance
/// and hands it to the delegate; it is never part of `MapView::annotations()`.
class UserLocationAnnotation : public Annotation {
 public:
  [[nodiscard]] Coordinate coordinate() const override { return coordinate_; }
  [[nodiscard]] std::optional<QString> title() const override { return QStringLiteral("My Location"); }
  /// Radius of the 68 % circle in metres; 0 when unknown.
  [[nodiscard]] double horizontalAccuracy() const { return accuracy_; }
  [[nodiscard]] bool hasFix() const { return hasFix_; }

  void setFix(Coordinate coordinate, double horizontalAccuracy) {
    coordinate_ = coordinate;
    accuracy_ = horizontalAccuracy;
    hasFix_ = true;
  }

 private:
  Coordinate coordinate_;
  double accuracy_ = 0.0;
  bool hasFix_ = false;
};

}  // namespace kavrano
