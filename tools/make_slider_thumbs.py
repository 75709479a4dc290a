#!/usr/bin/env python3
"""Writes the slider thumb bitmaps as packed 4-bit DIBs (header, 16 colours, bottom-up rows).

thumb_h.dib (resource 32000): 18 x 20, two 9 x 20 images of a thumb pointing down.
thumb_v.dib (resource 32001): 40 x 9, two 20 x 9 images of a thumb pointing right.
The left image is the normal thumb, the right one the pressed (or disabled) thumb. Colour 15 is the
background, which the slider replaces by its own.
Usage: make_slider_thumbs.py OUTDIR
"""
import struct
import sys

# Colour table: 0 black, 1 dark grey, 2 light grey (button face), 3 white, 15 background.
PALETTE = [(0, 0, 0), (128, 128, 128), (192, 192, 192), (255, 255, 255)] + [(255, 0, 255)] * 12
K, D, F, W, B = 0, 1, 2, 3, 15


def thumb_down(pressed):
    """9 x 20: a body of 15 rows and a point of 5 rows."""
    w, h = 9, 20
    img = [[B] * w for _ in range(h)]
    body = 15
    for y in range(h):
        if y < body:
            lo, hi = 0, w - 1
        else:
            d = y - body + 1
            lo, hi = d, w - 1 - d
            if lo > hi:
                continue
        for x in range(lo, hi + 1):
            face = F
            if pressed and (x + y) % 2 == 0:
                face = W
            img[y][x] = face
        # outline: light on the top and left, dark on the right and the point's lower edges
        if y == 0:
            for x in range(lo, hi + 1):
                img[y][x] = W
            img[y][hi] = K
        if y < body:
            img[y][lo] = W
            img[y][hi] = K
            if hi - 1 > lo:
                img[y][hi - 1] = D if y > 0 else img[y][hi - 1]
        else:
            img[y][lo] = W
            img[y][hi] = K
            if hi - 1 > lo:
                img[y][hi - 1] = D
    if pressed:
        pass
    return img


def thumb_right(pressed):
    """20 x 9: the down thumb turned so that it points right."""
    down = thumb_down(pressed)
    w, h = 20, 9
    img = [[B] * w for _ in range(h)]
    for y in range(h):
        for x in range(w):
            c = down[x][y]
            # turning swaps the sides: keep light on the top and left, dark on the right and bottom
            if c == W and y == h - 1:
                c = K
            img[y][x] = c
    for x in range(15):
        img[0][x] = W if img[0][x] != B else B
        img[h - 1][x] = K if img[h - 1][x] != B else B
        if img[h - 2][x] not in (B,):
            img[h - 2][x] = D if x > 0 else img[h - 2][x]
    return img


def pack(images):
    h = len(images[0])
    rows = [sum((img[y] for img in images), []) for y in range(h)]
    w = len(rows[0])
    stride = ((w * 4 + 31) // 32) * 4
    bits = bytearray()
    for row in reversed(rows):
        line = bytearray(stride)
        for x, c in enumerate(row):
            line[x // 2] |= c << (4 if x % 2 == 0 else 0)
        bits += line
    header = struct.pack('<IiiHHIIiiII', 40, w, h, 1, 4, 0, len(bits), 0, 0, 16, 0)
    table = b''.join(struct.pack('BBBB', b, g, r, 0) for (r, g, b) in PALETTE)
    return header + table + bytes(bits)


def main():
    out = sys.argv[1]
    with open(f'{out}/thumb_h.dib', 'wb') as f:
        f.write(pack([thumb_down(False), thumb_down(True)]))
    with open(f'{out}/thumb_v.dib', 'wb') as f:
        f.write(pack([thumb_right(False), thumb_right(True)]))


main()
