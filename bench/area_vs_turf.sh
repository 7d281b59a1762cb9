#!/usr/bin/env bash
# polygonArea against @turf/area and GeographicLib's PolygonArea on identical rings of
# 10, 1,000 and 1,000,000 vertices, with the anchors measured in the same runs: the
# scalar formula (one glibc sine per vertex) and the ordered sum alone (the floor).
# The programs take turns, ROUNDS times; each figure is the median of its rounds, in
# CPU time per call (the machine is shared; wall time is printed beside it).
# Usage: bench/area_vs_turf.sh [BUILD_DIR] [ROUNDS]   (default build/bench, 5; built if missing)
set -euo pipefail
source "$(dirname "$0")/core_bench_prelude.sh"
for ((round = 1; round <= rounds; ++round)); do
  # One line per sample: implementation, vertices, wall µs, CPU µs.
  "$build/bench/kavrano_core_bench" \
    --benchmark_filter='^BM_(PolygonArea|PolygonAreaScalar|AreaOrderedSum|GeographicLibPolygonArea)/' \
    --benchmark_min_time=0.3 --benchmark_format=csv 2>/dev/null |
    awk -F, '/^"BM_/ { gsub(/"/, "", $1); split($1, a, "/"); print a[1] "\t" a[2] "\t" $3 "\t" $4 }' >>"$samples"
  node bench/turf_area.mjs 0.3 | awk -F'\t' '{ print "turf\t" $1 "\t" $2 "\t" $3 }' >>"$samples"
done
echo "load average at end:   $(cut -d' ' -f1-3 /proc/loadavg)"

# Medians per implementation and size, then one row per size.
awk -F'\t' -v rounds="$rounds" '
  { key = $1 SUBSEP $2; n[key]++; wall[key, n[key]] = $3; cpu[key, n[key]] = $4; sizes[$2] = 1 }
  function median(arr, key,    k, i, j, t, v) {
    k = n[key]
    for (i = 1; i <= k; ++i) v[i] = arr[key, i] + 0
    for (i = 1; i <= k; ++i) for (j = i + 1; j <= k; ++j) if (v[j] < v[i]) { t = v[i]; v[i] = v[j]; v[j] = t }
    return (k % 2) ? v[(k + 1) / 2] : (v[k / 2] + v[k / 2 + 1]) / 2
  }
  function both(impl, s) { return sprintf("%11.3f (%7.2f)", median(cpu, impl SUBSEP s), median(wall, impl SUBSEP s)) }
  END {
    printf "median of %d interleaved rounds, CPU µs per call (wall in brackets)\n", rounds
    printf "%-8s %21s %21s %21s %21s %21s %8s %9s %8s\n", "vertices", "kavrano", "scalar formula", "ordered sum (floor)",
      "@turf/area", "GeographicLib", "vs turf", "vs scalar", "/ floor"
    for (s in sizes) order[++count] = s + 0
    for (i = 1; i <= count; ++i) for (j = i + 1; j <= count; ++j) if (order[j] < order[i]) { t = order[i]; order[i] = order[j]; order[j] = t }
    for (i = 1; i <= count; ++i) {
      s = order[i]
      k = median(cpu, "BM_PolygonArea" SUBSEP s)
      printf "%-8d %s %s %s %s %s %7.2fx %8.2fx %7.2fx\n", s, both("BM_PolygonArea", s), both("BM_PolygonAreaScalar", s),
        both("BM_AreaOrderedSum", s), both("turf", s), both("BM_GeographicLibPolygonArea", s),
        median(cpu, "turf" SUBSEP s) / k, median(cpu, "BM_PolygonAreaScalar" SUBSEP s) / k, k / median(cpu, "BM_AreaOrderedSum" SUBSEP s)
    }
  }' "$samples"
