#include "kavrano/qt_world/world_vectors.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace kavrano {

namespace fmt = world_vectors_format;
using packed_bytes::within;

namespace {

GridBox readBox(const std::byte* at) {
  return {fmt::read<std::uint32_t>(at), fmt::read<std::uint32_t>(at + 4), fmt::read<std::uint32_t>(at + 8),
          fmt::read<std::uint32_t>(at + 12)};
}

// At most five bytes for 32 bits; a longer or unfinished run is damage.
bool readVarint(const std::byte*& at, const std::byte* end, std::uint32_t& value) {
  value = 0;
  for (int shift = 0; shift < 35; shift += 7) {
    if (at == end) return false;
    const auto b = static_cast<std::uint32_t>(*at++);
    if (shift == 28 && b > 0x0f) return false;
    value |= (b & 0x7fu) << shift;
    if (!(b & 0x80u)) return true;
  }
  return false;
}

std::int64_t unzigzag(std::uint32_t v) { return static_cast<std::int64_t>(v >> 1) ^ -static_cast<std::int64_t>(v & 1); }

}  // namespace

std::optional<WorldVectors> WorldVectors::open(std::span<const std::byte> bytes) {
  const std::size_t total = bytes.size();
  if (!packed_bytes::hasHeader(bytes, fmt::kMagic, fmt::kHeaderSize, fmt::kVersion)) return std::nullopt;
  const std::byte* base = bytes.data();
  const std::uint32_t levelCount = fmt::read<std::uint32_t>(base + 8);
  const std::uint32_t groupCount = fmt::read<std::uint32_t>(base + 12);
  const std::uint64_t labelCount = fmt::read<std::uint32_t>(base + 16);
  const std::uint64_t labelsOffset = fmt::read<std::uint32_t>(base + 20);
  if (levelCount == 0 || levelCount > fmt::kMaxLevels || groupCount > fmt::kMaxLabelGroups) return std::nullopt;
  if (!within(fmt::kHeaderSize, std::uint64_t{levelCount} * fmt::kLevelSize, total)) return std::nullopt;
  if (!within(labelsOffset, groupCount * fmt::kLabelGroupSize + labelCount * fmt::kLabelSize, total))
    return std::nullopt;

  WorldVectors world;
  world.bytes_ = bytes;
  world.gazetteerSize_ = fmt::read<std::uint32_t>(base + 24);
  std::uint32_t previousZoom = 0;
  for (std::uint32_t l = 0; l < levelCount; ++l) {
    const std::byte* at = base + fmt::kHeaderSize + l * fmt::kLevelSize;
    const Level level{fmt::read<std::uint32_t>(at), fmt::read<std::uint32_t>(at + 4),
                      base + fmt::read<std::uint32_t>(at + 8)};
    if ((l > 0 && level.maxZoom <= previousZoom) ||
        !within(fmt::read<std::uint32_t>(at + 8), std::uint64_t{level.count} * fmt::kShapeSize, total))
      return std::nullopt;
    previousZoom = level.maxZoom;
    world.levels_.push_back(level);
  }
  // Every shape's box, count and bytes are in range, so drawing trusts them
  // and decoding is bounded by the bytes.
  for (std::size_t l = 0; l < world.levels_.size(); ++l) {
    for (std::uint32_t i = 0; i < world.levels_[l].count; ++i) {
      const std::byte* at = world.levels_[l].shapes + i * fmt::kShapeSize;
      const auto kind = fmt::read<std::uint32_t>(at);
      const GridBox box = readBox(at + 4);
      const std::uint64_t count = fmt::read<std::uint32_t>(at + 20);
      const std::uint64_t offset = fmt::read<std::uint32_t>(at + 24), size = fmt::read<std::uint32_t>(at + 28);
      const std::uint64_t least = kind == static_cast<std::uint32_t>(ShapeKind::Land) ? 4 : 2;
      if (kind > static_cast<std::uint32_t>(ShapeKind::Border) || box.left > box.right || box.top > box.bottom ||
          box.right > fmt::kGrid || box.bottom > fmt::kGrid || count < least || !within(offset, size, total) ||
          count * 2 > size || size > count * 10)
        return std::nullopt;
    }
  }
  const std::byte* groups = base + labelsOffset;
  world.labels_ = groups + groupCount * fmt::kLabelGroupSize;
  for (std::uint32_t g = 0; g < groupCount; ++g) {
    const Group group{fmt::read<std::uint32_t>(groups + g * fmt::kLabelGroupSize),
                      fmt::read<std::uint32_t>(groups + g * fmt::kLabelGroupSize + 4)};
    if (std::uint64_t{group.first} + group.count > labelCount) return std::nullopt;
    // Binary search by x needs sorted groups, and a label must name a place.
    for (std::uint32_t i = group.first; i < group.first + group.count; ++i) {
      const std::byte* label = world.labels_ + std::size_t{i} * fmt::kLabelSize;
      if (fmt::read<std::uint32_t>(label) > fmt::kGrid || fmt::read<std::uint32_t>(label + 4) > fmt::kGrid ||
          fmt::read<std::uint32_t>(label + 8) >= world.gazetteerSize_ ||
          (fmt::read<std::uint32_t>(label + 12) & 0xffu) != g ||
          (i > group.first && fmt::read<std::uint32_t>(label) < fmt::read<std::uint32_t>(label - fmt::kLabelSize)))
        return std::nullopt;
    }
    world.groups_.push_back(group);
  }
  return world;
}

