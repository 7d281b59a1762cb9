#pragma once

// The SIMD edge-term kernel, written once over a small instruction-set adapter (`Isa`)
// and instantiated by edge_terms_avx2.cpp and edge_terms_avx512.cpp, each built for its
// own instruction set. Everything here has internal linkage, and nothing from the
// standard library is instantiated, so no code built for a wider set can be chosen by
// the linker for a baseline caller.
//
// The sine of x = radians(latitude), |x| ≤ π/2: x = k/8 + r with |r| ≤ 1/16, and
// sin x = sin(k/8)·cos r + cos(k/8)·sin r with the table values as double-doubles. The
// leading part, sin(k/8) + cos(k/8)·r, is kept exactly (FMA); everything else is below
// 2^-9 of the result and is gathered in one double that rounds once at that size, so
// the sum before the last rounding is within 0.0011 ulp of the sine (0.0037 ulp where
// results fall below 1/8, whose ulp is smaller). Its rounding is then the correctly
// rounded sine unless the exact sine lies that close to a midpoint between two
// doubles. glibc's sin, which the scalar formula uses, misrounds only near such
// midpoints (0.14 % of latitudes, at most 0.0153 ulp away), so the lanes in a band
// around a midpoint that is wider than glibc's are handed to glibc itself: the sines,
// and so the sums, are glibc's bit for bit. So are latitudes outside ±90° or not finite.

#include <cstddef>
#include <cstring>

#include "edge_terms.h"

namespace kavrano::area {
namespace {

// Edges per block: two blocks' buffers (15 KiB) stay in the L1 cache.
constexpr std::size_t kBlock = 256;

// sin(k/8) and cos(k/8), k = 0…15, as hi + lo (mpmath at 200 bits, rounded twice).
alignas(64) constexpr double kSinHi[16] = {0x0.0p+0,
                                           0x1.feaaeee86ee36p-4,
                                           0x1.faaeed4f31577p-3,
                                           0x1.7710255764214p-2,
                                           0x1.eaee8744b05f0p-2,
                                           0x1.2b91dea88421ep-1,
                                           0x1.5cffc16bf8f0dp-1,
                                           0x1.88fb7640b8da2p-1,
                                           0x1.aed548f090ceep-1,
                                           0x1.cdf604a1cadcep-1,
                                           0x1.e5e14fe11418cp-1,
                                           0x1.f6379d619369dp-1,
                                           0x1.feb7a9b2c6d8bp-1,
                                           0x1.ff3f7ff74c9a7p-1,
                                           0x1.f7cd018b18246p-1,
                                           0x1.e87dee7b2f393p-1};
alignas(64) constexpr double kSinLo[16] = {0x0.0p+0,
                                           -0x1.afcb2bcc6f03bp-59,
                                           -0x1.15d88508e32b8p-57,
                                           -0x1.6ead7314bb6cep-57,
                                           -0x1.789b43c9b027dp-58,
                                           -0x1.fa371db216ab0p-55,
                                           0x1.96cb370eb578ap-55,
                                           -0x1.49987c11efaa3p-55,
                                           0x1.06374f484e288p-59,
                                           -0x1.6b50757f2fa40p-56,
                                           0x1.f26492c1c25a0p-57,
                                           0x1.6b296ac1928abp-55,
                                           -0x1.0c8f40129a886p-56,
                                           -0x1.10dae3aca52fep-55,
                                           -0x1.c06b85582fc39p-56,
                                           -0x1.06241f0ee8310p-59};
alignas(64) constexpr double kCosHi[16] = {
    0x1.0000000000000p+0, 0x1.fc015527d5bd3p-1,  0x1.f01549f7deea1p-1,  0x1.dc6b7eb995912p-1,
    0x1.c1528065b7d50p-1, 0x1.9f368ed912f85p-1,  0x1.769fec655211fp-1,  0x1.4830bd7d4ceb3p-1,
    0x1.14a280fb5068cp-1, 0x1.b9865639d0596p-2,  0x1.42e3dd88bd952p-2,  0x1.8e6f075a987d6p-3,
    0x1.21bd54fc5f9a7p-4, -0x1.bbd1afe4369efp-5, -0x1.6d0c449d3e98ap-3, -0x1.32b8e9548fce1p-2};
alignas(64) constexpr double kCosLo[16] = {0x0.0p+0,
                                           0x1.b68f35094efb8p-55,
                                           0x1.d3c1e99e5cafdp-55,
                                           0x1.4b364776dcd35p-58,
                                           -0x1.892111312e828p-55,
                                           -0x1.1d200c5791606p-55,
                                           -0x1.827d5cf8c68c5p-57,
                                           0x1.df77ff20d5448p-55,
                                           -0x1.b71edcc9344bcp-55,
                                           -0x1.931bd06786cb9p-56,
                                           -0x1.353a9f74bf255p-57,
                                           0x1.a57e7fd1918d8p-62,
                                           0x1.0fcb936b1ce7ep-58,
                                           0x1.50fbc01ce6562p-59,
                                           -0x1.623c28c417034p-58,
                                           0x1.3fc0930cc38b6p-56};

// Taylor coefficients of (sin r − r)/r³ and (cos r − 1 + r²/2)/r⁴; for |r| ≤ 1/16 the
// first term left out is below 2^-65 of the sine.
constexpr double kS3 = -0x1.5555555555555p-3, kS5 = 0x1.1111111111111p-7, kS7 = -0x1.a01a01a01a01ap-13,
                 kS9 = 0x1.71de3a556c734p-19;
constexpr double kC4 = 0x1.5555555555555p-5, kC6 = -0x1.6c16c16c16c17p-10, kC8 = 0x1.a01a01a01a01ap-16,
                 kC10 = -0x1.27e4fb7789f5cp-22;

// Adding 1.5·2^52 rounds a value below 2^51 to an integer, which lands in the low bits.
constexpr double kRoundMagic = 0x1.8p52;
constexpr long long kSign = static_cast<long long>(0x8000000000000000ULL);
constexpr double kRightAngle = 90.0 * kPi / 180.0;  // radians(90), rounded alike

// How close to a midpoint glibc's sine may come and still misround, by the binade of
// the result (bench/area_exactness.cpp against a 113-bit reference, 4·10⁷ latitudes):
// 0.0063 ulp below 1/8, 0.0153 in [1/8, 1/4), 0.0076 in [1/4, 1/2), 0.0035 in [1/2, 1].
// A lane goes to glibc when RN(res + rest·E) ≠ res, a band of about (E − 1)/2 ulp
// around each midpoint. E is looked up by k: the results of one k span at most two
// binades (k = 1, 2 and 4 do), which take the wider band of the two. Each band is 1.25
// to 1.4 times glibc's distance plus this kernel's own error for that k (0.0019 ulp
// for k = 0, 0.0037 for k = 1, 0.0016 for k = 2, at most 0.0013 above, measured over
// 8·10⁶ latitudes against the 113-bit sine). glibc 2.36 picks its FMA sine on every
// CPU that runs these kernels; the core tests compare against the glibc in use, so a
// glibc that rounds differently shows there.
alignas(64) constexpr double kBand[16] = {1.022, 1.048, 1.045, 1.024, 1.024, 1.012, 1.012, 1.012,
                                          1.012, 1.012, 1.012, 1.012, 1.012, 1.012, 1.012, 1.012};

#define KAVRANO_INLINE [[gnu::always_inline]] inline

template <class Isa>
struct EdgeKernel {
  using V = typename Isa::V;
  using Vi = typename Isa::Vi;
  static constexpr std::size_t W = Isa::kWidth;

