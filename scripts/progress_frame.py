#!/usr/bin/env python3
"""Picks, from frames filmed during a pass, the one that shows the progress
window best: its step text and a percentage above 0 if any frame has both,
else the text, else a percentage.

Usage:
  scripts/progress_frame.py FRAME_DIR X Y

X, Y: the progress window's client area in the frames (it is centred on
the screen, so in the same place in every frame). Its controls lie on a
panel whose sunken edge takes 2 pixels. Prints the chosen frame's
file name; exits 1 when no frame shows the window.
"""

import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from grid_dates import Picture  # noqa: E402

NAVY = bytes((0, 0, 128))
BLACK = bytes((0, 0, 0))


def score(path, x, y):
    pic = Picture(path)
    x, y = x + 2, y + 2  # the panel's edge
    if x + 400 > pic.width or y + 85 > pic.height:
        return 0
    # The bar (8, 28, 380 x 21) has a black frame; nothing else draws black
    # at both its corners.
    if pic.at(x + 8, y + 28) != BLACK or pic.at(x + 8 + 379, y + 28 + 20) != BLACK:
        return 0
    navy = sum(pic.at(i, j) == NAVY for i in range(x + 9, x + 387) for j in range(y + 29, y + 48))
    text = sum(sum(pic.at(i, j)) < 200 for i in range(x + 8, x + 388) for j in range(y + 8, y + 24))
    return 1 + (2 if text > 20 else 0) + (1 if navy > 20 else 0)


def main():
    if len(sys.argv) != 4:
        print(__doc__, file=sys.stderr)
        return 2
    folder, x, y = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
    best, best_score = None, 0
    for name in sorted(n for n in os.listdir(folder) if n.endswith(".png")):
        s = score(os.path.join(folder, name), x, y)
        if s > best_score:
            best, best_score = name, s
    if best is None:
        print("progress_frame: no frame shows the progress window", file=sys.stderr)
        return 1
    print(best)
    return 0


if __name__ == "__main__":
    sys.exit(main())
