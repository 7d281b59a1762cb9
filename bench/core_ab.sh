#!/usr/bin/env bash
# Two builds of kavrano_core_bench (say, before and after a change) take turns, ROUNDS
# times, on the benchmarks FILTER picks; prints the median CPU time of each and the
# ratio before / after, with the load average.
# Usage: bench/core_ab.sh BEFORE_BENCH AFTER_BENCH [ROUNDS] [FILTER]
#   (default 5 rounds; the area on 1,000 and 10⁶ vertices and on unseen rings)
set -euo pipefail
before="$1" after="$2" rounds="${3:-5}"
filter="${4:-^BM_(PolygonArea/(1000|1000000)$|AreaUnseenRings/widest)}"
samples="$(mktemp)"
trap 'rm -f "$samples"' EXIT
echo "load average at start: $(cut -d' ' -f1-3 /proc/loadavg)"
for ((round = 1; round <= rounds; ++round)); do
  for side in before after; do
    bench="$before"
    [ "$side" = after ] && bench="$after"
    "$bench" --benchmark_filter="$filter" --benchmark_min_time=0.3 --benchmark_format=csv 2>/dev/null |
      awk -F, -v side="$side" '/^"BM_/ { gsub(/"/, "", $1); print $1 "\t" side "\t" $4 }' >>"$samples"
  done
done
echo "load average at end:   $(cut -d' ' -f1-3 /proc/loadavg)"
echo "median of $rounds alternating rounds, CPU time per call (the benchmark's unit)"
sort -t$'\t' -k1,1 -k2,2 -k3,3g "$samples" | awk -F'\t' '
  function median(    m) { m = int((n + 1) / 2); return (n % 2) ? v[m] : (v[m] + v[m + 1]) / 2 }
  function flush() { if (n) { med[key] = median(); names[name] = 1 }; n = 0 }
  { if ($1 "\t" $2 != key) { flush(); key = $1 "\t" $2; name = $1 } v[++n] = $3 }
  END {
    flush()
    for (name in names)
      printf "%-34s before %12.3f  after %12.3f  before / after %5.2f\n", name, med[name "\tbefore"],
        med[name "\tafter"], med[name "\tbefore"] / med[name "\tafter"]
  }' | sort
