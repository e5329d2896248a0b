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
start() {  # the viewer's arguments
  "$build/src/shell/vumo" "$@" >/dev/null 2>&1 &
  vumo=$!
  window=""
  for _ in $(seq 50); do
    window=$(xdotool search --onlyvisible --name "Vumo" 2>/dev/null | head -1) && [ -n "$window" ] && break
    sleep 0.2
  done
  xdotool windowmove "$window" 0 0 windowsize "$window" 1024 640
  xdotool windowfocus "$window" 2>/dev/null || true
  sleep 1
}
stop() {
  kill $vumo 2>/dev/null || true
  wait $vumo 2>/dev/null || true
}
start "$here/../data/samples/glass_tiles.tga"
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
stop

# Compare mode: a picture against a copy retouched in one square, as their difference
# amplified four times, zoomed in.
convert "$here/../data/samples/glass_tiles.tga" -region 48x48+40+40 -modulate 100,140 -blur 0x1.5 \
  "$work/glass_tiles_retouched.tga"
start --compare "$here/../data/samples/glass_tiles.tga" "$work/glass_tiles_retouched.tga"
name=compare; shot ctrl+4 ctrl+equal ctrl+equal
stop

# A cube map's sheet: six sample textures as the faces of one uncompressed DDS cube map.
/usr/bin/python3 - "$here/../data/samples" "$work/sky_cube.dds" <<'PY'
import struct, sys
from PIL import Image
samples, out = sys.argv[1], sys.argv[2]
names = ["bricks.bmp", "marble.bmp", "woven.png", "stone.jpg", "checker_wood.jpg", "cobblestones.pcx"]
side = 96
header = struct.pack("<4s7I44x8I4I4x", b"DDS ", 124, 0x100F, side, side, side * 4, 0, 1,
                     32, 0x41, 0, 32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000, 0x1008, 0xFE00, 0, 0)
with open(out, "wb") as f:
    f.write(header)
    for name in names:
        face = Image.open(f"{samples}/{name}").convert("RGBA").resize((side, side))
        r, g, b, a = face.split()
        f.write(Image.merge("RGBA", (b, g, r, a)).tobytes())
PY
start "$work/sky_cube.dds"
name=cube_sheet; shot ctrl+alt+n ctrl+shift+s
