#!/usr/bin/env python3
"""Picks, from frames filmed during a pass, the one that shows the progress
window best: its step text and a percentage above 0 if any frame has both,
else the text, else a percentage, else the bare window.

Usage:
  scripts/progress_frame.py FRAME_DIR

The window is found by its percentage bar: a black frame of exactly 380 x
21 pixels, with the message line 20 pixels above it. Prints the chosen
frame's file name; exits 1 when no frame shows the window.
"""

import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from grid_dates import Picture  # noqa: E402

NAVY = bytes((0, 0, 128))
BLACK = bytes((0, 0, 0))
BAR_W, BAR_H = 380, 21


def find_bar(pic):
    """The top-left corner of the bar's frame, or None."""
    edge = BLACK * BAR_W
    for y in range(BAR_H + 20, pic.height - BAR_H):
        row = pic.raw[3 * y * pic.width:3 * (y + 1) * pic.width]
        start = row.find(edge)
        while start >= 0:
            x = start // 3
            if (start % 3 == 0 and pic.at(x - 1, y) != BLACK and pic.at(x + BAR_W, y) != BLACK and
                    all(pic.at(x, j) == BLACK and pic.at(x + BAR_W - 1, j) == BLACK
                        for j in range(y, y + BAR_H)) and
                    all(pic.at(i, y + BAR_H - 1) == BLACK for i in range(x, x + BAR_W))):
                return x, y
            start = row.find(edge, start + 1)
    return None


def score(path):
    pic = Picture(path)
    bar = find_bar(pic)
    if bar is None:
        return 0
    x, y = bar
    navy = sum(pic.at(i, j) == NAVY for i in range(x + 1, x + BAR_W - 1) for j in range(y + 1, y + BAR_H - 1))
    text = sum(sum(pic.at(i, j)) < 200 for i in range(x, x + BAR_W) for j in range(y - 20, y - 4))
    return 1 + (2 if text > 20 else 0) + (1 if navy > 20 else 0)


def main():
    if len(sys.argv) != 2:
        print(__doc__, file=sys.stderr)
        return 2
    folder = sys.argv[1]
    best, best_score = None, 0
    for name in sorted(n for n in os.listdir(folder) if n.endswith(".png")):
        s = score(os.path.join(folder, name))
        if s > best_score:
            best, best_score = name, s
    if best is None:
        print("progress_frame: no frame shows the progress window", file=sys.stderr)
        return 1
    print(best)
    return 0


if __name__ == "__main__":
    sys.exit(main())
