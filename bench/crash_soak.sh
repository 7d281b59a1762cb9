#!/usr/bin/env bash
# Kills a preference-database writer at random moments, 10,000 times by default,
# checking the file after every kill, and prints one summary.
#
#   bench/crash_soak.sh BUILD_DIR [KILLS]
#
# BUILD_DIR must already hold kavrano_store_process_tests (its own second process).
# KAVRANO_CRASH_SEED picks the random delays; TMPDIR picks the file system under test.
set -euo pipefail

build=${1:?usage: crash_soak.sh BUILD_DIR [KILLS]}
kills=${2:-10000}
test="$build/tests/core/kavrano_store_process_tests"
if [ ! -x "$test" ]; then
  echo "crash_soak: $test is missing; build it first:" >&2
  echo "  cmake --build $build --target kavrano_store_process_tests" >&2
  exit 2
fi

log=$(mktemp)
trap 'rm -f "$log"' EXIT
tmp=${TMPDIR:-/tmp}

echo "crash_soak: $kills kills, $(nproc) cores, $(uname -sr), $(df -T "$tmp" | awk 'NR==2 {print $2}') at $tmp"
status=0
KAVRANO_CRASH_KILLS=$kills "$test" \
  --gtest_filter='StoreProcessesTest.WriterKilledAtRandomMomentsLosesNoAcknowledgedWrite' >"$log" 2>&1 || status=$?

if ! grep '^crash test:' "$log"; then
  cat "$log"
  echo "crash_soak: the test printed no summary (exit $status)" >&2
  exit 1
fi
if [ "$status" -ne 0 ]; then
  grep -A3 'Failure' "$log" | head -40
  echo "crash_soak: FAILED" >&2
  exit "$status"
fi
echo "crash_soak: passed"
