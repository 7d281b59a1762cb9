// Built with -mavx512f; called only when the CPU has AVX-512F.
#include <immintrin.h>

#include "edge_terms_kernel.h"

namespace kavrano::area {
namespace {

struct Avx512 {
  static constexpr std::size_t kWidth = 8;
  static constexpr bool kFused = true;
  using V = __m512d;
  using Vi = __m512i;
  static V madd(V a, V b, V c) { return _mm512_fmadd_pd(a, b, c); }
  static V productError(V a, V b, V product) { return _mm512_fmsub_pd(a, b, product); }
  // Sixteen entries in two registers.
  static V lookup(const double* table, Vi k) {
    return _mm512_permutex2var_pd(_mm512_load_pd(table), k, _mm512_load_pd(table + 8));
  }
  static unsigned lanes(Vi mask) { return _mm512_test_epi64_mask(mask, mask); }
};

}  // namespace

double addEdgesAvx512(const Coordinate* v, std::size_t count, double sum) {
  return EdgeKernel<Avx512>::addEdges(v, count, sum);
}

void sinesAvx512(const double* latitudes, std::size_t count, double* sines) {
  EdgeKernel<Avx512>::sinesOf(latitudes, count, sines);
}

}  // namespace kavrano::area
