#!/usr/bin/python3
# An independent, deliberately plain computation of the figures `vumo-convert --compare`
# prints, for the pairs below; its output is committed as expected.tsv. PIL only reads the
# pixels: every figure is worked out here, SSIM with whole 2-D windows rather than the
# program's separable running sums.
#
#   /usr/bin/python3 make_expected.py > expected.tsv
import math
from PIL import Image

PAIRS = [
    ("base.png", "base.png"),
    ("base.png", "noisy.png"),
    ("base.png", "shifted.png"),
    ("alpha_a.png", "alpha_b.png"),
    ("base.png", "small.png"),
]


def load(name):
    image = Image.open(name).convert("RGBA")
    w, h = image.size
    data = list(image.getdata())
    return w, h, [[data[y * w + x] for x in range(w)] for y in range(h)]


def window_side(side):
    if side >= 11:
        return 11
    return side if side % 2 else side - 1


def gaussian(n):
    mid = (n - 1) / 2.0
    taps = [math.exp(-((i - mid) ** 2) / (2 * 1.5 * 1.5)) for i in range(n)]
    total = sum(taps)
    return [t / total for t in taps]


def ssim(la, lb, w, h):
    nx, ny = window_side(w), window_side(h)
    gx, gy = gaussian(nx), gaussian(ny)
    c1 = (0.01 * 255) ** 2
    c2 = (0.03 * 255) ** 2
    values = []
    for top in range(h - ny + 1):
        for left in range(w - nx + 1):
            ma = mb = saa = sbb = sab = 0.0
            for j in range(ny):
                for i in range(nx):
                    weight = gy[j] * gx[i]
                    a = la[top + j][left + i]
                    b = lb[top + j][left + i]
                    ma += weight * a
                    mb += weight * b
                    saa += weight * a * a
                    sbb += weight * b * b
                    sab += weight * a * b
            va, vb, cov = saa - ma * ma, sbb - mb * mb, sab - ma * mb
            values.append(((2 * ma * mb + c1) * (2 * cov + c2)) / ((ma * ma + mb * mb + c1) * (va + vb + c2)))
    return sum(values) / len(values)


def compare(name_a, name_b):
    wa, ha, a = load(name_a)
    wb, hb, b = load(name_b)
    w, h = min(wa, wb), min(ha, hb)
    largest = 0
    differing = 0
    squared = 0
    for y in range(h):
        for x in range(w):
            d = [abs(a[y][x][c] - b[y][x][c]) for c in range(4)]
            largest = max(largest, max(d))
            differing += max(d) > 0
            squared += d[0] ** 2 + d[1] ** 2 + d[2] ** 2
    psnr = "null"
    if squared:
        psnr = "%.6f" % (10 * math.log10(255.0 ** 2 / (squared / (3.0 * w * h))))

    def luma(p):
        return 0.299 * p[0] + 0.587 * p[1] + 0.114 * p[2]

    la = [[luma(a[y][x]) for x in range(w)] for y in range(h)]
    lb = [[luma(b[y][x]) for x in range(w)] for y in range(h)]
    mismatch = "true" if (wa, ha) != (wb, hb) else "false"
    return [name_a, name_b, w, h, mismatch, largest, differing, psnr, "%.6f" % ssim(la, lb, w, h)]


print("a\tb\twidth\theight\tsize_mismatch\tmax_difference\tdiffering_pixels\tpsnr\tssim")
for pair in PAIRS:
    print("\t".join(str(v) for v in compare(*pair)))
