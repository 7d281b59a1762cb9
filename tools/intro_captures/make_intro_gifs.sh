#!/usr/bin/env bash
# Makes the introduction's moving pictures, onboarding/resources/intro1.gif (a
# length) and intro2.gif (an area), from the real app measuring on the offline
# fields imagery. Run again after the measuring screen changes its looks.
#   tools/intro_captures/make_intro_gifs.sh [BUILD-DIR]
set -euo pipefail

here="$(cd "$(dirname "$0")/../.." && pwd)"
build="${1:-$here/build/intro-captures}"

if ! command -v convert >/dev/null; then
  SUDO=""
  [ "$(id -u)" -eq 0 ] || SUDO="sudo"
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends imagemagick
fi

if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
fi
cmake --build "$build" --target kavrano-intro-capture -j2

frames="$(mktemp -d)"
trap 'rm -rf "$frames"' EXIT
QT_QPA_PLATFORM=offscreen XDG_CACHE_HOME="$frames/cache" \
  "$build/tools/intro_captures/kavrano-intro-capture" "$frames"

for name in intro1 intro2; do
  args=()
  while read -r file centiseconds; do
    args+=(-delay "$centiseconds" "$frames/$file")
  done <"$frames/$name.frames"
  # One palette for all frames (+remap), no dithering, so unchanged pixels stay
  # equal between frames and the optimiser can leave them out.
  convert -loop 0 "${args[@]}" +dither +remap -layers Optimize "$here/onboarding/resources/$name.gif"
  printf '%s: %s bytes\n' "$name.gif" "$(stat -c %s "$here/onboarding/resources/$name.gif")"
done
