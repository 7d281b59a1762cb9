// Built with -mavx2 -mfma; called only when the CPU has both.
#include <immintrin.h>

#include "edge_terms_kernel.h"

namespace kavrano::area {
namespace {

// The table by rows: sin hi, sin lo, cos hi, cos lo, band, padded to a cache line.
struct alignas(64) Row {
  double v[8];
};
struct Rows {
  Row row[16];
};
constexpr Rows kTableRows = [] {
  Rows t{};
  for (int k = 0; k < 16; ++k) t.row[k] = {{kSinHi[k], kSinLo[k], kCosHi[k], kCosLo[k], kBand[k]}};
  return t;
}();
constexpr const Row* kRows = kTableRows.row;

struct Avx2 {
  static constexpr std::size_t kWidth = 4;
  using V = __m256d;
  using Vi = __m256i;
  static V madd(V a, V b, V c) { return _mm256_fmadd_pd(a, b, c); }
  static V productError(V a, V b, V product) { return _mm256_fmsub_pd(a, b, product); }
  // Four rows loaded whole and turned into columns: cheaper than five gathers.
  struct Entry {
    V sinHi, sinLo, cosHi, cosLo, band;
  };
  static Entry lookup(Vi k) {
    const __m128i k01 = _mm256_castsi256_si128(k), k23 = _mm256_extracti128_si256(k, 1);
    const Row& r0 = kRows[_mm_cvtsi128_si64(k01)];
    const Row& r1 = kRows[_mm_extract_epi64(k01, 1)];
    const Row& r2 = kRows[_mm_cvtsi128_si64(k23)];
    const Row& r3 = kRows[_mm_extract_epi64(k23, 1)];
    const V a0 = _mm256_load_pd(r0.v), a1 = _mm256_load_pd(r1.v), a2 = _mm256_load_pd(r2.v), a3 = _mm256_load_pd(r3.v);
    const V t0 = _mm256_unpacklo_pd(a0, a1), t1 = _mm256_unpackhi_pd(a0, a1);
    const V t2 = _mm256_unpacklo_pd(a2, a3), t3 = _mm256_unpackhi_pd(a2, a3);
    return {_mm256_permute2f128_pd(t0, t2, 0x20), _mm256_permute2f128_pd(t1, t3, 0x20),
            _mm256_permute2f128_pd(t0, t2, 0x31), _mm256_permute2f128_pd(t1, t3, 0x31),
            _mm256_set_pd(r3.v[4], r2.v[4], r1.v[4], r0.v[4])};
  }
  // (φ0 λ0 φ1 λ1), (φ2 λ2 φ3 λ3) → (φ0 φ2 φ1 φ3) → (φ0 φ1 φ2 φ3), and the same for λ.
  static void loadPairs(const double* p, V& lat, V& lon) {
    const V a = _mm256_loadu_pd(p), b = _mm256_loadu_pd(p + 4);
    lat = _mm256_permute4x64_pd(_mm256_unpacklo_pd(a, b), 0xD8);
    lon = _mm256_permute4x64_pd(_mm256_unpackhi_pd(a, b), 0xD8);
  }
  static unsigned notEqual(V a, V b) { return _mm256_movemask_pd(_mm256_cmp_pd(a, b, _CMP_NEQ_UQ)); }
  static unsigned notLessEqual(V a, V b) { return _mm256_movemask_pd(_mm256_cmp_pd(a, b, _CMP_NLE_UQ)); }
};

}  // namespace

double addEdgesAvx2(const Coordinate* v, std::size_t count, double sum) {
  return EdgeKernel<Avx2>::addEdges(v, count, sum);
}

void sinesAvx2(const double* latitudes, std::size_t count, double* sines) {
  EdgeKernel<Avx2>::sinesOf(latitudes, count, sines);
}

}  // namespace kavrano::area
