#!/usr/bin/env python3
"""Draws the stub's icon (a page put back together from two halves) and
writes it as a 16-colour .ico with a 32x32 and a 16x16 image.

    make_icon.py stub.ico

The output is deterministic; the .ico is committed next to this script."""
import struct
import sys

# The standard 16-colour palette, as (r, g, b).
PALETTE = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0),
    (0, 0, 128), (128, 0, 128), (0, 128, 128), (192, 192, 192),
    (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0),
    (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]
BLACK, GRAY, RED, YELLOW, WHITE = 0, 8, 9, 11, 15


def page(px, x0, y0, x1, y1, lines):
    """A page with a black edge over [x0, x1) x [y0, y1), gray text lines."""
    for y in range(y0, y1):
        for x in range(x0, x1):
            edge = x in (x0, x1 - 1) or y in (y0, y1 - 1)
            px[y][x] = BLACK if edge else WHITE
    for y in lines:
        for x in range(x0 + 2, x1 - 2):
            px[y][x] = GRAY


def arrow(px, cx, tip, step, head, length):
    """A yellow arrow with a black edge; its tip at (cx, tip), pointing up
    (step 1, the arrow extends downwards) or down (step -1)."""
    for i in range(length):
        y = tip + step * i
        half = i if i < head else 1
        for x in range(cx - half, cx + half + 1):
            inner = abs(x - cx) < half or (i >= head and x == cx)
            px[y][x] = YELLOW if inner or i == 0 else BLACK


def draw(size):
    """Rows of palette indices, None for transparent pixels: the upper half
    of a page shifted left, the lower half shifted right, a red seam between
    them and two arrows pressing them together."""
    px = [[None] * size for _ in range(size)]
    if size == 32:
        page(px, 4, 2, 22, 15, range(5, 13, 3))
        page(px, 8, 17, 26, 30, range(20, 28, 3))
        seam, arrows = (4, 28, 15, 17), ((28, 14, -1, 4, 13), (3, 18, 1, 4, 13))
    else:
        page(px, 2, 1, 11, 8, (3, 5))
        page(px, 4, 9, 13, 15, (11, 13))
        seam, arrows = (1, 15, 8, 9), ((14, 7, -1, 2, 7), (1, 9, 1, 2, 7))
    for y in range(seam[2], seam[3]):
        for x in range(seam[0], seam[1]):
            px[y][x] = RED
    for a in arrows:
        arrow(px, *a)
    return px


def image(size):
    px = draw(size)
    xor_stride = (size * 4 + 31) // 32 * 4
    and_stride = (size + 31) // 32 * 4
    xor = bytearray()
    mask = bytearray()
    for row in reversed(px):  # bottom-up
        line = bytearray(xor_stride)
        bits = bytearray(and_stride)
        for x, c in enumerate(row):
            if c is None:
                bits[x // 8] |= 0x80 >> (x % 8)
                c = 0
            line[x // 2] |= c << (4 if x % 2 == 0 else 0)
        xor += line
        mask += bits
    header = struct.pack('<IiiHHIIiiII', 40, size, size * 2, 1, 4, 0,
                         len(xor) + len(mask), 0, 0, 0, 0)
    palette = b''.join(struct.pack('BBBB', b, g, r, 0) for r, g, b in PALETTE)
    return header + palette + bytes(xor) + bytes(mask)


def main():
    images = [image(32), image(16)]
    out = struct.pack('<HHH', 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, data in zip((32, 16), images):
        out += struct.pack('<BBBBHHII', size, size, 16, 0, 1, 4, len(data),
                           offset)
        offset += len(data)
    out += b''.join(images)
    with open(sys.argv[1], 'wb') as f:
        f.write(out)


if __name__ == '__main__':
    main()
