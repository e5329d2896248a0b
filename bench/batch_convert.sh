#!/bin/sh
# Times vumo-convert's batch form on one worker against two, on 200 pictures of 512 x 512
# (PNG, TGA and TIFF), and prints each run and the medians.
#   bench/batch_convert.sh [VUMO_CONVERT] [REPEATS]
# The machine may be shared: run it when quiet; the medians of several repeats are what count.
set -eu

convert_tool=${1:-build/tools/vumo-convert}
repeats=${2:-5}
count=200
work=$(mktemp -d "${TMPDIR:-/tmp}/vumo-batch-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT INT TERM

command -v python3 >/dev/null || { echo "python3 is needed to write the pictures" >&2; exit 2; }
[ -x "$convert_tool" ] || { echo "no program at $convert_tool" >&2; exit 2; }

# A few different pictures (gradients with noise, so the encoder does real work), written by
# a small writer of uncompressed TGA and TIFF and of PNG, each copied under many names.
mkdir "$work/in"
python3 - "$work" <<'PY'
import random, struct, sys, zlib
work, side = sys.argv[1], 512
for seed in range(1, 6):
    rng = random.Random(seed)
    noise = bytes(rng.getrandbits(8) & 31 for _ in range(side * 4))
    rows = []
    for y in range(side):
        row = bytearray(side * 4)
        for x in range(side):
            n = noise[(x * 7 + y * 13) % len(noise)]
            row[x * 4:x * 4 + 4] = bytes(((x + seed * 40) % 224 + n, (y * 2) % 224 + n, (x ^ y) % 224 + n, 200 + n))
        rows.append(bytes(row))
    rgba = b"".join(rows)
    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))
    with open(f"{work}/base{seed}.png", "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", side, side, 8, 6, 0, 0, 0))
                + chunk(b"IDAT", zlib.compress(b"".join(b"\0" + r for r in rows), 6)) + chunk(b"IEND", b""))
    bgra = bytearray(rgba)
    bgra[0::4], bgra[2::4] = rgba[2::4], rgba[0::4]
    with open(f"{work}/base{seed}.tga", "wb") as f:
        # Top-left origin, 8 bits of alpha.
        f.write(struct.pack("<BBBHHBHHHHBB", 0, 0, 2, 0, 0, 0, 0, 0, side, side, 32, 0x28) + bgra)
    entries = [(256, 3, 1, side), (257, 3, 1, side), (258, 3, 4, 0), (259, 3, 1, 1),
               (262, 3, 1, 2), (273, 4, 1, 0), (277, 3, 1, 4), (278, 3, 1, side),
               (279, 4, 1, len(rgba)), (338, 3, 1, 2)]
    ifd_at, bits_at = 8, 8 + 2 + len(entries) * 12 + 4
    data_at = bits_at + 8
    ifd = struct.pack("<H", len(entries))
    for tag, kind, count, value in entries:
        if tag == 258: value = bits_at
        if tag == 273: value = data_at
        ifd += struct.pack("<HHI", tag, kind, count) + (struct.pack("<HH", value, 0) if kind == 3 else struct.pack("<I", value))
    with open(f"{work}/base{seed}.tif", "wb") as f:
        f.write(b"II*\0" + struct.pack("<I", ifd_at) + ifd + b"\0\0\0\0" + struct.pack("<4H", 8, 8, 8, 8) + rgba)
PY
i=0
while [ "$i" -lt "$count" ]; do
  seed=$((i % 5 + 1))
  case $((i % 3)) in
    0) ext=png ;;
    1) ext=tga ;;
    *) ext=tif ;;
  esac
  cp "$work/base$seed.$ext" "$work/in/picture$i.$ext"
  i=$((i + 1))
done

now() { date +%s.%N; }

# Seconds for one batch run on $1 workers, into a fresh folder.
run() {
  rm -rf "$work/out"
  mkdir "$work/out"
  start=$(now)
  "$convert_tool" --output-dir "$work/out" --jobs "$1" "$work"/in/* 2>"$work/log" || {
    cat "$work/log" >&2
    exit 1
  }
  end=$(now)
  echo "$start $end" | awk '{ printf "%.3f\n", $2 - $1 }'
}

median() { sort -n | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

run 2 >/dev/null  # warms the file cache and the program's pages
: >"$work/one"
: >"$work/two"
r=0
while [ "$r" -lt "$repeats" ]; do
  one=$(run 1)
  two=$(run 2)
  echo "$one" >>"$work/one"
  echo "$two" >>"$work/two"
  echo "run $((r + 1)): --jobs 1 ${one}s, --jobs 2 ${two}s"
  r=$((r + 1))
done
one=$(median <"$work/one")
two=$(median <"$work/two")
echo "$one $two" | awk -v n="$count" '{ printf "median of %d files: --jobs 1 %.3fs, --jobs 2 %.3fs, %.2f times as fast\n", n, $1, $2, $1 / $2 }'
