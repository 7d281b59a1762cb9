#pragma once

#include <cstddef>

#include "kavrano/core/coordinate.h"

namespace kavrano::bench {

/// sin(radians(latitude)) within about an ulp, eight lanes at a time (AVX-512F only).
void faithfulSines(const double* latitudes, std::size_t count, double* sines);

/// The area's edge terms with those sines, summed in ring order like the shipped kernel.
double faithfulAddEdges(const Coordinate* v, std::size_t count, double sum);

}  // namespace kavrano::bench
