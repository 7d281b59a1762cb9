#!/usr/bin/env bash
# The Debian package, one check per call (each a test of its own):
#   package_test.sh build DEB_DIR CPACK_CONFIG
#   package_test.sh lintian|desktop_integration|qml_dependencies|runs_installed|x11_window \
#                   DEB_DIR SOURCE_DIR BUILD_DIR QTPATHS APP_ID VERSION
set -euo pipefail

check=$1 deb_dir=$2
status=0
fail() {
  echo "FAIL: $*" >&2
  status=1
}

build() {
  local config=$1
  rm -rf "$deb_dir"
  mkdir -p "$deb_dir"
  if ! cpack -G DEB -B "$deb_dir" --config "$config" >"$deb_dir/cpack.log" 2>&1; then
    cat "$deb_dir/cpack.log" >&2
    exit 1
  fi
  rm -rf "$deb_dir/_CPack_Packages"
  dpkg-deb -x "$deb_dir"/kavrano_*.deb "$deb_dir/root"
}

if [ "$check" = build ]; then
  build "$3"
  exit 0
fi

source_dir=$3 build_dir=$4 qtpaths=$5 app_id=$6 version=$7
deb=$(echo "$deb_dir"/kavrano_*.deb)
root=$deb_dir/root
usr=$root/usr
scratch=$(mktemp -d)
xvfb="" app=""
end() {
  if [ -n "$app" ]; then
    kill "$app" 2>/dev/null || true
    wait "$app" 2>/dev/null || true
  fi
  if [ -n "$xvfb" ]; then
    kill "$xvfb" 2>/dev/null || true
    wait "$xvfb" 2>/dev/null || true
  fi
  rm -rf "$scratch"
}
trap end EXIT

# An environment of nothing but the system's: no import or library paths into the build.
installed=(env -i PATH=/usr/bin:/bin HOME="$scratch" LC_ALL=C.UTF-8 XDG_RUNTIME_DIR="$scratch/runtime"
  XDG_DATA_HOME="$scratch/xdg-data" XDG_CACHE_HOME="$scratch/cache")
mkdir -m 700 "$scratch/runtime"
# Imagery without a network: an MBTiles file with no tiles.
empty_tiles() {
  sqlite3 "$scratch/empty.mbtiles" \
    "CREATE TABLE tiles (zoom_level INTEGER, tile_column INTEGER, tile_row INTEGER, tile_data BLOB);"
}

lintian_check() {
  lintian --fail-on error "$deb" || fail "lintian reports errors"
}

# Width and height of a PNG, from its header.
png_size() {
  local hex
  hex=$(od -An -tx1 -j16 -N8 "$1" | tr -d ' \n')
  echo "$((16#${hex:0:8}))x$((16#${hex:8:8}))"
}

# What bash completes for the words of `line` (the last one being typed).
completions() {
  bash -c '
    source "$1"
    read -ra COMP_WORDS <<<"$2"
    [[ $2 == *" " ]] && COMP_WORDS+=("")
    COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
    _kavrano_cli
    echo "${COMPREPLY[*]}"' sh "$usr/share/bash-completion/completions/kavrano-cli" "$1"
}

