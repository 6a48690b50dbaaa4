#!/usr/bin/env python3
"""Writes tarquel.ico: one 32 x 32 image in 16 colours (4 bits per pixel).

The picture is a Weibull plot in miniature: two axes, a rising S-shaped
distribution curve and a few failure points on it. Run it from ui/ when the
picture should change; the .ico is committed, so the build does not need it.
"""
import math
import struct

# The standard 16-colour VGA palette, as (blue, green, red, 0) quads.
PALETTE = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0),
    (0, 0, 128), (128, 0, 128), (0, 128, 128), (192, 192, 192),
    (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0),
    (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]  # (red, green, blue)
BLACK, NAVY, GREY, RED, WHITE = 0, 4, 8, 9, 15
SIZE = 32

pixels = [[WHITE] * SIZE for _ in range(SIZE)]  # pixels[y][x], y = 0 at top

# Frame and axes.
for i in range(SIZE):
    pixels[0][i] = pixels[SIZE - 1][i] = GREY
    pixels[i][0] = pixels[i][SIZE - 1] = GREY
for i in range(3, SIZE - 3):
    pixels[SIZE - 4][i] = BLACK  # time axis
    pixels[i][3] = BLACK         # probability axis

# The distribution function F(t) = 1 - exp(-(t / 14)^2.5), drawn thick.
def curve_y(x):
    t = x - 3
    f = 1.0 - math.exp(-((t / 14.0) ** 2.5)) if t > 0 else 0.0
    return int(round((SIZE - 5) - f * (SIZE - 10)))

for x in range(4, SIZE - 3):
    y = curve_y(x)
    for dy in (0, 1):
        if 2 < y + dy < SIZE - 4:
            pixels[y + dy][x] = NAVY
    # Join steep parts so the curve has no gaps.
    if x > 4:
        y0 = curve_y(x - 1)
        for yy in range(min(y, y0), max(y, y0)):
            pixels[yy][x] = NAVY

# Failure points: small red squares on the curve.
for x in (8, 13, 17, 21, 26):
    y = curve_y(x)
    for dx in (-1, 0, 1):
        for dy in (-1, 0, 1):
            pixels[y + dy][x + dx] = RED

xor_rows = []
for y in reversed(range(SIZE)):  # DIBs are stored bottom-up
    row = bytearray()
    for x in range(0, SIZE, 2):
        row.append((pixels[y][x] << 4) | pixels[y][x + 1])
    xor_rows.append(bytes(row))
xor_bits = b"".join(xor_rows)
and_bits = bytes(SIZE * 4)  # every pixel opaque; rows padded to 32 bits

palette = b"".join(struct.pack("<BBBB", b, g, r, 0) for (r, g, b) in PALETTE)
header = struct.pack("<IiiHHIIiiII", 40, SIZE, SIZE * 2, 1, 4, 0,
                     len(xor_bits) + len(and_bits), 0, 0, 16, 0)
image = header + palette + xor_bits + and_bits

icon_dir = struct.pack("<HHH", 0, 1, 1)
entry = struct.pack("<BBBBHHII", SIZE, SIZE, 16, 0, 1, 4, len(image), 6 + 16)
with open("tarquel.ico", "wb") as out:
    out.write(icon_dir + entry + image)
