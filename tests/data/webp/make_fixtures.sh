#!/bin/sh
# Remakes the WebP fixtures with Debian 12's webp tools (cwebp, img2webp, dwebp 1.2.4) and
# Pillow from pictures drawn here: lossless files compare with their source exactly, lossy
# ones with dwebp's decode, the animation's frames with the pictures they were made from.
set -eu
cd "$(dirname "$0")"
/usr/bin/python3 - <<'PY'
from PIL import Image
src = Image.new("RGBA", (23, 17))
src.putdata([((x * 11) % 256, (y * 15) % 256, (x * y * 7) % 256, 255 if x < 12 else (y * 15) % 256)
             for y in range(17) for x in range(23)])
src.save("source_alpha.png")
src.convert("RGB").save("source.png")
for i, colour in enumerate([(200, 30, 30), (30, 200, 30), (30, 30, 200)]):
    frame = Image.new("RGB", (16, 12), colour)
    for x in range(i * 4, i * 4 + 4):
        for y in range(12):
            frame.putpixel((x, y), (255, 255, 255))
    frame.save("frame%d.png" % i)
PY
cwebp -quiet -lossless source_alpha.png -o lossless_alpha.webp
cwebp -quiet -lossless source.png -o lossless.webp
cwebp -quiet -q 80 source_alpha.png -o lossy_alpha.webp
cwebp -quiet -q 80 source.png -o lossy.webp
dwebp -quiet lossy_alpha.webp -o lossy_alpha_dwebp.png
dwebp -quiet lossy.webp -o lossy_dwebp.png
img2webp -lossless -d 100 frame0.png frame1.png frame2.png -o animated.webp >/dev/null
