#!/bin/bash
# Times the viewer under Xvfb: start to first paint of a 4096 x 4096 Targa named on the
# command line, then a repaint of the 1920 x 1080 window in each display mode; then, for the
# same picture as Targa, PNG and uncompressed TIFF, the wait from a click on its row in the
# file list to its first paint, and the longest the window went unanswered meanwhile.
#   bench/viewer_timing.sh [BUILD_DIR] [RUNS]
# Each run starts a new process with fresh settings; the median of the runs is reported.
set -euo pipefail
build=${1:-build}
runs=${2:-7}
program="$build/bench/vumo_viewer_timing"
[ -x "$program" ] || { echo "build $program first (cmake --build $build --target vumo_viewer_timing)" >&2; exit 1; }
command -v xvfb-run >/dev/null || { echo "xvfb-run is needed (Debian package xvfb)" >&2; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/pictures" "$work/home" "$work/runtime"
chmod 700 "$work/runtime"
"$program" --write-files "$work/pictures"
cat "$work/pictures"/texture.* >/dev/null  # in the page cache, as files just browsed to

# Runs one timing under a fresh Xvfb with fresh settings.
viewer() {
  rm -rf "$work/home"/* "$work/home"/.[!.]* 2>/dev/null || true
  HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config" XDG_RUNTIME_DIR="$work/runtime" QT_QPA_PLATFORM=xcb \
    xvfb-run -a -s "-screen 0 1920x1080x24" "$@"
}

for i in $(seq "$runs"); do
  viewer bash -c '
      start=$(date +%s%N)
      "$1" "$2" | sed "s/^/run /" | awk -v start="$start" "
        /main_ns/ { main = \$3 }
        /first_paint_ns/ { printf \"start_to_main_ms %.1f\nstart_to_first_paint_ms %.1f\n\", (main - start) / 1e6, (\$3 - start) / 1e6; next }
        !/main_ns/ { sub(/^run /, \"\"); print }"
    ' timing "$program" "$work/pictures/texture.tga"
  for kind in tga png tif; do
    viewer "$program" --click "$work/pictures/texture.$kind" | sed "s/^\([a-z_]*\)_ms/${kind}_\1_ms/"
  done
done >"$work/results"

echo "median of $runs runs:"
awk '$1 ~ /_ms$/ { v[$1] = v[$1] " " $2 } END { for (k in v) print k, v[k] }' "$work/results" | sort |
  while read -r name values; do
    median=$(tr ' ' '\n' <<<"$values" | sort -g | awk '{ a[NR] = $1 } END { print a[int((NR + 1) / 2)] }')
    printf '  %-26s %8s ms   (runs: %s)\n' "$name" "$median" "$values"
  done
grep -m1 '^window' "$work/results" | sed 's/^/  /'
