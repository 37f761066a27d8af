#!/usr/bin/env python3
"""Turns the operator's guide from Markdown into one HTML file that opens in
any browser, its pictures inside it as data URIs.

Usage:
  scripts/guide_html.py GUIDE.md PICTURE_DIR OUT.html --require NAME[,NAME...]

A picture is written in the guide as ![caption](NAME.png) on a line of its
own; it is read from PICTURE_DIR and shown with its caption under it. Fails,
writing nothing, when a picture the guide names is not in PICTURE_DIR, or
when a picture named by --require is not in the guide.
"""

import argparse
import base64
import html
import os
import re
import struct
import sys

import markdown

STYLE = """
body { font: 15px/1.5 "Segoe UI", Tahoma, Arial, sans-serif; color: #1a1a1a;
       max-width: 60em; margin: 2em auto; padding: 0 1.5em; }
h1 { font-size: 1.8em; border-bottom: 2px solid #3a6ea5; padding-bottom: .2em; }
h2 { font-size: 1.35em; margin-top: 1.8em; color: #23486e; }
table { border-collapse: collapse; margin: 1em 0; }
th, td { border: 1px solid #b8c4d0; padding: .3em .6em; text-align: left; vertical-align: top; }
th { background: #e8eef5; }
code { font-family: Consolas, "Courier New", monospace; font-size: .92em;
       background: #f2f4f7; padding: 0 .2em; }
pre { background: #f2f4f7; border: 1px solid #d5dbe2; padding: .7em 1em; overflow-x: auto; }
pre code { background: none; padding: 0; }
figure { margin: 1.2em 0; }
figure img { display: block; max-width: 100%; height: auto; border: 1px solid #c8c8c8; }
figcaption { color: #555; font-size: .9em; margin-top: .3em; }
"""

PICTURE = re.compile(r'<p><img alt="([^"]*)" src="([^"]+)"\s*/?></p>')


def png_size(data):
    if data[:8] != b"\x89PNG\r\n\x1a\n" or data[12:16] != b"IHDR":
        raise ValueError("not a PNG file")
    return struct.unpack(">II", data[16:24])


def convert(source, pictures, required):
    with open(source, encoding="utf-8-sig") as f:
        text = f.read()
    title = next((line[2:].strip() for line in text.splitlines() if line.startswith("# ")), "AdvClean")
    lang = "ru" if re.search("[а-яА-Я]", title) else "en"
    body = markdown.markdown(text, extensions=["tables", "fenced_code", "sane_lists"])
    used, problems = [], []

    def figure(match):
        caption, name = html.unescape(match.group(1)), match.group(2)
        path = os.path.join(pictures, os.path.basename(name))
        used.append(os.path.splitext(os.path.basename(name))[0])
        try:
            with open(path, "rb") as f:
                data = f.read()
            width, height = png_size(data)
        except (OSError, ValueError) as e:
            problems.append(f"picture {name}: {e}")
            return match.group(0)
        uri = "data:image/png;base64," + base64.b64encode(data).decode("ascii")
        return (f'<figure><img src="{uri}" width="{width}" height="{height}" alt="{html.escape(caption)}">'
                f"<figcaption>{html.escape(caption)}</figcaption></figure>")

    body = PICTURE.sub(figure, body)
    if "<img" in body.replace("<figure><img", ""):
        problems.append("a picture that is not on a line of its own, or is missing")
    for name in required:
        if name not in used:
            problems.append(f"the guide shows no picture {name}.png")
    if problems:
        for p in problems:
            print(f"guide_html: {source}: {p}", file=sys.stderr)
        return None
    return (f'<!DOCTYPE html>\n<html lang="{lang}">\n<head>\n<meta charset="utf-8">\n'
            f'<meta name="viewport" content="width=device-width, initial-scale=1">\n'
            f"<title>{html.escape(title)}</title>\n<style>{STYLE}</style>\n</head>\n"
            f"<body>\n{body}\n</body>\n</html>\n"), used


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("source")
    parser.add_argument("pictures")
    parser.add_argument("out")
    parser.add_argument("--require", default="", help="pictures the guide must show, comma-separated")
    args = parser.parse_args()
    required = [n for n in args.require.split(",") if n]
    result = convert(args.source, args.pictures, required)
    if result is None:
        return 1
    page, used = result
    tmp = args.out + ".tmp"
    with open(tmp, "w", encoding="utf-8") as f:
        f.write(page)
    os.replace(tmp, args.out)
    print(f"guide_html: {args.out}: {len(page.encode('utf-8'))} bytes, pictures {', '.join(used)}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
