#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "kavrano/core/coordinate.h"
#include "kavrano/qt_world/world_vectors_format.h"

namespace kavrano {

/// A point or a box on the compiled world's grid (world_vectors_format.h):
/// Web Mercator world units times kGrid.
struct GridPoint {
  std::int64_t x = 0, y = 0;
  friend bool operator==(const GridPoint&, const GridPoint&) = default;
};
struct GridBox {
  std::int64_t left = 0, top = 0, right = 0, bottom = 0;
  [[nodiscard]] bool intersects(const GridBox& o) const {
    return left <= o.right && o.left <= right && top <= o.bottom && o.top <= bottom;
  }
};

/// Natural Earth's land and country borders, simplified per zoom level, and the
/// order in which place labels claim the map, read where the bytes lie (not
/// copied; they must outlive this). The bytes are untrusted: open() checks every
/// table and range, and points() checks every shape's bytes as it decodes them.
/// Immutable, so one instance serves every thread.
class WorldVectors {
 public:
  using ShapeKind = world_vectors_format::ShapeKind;
  struct Shape {
    ShapeKind kind;
    GridBox box;
    std::uint32_t count;  // points; a land ring repeats its first point last
    std::span<const std::byte> bytes;
  };
  struct Label {
    std::uint32_t x, y;
    std::uint32_t place;  // record of the gazetteer the file was made with
    std::uint32_t fromZoom;
    std::uint32_t rank;  // capitals, then the most populous: lower claims room first
  };

  /// None when the bytes are not a complete, consistent file of this version.
  [[nodiscard]] static std::optional<WorldVectors> open(std::span<const std::byte> bytes);

  [[nodiscard]] std::size_t levelCount() const { return levels_.size(); }
  /// The coarsest level drawn well at a zoom (levels serve up to a largest zoom
  /// each; the last serves every zoom beyond).
  [[nodiscard]] std::size_t levelFor(double zoom) const;
  [[nodiscard]] std::uint32_t levelMaxZoom(std::size_t level) const { return levels_.at(level).maxZoom; }
  [[nodiscard]] std::size_t shapeCount(std::size_t level) const { return levels_.at(level).count; }
  [[nodiscard]] Shape shape(std::size_t level, std::size_t i) const;

  /// The shape's points, appended to `out`; false (and `out` as it was) when its
  /// bytes do not hold exactly its count of points inside its box.
  [[nodiscard]] static bool points(const Shape& shape, std::vector<GridPoint>& out);

  /// Inside a land ring of the finest level (even–odd, so lakes cut out of land
  /// are water). Latitude beyond the Mercator limit is clamped.
  [[nodiscard]] bool isLand(Coordinate coordinate) const;

  /// The count of gazetteer places the labels were made for: labels name
  /// records of that gazetteer only.
  [[nodiscard]] std::uint32_t gazetteerSize() const { return gazetteerSize_; }
  /// Labels shown from `zoom` or earlier whose anchor lies in `box`, by the zoom
  /// they show from (earliest first), then west to east.
  [[nodiscard]] std::vector<Label> labels(std::uint32_t zoom, const GridBox& box) const;

 private:
  struct Level {
    std::uint32_t maxZoom, count;
    const std::byte* shapes;
  };
  struct Group {
    std::uint32_t first, count;
  };
  std::span<const std::byte> bytes_;
  std::vector<Level> levels_;
  std::vector<Group> groups_;
  const std::byte* labels_ = nullptr;
  std::uint32_t gazetteerSize_ = 0;
};

}  // namespace kavrano
