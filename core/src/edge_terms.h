#pragma once

#include <cstddef>

#include "kavrano/core/coordinate.h"

// The area's edge terms, radians(λq − λp) × ((sin φp + 2) + sin φq), added to a running
// sum one at a time in ring order. The scalar kernel is the formula as written; the SIMD
// kernels compute the sines several at a time and give the same sum bit for bit.
namespace kavrano::area {

inline constexpr double kPi = 3.141592653589793;

// Written out as multiply-then-divide everywhere, so every caller rounds alike.
inline double radians(double degrees) { return degrees * kPi / 180.0; }

/// Adds the terms of the edges v[0]→v[1], …, v[count−2]→v[count−1] to `sum` in that
/// order and returns the sum.
using AddEdgesFn = double (*)(const Coordinate* v, std::size_t count, double sum);

/// sin(radians(latitude[i])) into sines[i], as the kernel computes it.
using SinesFn = void (*)(const double* latitudes, std::size_t count, double* sines);

// There is no two-lane SSE2 kernel: without FMA the exact products need Dekker's
// splitting and each table column is read lane by lane, and the same kernel built so
// gave glibc's bits at 1.08× the scalar formula's speed at 1,000 vertices and 0.98× at
// 10⁶ (docs/PERFORMANCE.md), before the wider hand-over band its larger error (0.002
// ulp) would need. A CPU without AVX2 and FMA keeps the scalar formula.
enum class Kernel { scalar, avx2, avx512 };

struct KernelEntry {
  AddEdgesFn addEdges = nullptr;
  SinesFn sines = nullptr;
};

/// The kernel's entry points; empty when this build or this CPU cannot run it.
[[nodiscard]] KernelEntry kernelEntry(Kernel kernel);

/// The widest kernel this CPU runs, found once.
[[nodiscard]] Kernel widestKernel();

/// The scalar pieces, out of line so that the SIMD files, built for wider instruction
/// sets, never emit a copy of them that the linker could hand to a baseline caller.
[[nodiscard]] double latitudeSine(double latitude);
[[nodiscard]] double edgeTerm(double lonP, double sinP, double lonQ, double sinQ);

double addEdgesScalar(const Coordinate* v, std::size_t count, double sum);
void sinesScalar(const double* latitudes, std::size_t count, double* sines);
#if defined(__x86_64__)
double addEdgesAvx2(const Coordinate* v, std::size_t count, double sum);
void sinesAvx2(const double* latitudes, std::size_t count, double* sines);
double addEdgesAvx512(const Coordinate* v, std::size_t count, double sum);
void sinesAvx512(const double* latitudes, std::size_t count, double* sines);
#endif

}  // namespace kavrano::area