desktop_integration_check() {
  local desktop=$usr/share/applications/$app_id.desktop metainfo=$usr/share/metainfo/$app_id.metainfo.xml
  desktop-file-validate "$desktop" || fail "desktop-file-validate: $desktop"
  appstreamcli validate --no-net "$metainfo" || fail "appstreamcli validate: $metainfo"
  for element in summary description screenshot content_rating project_license; do
    grep -q "<$element" "$metainfo" || fail "the metainfo has no <$element>"
  done
  grep -q "<release version=\"$version\"" "$metainfo" || fail "the metainfo's release is not $version"
  grep -qx "<launchable type=\"desktop-id\">$app_id.desktop</launchable>" <(sed 's/^ *//' "$metainfo") ||
    fail "the metainfo does not launch $app_id.desktop"

  # The desktop finds the program on PATH and its icon by the entry's Icon name
  # (the window's class: x11_window).
  local exec icon
  exec=$(sed -n 's/^Exec=//p' "$desktop")
  [ -x "$usr/bin/${exec%% *}" ] || fail "Exec=$exec is not an installed program"
  # Files the desktop opens with the app are handed to it as arguments.
  [ "${exec#* }" = "%F" ] || fail "Exec=$exec does not take the opened files"
  local types
  types=$(sed -n 's/^MimeType=//p' "$desktop" | tr ';' '\n')
  for type in application/geo+json application/vnd.google-earth.kml+xml application/gpx+xml; do
    grep -qxF "$type" <<<"$types" || fail "the desktop entry does not open $type"
  done
  icon=$(sed -n 's/^Icon=//p' "$desktop")
  [ -f "$usr/share/icons/hicolor/scalable/apps/$icon.svg" ] || fail "no scalable icon named $icon"
  for size in 48 128 256; do
    local png=$usr/share/icons/hicolor/${size}x${size}/apps/$icon.png
    if [ ! -f "$png" ]; then
      fail "no $size px icon named $icon"
    elif [ "$(png_size "$png")" != "${size}x$size" ]; then
      fail "$png is $(png_size "$png")"
    fi
  done

  for page in kavrano kavrano-cli; do
    local file=$usr/share/man/man1/$page.1.gz warnings
    warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$file" 2>&1 >/dev/null) || fail "man cannot show $page(1)"
    [ -z "$warnings" ] || fail "$page(1): $warnings"
    zcat "$file" | grep -q "^$page \\\\- " || fail "$page(1) has no NAME line"
  done

  local got
  while IFS='|' read -r line want; do
    got=$(completions "$line")
    [ "$got" = "$want" ] || fail "completing '$line' gives '$got', not '$want'"
  done <<'CASES'
kavrano-cli ar|area
kavrano-cli --data-dir /tmp de|delete defaults
kavrano-cli length --unit k|km
kavrano-cli area --unit h|ha
kavrano-cli text length --unit m|m mi
kavrano-cli units area a|a ac
kavrano-cli export --format g|geojson
kavrano-cli area --r|--raw
CASES
}

