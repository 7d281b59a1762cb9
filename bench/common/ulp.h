#pragma once

#include <cmath>

namespace kavrano {

/// The spacing of doubles at |v|: what one unit in the last place is worth there.
inline double ulpOf(double v) {
  const double a = std::fabs(v);
  return std::nextafter(a, INFINITY) - a;
}

}  // namespace kavrano
