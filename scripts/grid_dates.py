#!/usr/bin/env python3
"""Checks on a screenshot of the main window that the grid shows its dates
and order numbers whole.

Usage:
  scripts/grid_dates.py PICTURE X Y

X, Y: where the grid's client area (the header row's top-left cell)
begins in PICTURE. The grid's cells are found by their lines: rows 16
pixels high under 1-pixel lines, columns between the vertical lines. A text
wider than its cell is cut at the cell's edge, so some row's glyph reaches
the column's last pixels (the rows' last digits differ, so a cut that falls
between two glyphs of one row falls inside a glyph of another); a whole text
ends with clear pixels before the line. Exits 1, saying which row is cut,
when a date or an order number reaches its column's edge, or when no row is
filled at all.
"""

import subprocess
import sys

ROW = 17            # 16-pixel rows and their line
DATE, ORDER = 1, 5  # columns "Дата" and "Заказ"
MARGIN = 2          # clear pixels wanted between the text and the line


def read_rgb(path):
    size = subprocess.run(["identify", "-format", "%w %h", path + "[0]"],
                          check=True, capture_output=True, text=True).stdout
    width, height = map(int, size.split())
    raw = subprocess.run(["convert", path + "[0]", "-depth", "8", "rgb:-"],
                         check=True, capture_output=True).stdout
    return width, height, raw


class Picture:
    def __init__(self, path):
        self.width, self.height, self.raw = read_rgb(path)

    def at(self, x, y):
        i = 3 * (y * self.width + x)
        return self.raw[i:i + 3]


def column_lines(pic, gx, row_top, right):
    """x of every vertical grid line crossing the row that starts at row_top."""
    line = pic.at(gx + 49, row_top)  # the first column is 49 pixels wide
    return [x for x in range(gx, right)
            if all(pic.at(x, y) == line for y in range(row_top, row_top + ROW - 1))]


def last_ink(pic, left, right, top):
    """The rightmost column in [left, right) of one row's cell holding a
    pixel other than the cell's background (its top-left pixel), or None."""
    background = pic.at(left, top)
    for x in range(right - 1, left - 1, -1):
        if any(pic.at(x, y) != background for y in range(top + 1, top + ROW - 2)):
            return x
    return None


def check(path, gx, gy):
    pic = Picture(path)
    right = min(pic.width, gx + 540)
    problems, rows = [], 0
    slack = {DATE: [], ORDER: []}
    top = gy + ROW  # row 1: the header is row 0
    while top + ROW <= pic.height:
        lines = column_lines(pic, gx, top, right)
        if len(lines) < 6:
            break  # below the last row
        cells = {DATE: (lines[0] + 1, lines[1]), ORDER: (lines[4] + 1, lines[5])}
        ink = {c: last_ink(pic, l, r, top) for c, (l, r) in cells.items()}
        if ink[DATE] is None:
            break  # an empty row: the list has ended
        rows += 1
        row = (top - gy) // ROW
        for c, name in ((DATE, "date"), (ORDER, "order")):
            l, r = cells[c]
            clear = r - 1 - ink[c] if ink[c] is not None else 0
            slack[c].append(clear)
            if clear < MARGIN:
                problems.append(f"row {row}: the {name} reaches its column's edge (x {ink[c]} of {l}..{r - 1})")
        top += ROW
    if rows == 0:
        problems.append("no filled row in the grid")
    for p in problems:
        print(f"grid_dates: {path}: {p}", file=sys.stderr)
    if problems:
        return 1
    print(f"grid_dates: {rows} rows whole; clear pixels after the text: "
          f"dates at least {min(slack[DATE])}, orders at least {min(slack[ORDER])}")
    return 0


if __name__ == "__main__":
    if len(sys.argv) != 4:
        print(__doc__, file=sys.stderr)
        sys.exit(2)
    sys.exit(check(sys.argv[1], int(sys.argv[2]), int(sys.argv[3])))
