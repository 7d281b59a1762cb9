// The shipped kernel with its sine swapped for one that is only faithfully rounded, for
// the area's trade-off bench: no table, no hand-over to glibc, about half the vector
// work. Built with -mavx512f -ffp-contract=off; called only when the CPU has AVX-512F.
#include <immintrin.h>

#include "edge_terms_kernel.h"
#include "faithful_sine.h"

namespace kavrano::area {
namespace {

struct FaithfulAvx512 {
  static constexpr std::size_t kWidth = 8;
  using V = __m512d;
  using Vi = __m512i;
  static void loadPairs(const double* p, V& lat, V& lon) {
    const V a = _mm512_loadu_pd(p), b = _mm512_loadu_pd(p + 8);
    lat = _mm512_permutex2var_pd(a, _mm512_set_epi64(14, 12, 10, 8, 6, 4, 2, 0), b);
    lon = _mm512_permutex2var_pd(a, _mm512_set_epi64(15, 13, 11, 9, 7, 5, 3, 1), b);
  }
};

template <std::size_t N>
__m512d horner(__m512d u, const double (&c)[N]) {
  __m512d acc = _mm512_set1_pd(c[0]);
  for (std::size_t i = 1; i < N; ++i) acc = _mm512_fmadd_pd(u, acc, _mm512_set1_pd(c[i]));
  return acc;
}

// Taylor terms to x^17 (sine) and x^16 (cosine): on |y| ≤ π/4 the first one left out is
// below 2^-58 of the result, so the roundings of the evaluation decide the error.
constexpr double kSin[] = {1.0 / 355687428096000.0, -1.0 / 1307674368000.0, 1.0 / 6227020800.0, -1.0 / 39916800.0,
                           1.0 / 362880.0,          -1.0 / 5040.0,          1.0 / 120.0,        -1.0 / 6.0};
constexpr double kCos[] = {1.0 / 20922789888000.0, -1.0 / 87178291200.0, 1.0 / 479001600.0, -1.0 / 3628800.0,
                           1.0 / 40320.0,          -1.0 / 720.0,         1.0 / 24.0};

}  // namespace

// A specialisation does not inherit the template's always_inline.
template <>
[[gnu::always_inline]] inline __m512d EdgeKernel<FaithfulAvx512>::sines(Reduced reduced, unsigned& redo) {
  const Vi sign = reduced.sign;
  const V x = reduced.x;
  // Above π/4, sin x = cos(π/2 − x) = cos(y + yLo): π/2 as hi + lo, the rounding of y
  // kept in yLo, and 1 − u/2 split exactly, so that only the last addition rounds at the
  // result's size.
  const __mmask8 far = _mm512_cmp_pd_mask(x, splat(0x1.921fb54442d18p-1), _CMP_GT_OQ);
  const V s0 = splat(0x1.921fb54442d18p0) - x;  // exact (Sterbenz)
  const V reflected = s0 + 0x1.1a62633145c07p-54;
  const V y = _mm512_mask_blend_pd(far, x, reflected);
  const V yLo = _mm512_maskz_mov_pd(far, splat(0x1.1a62633145c07p-54) - (reflected - s0));
  const V u = y * y;
  const V sinY = _mm512_fmadd_pd(y * u, horner(u, kSin), y);
  const V h = u * 0.5;
  const V one = splat(1.0) - h;
  const V oneLo = (splat(1.0) - one) - h;                       // exact
  const V ue = _mm512_fmsub_pd(y, y, u);                        // y² − u, exact
  V tail = _mm512_fmadd_pd(u * u, horner(u, kCos), ue * -0.5);  // cos y − 1 + u/2
  tail = _mm512_fnmadd_pd(y, yLo, tail + oneLo);
  const V cosY = one + tail;
  redo = _mm512_cmp_pd_mask(x, splat(kRightAngle), _CMP_NLE_UQ);  // outside ±90° or not a number
  return fromBits(bits(_mm512_mask_blend_pd(far, sinY, cosY)) ^ sign);
}

}  // namespace kavrano::area

namespace kavrano::bench {

void faithfulSines(const double* latitudes, std::size_t count, double* sines) {
  area::EdgeKernel<area::FaithfulAvx512>::sinesOf(latitudes, count, sines);
}

double faithfulAddEdges(const Coordinate* v, std::size_t count, double sum) {
  return area::EdgeKernel<area::FaithfulAvx512>::addEdges(v, count, sum);
}

}  // namespace kavrano::bench
