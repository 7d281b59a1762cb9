// The x86-64 baseline: two lanes, no FMA, so the exact products are Dekker's and the
// radians keep their division.
#include <emmintrin.h>

#include "edge_terms_kernel.h"

namespace kavrano::area {
namespace {

struct Sse2 {
  static constexpr std::size_t kWidth = 2;
  static constexpr bool kFused = false;
  using V = __m128d;
  using Vi = __m128i;
  static V madd(V a, V b, V c) { return a * b + c; }
  // a·b − product exactly, for |a|, |b| far below 2^996 (Veltkamp's split into halves).
  static V productError(V a, V b, V product) {
    const V split = V{} + 134217729.0;  // 2^27 + 1
    V ah = a * split;
    ah = ah - (ah - a);
    V bh = b * split;
    bh = bh - (bh - b);
    const V al = a - ah, bl = b - bh;
    return ((ah * bh - product) + ah * bl + al * bh) + al * bl;
  }
  static V lookup(const double* table, Vi k) { return V{table[k[0]], table[k[1]]}; }
  static unsigned lanes(Vi mask) { return _mm_movemask_pd(_mm_castsi128_pd(mask)); }
};

}  // namespace

double addEdgesSse2(const Coordinate* v, std::size_t count, double sum) {
  return EdgeKernel<Sse2>::addEdges(v, count, sum);
}

void sinesSse2(const double* latitudes, std::size_t count, double* sines) {
  EdgeKernel<Sse2>::sinesOf(latitudes, count, sines);
}

}  // namespace kavrano::area
