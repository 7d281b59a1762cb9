// Built with -mavx2 -mfma; called only when the CPU has both.
#include <immintrin.h>

#include "edge_terms_kernel.h"

namespace kavrano::area {
namespace {

struct Avx2 {
  static constexpr std::size_t kWidth = 4;
  using V = __m256d;
  using Vi = __m256i;
  using Vu = __v4du;
  static V madd(V a, V b, V c) { return _mm256_fmadd_pd(a, b, c); }
  static V productError(V a, V b, V product) { return _mm256_fmsub_pd(a, b, product); }
  static V lookup(const double* table, Vi k) { return _mm256_i64gather_pd(table, k, 8); }
  // (φ0 λ0 φ1 λ1), (φ2 λ2 φ3 λ3) → (φ0 φ2 φ1 φ3) → (φ0 φ1 φ2 φ3), and the same for λ.
  static void loadPairs(const double* p, V& lat, V& lon) {
    const V a = _mm256_loadu_pd(p), b = _mm256_loadu_pd(p + 4);
    lat = _mm256_permute4x64_pd(_mm256_unpacklo_pd(a, b), 0xD8);
    lon = _mm256_permute4x64_pd(_mm256_unpackhi_pd(a, b), 0xD8);
  }
  static unsigned lanes(Vi mask) { return _mm256_movemask_pd(_mm256_castsi256_pd(mask)); }
};

}  // namespace

double addEdgesAvx2(const Coordinate* v, std::size_t count, double sum) {
  return EdgeKernel<Avx2>::addEdges(v, count, sum);
}

void sinesAvx2(const double* latitudes, std::size_t count, double* sines) {
  EdgeKernel<Avx2>::sinesOf(latitudes, count, sines);
}

}  // namespace kavrano::area