# The QML modules the views import, with the modules those import in turn, must
# be exactly the QML packages the package depends on.
qml_dependencies_check() {
  local qml_dir views imports
  qml_dir=$("$qtpaths" --query QT_INSTALL_QML)
  views=$(find "$source_dir"/{app,measure,saved,settings,onboarding,platform} -name '*.qml' 2>/dev/null)
  [ -n "$views" ] || fail "no views found under $source_dir"
  # Our own modules and files are inside the program.
  imports=$(sed -n 's/^[[:space:]]*import[[:space:]]\+\([A-Za-z][A-Za-z0-9.]*\).*/\1/p' $views | grep -v '^Kavrano' |
    sort -u)
  [ -n "$imports" ] || fail "the views import no Qt module"

  local queue=($imports) seen=" " qmldirs=() module qmldir
  while ((${#queue[@]})); do
    module=${queue[0]}
    queue=("${queue[@]:1}")
    [[ $seen == *" $module "* ]] && continue
    seen+="$module "
    qmldir=$qml_dir/${module//.//}/qmldir
    if [ ! -f "$qmldir" ]; then
      fail "module $module is not installed on this machine ($qmldir)"
      continue
    fi
    queue+=($(awk '$1 == "import" || $1 == "depends" { print $2 }' "$qmldir"))
    # The dialogs load their Qt Quick implementation when the desktop has no
    # dialog of its own, which their qmldir does not say; its views (plain and
    # in the app's style) import further modules.
    if [ "$module" = QtQuick.Dialogs ]; then
      local impl=$qml_dir/QtQuick/Dialogs/quickimpl/qml
      queue+=(QtQuick.Dialogs.quickimpl $(sed -n 's/^import[[:space:]]\+\([A-Za-z][A-Za-z0-9.]*\).*/\1/p' \
        "$impl"/*.qml "$impl"/+Material/*.qml | sort -u))
    fi
    qmldirs+=("$qmldir")
  done
  local needed=($(dpkg -S "${qmldirs[@]}" | cut -d: -f1 | sort -u))

  local depends
  depends=$(dpkg-deb -f "$deb" Depends | tr ',|' '\n\n' | sed 's/(.*)//; s/[[:space:]]//g' | sort -u)
  for package in "${needed[@]}"; do
    grep -qx "$package" <<<"$depends" || fail "the package does not depend on $package (QML imports:$seen)"
  done
  for package in $(grep '^qml6-module-' <<<"$depends"); do
    printf '%s\n' "${needed[@]}" | grep -qx "$package" || fail "the package depends on $package, which no view imports"
  done
}

# Both programs from the unpacked root.
runs_installed_check() {
  local got
  got=$("${installed[@]}" "$usr/bin/kavrano-cli" --version) || fail "kavrano-cli --version failed"
  [ "$got" = "kavrano-cli $version" ] || fail "kavrano-cli --version says '$got'"
  got=$("${installed[@]}" "$usr/bin/kavrano" --version) || fail "kavrano --version failed"
  [ "$got" = "kavrano $version" ] || fail "kavrano --version says '$got'"
  "${installed[@]}" "$usr/bin/kavrano" --about | cmp -s - "$usr/share/doc/kavrano/copyright" ||
    fail "kavrano --about differs from the installed credits"
  # What the licences of the shipped place data and of the default imagery ask for.
  for credit in "GeoNames" "CC BY 4.0" "OpenStreetMap contributors" "Esri"; do
    grep -qF "$credit" "$usr/share/doc/kavrano/copyright" || fail "the credits do not name $credit"
  done
  got=$("${installed[@]}" "$usr/bin/kavrano-cli" --data-dir "$scratch/data" --locale en_US area 0,0 0,0.001 0.001,0.001 0.001,0) ||
    fail "kavrano-cli area failed"
  [ "$got" = "12,392.03 m²" ] || fail "kavrano-cli area says '$got'"
  # The place index is inside the program, not a file beside the build.
  grep -aq Ouagadougou "$usr/bin/kavrano" || fail "the installed app carries no place index"

  # The app, offscreen, for longer than it takes to compile every view in the
  # background; any warning (a QML module missing, a resource not found) ends it.
  empty_tiles
  local app_status=0
  "${installed[@]}" QT_QPA_PLATFORM=offscreen QT_FATAL_WARNINGS=1 timeout 6 "$usr/bin/kavrano" \
    --data-dir "$scratch/app-data" --tiles "$scratch/empty.mbtiles" --geocoder offline --position 46.52,6.63 \
    2>"$scratch/app.err" || app_status=$?
  [ "$app_status" = 124 ] || fail "the app ended with status $app_status before 6 s: $(cat "$scratch/app.err")"
  [ -f "$scratch/app-data/preferences.sqlite3" ] || fail "the app kept no preferences in its data directory"

  # Nothing installed points into the tree it was built from.
  local leaks
  leaks=$(grep -rlF -e "$source_dir" -e "$build_dir" "$root" || true)
  [ -z "$leaks" ] || fail "paths of the build machine in: $leaks"
}

# The installed app in a real X window: the desktop matches the window to the
# entry by its class, and the window is portrait and may shrink only so far.
x11_window_check() {
  empty_tiles
  Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$scratch/display" 2>"$scratch/xvfb.err" &
  xvfb=$!
  local i display=""
  for ((i = 0; i < 100; i++)); do
    display=$(cat "$scratch/display" 2>/dev/null) || true
    [ -n "$display" ] && break
    sleep 0.1
  done
  [ -n "$display" ] || { fail "Xvfb did not start: $(cat "$scratch/xvfb.err")"; return; }

  "${installed[@]}" DISPLAY=":$display" QT_FATAL_WARNINGS=1 timeout 20 "$usr/bin/kavrano" --data-dir "$scratch/data" \
    --tiles "$scratch/empty.mbtiles" --geocoder offline --position 46.52,6.63 2>"$scratch/app.err" &
  app=$!
  local window=""
  for ((i = 0; i < 100; i++)); do
    # Windows come and go while the app starts: a tree that changed while read is read again.
    window=$(DISPLAY=":$display" xwininfo -root -tree 2>/dev/null |
      awk '/"Kavrano": \(/ && $4 != "1x1+0+0" { print $1; exit }') || true
    [ -n "$window" ] && break
    sleep 0.1
  done
  if [ -z "$window" ]; then
    fail "no Kavrano window appeared: $(cat "$scratch/app.err")"
  else
    local class hints
    class=$(DISPLAY=":$display" xprop -id "$window" WM_CLASS | sed 's/.*, "\(.*\)"$/\1/')
    grep -qx "StartupWMClass=$class" "$usr/share/applications/$app_id.desktop" ||
      fail "the window's class '$class' is not the desktop entry's StartupWMClass"
    hints=$(DISPLAY=":$display" xprop -id "$window" WM_NORMAL_HINTS)
    grep -q "specified size: 390 by 844" <<<"$hints" || fail "the window is not 390 by 844: $hints"
    grep -q "minimum size: 320 by 568" <<<"$hints" || fail "the window states no minimum of 320 by 568: $hints"
  fi
}

case $check in
  lintian | desktop_integration | qml_dependencies | runs_installed | x11_window) "${check}_check" ;;
  *)
    echo "unknown check $check" >&2
    exit 2
    ;;
esac
exit $status
