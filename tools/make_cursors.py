#!/usr/bin/env python3
"""Writes the column header's cursors as cursor resources: the hot spot (two 16-bit words), then a
monochrome DIB of twice the cursor's height holding the colour mask above the transparency mask
(bottom-up rows, 32-bit aligned; a transparent pixel has mask bit 1 and colour bit 0).

size_column.cur (resource 1011): a vertical bar with arrows to the left and right.
open_column.cur (resource 1012): the same with a split (double) bar.
Both are 32 x 32 with the hot spot at (15, 15); black shapes outlined in white.
Usage: make_cursors.py OUTDIR
"""
import struct
import sys

SIZE = 32
HOT = (15, 15)


def shape(bars):
    """The black pixels: the bars (x columns, rows 7..24), a shaft on rows 15 and 16 beside them, and
    an arrowhead at each end."""
    black = set()
    for x in bars:
        for y in range(7, 25):
            black.add((x, y))
    left, right = min(bars), max(bars)
    for x in list(range(8, left - 1)) + list(range(right + 2, 24)):
        black.update({(x, 15), (x, 16)})
    for k in range(5):
        for y in range(15 - k, 17 + k):
            black.add((4 + k, y))
            black.add((27 - k, y))
    return black


def outline(black):
    white = set()
    for (x, y) in black:
        for dx in (-1, 0, 1):
            for dy in (-1, 0, 1):
                p = (x + dx, y + dy)
                if p not in black and 0 <= p[0] < SIZE and 0 <= p[1] < SIZE:
                    white.add(p)
    return white


def encode_cursor(black, white, hot):
    """A cursor resource: the hot spot, then a monochrome DIB holding the colour mask above the transparency
    mask (black where neither set holds a pixel is transparent)."""
    stride = (SIZE + 31) // 32 * 4

    def mask(bit_of):
        rows = []
        for y in reversed(range(SIZE)):
            row = bytearray(stride)
            for x in range(SIZE):
                if bit_of((x, y)):
                    row[x // 8] |= 0x80 >> (x % 8)
            rows.append(bytes(row))
        return b"".join(rows)

    colour = mask(lambda p: p in white)
    transparent = mask(lambda p: p not in white and p not in black)
    header = struct.pack("<IiiHHIIiiII", 40, SIZE, 2 * SIZE, 1, 1, 0, len(colour) * 2, 0, 0, 2, 0)
    table = bytes([0, 0, 0, 0, 255, 255, 255, 0])
    return struct.pack("<HH", *hot) + header + table + colour + transparent


def cursor(black):
    return encode_cursor(black, outline(black), HOT)


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else "."
    with open(f"{out}/size_column.cur", "wb") as f:
        f.write(cursor(shape([15, 16])))
    with open(f"{out}/open_column.cur", "wb") as f:
        f.write(cursor(shape([13, 14, 17, 18])))


if __name__ == "__main__":
    main()
