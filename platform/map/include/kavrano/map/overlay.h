#pragma once

#include <vector>

#include "kavrano/core/coordinate.h"

namespace kavrano {

/// A shape drawn on the map through a list of coordinates. Immutable once made,
/// so the map may cache whatever it derives from the points.
class Overlay {
 public:
  virtual ~Overlay() = default;
  [[nodiscard]] const std::vector<Coordinate>& coordinates() const { return coordinates_; }

 protected:
  explicit Overlay(std::vector<Coordinate> coordinates) : coordinates_(std::move(coordinates)) {}

 private:
  std::vector<Coordinate> coordinates_;
};

/// A region: the ring through the points, closed back to the first one.
class PolygonOverlay final : public Overlay {
 public:
  explicit PolygonOverlay(std::vector<Coordinate> coordinates) : Overlay(std::move(coordinates)) {}
};

/// An open line through the points in order.
class PolylineOverlay final : public Overlay {
 public:
  explicit PolylineOverlay(std::vector<Coordinate> coordinates) : Overlay(std::move(coordinates)) {}
};

}  // namespace kavrano
