#!/usr/bin/env python3
"""Writes the pictures of the plug-in's player-bar buttons as packed 4-bit DIBs named <command id>.dib.

Each picture is 18 x 16 pixels; colour 15 is the background, which the button shows in the button face.
Usage: make_buttons.py OUTDIR
"""
import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', '..', 'tools'))
from dib4 import Picture, write_pictures  # noqa: E402

W, H = 18, 16
# 0 black, 1 dark grey, 2 light grey, 3 white, 4 dark blue, 5 yellow, 6 dark red, 7 green, 8 blue,
# 15 background
PALETTE = [(0, 0, 0), (128, 128, 128), (192, 192, 192), (255, 255, 255), (0, 0, 128), (255, 255, 0),
           (160, 0, 0), (0, 128, 0), (0, 0, 255)] + [(192, 192, 192)] * 6 + [(192, 192, 192)]
K, D, L, Wh, B, Y, R, G, Bl = range(9)
BG = 15


class Pic(Picture):
    def __init__(self):
        super().__init__(W, H, PALETTE, BG)

    def disc(self, cx, cy, r, c, fill):
        for y in range(H):
            for x in range(W):
                d = (x - cx) ** 2 + (y - cy) ** 2
                if d <= r * r:
                    self.px(x, y, fill if d < (r - 1) ** 2 else c)


def magnifier(sign):
    p = Pic()
    p.disc(7, 6, 6, K, Wh)
    p.line(11, 10, 15, 14, K), p.line(12, 10, 16, 14, K), p.line(11, 11, 15, 15, K)
    p.line(4, 6, 10, 6, B)
    if sign == '+':
        p.line(7, 3, 7, 9, B)
    return p


def build():
    pics = {}
    p = Pic()  # About: a question mark in a bubble
    p.disc(8, 7, 7, K, Y)
    p.text([' ### ', '#   #', '    #', '   # ', '  #  ', '  #  ', '     ', '  #  '], 6, 3, K)
    pics[101] = p

    p = Pic()  # Song information: an "i" on a page
    p.rect(3, 0, 14, 15, K, Wh)
    p.text(['##', '  ', '##', '##', '##', '##', '##', '##', '##'], 8, 3, B)
    p.line(7, 5, 7, 5, B), p.line(7, 11, 10, 11, B)
    pics[102] = p

    pics[103] = magnifier('+')  # Zoom in
    pics[104] = magnifier('-')  # Zoom out

    p = Pic()  # Play: a green triangle
    for i in range(11):
        p.line(5 + i, 2 + i // 2, 5 + i, 13 - i // 2, G)
    p.line(5, 2, 15, 7, K), p.line(5, 13, 15, 8, K), p.line(5, 2, 5, 13, K)
    pics[105] = p

    p = Pic()  # Stop: a square
    p.rect(4, 3, 13, 12, K, R)
    pics[106] = p

    p = Pic()  # Open in the viewer: a window with an arrow into it
    p.rect(5, 4, 17, 15, K, Wh)
    p.rect(5, 4, 17, 6, K, Bl)
    p.line(0, 1, 8, 9, G), p.line(1, 1, 9, 9, G), p.line(0, 2, 8, 10, G)
    p.line(9, 5, 9, 10, G), p.line(4, 10, 9, 10, G)
    pics[107] = p

    p = Pic()  # Pause: two bars
    p.rect(5, 3, 7, 12, K, B)
    p.rect(10, 3, 12, 12, K, B)
    pics[109] = p

    p = Pic()  # Volume: a loudspeaker with sound
    p.rect(2, 6, 5, 10, K, D)
    for i in range(5):
        p.line(6 + i, 5 - i, 6 + i, 11 + i, K)
    p.line(6, 5, 10, 1, K), p.line(6, 11, 10, 15, K)
    p.line(13, 5, 14, 8, B), p.line(14, 8, 13, 11, B)
    p.line(15, 3, 17, 8, B), p.line(17, 8, 15, 13, B)
    pics[110] = p

    p = Pic()  # Save a copy: a disk
    p.rect(2, 1, 15, 14, K, B)
    p.rect(5, 1, 12, 6, K, Wh)
    p.rect(5, 9, 12, 14, K, L)
    p.rect(9, 10, 10, 12, K, K)
    pics[111] = p
    return pics


def main():
    write_pictures(sys.argv[1], build())


if __name__ == '__main__':
    main()
