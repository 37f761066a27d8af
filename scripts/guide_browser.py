#!/usr/bin/env python3
"""Opens an HTML guide in headless Chromium, keeps its screenshot, and
checks that the browser shows every picture the page holds, pixel for
pixel.

Usage:
  scripts/guide_browser.py GUIDE.html SCREENSHOT.png

The page is drawn 1000 pixels wide and as tall as needed; the screenshot is
cut below the page's last line. A picture counts as shown when one of its
rows (a third of the way down, where the windows have text) is found in the
screenshot at the picture's own size. Exits 1 when one is not.
"""

import base64
import os
import re
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from grid_dates import Picture  # noqa: E402

WIDTH, HEIGHT = 1000, 12000


def chromium_shot(page, shot, profile):
    subprocess.run(
        ["chromium", "--headless", "--no-sandbox", "--disable-gpu", "--hide-scrollbars",
         "--force-device-scale-factor=1", "--no-first-run", f"--user-data-dir={profile}",
         f"--window-size={WIDTH},{HEIGHT}", f"--screenshot={shot}", "file://" + os.path.abspath(page)],
        check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=120)


def main():
    if len(sys.argv) != 3:
        print(__doc__, file=sys.stderr)
        return 2
    page, shot = sys.argv[1], sys.argv[2]
    with open(page, encoding="utf-8") as f:
        uris = re.findall(r'src="data:image/png;base64,([A-Za-z0-9+/=]+)"', f.read())
    with tempfile.TemporaryDirectory() as tmp:
        raw = os.path.join(tmp, "page.png")
        chromium_shot(page, raw, os.path.join(tmp, "profile"))
        screen = Picture(raw)
        rows = [screen.raw[y * 3 * screen.width:(y + 1) * 3 * screen.width] for y in range(screen.height)]
        missing = []
        for i, uri in enumerate(uris):
            path = os.path.join(tmp, f"{i}.png")
            with open(path, "wb") as f:
                f.write(base64.b64decode(uri))
            pic = Picture(path)
            y = pic.height // 3
            row = pic.raw[y * 3 * pic.width:(y + 1) * 3 * pic.width]
            if not any(row in r for r in rows):
                missing.append(f"picture {i + 1} ({pic.width}x{pic.height})")
        # Cut the screenshot below the last row that is not plain background.
        last = max((y for y, r in enumerate(rows) if r.count(r[:3]) * 3 != len(r)), default=0)
        subprocess.run(["convert", raw, "-crop", f"{WIDTH}x{last + 40}+0+0", "+repage", shot], check=True)
    if not uris:
        missing.append("no picture in the page")
    for m in missing:
        print(f"guide_browser: {page}: the browser does not show {m}", file=sys.stderr)
    if missing:
        return 1
    print(f"guide_browser: {shot}: {len(uris)} pictures shown whole")
    return 0


if __name__ == "__main__":
    sys.exit(main())
