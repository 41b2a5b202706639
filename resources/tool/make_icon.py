#!/usr/bin/env python3
"""Draws the tool's icon, a page cut into three numbered slices that drift
apart, and writes it as a 16-colour .ico with a 32x32 and a 16x16 image.

    make_icon.py parvex.ico

The output is deterministic; the .ico is committed next to this script."""
import struct
import sys

# The 16 colours of the standard VGA palette, as (r, g, b).
PALETTE = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0),
    (0, 0, 128), (128, 0, 128), (0, 128, 128), (192, 192, 192),
    (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0),
    (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]
BLACK, NAVY, SILVER, GRAY, RED, BLUE, WHITE = 0, 4, 7, 8, 9, 12, 15
CLEAR = None  # transparent


def draw(size):
    """The picture as rows of palette indexes (None = transparent)."""
    px = [[CLEAR] * size for _ in range(size)]
    s = size / 32.0

    def rect(x0, y0, x1, y1, colour):
        for y in range(int(y0 * s), int(y1 * s)):
            for x in range(int(x0 * s), int(x1 * s)):
                px[y][x] = colour

    def frame(x0, y0, x1, y1, fill):
        rect(x0, y0, x1, y1, BLACK)
        rect(x0 + 1 / s, y0 + 1 / s, x1 - 1 / s, y1 - 1 / s, fill)

    # Three slices of one page, each shifted right of the one above.
    slices = [(2, 2, 20, 11), (6, 12, 24, 21), (10, 22, 28, 31)]
    for i, (x0, y0, x1, y1) in enumerate(slices):
        frame(x0, y0, x1, y1, WHITE)
        # Text lines on the slice (only where they stay visible).
        if size >= 32:
            for ly in range(y0 + 3, y1 - 1, 3):
                rect(x0 + 3, ly, x1 - 6, ly + 1, GRAY)
        # A blue tab with the slice's place in the set.
        rect(x1 - 5, y0 + 2, x1 - 2, y1 - 2, BLUE if i != 1 else NAVY)
    # The red cut marks between the slices.
    for y in (11, 21):
        rect(0, y, 32, y + 1, CLEAR)
        for x in range(1, 31, 4):
            rect(x, y, x + 2, y + 1, RED)
    return px


def image(size):
    """BITMAPINFOHEADER, palette, 4-bit colour rows and the 1-bit mask."""
    px = draw(size)
    header = struct.pack('<IiiHHIIiiII', 40, size, size * 2, 1, 4, 0, 0, 0,
                         0, 16, 0)
    palette = b''.join(struct.pack('<BBBB', b, g, r, 0)
                       for r, g, b in PALETTE)
    xor_stride = ((size * 4 + 31) // 32) * 4
    and_stride = ((size + 31) // 32) * 4
    xor = b''
    mask = b''
    for row in reversed(px):  # bottom-up
        line = bytearray(xor_stride)
        bits = bytearray(and_stride)
        for x, c in enumerate(row):
            value = 0 if c is None else c
            line[x // 2] |= value << (4 if x % 2 == 0 else 0)
            if c is None:
                bits[x // 8] |= 0x80 >> (x % 8)
        xor += bytes(line)
        mask += bytes(bits)
    return header + palette + xor + mask


def main():
    images = [(32, image(32)), (16, image(16))]
    out = struct.pack('<HHH', 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, data in images:
        out += struct.pack('<BBBBHHII', size, size, 16, 0, 1, 4, len(data),
                           offset)
        offset += len(data)
    for _, data in images:
        out += data
    with open(sys.argv[1], 'wb') as f:
        f.write(out)


if __name__ == '__main__':
    main()