  KAVRANO_INLINE static V splat(double x) { return V{} + x; }
  KAVRANO_INLINE static Vi splat(long long x) { return Vi{} + x; }
  KAVRANO_INLINE static Vi bits(V v) { return __builtin_bit_cast(Vi, v); }
  KAVRANO_INLINE static V fromBits(Vi v) { return __builtin_bit_cast(V, v); }
  KAVRANO_INLINE static V load(const double* p) {
    V v;
    std::memcpy(&v, p, sizeof v);
    return v;
  }
  KAVRANO_INLINE static void store(double* p, V v) { std::memcpy(p, &v, sizeof v); }

  // Multiply, then divide: the quotient is correctly rounded for every input, as the
  // scalar formula's is.
  KAVRANO_INLINE static V radians(V y) { return y * kPi / splat(180.0); }

  // radians(|latitude|) and the sign it had: the division, the step with the longest
  // latency, made a chunk ahead of the rest of the sine.
  struct Reduced {
    V x;
    Vi sign;
  };
  KAVRANO_INLINE static Reduced reduce(V latitude) {
    // Rounding is symmetric, so the work is on |latitude| and the sign goes back last.
    const Vi sign = bits(latitude) & kSign;
    return {radians(fromBits(bits(latitude) ^ sign)), sign};
  }

