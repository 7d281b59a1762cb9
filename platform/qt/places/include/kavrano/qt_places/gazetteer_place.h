#pragma once

#include <cstdint>
#include <string_view>

#include "kavrano/core/coordinate.h"

namespace kavrano {

/// One populated place of the gazetteer. The texts point into the index and live
/// as long as it does.
struct GazetteerPlace {
  std::string_view name;      // UTF-8, as spelt locally ("Zürich")
  std::string_view subtitle;  // UTF-8, "region, country" or just the country
  Coordinate coordinate;      // degrees, 1e-5 resolution (about a metre)
  std::uint32_t population = 0;
};

}  // namespace kavrano
