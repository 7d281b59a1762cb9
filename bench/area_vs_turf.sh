#!/usr/bin/env bash
# polygonArea against @turf/area on identical rings of 1,000 and 1,000,000 vertices.
# Usage: bench/area_vs_turf.sh [BUILD_DIR]   (default build/bench, built if missing)
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$here/build/bench}"
cd "$here"
scripts/install-deps >/dev/null
if [ ! -x "$build/bench/kavrano_core_bench" ]; then
  cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DKAVRANO_BUILD_TESTS=OFF >/dev/null
fi
cmake --build "$build" --target kavrano_core_bench >/dev/null

ours=$("$build/bench/kavrano_core_bench" --benchmark_filter='BM_PolygonArea/' --benchmark_min_time=2 \
  --benchmark_format=csv 2>/dev/null | awk -F, '/BM_PolygonArea/ { split($1, a, "/"); gsub(/"/, "", a[2]); print a[2] "\t" $3 }')
turf=$(node bench/turf_area.mjs)

printf '%-10s %16s %16s %8s\n' vertices "kavrano µs/call" "turf µs/call" speed-up
join -t $'\t' <(sort <<<"$ours") <(sort <<<"$turf" | cut -f1,2) | sort -n |
  awk -F'\t' '{ printf "%-10s %16.2f %16.2f %7.2fx\n", $1, $2, $3, $3 / $2 }'
