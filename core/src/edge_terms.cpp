#include "edge_terms.h"

#include <cmath>

namespace kavrano::area {

double latitudeSine(double latitude) { return std::sin(radians(latitude)); }

double edgeTerm(double lonP, double sinP, double lonQ, double sinQ) {
  return radians(lonQ - lonP) * (sinP + 2.0 + sinQ);
}

double addEdgesScalar(const Coordinate* v, std::size_t count, double sum) {
  if (count < 2) return sum;
  // Each vertex's sine serves two edges, so it is computed once.
  double sinP = latitudeSine(v[0].latitude);
  for (std::size_t i = 0; i + 1 < count; ++i) {
    const double sinQ = latitudeSine(v[i + 1].latitude);
    sum += edgeTerm(v[i].longitude, sinP, v[i + 1].longitude, sinQ);
    sinP = sinQ;
  }
  return sum;
}

void sinesScalar(const double* latitudes, std::size_t count, double* sines) {
  for (std::size_t i = 0; i < count; ++i) sines[i] = latitudeSine(latitudes[i]);
}

KernelEntry kernelEntry(Kernel kernel) {
  switch (kernel) {
    case Kernel::scalar:
      return {addEdgesScalar, sinesScalar};
#if defined(__x86_64__)
    case Kernel::avx2:
      if (__builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma")) return {addEdgesAvx2, sinesAvx2};
      return {};
    case Kernel::avx512:
      if (__builtin_cpu_supports("avx512f")) return {addEdgesAvx512, sinesAvx512};
      return {};
#else
    default:
      return {};
#endif
  }
  return {};
}

Kernel widestKernel() {
  static const Kernel widest = [] {
    constexpr Kernel widestFirst[] = {Kernel::avx512, Kernel::avx2};
    for (Kernel k : widestFirst)
      if (kernelEntry(k).addEdges) return k;
    return Kernel::scalar;
  }();
  return widest;
}

}  // namespace kavrano::area
