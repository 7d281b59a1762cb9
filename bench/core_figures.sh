#!/usr/bin/env bash
# The core's figures besides the area (bench/area_vs_turf.sh): distance, midpoint and
# the texts, each as a ratio to one glibc sine measured in the same run. The whole set
# runs ROUNDS times; each figure is the median of its rounds, in CPU time per call.
# Usage: bench/core_figures.sh [BUILD_DIR] [ROUNDS]   (default build/bench, 5; built if missing)
set -euo pipefail
source "$(dirname "$0")/core_bench_prelude.sh"
for ((round = 1; round <= rounds; ++round)); do
  "$build/bench/kavrano_core_bench" --benchmark_filter='^BM_(GlibcSine|Distance|Midpoint|LengthText|AreaText)' \
    --benchmark_min_time=0.3 --benchmark_format=csv 2>/dev/null |
    awk -F, -v round="$round" '/^"BM_/ { gsub(/"/, "", $1); print round "\t" $1 "\t" $4 }' >>"$samples"
done
echo "load average at end:   $(cut -d' ' -f1-3 /proc/loadavg)"

echo "median of $rounds rounds, CPU ns per call, and per call in glibc sines of the same round"
awk -F'\t' -v rounds="$rounds" '
  { cpu[$2, $1] = $3; names[$2] = 1; if ($2 == "BM_GlibcSine") anchor[$1] = $3 }
  function median(v, k,    i, j, t) {
    for (i = 1; i <= k; ++i) for (j = i + 1; j <= k; ++j) if (v[j] < v[i]) { t = v[i]; v[i] = v[j]; v[j] = t }
    return (k % 2) ? v[(k + 1) / 2] : (v[k / 2] + v[k / 2 + 1]) / 2
  }
  END {
    for (name in names) {
      split("", times); split("", ratios)
      for (r = 1; r <= rounds; ++r) { times[r] = cpu[name, r]; ratios[r] = cpu[name, r] / anchor[r] }
      printf "%-28s %9.1f ns %8.1f sines\n", name, median(times, rounds), median(ratios, rounds)
    }
  }' "$samples" | sort
