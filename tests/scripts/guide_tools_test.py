#!/usr/bin/env python3
"""The checks the guide's build relies on must be able to fail: the grid
check on a grid drawn with a cut date, and the HTML page on a missing
picture. Pictures are drawn here with ImageMagick; run with the Python that
has python3-markdown."""

import base64
import os
import subprocess
import sys
import tempfile
import unittest

SCRIPTS = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "scripts")
sys.path.insert(0, SCRIPTS)
import grid_dates  # noqa: E402
import guide_html  # noqa: E402

# The main window's grid: columns 49, 62, 54, 254, 41 and 67 pixels wide,
# each followed by its 1-pixel line; rows 16 pixels high under their line.
WIDTHS = (49, 62, 54, 254, 41, 67)


def draw_grid(path, date_ends, order_ends):
    """A grid whose row i has ink in the date and order cells up to the
    cells' relative x date_ends[i] and order_ends[i] (None: an empty row)."""
    lines, x = [], 0
    for w in WIDTHS:
        x += w
        lines.append(x)
        x += 1
    height = 17 * (len(date_ends) + 3)
    ops = ["convert", "-size", f"{x + 10}x{height}", "xc:white", "-fill", "#c0c0c0"]
    for lx in lines:
        ops += ["-draw", f"rectangle {lx},0 {lx},{height - 1}"]
    for r in range(len(date_ends) + 3):
        ops += ["-draw", f"rectangle 0,{17 * r + 16} {x - 1},{17 * r + 16}"]
    ops += ["-fill", "black"]
    starts = {1: lines[0] + 1, 5: lines[4] + 1}
    for r, ends in enumerate(zip(date_ends, order_ends), start=1):
        for column, end in zip((1, 5), ends):
            if end is not None:
                left = starts[column] + 2
                ops += ["-draw", f"rectangle {left},{17 * r + 4} {starts[column] + end},{17 * r + 11}"]
    subprocess.run(ops + [path], check=True)


def tiny_png(path, colour):
    subprocess.run(["convert", "-size", "7x5", f"xc:{colour}", "-strip", path], check=True)


class GridDatesTest(unittest.TestCase):
    def run_check(self, date_ends, order_ends):
        with tempfile.TemporaryDirectory() as tmp:
            path = os.path.join(tmp, "grid.png")
            draw_grid(path, date_ends, order_ends)
            return grid_dates.check(path, 0, 0)

    def test_texts_clear_of_their_edges_pass(self):
        self.assertEqual(self.run_check([55, 50, 57], [60, 58, 62]), 0)

    def test_a_date_reaching_its_edge_fails_even_in_one_row(self):
        # The date column is 62 pixels wide: its last pixel is x 61.
        self.assertEqual(self.run_check([55, 61, 50], [60, 60, 60]), 1)
        self.assertEqual(self.run_check([55, 60, 50], [60, 60, 60]), 1)

    def test_an_order_reaching_its_edge_fails(self):
        self.assertEqual(self.run_check([55, 55], [60, 66]), 1)

    def test_an_empty_grid_fails(self):
        self.assertEqual(self.run_check([None, None], [None, None]), 1)


class GuideHtmlTest(unittest.TestCase):
    GUIDE = "# Guide\n\nText.\n\n![The first](one.png)\n\n1. A step\n\n   ![The second](two.png)\n"

    def setUp(self):
        self.tmp = tempfile.TemporaryDirectory()
        self.dir = self.tmp.name
        with open(os.path.join(self.dir, "guide.md"), "w", encoding="utf-8") as f:
            f.write(self.GUIDE)
        tiny_png(os.path.join(self.dir, "one.png"), "red")
        tiny_png(os.path.join(self.dir, "two.png"), "blue")

    def tearDown(self):
        self.tmp.cleanup()

    def convert(self, required):
        return guide_html.convert(os.path.join(self.dir, "guide.md"), self.dir, required)

    def test_pictures_go_inside_the_page_with_their_captions(self):
        page, used = self.convert(["one", "two"])
        self.assertEqual(used, ["one", "two"])
        for name, caption in (("one", "The first"), ("two", "The second")):
            with open(os.path.join(self.dir, name + ".png"), "rb") as f:
                data = f.read()
            uri = "data:image/png;base64," + base64.b64encode(data).decode("ascii")
            self.assertIn(f'<img src="{uri}" width="7" height="5" alt="{caption}">', page)
            self.assertIn(f"<figcaption>{caption}</figcaption>", page)
        self.assertNotIn('src="one.png"', page)
        self.assertIn("<title>Guide</title>", page)

    def test_a_missing_picture_fails(self):
        os.remove(os.path.join(self.dir, "two.png"))
        self.assertIsNone(self.convert([]))

    def test_a_required_picture_the_guide_does_not_show_fails(self):
        self.assertIsNone(self.convert(["one", "three"]))


if __name__ == "__main__":
    unittest.main()
