#pragma once

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <random>
#include <vector>

#include "kavrano/core/coordinate.h"

namespace kavrano {

/// A ring of n vertices around a random centre with a random extent, from a few
/// centimetres up to a hemisphere; latitudes kept within ±90°.
inline std::vector<Coordinate> randomRing(std::size_t n, std::mt19937_64& rng) {
  const double span = std::pow(10.0, std::uniform_real_distribution<double>(-5, 2)(rng));
  const double lat0 = std::uniform_real_distribution<double>(-90, 90)(rng);
  const double lon0 = std::uniform_real_distribution<double>(-180, 180)(rng);
  std::uniform_real_distribution<double> offset(-span, span);
  std::vector<Coordinate> ring(n);
  for (Coordinate& c : ring) c = {std::clamp(lat0 + offset(rng), -90.0, 90.0), lon0 + offset(rng)};
  return ring;
}

}  // namespace kavrano
