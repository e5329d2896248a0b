#!/bin/sh
# Remakes the README's screenshots with the program itself under Xvfb (packages xvfb,
# xdotool, imagemagick): `docs/screenshots.sh build`. Settings go to a folder of their own,
# so the user's Vumo.ini is neither read nor written.
set -eu
build=${1:-build}
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'kill $vumo $xvfb 2>/dev/null || true; rm -rf "$work"' EXIT
display=:$((90 + $$ % 100))
Xvfb "$display" -screen 0 1024x640x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
export DISPLAY=$display XDG_CONFIG_HOME=$work HOME=$work
sleep 1
"$build/src/shell/vumo" "$here/../data/samples/glass_tiles.tga" >/dev/null 2>&1 &
vumo=$!
window=""
for _ in $(seq 50); do
  window=$(xdotool search --onlyvisible --name "Vumo" 2>/dev/null | head -1) && [ -n "$window" ] && break
  sleep 0.2
done
xdotool windowmove "$window" 0 0 windowsize "$window" 1024 640
xdotool windowfocus "$window" 2>/dev/null || true
sleep 1
shot() {  # name, after the keys given
  for k in "$@"; do xdotool key --window "$window" "$k"; sleep 0.3; done
  sleep 0.7
  import -window root -crop 1024x640+0+0 "$work/shot.png"
  convert "$work/shot.png" -resize 560x350 -colors 96 -strip "$here/$name.png"
}
name=tiled; shot ctrl+alt+t
name=natural; shot ctrl+alt+n
name=stretched; shot ctrl+alt+s
# A zoomed seam: tiled, half offset so the seams meet in the middle, four times larger, the
# cursor over the seam for the readout.
xdotool mousemove 640 300
name=zoomed_seam; shot ctrl+alt+t ctrl+alt+o ctrl+equal ctrl+equal ctrl+equal