  // sin(radians(latitude)) for W lanes; `redo` gets the lanes left to glibc.
  KAVRANO_INLINE static V sines(V latitude, unsigned& redo) { return sines(reduce(latitude), redo); }
  KAVRANO_INLINE static V sines(Reduced reduced, unsigned& redo) {
    const V x = reduced.x;
    const Vi sign = reduced.sign;
    const V m = Isa::madd(x, splat(8.0), splat(kRoundMagic));
    const Vi k = bits(m) & 15;
    const V r = Isa::madd(m - kRoundMagic, splat(-0.125), x);  // exact (Sterbenz)

    const auto e = Isa::lookup(k);  // row k of the table for each lane
    const V sh = e.sinHi, sl = e.sinLo, ch = e.cosHi, cl = e.cosLo;

    const V u = r * r;
    const V ue = Isa::productError(r, r, u);
    const V h = u * -0.5;  // exact
    V ps = Isa::madd(u, splat(kS9), splat(kS7));
    ps = Isa::madd(u, ps, splat(kS5));
    ps = Isa::madd(u, ps, splat(kS3));
    const V sinTail = r * u * ps;  // sin r − r
    V pc = Isa::madd(u, splat(kC10), splat(kC8));
    pc = Isa::madd(u, pc, splat(kC6));
    pc = Isa::madd(u, pc, splat(kC4));
    const V cosTail = Isa::madd(u * u, pc, ue * -0.5);  // cos r − 1 − h

    // sin(k/8) + cos(k/8)·r exactly as s1 + e1 + p1e; the rest, below 2^-9 of the
    // result, gathered smallest first, so that only its last addition, sin(k/8)·h,
    // rounds at 2^-63.
    const V p1 = ch * r, p1e = Isa::productError(ch, r, p1);
    const V s1 = sh + p1, e1 = p1 - (s1 - sh);  // |sh| ≥ |p1| or sh = 0
    V lo = Isa::madd(sl, h, sl + (e1 + p1e));
    lo = Isa::madd(cl, r, lo);
    lo = Isa::madd(ch, sinTail, lo);
    lo = Isa::madd(sh, cosTail, lo);
    lo = Isa::madd(sh, h, lo);
    const V res = s1 + lo;
    const V rest = lo - (res - s1);

    // Outside ±90° or not a number: past the table's end.
    redo = Isa::notEqual(Isa::madd(rest, e.band, res), res) | Isa::notLessEqual(x, splat(kRightAngle));
    return fromBits(bits(res) ^ sign);
  }

  // The sines of one chunk; the lanes left to glibc are appended to `redo` as indices
  // from `latitude`, and filled in later all at once, away from the vector code.
  KAVRANO_INLINE static unsigned* sineChunk(const double* latitude, double* out, unsigned base, unsigned* redo) {
    return sineChunk(reduce(load(latitude)), out, base, redo);
  }
  KAVRANO_INLINE static unsigned* sineChunk(Reduced reduced, double* out, unsigned base, unsigned* redo) {
    unsigned uncertain;
    store(out, sines(reduced, uncertain));
    for (; uncertain != 0; uncertain &= uncertain - 1) *redo++ = base + static_cast<unsigned>(__builtin_ctz(uncertain));
    return redo;
  }

  static void redoSines(const double* latitude, double* out, const unsigned* redo, const unsigned* end) {
    for (; redo != end; ++redo) out[*redo] = latitudeSine(latitude[*redo]);
  }
  static void redoSines(const Coordinate* v, double* out, const unsigned* redo, const unsigned* end) {
    for (; redo != end; ++redo) out[*redo] = latitudeSine(v[*redo].latitude);
  }

  KAVRANO_INLINE static void termChunk(const double* lon, const double* sine, double* out) {
    const V lonP = load(lon), lonQ = load(lon + 1), sinP = load(sine), sinQ = load(sine + 1);
    const V d = lonQ - lonP;
    store(out, radians(d) * ((sinP + 2.0) + sinQ));
  }

  // One block of edges: the longitudes of its vertices and their sines, padded with
  // zeros to whole chunks and one more. The latitudes are read straight from the
  // ring, except those of a last, partial chunk.
  struct Block {
    alignas(64) double lon[kBlock + 2 * W];
    alignas(64) double sine[kBlock + 2 * W];
    alignas(64) double tailLat[kBlock + 2 * W];
    unsigned redo[kBlock + 2 * W];
    std::size_t edges = 0, chunks = 0;
    std::size_t direct = 0;  // vertices read straight from the ring: whole chunks
  };

  // Sets the block up for `edges` edges from `v`: the vertices past the last whole
  // chunk are copied, so no chunk reads past the ring.
  KAVRANO_INLINE static void prepare(Block& b, const Coordinate* v, std::size_t edges) {
    b.edges = edges;
    b.chunks = (edges + W) / W;
    b.direct = (edges + 1) / W * W;
    store(b.tailLat + b.direct, V{});
    store(b.lon + b.direct, V{});
    store(b.tailLat + b.direct + W, V{});
    store(b.lon + b.direct + W, V{});
    store(b.sine + b.chunks * W, V{});
    for (std::size_t i = b.direct; i <= edges; ++i) {
      b.tailLat[i] = v[i].latitude;
      b.lon[i] = v[i].longitude;
    }
  }

