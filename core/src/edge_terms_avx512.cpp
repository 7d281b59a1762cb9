// Built with -mavx512f; called only when the CPU has AVX-512F.
#include <immintrin.h>

#include "edge_terms_kernel.h"

namespace kavrano::area {
namespace {

struct Avx512 {
  static constexpr std::size_t kWidth = 8;
  using V = __m512d;
  using Vi = __m512i;
  static V madd(V a, V b, V c) { return _mm512_fmadd_pd(a, b, c); }
  static V productError(V a, V b, V product) { return _mm512_fmsub_pd(a, b, product); }
  // Sixteen entries in two registers, one permute per column.
  static V column(const double* table, Vi k) {
    return _mm512_permutex2var_pd(_mm512_load_pd(table), k, _mm512_load_pd(table + 8));
  }
  struct Entry {
    V sinHi, sinLo, cosHi, cosLo, band;
  };
  static Entry lookup(Vi k) {
    return {column(kSinHi, k), column(kSinLo, k), column(kCosHi, k), column(kCosLo, k), column(kBand, k)};
  }
  static void loadPairs(const double* p, V& lat, V& lon) {
    const V a = _mm512_loadu_pd(p), b = _mm512_loadu_pd(p + 8);
    lat = _mm512_permutex2var_pd(a, _mm512_set_epi64(14, 12, 10, 8, 6, 4, 2, 0), b);
    lon = _mm512_permutex2var_pd(a, _mm512_set_epi64(15, 13, 11, 9, 7, 5, 3, 1), b);
  }
  static unsigned notEqual(V a, V b) { return _mm512_cmp_pd_mask(a, b, _CMP_NEQ_UQ); }
  static unsigned notLessEqual(V a, V b) { return _mm512_cmp_pd_mask(a, b, _CMP_NLE_UQ); }
};

}  // namespace

double addEdgesAvx512(const Coordinate* v, std::size_t count, double sum) {
  return EdgeKernel<Avx512>::addEdges(v, count, sum);
}

void sinesAvx512(const double* latitudes, std::size_t count, double* sines) {
  EdgeKernel<Avx512>::sinesOf(latitudes, count, sines);
}

}  // namespace kavrano::area
