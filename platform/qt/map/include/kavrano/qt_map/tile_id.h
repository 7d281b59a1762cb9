#pragma once

#include <QHashFunctions>
#include <cstdint>

namespace kavrano {

/// An XYZ tile: zoom, column from the west, row from the north (not TMS).
struct TileId {
  int z = 0;
  int x = 0;
  int y = 0;

  [[nodiscard]] TileId parent() const { return {z - 1, x >> 1, y >> 1}; }
  [[nodiscard]] bool valid() const { return z >= 0 && z <= 30 && x >= 0 && y >= 0 && x < (1 << z) && y < (1 << z); }
  friend bool operator==(const TileId&, const TileId&) = default;
};

inline size_t qHash(const TileId& t, size_t seed = 0) { return qHashMulti(seed, t.z, t.x, t.y); }

}  // namespace kavrano
