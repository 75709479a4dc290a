#!/usr/bin/env python3
"""Writes the page-turn cursors of the score preview as cursor resources (encoded by
make_cursors.py: hot spot, then a monochrome DIB holding the colour mask above the transparency mask).

page_turn_right.cur ("PageTurnRight"): a white page with a folded corner and a black arrow to the right.
page_turn_left.cur ("PageTurnLeft"): its mirror image.
Both are 32 x 32; the hot spot is the middle of the arrow.
Usage: make_page_cursors.py OUTDIR
"""
import sys

from make_cursors import encode_cursor

SIZE = 32


def right_turn():
    """The black and white pixels of the right-turn cursor and its hot spot."""
    black, white = set(), set()
    left, top, right, bottom, fold = 3, 5, 16, 26, 5
    # The page's outline with its top-right corner folded over.
    for y in range(top, bottom + 1):
        black.add((left, y))
    for x in range(left, right + 1):
        black.add((x, bottom))
    for x in range(left, right - fold + 1):
        black.add((x, top))
    for y in range(top + fold, bottom + 1):
        black.add((right, y))
    for k in range(fold + 1):
        black.add((right - fold + k, top + k))  # the fold's diagonal
        black.add((right - fold, top + k))  # the fold's edges
        black.add((right - fold + k, top + fold))
    for y in range(top + 1, bottom):
        for x in range(left + 1, right):
            inside_fold = x > right - fold and y < top + fold and (x - (right - fold)) > (y - top)
            if (x, y) not in black and not inside_fold:
                white.add((x, y))
    # Lines of print on the page.
    for y in range(top + 8, bottom - 2, 3):
        for x in range(left + 3, right - 3):
            black.add((x, y))
            white.discard((x, y))
    # The arrow: a shaft on rows 15 and 16 and a head reaching column 29.
    for x in range(12, 26):
        black.update({(x, 15), (x, 16)})
    for k in range(6):
        for y in range(15 - k, 17 + k):
            black.add((29 - k, y))
    for (x, y) in list(black):
        for dx in (-1, 0, 1):
            for dy in (-1, 0, 1):
                p = (x + dx, y + dy)
                if p not in black and 0 <= p[0] < SIZE and 0 <= p[1] < SIZE:
                    white.add(p)
    white -= black
    return black, white, (22, 15)


def mirror(points):
    return {(SIZE - 1 - x, y) for (x, y) in points}


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else "."
    black, white, hot = right_turn()
    with open(f"{out}/page_turn_right.cur", "wb") as f:
        f.write(encode_cursor(black, white, hot))
    with open(f"{out}/page_turn_left.cur", "wb") as f:
        f.write(encode_cursor(mirror(black), mirror(white), (SIZE - 1 - hot[0], hot[1])))


if __name__ == "__main__":
    main()
