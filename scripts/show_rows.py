"""Prints the first rows of one JSON object from `pxtool dump` (stdin).

usage: python3 show_rows.py [N]

The object's scalar members are printed first, then the first N entries of
its longest list (the rows), one per line, and how many there are in all.
Anything else is pretty-printed and cut after N lines.
"""
import json
import sys


def main() -> int:
    limit = int(sys.argv[1]) if len(sys.argv) > 1 else 15
    text = sys.stdin.buffer.read().decode("utf-8", errors="replace")
    try:
        doc = json.loads(text)
    except json.JSONDecodeError as e:
        print(f"not JSON ({e}); first lines:")
        print("\n".join(text.splitlines()[:limit]))
        return 1

    def dumps(v):
        return json.dumps(v, ensure_ascii=False)

    lists = {k: v for k, v in doc.items() if isinstance(v, list)} if isinstance(doc, dict) else {}
    if not lists:
        print("\n".join(json.dumps(doc, ensure_ascii=False, indent=2).splitlines()[:limit]))
        return 0
    rows_key = max(lists, key=lambda k: len(lists[k]))
    for k, v in doc.items():
        if k == rows_key:
            continue
        if isinstance(v, list) and v and all(isinstance(x, dict) and "name" in x for x in v):
            v = [x["name"] for x in v]  # field descriptions: names are enough
        shown = dumps(v)
        print(f"{k}: {shown if len(shown) <= 200 else shown[:200] + ' ...'}")
    rows = lists[rows_key]
    print(f"{rows_key}: {len(rows)} in all, the first {min(limit, len(rows))}:")
    for row in rows[:limit]:
        print("  " + dumps(row))
    return 0


if __name__ == "__main__":
    sys.exit(main())
