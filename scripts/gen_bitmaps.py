#!/usr/bin/env python3
"""Writes the bitmaps of the folder field and the folder dialog to
src/ui/resources/: 16-colour BMP files drawn below as character maps.

Usage:
  scripts/gen_bitmaps.py            rewrite the files
  scripts/gen_bitmaps.py --check    exit 1 when a committed file is stale

Every picture keeps its bottom-left pixel in the background colour (fuchsia),
which the controls draw transparent.
"""

import argparse
import os
import struct
import sys

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
OUT = os.path.join(ROOT, "src", "ui", "resources")

# The 16 colours of the standard palette, as (red, green, blue).
PALETTE = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0),
    (0, 0, 128), (128, 0, 128), (0, 128, 128), (192, 192, 192),
    (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0),
    (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]
COLOURS = {
    "K": 0, "M": 1, "g": 2, "O": 3, "N": 4, "P": 5, "T": 6, "S": 7,
    "G": 8, "R": 9, "L": 10, "Y": 11, "B": 12, ".": 13, "A": 14, "W": 15,
}

# 14 x 12: an open folder with a curved arrow pointing down into it.
FEDITBMP = """
........KKK...
.......K...K..
...........K..
.........KKKKK
..........KKK.
.KKKK......K..
KWWWWKKKKK....
KWWWWWWWWWK...
KWWKKKKKKKKKKK
KWKGGGGGGGGGK.
KKGGGGGGGGGK..
.KKKKKKKKKK...
"""

# 16 x 15 folders.
OPENFOLDER = """
................
................
................
..KKKKK.........
.KOOOOOK........
.KOOOOOOKKKKKK..
.KOOOOOOOOOOOK..
.KOOKKKKKKKKKKKK
.KOKYYYYYYYYYYK.
.KOKYYYYYYYYYYK.
.KKYYYYYYYYYYK..
.KKYYYYYYYYYYK..
.KKKKKKKKKKKKK..
................
................
"""

CLOSEDFOLDER = """
................
................
................
..KKKKK.........
.KYYYYYK........
.KKKKKKKKKKKKKK.
.KWYYYYYYYYYYOK.
.KYYYYYYYYYYYOK.
.KYYYYYYYYYYYOK.
.KYYYYYYYYYYYOK.
.KYYYYYYYYYYYOK.
.KOOOOOOOOOOOOK.
.KKKKKKKKKKKKKK.
................
................
"""

# 16 x 11 drives.
FLOPPY = """
...KKKKKKKKKKK..
...KGKSSSSKGGK..
...KGKSSKSKGGK..
...KGKSSSSKGGK..
...KGGGGGGGGGK..
...KGWWWWWWWGK..
...KGWKKKKKWGK..
...KGWWWWWWWGK..
...KGWKKKKKWGK..
...KGWWWWWWWGK..
...KKKKKKKKKKK..
"""

HARD = """
................
................
...KKKKKKKKKKKK.
..KWWWWWWWWWWKK.
.KKKKKKKKKKKKSK.
.KSSSSSSSSSSKSK.
.KSSSSSSSSLLKSK.
.KSSSSSSSSSSKK..
.KKKKKKKKKKKK...
................
................
"""

NETWORK = """
...KKKKKKKKKKKK.
..KWWWWWWWWWWKK.
.KKKKKKKKKKKKSK.
.KSSSSSSSSSSKSK.
.KSSSSSSSSLLKK..
.KKKKKKKKKKKK...
......KK........
......KK........
.KKKKKKKKKKKKKK.
................
................
"""

CDROM = """
.....KKKKK......
...KKSSWSSKK....
..KSSSSWWSSSK...
.KSSSSSSWSSSSK..
.KSSSSKKKSSSSK..
.KSSSSK.KSSSSK..
.KSSSSKKKSSSSK..
.KSSSSSSSSSSSK..
..KSSSSSSSSSK...
...KKSSSSSKK....
.....KKKKK......
"""

RAM = """
................
..K.K.K.K.K.K...
..K.K.K.K.K.K...
.KKKKKKKKKKKKK..
.KgggggggggggK..
.KgKKgKKgKKggK..
.KgKKgKKgKKggK..
.KgggggggggggK..
.KKKKKKKKKKKKK..
..K.K.K.K.K.K...
..K.K.K.K.K.K...
"""


def rows_of(art, width, height):
    rows = [r for r in art.strip("\n").split("\n")]
    assert len(rows) == height, f"{len(rows)} rows, expected {height}"
    for r in rows:
        assert len(r) == width, f"row {r!r} is {len(r)} wide, expected {width}"
    return [[COLOURS[c] for c in r] for r in rows]


def half_tone(rows):
    """The folder with every other pixel of its inside left out."""
    outline = COLOURS["K"]
    return [[c if c in (outline, COLOURS["."]) or (x + y) % 2 else COLOURS["."]
             for x, c in enumerate(row)] for y, row in enumerate(rows)]


def bmp(rows):
    height, width = len(rows), len(rows[0])
    stride = ((width * 4 + 31) // 32) * 4
    pixels = b""
    for row in reversed(rows):  # bottom-up
        line = bytearray(stride)
        for x, c in enumerate(row):
            line[x // 2] |= c << (4 if x % 2 == 0 else 0)
        pixels += bytes(line)
    palette = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in PALETTE)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 4, 0, len(pixels), 0, 0, 16, 0)
    offset = 14 + len(info) + len(palette)
    header = struct.pack("<2sIHHI", b"BM", offset + len(pixels), 0, 0, offset)
    return header + info + palette + pixels


def pictures():
    open_folder = rows_of(OPENFOLDER, 16, 15)
    return {
        "feditbmp.bmp": rows_of(FEDITBMP, 14, 12),
        "openfolder.bmp": open_folder,
        "currentfolder.bmp": half_tone(open_folder),
        "closedfolder.bmp": rows_of(CLOSEDFOLDER, 16, 15),
        "floppy.bmp": rows_of(FLOPPY, 16, 11),
        "hard.bmp": rows_of(HARD, 16, 11),
        "network.bmp": rows_of(NETWORK, 16, 11),
        "cdrom.bmp": rows_of(CDROM, 16, 11),
        "ram.bmp": rows_of(RAM, 16, 11),
    }


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--check", action="store_true")
    args = parser.parse_args()
    stale = []
    for name, rows in pictures().items():
        assert rows[-1][0] == COLOURS["."], f"{name}: the bottom-left pixel must be the background"
        data = bmp(rows)
        path = os.path.join(OUT, name)
        if args.check:
            if not os.path.exists(path) or open(path, "rb").read() != data:
                stale.append(name)
        else:
            with open(path, "wb") as f:
                f.write(data)
    if stale:
        print("stale: " + ", ".join(stale) + " (run scripts/gen_bitmaps.py)", file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
