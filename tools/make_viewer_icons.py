#!/usr/bin/env python3
"""Draws the viewer's three icons (32 x 32, 32-bit with alpha) as icon resources: a sheet of music for the
viewer, and the same sheet with a badge "1" or "2" for the two editor programs.

Usage: make_viewer_icons.py <out-folder>   writes view.icon, editor1.icon and editor2.icon.
"""
import os
import struct
import sys

SIZE = 32

DIGITS = {
    "1": ["..#..", ".##..", "..#..", "..#..", "..#..", "..#..", ".###."],
    "2": [".###.", "#...#", "....#", "...#.", "..#..", ".#...", "#####"],
}


def blank():
    return [[(0, 0, 0, 0) for _ in range(SIZE)] for _ in range(SIZE)]


def put(img, x, y, rgba):
    if 0 <= x < SIZE and 0 <= y < SIZE:
        img[y][x] = rgba


def sheet(img):
    """A page with a folded corner, a staff of five lines and a note."""
    left, top, right, bottom, fold = 5, 2, 26, 29, 6
    for y in range(top, bottom + 1):
        for x in range(left, right + 1):
            if x > right - fold + (y - top) and y < top + fold:
                continue
            edge = x in (left, right) or y in (top, bottom) or x - (right - fold) == y - top
            put(img, x, y, (96, 96, 96, 255) if edge else (255, 255, 255, 255))
    for x in range(right - fold, right + 1):  # the fold
        for y in range(top, top + fold + 1):
            if x - (right - fold) <= y - top:
                put(img, x, y, (200, 200, 200, 255) if x - (right - fold) < y - top else (96, 96, 96, 255))
    for i in range(5):
        y = 11 + i * 3
        for x in range(left + 2, right - 1):
            put(img, x, y, (40, 40, 40, 255))
    # A note: an oval head on the second space and its stem.
    cx, cy = 12, 20
    for y in range(cy - 2, cy + 3):
        for x in range(cx - 3, cx + 4):
            if ((x - cx) / 3.2) ** 2 + ((y - cy) / 2.2) ** 2 <= 1.0:
                put(img, x, y, (0, 0, 140, 255))
    for y in range(cy - 10, cy + 1):
        put(img, cx + 3, y, (0, 0, 140, 255))


def badge(img, digit, colour):
    cx, cy, r = 23, 23, 8
    for y in range(SIZE):
        for x in range(SIZE):
            d = ((x - cx) ** 2 + (y - cy) ** 2) ** 0.5
            if d <= r:
                put(img, x, y, colour if d <= r - 1 else (40, 40, 40, 255))
    rows = DIGITS[digit]
    for j, row in enumerate(rows):
        for i, ch in enumerate(row):
            if ch == "#":
                put(img, cx - 2 + i, cy - 3 + j, (255, 255, 255, 255))


def write(img, path):
    header = struct.pack("<IiiHHIIiiII", 40, SIZE, SIZE, 1, 32, 0, SIZE * SIZE * 4, 0, 0, 0, 0)
    data = bytearray(header)
    for y in range(SIZE - 1, -1, -1):  # bottom-up
        for r, g, b, a in img[y]:
            data += bytes((b, g, r, a))
    with open(path, "wb") as f:
        f.write(data)


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else "."
    view = blank()
    sheet(view)
    write(view, os.path.join(out, "view.icon"))
    for digit, colour in (("1", (170, 30, 30, 255)), ("2", (20, 120, 40, 255))):
        img = blank()
        sheet(img)
        badge(img, digit, colour)
        write(img, os.path.join(out, "editor%s.icon" % digit))


if __name__ == "__main__":
    main()
