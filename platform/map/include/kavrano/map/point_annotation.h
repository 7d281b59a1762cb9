#pragma once

#include "kavrano/map/annotation.h"

namespace kavrano {

/// A plain annotation: a coordinate and an optional title.
class PointAnnotation : public Annotation {
 public:
  PointAnnotation() = default;
  explicit PointAnnotation(Coordinate coordinate, std::optional<QString> title = std::nullopt)
      : coordinate_(coordinate), title_(std::move(title)) {}

  [[nodiscard]] Coordinate coordinate() const override { return coordinate_; }
  [[nodiscard]] std::optional<QString> title() const override { return title_; }
  void setCoordinate(Coordinate coordinate) { coordinate_ = coordinate; }
  void setTitle(std::optional<QString> title) { title_ = std::move(title); }

 private:
  Coordinate coordinate_;
  std::optional<QString> title_;
};

}  // namespace kavrano