std::size_t WorldVectors::levelFor(double zoom) const {
  for (std::size_t l = 0; l + 1 < levels_.size(); ++l)
    if (zoom <= levels_[l].maxZoom) return l;
  return levels_.size() - 1;
}

WorldVectors::Shape WorldVectors::shape(std::size_t level, std::size_t i) const {
  const std::byte* at = levels_.at(level).shapes + i * fmt::kShapeSize;
  return {static_cast<ShapeKind>(fmt::read<std::uint32_t>(at)), readBox(at + 4), fmt::read<std::uint32_t>(at + 20),
          bytes_.subspan(fmt::read<std::uint32_t>(at + 24), fmt::read<std::uint32_t>(at + 28))};
}

bool WorldVectors::points(const Shape& shape, std::vector<GridPoint>& out) {
  const std::size_t before = out.size();
  out.reserve(before + shape.count);
  const std::byte* at = shape.bytes.data();
  const std::byte* end = at + shape.bytes.size();
  GridPoint p;
  for (std::uint32_t i = 0; i < shape.count; ++i) {
    std::uint32_t dx, dy;
    if (!readVarint(at, end, dx) || !readVarint(at, end, dy)) break;
    p.x += unzigzag(dx);
    p.y += unzigzag(dy);
    if (p.x < shape.box.left || p.x > shape.box.right || p.y < shape.box.top || p.y > shape.box.bottom) break;
    out.push_back(p);
  }
  if (out.size() - before == shape.count && at == end) return true;
  out.resize(before);
  return false;
}

bool WorldVectors::isLand(Coordinate coordinate) const {
  const double lat = std::clamp(coordinate.latitude, -85.0511287798, 85.0511287798) * std::numbers::pi / 180.0;
  const double wx = (coordinate.longitude + 180.0) / 360.0;
  const double wy = 0.5 - std::log(std::tan(std::numbers::pi / 4 + lat / 2)) / (2 * std::numbers::pi);
  const double x = (wx - std::floor(wx)) * fmt::kGrid, y = wy * fmt::kGrid;
  const std::size_t level = levels_.size() - 1;
  bool inside = false;
  std::vector<GridPoint> ring;
  for (std::size_t i = 0; i < shapeCount(level); ++i) {
    const Shape s = shape(level, i);
    if (s.kind != ShapeKind::Land || x < s.box.left || x > s.box.right || y < s.box.top || y > s.box.bottom) continue;
    ring.clear();
    if (!points(s, ring)) continue;
    for (std::size_t k = 1; k < ring.size(); ++k) {
      const GridPoint a = ring[k - 1], b = ring[k];
      if ((a.y > y) != (b.y > y) &&
          x < a.x + (y - a.y) * static_cast<double>(b.x - a.x) / static_cast<double>(b.y - a.y))
        inside = !inside;
    }
  }
  return inside;
}

std::vector<WorldVectors::Label> WorldVectors::labels(std::uint32_t zoom, const GridBox& box) const {
  std::vector<Label> out;
  for (std::uint32_t g = 0; g <= zoom && g < groups_.size(); ++g) {
    const std::byte* first = labels_ + std::size_t{groups_[g].first} * fmt::kLabelSize;
    std::size_t lo = 0, hi = groups_[g].count;
    while (lo < hi) {  // the first label not west of the box
      const std::size_t mid = lo + (hi - lo) / 2;
      if (fmt::read<std::uint32_t>(first + mid * fmt::kLabelSize) < box.left)
        lo = mid + 1;
      else
        hi = mid;
    }
    for (std::size_t i = lo; i < groups_[g].count; ++i) {
      const std::byte* at = first + i * fmt::kLabelSize;
      const Label label{fmt::read<std::uint32_t>(at), fmt::read<std::uint32_t>(at + 4),
                        fmt::read<std::uint32_t>(at + 8), g, fmt::read<std::uint32_t>(at + 12) >> 8};
      if (label.x > box.right) break;
      if (label.y >= box.top && label.y <= box.bottom) out.push_back(label);
    }
  }
  return out;
}

}  // namespace kavrano