  // Chunk c of the block: its longitudes kept, its latitudes reduced.
  KAVRANO_INLINE static Reduced split(Block& b, const Coordinate* v, std::size_t c) {
    const std::size_t i = c * W;
    if (i < b.direct) {
      V lat, lon;
      Isa::loadPairs(reinterpret_cast<const double*>(v + i), lat, lon);
      store(b.lon + i, lon);
      return reduce(lat);
    }
    return reduce(load(b.tailLat + i));
  }

  KAVRANO_INLINE static double addTerms(double sum, const double* term, std::size_t n) {
    for (std::size_t l = 0; l < n; ++l) sum += term[l];
    return sum;
  }

  // The sines of the next block are made while the terms of this one are added, so the
  // vector work overlaps the chain of additions; glibc's sines follow at the end of
  // each block, away from the vector code.
  static double addEdges(const Coordinate* v, std::size_t count, double sum) {
    if (count < 2) return sum;
    const std::size_t totalEdges = count - 1;
    Block blocks[2];
    Block* current = &blocks[0];
    Block* next = &blocks[1];
    alignas(64) double term[W];

    prepare(*current, v, totalEdges < kBlock ? totalEdges : kBlock);
    unsigned* redoEnd = current->redo;
    for (std::size_t c = 0; c < current->chunks; ++c)
      redoEnd = sineChunk(split(*current, v, c), current->sine + c * W, static_cast<unsigned>(c * W), redoEnd);
    redoSines(v, current->sine, current->redo, redoEnd);

    for (std::size_t first = 0; first < totalEdges; first += kBlock) {
      const Coordinate* nextV = v + first + kBlock;
      const std::size_t rest = totalEdges - first - current->edges;
      if (rest != 0) prepare(*next, nextV, rest < kBlock ? rest : kBlock);
      const std::size_t nextChunks = rest != 0 ? next->chunks : 0;
      const std::size_t fullChunks = current->edges / W;
      const std::size_t steps = fullChunks > nextChunks ? fullChunks : nextChunks;
      unsigned* nextRedoEnd = next->redo;
      // Chunk c's sines are finished while chunk c + 1 is reduced: without the
      // division's latency in each step, more of them fit beside the additions.
      Reduced ahead{};
      if (nextChunks != 0) ahead = split(*next, nextV, 0);
      for (std::size_t c = 0; c < steps; ++c) {
        if (c < nextChunks) {
          const Reduced now = ahead;
          if (c + 1 < nextChunks) ahead = split(*next, nextV, c + 1);
          nextRedoEnd = sineChunk(now, next->sine + c * W, static_cast<unsigned>(c * W), nextRedoEnd);
        }
        if (c < fullChunks) {
          termChunk(current->lon + c * W, current->sine + c * W, term);
          sum = addTerms(sum, term, W);
        }
      }
      if (current->edges % W != 0) {
        termChunk(current->lon + fullChunks * W, current->sine + fullChunks * W, term);
        sum = addTerms(sum, term, current->edges % W);
      }
      redoSines(nextV, next->sine, next->redo, nextRedoEnd);
      Block* done = current;
      current = next;
      next = done;
    }
    return sum;
  }

  static void sinesOf(const double* latitudes, std::size_t count, double* out) {
    unsigned redo[kBlock];
    for (std::size_t first = 0; first < count; first += kBlock) {
      const std::size_t n = count - first < kBlock ? count - first : kBlock;
      const double* in = latitudes + first;
      double* sines = out + first;
      unsigned* redoEnd = redo;
      std::size_t i = 0;
      for (; i + W <= n; i += W) redoEnd = sineChunk(in + i, sines + i, static_cast<unsigned>(i), redoEnd);
      redoSines(in, sines, redo, redoEnd);
      if (i == n) continue;
      alignas(64) double tailIn[W] = {}, tailOut[W];
      for (std::size_t l = 0; i + l < n; ++l) tailIn[l] = in[i + l];
      unsigned tailRedo[W];
      redoSines(tailIn, tailOut, tailRedo, sineChunk(tailIn, tailOut, 0, tailRedo));
      for (std::size_t l = 0; i + l < n; ++l) sines[i + l] = tailOut[l];
    }
  }
};

#undef KAVRANO_INLINE

}  // namespace
}  // namespace kavrano::area
