#!/usr/bin/env bash
# Two builds of kavrano_core_bench (before and after a change to the store) take turns,
# ROUNDS times, on the saved-list benchmarks at 10,000 and 50,000 records; prints each
# turn's CPU and wall-clock time per operation, and the load average at start and end.
# Usage: bench/store_ab.sh BEFORE_BENCH AFTER_BENCH [ROUNDS]   (default 3 rounds)
set -euo pipefail
before="$1" after="$2" rounds="${3:-3}"
filter='BM_(WriteListBytes|LoadMeasurements|AppendMeasurement|DeleteMeasurement)/(10000|50000)/'
echo "load average at start: $(cut -d' ' -f1-3 /proc/loadavg)"
printf 'build\tbenchmark\twall ms\tCPU ms\n'
for ((round = 1; round <= rounds; ++round)); do
  for side in before after; do
    bench="$before"
    [ "$side" = after ] && bench="$after"
    "$bench" --benchmark_filter="$filter" --benchmark_min_time=1 --benchmark_format=csv 2>/dev/null |
      awk -F, -v side="$side" '/^"BM_/ { gsub(/"/, "", $1); printf "%s\t%s\t%.1f\t%.1f\n", side, $1, $3, $4 }'
  done
done
echo "load average at end:   $(cut -d' ' -f1-3 /proc/loadavg)"
