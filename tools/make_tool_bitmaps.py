#!/usr/bin/env python3
"""Writes the viewer's tool-button pictures as packed 4-bit DIBs named <command id>.dib.

Each picture is 16 x 15 pixels in the standard button colours (black, dark grey, light grey face, white)
plus a few colours of its own; the button maps the four standard ones to the system's colours.
Usage: make_tool_bitmaps.py OUTDIR
"""
import sys

from dib4 import Picture, write_pictures

W, H = 16, 15
# 0 black, 1 dark grey, 2 face, 3 white, 4 dark blue, 5 yellow, 6 dark red, 7 green
PALETTE = [(0, 0, 0), (128, 128, 128), (192, 192, 192), (255, 255, 255), (0, 0, 128), (255, 255, 0),
           (160, 0, 0), (0, 128, 0)] + [(192, 192, 192)] * 8
K, D, F, Wh, B, Y, R, G = range(8)


class Pic(Picture):
    def __init__(self):
        super().__init__(W, H, PALETTE, F)

    def tri_right(self, x0, yc, size, c):
        for i in range(size):
            for y in range(yc - (size - 1 - i), yc + (size - i)):
                self.px(x0 + i, y, c)

    def tri_left(self, x1, yc, size, c):
        for i in range(size):
            for y in range(yc - (size - 1 - i), yc + (size - i)):
                self.px(x1 - i, y, c)


def page(p):
    p.rect(3, 1, 11, 13, K, Wh)
    p.line(9, 1, 11, 3, K)


def magnifier(p, sign):
    p.rect(2, 1, 9, 8, K, Wh)
    p.px(2, 1, F), p.px(9, 1, F), p.px(2, 8, F), p.px(9, 8, F)
    p.line(9, 9, 13, 13, K)
    p.line(10, 9, 14, 13, K)
    p.line(4, 4, 7, 4, K)
    p.line(4, 5, 7, 5, K)
    if sign == '+':
        p.line(5, 3, 5, 6, K)
        p.line(6, 3, 6, 6, K)


def speaker(p):
    p.rect(2, 5, 4, 9, K, D)
    for i in range(4):
        p.line(5 + i, 5 - i, 5 + i, 9 + i, K)


DIGITS = {'1': [' # ', '## ', ' # ', ' # ', ' # ', '###'], '2': ['## ', '  #', ' # ', '#  ', '#  ', '###']}


def build():
    pics = {}

    p = Pic()  # Open: a folder
    p.rect(1, 4, 13, 12, K, Y)
    p.line(2, 3, 5, 3, K)
    p.line(8, 2, 13, 2, B), p.line(13, 2, 14, 4, B), p.tri_right(12, 3, 1, B)
    pics[110] = p

    p = Pic()  # Information
    p.rect(4, 1, 11, 13, B, Wh)
    p.text(['##', '  ', '##', '##', '##', '##', '##', '##'], 7, 3, B)
    pics[111] = p

    p = Pic()  # Print Preview: a page and a glass
    page(p)
    p.rect(5, 5, 9, 9, K, Wh)
    p.line(9, 10, 12, 13, K)
    pics[114] = p

    p = Pic()  # Print: a printer
    p.rect(4, 1, 11, 6, K, Wh)
    p.rect(1, 6, 14, 11, K, F)
    p.line(2, 10, 13, 10, D)
    p.rect(4, 9, 11, 13, K, Wh)
    p.px(12, 8, G)
    pics[113] = p

    p = Pic()
    magnifier(p, '+')
    pics[118] = p
    p = Pic()
    magnifier(p, '-')
    pics[119] = p

    p = Pic()  # Volume control
    speaker(p)
    for y in (3, 7, 11):
        p.line(11, 7, 14, y, D)
    pics[122] = p

    for cmd, digit in ((116, '1'), (117, '2')):
        p = Pic()  # Open in the editor: a page with its number
        page(p)
        p.text(DIGITS[digit], 6, 5, B)
        pics[cmd] = p

    p = Pic()  # Options: a check box
    p.rect(2, 2, 12, 12, K, Wh)
    p.line(4, 7, 6, 9, K), p.line(4, 8, 6, 10, K)
    p.line(6, 9, 10, 4, K), p.line(6, 10, 10, 5, K)
    pics[54] = p

    p = Pic()  # Play
    p.tri_right(5, 7, 6, G)
    pics[120] = p

    p = Pic()  # Stop
    p.rect(3, 3, 11, 11, K, K)
    pics[121] = p

    p = Pic()  # Pause
    p.rect(3, 3, 5, 11, K, K)
    p.rect(9, 3, 11, 11, K, K)
    pics[125] = p

    p = Pic()  # Repeat: a loop with an arrow
    p.line(3, 3, 11, 3, K), p.line(3, 11, 11, 11, K)
    p.line(2, 4, 2, 10, K), p.line(12, 4, 12, 8, K)
    p.tri_left(14, 8, 0, K)
    for i in range(3):
        p.line(10 + i, 8 + i, 14 - i, 8 + i, K)
    pics[123] = p

    p = Pic()  # Faster
    p.tri_right(2, 7, 5, K)
    p.tri_right(8, 7, 5, K)
    pics[128] = p

    p = Pic()  # Slower
    p.tri_left(7, 7, 5, K)
    p.tri_left(13, 7, 5, K)
    pics[129] = p

    p = Pic()  # Mute list: a speaker crossed out
    speaker(p)
    p.line(10, 4, 14, 10, R), p.line(10, 10, 14, 4, R)
    pics[132] = p

    p = Pic()  # Go to start
    p.rect(2, 2, 3, 12, K, K)
    p.tri_left(10, 7, 6, K)
    pics[133] = p

    p = Pic()  # Go to end
    p.tri_right(4, 7, 6, K)
    p.rect(11, 2, 12, 12, K, K)
    pics[134] = p

    p = Pic()  # Transpose menu: up and down
    p.tri_left(4, 4, 0, K)
    for i in range(4):
        p.line(4 - i, 1 + i, 4 + i, 1 + i, K)
        p.line(10 - i, 13 - i, 10 + i, 13 - i, K)
    p.line(4, 5, 4, 12, K), p.line(10, 2, 10, 9, K)
    pics[136] = p
    return pics


def main():
    write_pictures(sys.argv[1], build())


if __name__ == '__main__':
    main()
