#pragma once

#include <cmath>
#include <vector>

#include "kavrano/core/coordinate.h"

namespace kavrano::bench {

// A wavy ring of about 2 km around Zurich with n vertices. bench/turf_area.mjs
// builds the same ring, so both sides measure identical input.
inline std::vector<Coordinate> wavyRing(std::size_t n) {
  std::vector<Coordinate> ring(n);
  for (std::size_t i = 0; i < n; ++i) {
    const double angle = 2 * M_PI * static_cast<double>(i) / static_cast<double>(n);
    const double radius = 0.01 * (1 + 0.3 * std::sin(7 * angle));
    ring[i] = {47.3 + radius * std::sin(angle), 8.5 + radius * std::cos(angle)};
  }
  return ring;
}

}  // namespace kavrano::bench
