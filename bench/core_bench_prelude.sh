# Sourced by bench/area_vs_turf.sh and bench/core_figures.sh with their arguments
# [BUILD_DIR] [ROUNDS]: sets `build` (default build/bench) and `rounds` (default 5),
# builds kavrano_core_bench there (a Release build, configured if missing), makes the
# file `samples` (removed on exit) and prints the load average at the start.
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${1:-$here/build/bench}"
rounds="${2:-5}"
cd "$here"
scripts/install-deps >/dev/null
if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DKAVRANO_BUILD_TESTS=OFF -DKAVRANO_BUILD_APP=OFF >/dev/null
fi
cmake --build "$build" --target kavrano_core_bench >/dev/null
samples="$(mktemp)"
trap 'rm -f "$samples"' EXIT
echo "load average at start: $(cut -d' ' -f1-3 /proc/loadavg)"
