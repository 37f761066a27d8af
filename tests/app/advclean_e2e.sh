#!/usr/bin/env bash
# End-to-end run of the real AdvClean.exe under Wine, driven from outside
# with xdotool on a virtual screen:
#
#   advclean_e2e.sh BUILD_DIR ADVCLEAN_EXE PXTOOL_EXE ARTEFACT_DIR PROBE_EXE
#
# 1. pxtool.exe writes a sample table to C:\Morvane of the build's prefix;
# 2. AdvClean.exe starts; the buttons' gradients are checked by pixels on
#    a screenshot; "1. Выполнить анализ" is pressed and the grid
#    fills; "2. Удалить дубли" is pressed and the outcome dialog's title is
#    read ("Information"); the dialog is answered and a second analysis
#    finds nothing; the program is closed with WM_CLOSE;
# 3. pxtool.exe checks the table and its rows are verified;
# 4. the folder field's button opens "Select Directory"; the subfolder
#    C:\Morvane\Эфир is opened by a double click and taken with OK; both
#    passes then clean the table there and leave C:\Morvane's alone; the
#    dialog's lists keep their sizes and line height, and their labels'
#    accelerators move the focus under real key presses;
# 5. that table damaged: the engine's error, naming it, reaches the
#    default error display, a box titled after the executable ("Advclean"),
#    and the program goes on; that table missing: "Нет базы" and its path;
# 6. the dialog opened again at the Cyrillic folder, cancelled with Escape,
#    and the program closed.
# Texts, list lines, focus and control sizes are read from the running
# program with PROBE_EXE (window_probe); screenshots of each step go to
# ARTEFACT_DIR.
set -euo pipefail

build_dir=$1
advclean=$2
pxtool=$3
artefacts=$4
probe_exe=$5
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(cd "$here/../.." && pwd)
wine_run=$root/cmake/wine-run.sh
source "$root/scripts/common.sh"
source "$root/scripts/window_driver.sh"

export ADVCLEAN_WINEPREFIX=$build_dir/wineprefix
export WINEDEBUG=-all
# Wine reads file names and command lines in the locale's character set;
# the Cyrillic folder needs UTF-8 (C.UTF-8 keeps the English defaults).
if [ "$(locale charmap 2>/dev/null)" != UTF-8 ]; then
  export LC_ALL=C.UTF-8 LANG=C.UTF-8
fi
mkdir -p "$artefacts"
rm -f "$artefacts"/*.png "$artefacts"/*.json

app_pid=""
cleanup() {
  end_process "$app_pid"
  if [ -n "$ADVCLEAN_XVFB_PID" ]; then
    WINEPREFIX=$ADVCLEAN_WINEPREFIX timeout 20 wineserver -w 2>/dev/null || true
    stop_xvfb
  fi
}
trap cleanup EXIT

fail() {
  echo "e2e: FAILED: $*" >&2
  import -window root "$artefacts/failure.png" 2>/dev/null || true
  exit 1
}

if [ -z "${DISPLAY:-}" ]; then
  start_xvfb || fail "no Xvfb"
fi

wine_() { bash "$wine_run" "$@"; }

shot() { import -window root "$artefacts/$1.png"; echo "e2e: screenshot $artefacts/$1.png"; }
# window_shot NAME WINDOW: the window alone; field_shot NAME MAIN: the
# folder field and its label, enlarged four times.
window_shot() {
  window_geometry "$2"
  import -window root -crop "${WIDTH}x${HEIGHT}+${X}+${Y}" +repage "$artefacts/$1.png"
  echo "e2e: screenshot $artefacts/$1.png"
}
field_shot() {
  window_geometry "$2"
  import -window root -crop "537x50+${X}+${Y}" +repage png:- | convert - -scale 400% "$artefacts/$1.png"
  echo "e2e: screenshot $artefacts/$1.png"
}
# Waits for the program started last to end.
wait_program_end() {
  for _ in $(seq 1 100); do
    kill -0 "$app_pid" 2>/dev/null || break
    sleep 0.2
  done
  kill -0 "$app_pid" 2>/dev/null && return 1
  wait "$app_pid" || return 1
  app_pid=""
}

# check_cleaned BEFORE.json AFTER.json: every row dated before 2011 is gone;
# of the rest, only copies went: each row deleted has an identical row (all
# six fields) left in the table.
check_cleaned() {
  python3 - "$1" "$2" <<'PY'
import collections, json, sys
def rows(path):
    d = json.load(open(path))
    names = [f["name"] for f in d["fields"]]
    i = [names.index(n) for n in ("FName", "FDate", "FTime", "FNumber", "FOrder", "FYearOrder")]
    return [tuple(r[k] for k in i) for r in d["records"]]
before, after = rows(sys.argv[1]), rows(sys.argv[2])
old = lambda r: r[1] is not None and r[1] < "2011-01-01"
assert not [r for r in after if old(r)], "rows dated before 2011 are left"
kept, left = collections.Counter(r for r in before if not old(r)), collections.Counter(after)
assert not (left - kept), "rows appeared that were not there"
lost = [r for r in kept if left[r] == 0]
assert not lost, f"{len(lost)} rows went without a copy left, e.g. {lost[0]}"
deleted = sum((kept - left).values())
assert deleted > 0, "no copy was deleted"
print(f"e2e: {len(before)} rows, {len(before) - sum(kept.values())} purged, {deleted} copies deleted, {len(after)} left")
PY
}

# probe_check TITLE CODE [ARG]: runs the Python CODE on what window_probe
# reads of the window titled TITLE, with d (its JSON), one(cls, i) (the
# i-th visible control of a class), dir_list() and file_list() (the folder
# dialog's lists), texts() (every control's text), focused() (the focused
# control or None) and arg. A failed assertion prints its message.
probe_check() {
  wine_ "$probe_exe" "$1" | tr -d '\r' >"$artefacts/probe.json" || return 1
  python3 - "$artefacts/probe.json" "$2" "${3:-}" <<'PY'
import json, sys
d = json.load(open(sys.argv[1], encoding="utf-8"))
arg = sys.argv[3]
visible = lambda cls: [c for c in d["controls"] if c["class"].lower() == cls.lower() and c["visible"]]
one = lambda cls, i=0: visible(cls)[i]
at = lambda x, y: [c for c in d["controls"] if c["visible"] and c["rect"][:2] == [x, y]][0]
dir_list = lambda: at(8, 72)
file_list = lambda: at(232, 72)
texts = lambda: [c["text"] for c in d["controls"]]
focused = lambda: next((c for c in d["controls"] if c["focused"]), None)
try:
    exec(sys.argv[2])
except (AssertionError, IndexError) as e:
    print(f"e2e: {d['title']}: {e!r}", file=sys.stderr)
    sys.exit(1)
PY
}

# list_sizes DIALOG LINE: the folder dialog's Directories list is 213 x 138
# and the Files list 185 x 93, as the system has their windows and as their
# frames end on the screen; the selected line LINE of the Directories list
# is highlighted over exactly 17 pixel rows from 17 x LINE.
list_sizes() {
  probe_check "Select Directory" 'assert dir_list()["rect"] == [8, 72, 213, 138], dir_list()["rect"]
assert file_list()["rect"] == [232, 72, 185, 93], file_list()["rect"]' || return 1
  window_geometry "$1"
  import -window root -crop "424x255+${X}+${Y}" +repage "$artefacts/dialog.png"
  python3 - "$artefacts/dialog.png" "$2" <<'PY'
import subprocess, sys
png, line = sys.argv[1], int(sys.argv[2])
txt = subprocess.run(["convert", png, "-depth", "8", "txt:-"], check=True, capture_output=True, text=True).stdout
px = {}
for row in txt.splitlines()[1:]:
    at, _, rest = row.partition(":")
    x, y = map(int, at.split(","))
    px[x, y] = rest.split("#")[1][:6]
face = px[4, 100]
# The last row (column) of each list's frame before the dialog's face.
def last(points):
    inside = [p for p in points if px[p] != face]
    return max(inside) if inside else None
assert last([(108, y) for y in range(190, 222)])[1] == 72 + 138 - 1, "Directories list's bottom"
assert last([(x, 140) for x in range(200, 230)])[0] == 8 + 213 - 1, "Directories list's right side"
assert last([(320, y) for y in range(150, 172)])[1] == 72 + 93 - 1, "Files list's bottom"
assert last([(x, 120) for x in range(400, 424)])[0] == 232 + 185 - 1, "Files list's right side"
# The highlight band: rows where most of x = 120..200 have the colour of
# the line's middle (a focus frame dots its first and last rows).
top = 74 + 17 * line
mark = px[160, top + 8]
def lit(y): return sum(px[x, y] == mark for x in range(120, 200)) >= 32
band = [y for y in range(top - 4, top + 22) if lit(y)]
assert band == list(range(top, top + 17)), f"line {line} lit over rows {band[0] - 74}..{band[-1] - 74}, not {top - 74}..{top - 74 + 16}"
print(f"e2e: Directories 213 x 138, Files 185 x 93, line {line} 17 pixels high")
PY
}

# crop_sum DIALOG X Y W H: a checksum of that client rectangle's pixels.
crop_sum() {
  window_geometry "$1"
  import -window root -crop "${4}x${5}+$((X + $2))+$((Y + $3))" +repage rgb:- | md5sum
}

# dialog_keys DIALOG SHOT: real key presses to the folder dialog (the X
# focus on it, then XTEST keys): Alt+F, Alt+R and Alt+D move the focus to
# the Files, Drives and Directories lists (found by their places), each of
# which looks different once it has it. A screenshot SHOT after Alt+F.
dialog_keys() {
  local dialog=$1 name=$2 key letter x y w h before
  xdotool windowfocus --sync "$dialog" 2>/dev/null || true
  sleep 0.5
  for key in "f 232 72 185 93" "r 232 192 185 19" "d 8 72 213 138"; do
    read -r letter x y w h <<<"$key"
    before=$(crop_sum "$dialog" "$x" "$y" "$w" "$h")
    xdotool key "alt+$letter"
    sleep 0.7
    probe_check "Select Directory" 'assert focused() is not None and focused()["rect"][:2] == eval(arg), focused()' "[$x, $y]" ||
      fail "Alt+$letter did not move the focus to the control at ($x, $y)"
    [ "$(crop_sum "$dialog" "$x" "$y" "$w" "$h")" != "$before" ] ||
      fail "the control at ($x, $y) does not show the focus Alt+$letter gave it"
    echo "e2e: Alt+$letter moved the focus to the control at ($x, $y)"
    if [ "$letter" = f ]; then window_shot "$name" "$dialog"; fi
  done
}

# 1. The sample table.
prefix_c=$ADVCLEAN_WINEPREFIX/drive_c
rm -rf "$prefix_c/Morvane"
sample_out=$(wine_ "$pxtool" sample 'C:\Morvane' --rows 3000 --seed 7 | tr -d '\r')
echo "$sample_out"
wine_ "$pxtool" dump 'C:\Morvane\AdvBlock.db' >"$artefacts/before.json"

# 2. The program.
wine_ "$advclean" &
app_pid=$!
main=$(wait_window "Утилита удаления дублей" 90) || fail "the main window did not appear"
sleep 2
shot 01-start

# The gradients behind the two buttons, on a screenshot of their own with
# the mouse away (a button under it would show its edge): row 0 of each
# button's area $FDFDFD, row 28 $838383, and the caption over the middle
# rows (the disabled one embossed).
check_gradient() {  # PNG LEFT TOP NAME
  python3 - "$1" "$2" "$3" "$4" <<'PY'
import subprocess, sys
png, left, top, name = sys.argv[1], int(sys.argv[2]), int(sys.argv[3]), sys.argv[4]
txt = subprocess.run(["convert", png, "-crop", f"241x29+{left}+{top}", "+repage", "-depth", "8", "txt:-"],
                     check=True, capture_output=True, text=True).stdout
px = {}
for line in txt.splitlines()[1:]:
    at, _, rest = line.partition(":")
    x, y = map(int, at.split(","))
    px[x, y] = rest.split("#")[1][:6].upper()
bad = [x for x in range(241) if px[x, 0] != "FDFDFD" or px[x, 28] != "838383"]
assert not bad, f"{name}: rows 0/28 at x={bad[0]} are {px[bad[0], 0]}/{px[bad[0], 28]}, not FDFDFD/838383"
caption = sum(px[x, y] != px[0, y] for y in range(29) for x in range(241))
assert caption > 50, f"{name}: no caption over the gradient ({caption} pixels)"
print(f"e2e: {name}: gradient FDFDFD..838383 under a caption of {caption} pixels")
PY
}
xdotool mousemove 0 0
sleep 1
shot 01-gradients
window_geometry "$main"
check_gradient "$artefacts/01-gradients.png" $((X + 132)) $((Y + 56)) SBAnalyze || fail "no gradient under SBAnalyze"
check_gradient "$artefacts/01-gradients.png" $((X + 148)) $((Y + 596)) SBDeldub || fail "no gradient under SBDeldub"

analyze_measured "$main" || fail "the analysis did not end"
grid_empty=$GRID_BEFORE
darker "$GRID_BEFORE" "$GRID_AFTER" || fail "the grid did not fill (brightness $GRID_BEFORE -> $GRID_AFTER)"
shot 02-analysed
window_geometry "$main"
python3 "$root/scripts/grid_dates.py" "$artefacts/02-analysed.png" $((X + 2)) $((Y + 94)) || fail "the grid cuts its dates or order numbers"

press_delete "$main" || fail "the deletion did not end"
outcome=""
for title in Information Warning Error Advclean; do
  if id=$(wait_window "$title" 1); then
    outcome=$title
    break
  fi
done
[ -n "$outcome" ] || { id=$(wait_window "Information" 30) && outcome=Information; } || fail "no outcome dialog"
echo "e2e: outcome dialog: $outcome"
sleep 1
shot 03-outcome
[ "$outcome" = "Information" ] || fail "outcome dialog titled '$outcome', expected 'Information'"
window_geometry "$id"
click_at "$id" $((WIDTH / 2)) $((HEIGHT - 20))  # its OK button
wait_gone "Information" 10 || fail "the outcome dialog did not close"

# A second analysis finds nothing left to delete: the grid stays empty.
press_analyze "$main" || fail "the second analysis did not end"
sleep 1
grid_again=$(grid_brightness "$main")
python3 -c "import sys; sys.exit(0 if abs($grid_again - $grid_empty) < 0.01 else 1)" ||
  fail "the second analysis still lists rows (brightness $grid_empty -> $grid_again)"
shot 04-reanalysed

# Closed from outside, as the close box would: WM_CLOSE.
close_program "$app_pid" AdvClean.exe || fail "the program did not end after WM_CLOSE, or ended with an error ($?)"
app_pid=""

# 3. The table afterwards.
wine_ "$pxtool" check 'C:\Morvane\AdvBlock.db' || fail "pxtool check found problems"
wine_ "$pxtool" dump 'C:\Morvane\AdvBlock.db' >"$artefacts/after.json"
check_cleaned "$artefacts/before.json" "$artefacts/after.json" || fail "the rows are not as expected"
# 4. A folder with a Cyrillic name, C:\Morvane\Эфир: the folder field's
#    button opens "Select Directory", a double click on its line opens it,
#    OK writes it into the field, and both passes clean the table there and
#    no other. Its eight subfolders give the folder list a scroll bar once
#    it is opened. pxtool writes and reads the tables in ASCII folders, and
#    they are moved on the host's side.
cyr=Эфир
cyr_dir=$prefix_c/Morvane/$cyr
cyr_table='C:\Morvane\'$cyr'\AdvBlock.db'
rm -rf "$prefix_c/Morvane" "$prefix_c/staging"
wine_ "$pxtool" sample 'C:\Morvane' --rows 500 --seed 3 >/dev/null
wine_ "$pxtool" sample 'C:\staging' --rows 2000 --seed 11 | tr -d '\r'
wine_ "$pxtool" dump 'C:\staging\AdvBlock.db' >"$artefacts/sub-before.json"
mv "$prefix_c/staging" "$cyr_dir"
for i in 1 2 3 4 5 6 7 8; do mkdir "$cyr_dir/Архив $i"; done
cp "$prefix_c/Morvane/AdvBlock.db" "$artefacts/morvane-before.db"
wine_ "$advclean" &
app_pid=$!
main=$(wait_window "Утилита удаления дублей" 90) || fail "the main window did not appear for the folder field"
sleep 2
field_shot 06-folder-field "$main"
# The button of the field DE (8, 24, 521 x 21): its host at (496, 0) of the
# edit's client area, which starts 2 pixels inside the field.
button_x=$((8 + 2 + 496)) button_y=$((24 + 2))
# Its look: the inner left line in the top frame's highlight colour, the
# outer right column in the window-frame colour, the glyph's outline black
# at (3, 9).
button_drawn() {
  [ "$(pixel "$main" $((button_x + 1)) $((button_y + 5)))" = "$(pixel "$main" $((button_x + 10)) $((button_y + 0)))" ] &&
    [ "$(pixel "$main" $((button_x + 1)) $((button_y + 5)))" != "$(pixel "$main" $((button_x + 0)) $((button_y + 5)))" ] &&
    [ "$(pixel "$main" $((button_x + 3)) $((button_y + 3 + 6)))" = "0,0,0" ]
}
button_drawn || fail "the field's button is not drawn as it should be"
click_at "$main" $((button_x + 10)) $((button_y + 8))
dialog=$(wait_window "Select Directory" 20) || fail "the field's button did not open \"Select Directory\""
sleep 1
window_shot 07-select-directory "$dialog"
# Icons of the folder list, whose client area starts at (10, 74): the root
# line's open folder at x = 2, the subfolder's closed folder at 6 + 4 x 1,
# each centred in its 17-pixel line (outline black, the closed one yellow).
[ "$(pixel "$dialog" $((10 + 2 + 1)) $((74 + 1 + 7)))" = "0,0,0" ] || fail "no open folder icon on the root line"
[ "$(pixel "$dialog" $((10 + 10 + 1)) $((74 + 2 * 17 + 1 + 6)))" = "0,0,0" ] &&
  [ "$(pixel "$dialog" $((10 + 10 + 3)) $((74 + 2 * 17 + 1 + 6)))" = "255,255,0" ] ||
  fail "no closed folder icon on the subfolder line"
probe_check "Select Directory" 'assert dir_list()["items"] == ["C:\\", "Morvane", "Эфир"], dir_list()["items"]' ||
  fail "the folder list does not show the Cyrillic folder's line as named"
list_sizes "$dialog" 1 || fail "the dialog's lists are not at their sizes (no scroll bar)"
# The folder list (8, 72) of the dialog, lines 17 pixels high: C:\,
# Morvane (current), then the subfolder Эфир.
double_click_at "$dialog" 60 $((72 + 2 + 2 * 17 + 8))
sleep 1
window_shot 08-select-directory-sub "$dialog"
probe_check "Select Directory" 'assert dir_list()["items"][:4] == ["C:\\", "Morvane", "Эфир", "Архив 1"], dir_list()["items"]' ||
  fail "the folder list did not open the Cyrillic folder"
list_sizes "$dialog" 2 || fail "the dialog's lists are not at their sizes (with a scroll bar)"
dialog_keys "$dialog" 09-select-directory-keys
click_at "$dialog" $((256 + 38)) $((224 + 13))  # OK
wait_gone "Select Directory" 10 || fail "the folder dialog did not close with OK"
sleep 1
field_shot 10-folder-field-cyrillic "$main"
button_drawn || fail "the field's button is gone after the dialog"
probe_check "Утилита удаления дублей" 'assert one("Edit")["text"] == "C:\\Morvane\\Эфир", one("Edit")["text"]' ||
  fail "the folder field does not hold the folder as named"
analyze_measured "$main" || fail "the analysis of the Cyrillic folder did not end"
darker "$GRID_BEFORE" "$GRID_AFTER" || fail "the grid did not fill for the Cyrillic folder"
shot 11-cyrillic-analysed
press_delete "$main" || fail "the deletion in the Cyrillic folder did not end"
id=$(wait_window "Information" 30) || fail "no outcome dialog for the Cyrillic folder"
window_geometry "$id"
click_at "$id" $((WIDTH / 2)) $((HEIGHT - 20))
wait_gone "Information" 10 || fail "the outcome dialog did not close"
rm -rf "$prefix_c/check" && mkdir "$prefix_c/check" && cp "$cyr_dir"/AdvBlock.* "$prefix_c/check/"
wine_ "$pxtool" dump 'C:\check\AdvBlock.db' >"$artefacts/sub-after.json"
check_cleaned "$artefacts/sub-before.json" "$artefacts/sub-after.json" || fail "the Cyrillic folder's table was not cleaned"
cmp -s "$artefacts/morvane-before.db" "$prefix_c/Morvane/AdvBlock.db" || fail "the table of C:\\Morvane changed too"
echo "e2e: the folder picked in the dialog was cleaned, C:\\Morvane was not"

# 5. The same folder's table damaged: the engine's error, naming the file,
#    reaches the default error display, a box titled after the executable
#    ("Advclean"), and the window goes on. Then the table missing: "Нет
#    базы" and the path. Both texts are read back from the boxes.
head -c 3000 /dev/zero | tr '\0' 'Z' >"$cyr_dir/AdvBlock.db"
click_at "$main" 252 70
id=$(wait_window "Advclean" 60) || fail "no error box titled Advclean"
sleep 1
shot 12-engine-error
probe_check "Advclean" 'assert any(t.endswith("\n" + arg + ".") for t in texts()), texts()' "$cyr_table" ||
  fail "the engine's error does not name $cyr_table as it is named"
window_geometry "$id"
click_at "$id" $((WIDTH / 2)) $((HEIGHT - 20))
wait_gone "Advclean" 10 || fail "the error box did not close"
xdotool search --name "^Утилита удаления дублей\$" >/dev/null || fail "the main window went with the error"
rm -f "$cyr_dir"/AdvBlock.*
click_at "$main" 252 70
id=$(wait_window "Error" 30) || fail "no \"Нет базы\" box for the missing table"
sleep 1
shot 13-no-table
probe_check "Error" 'assert "Нет базы " + arg in texts(), texts()' "$cyr_table" ||
  fail "the missing table's box does not name it as it is named"
window_geometry "$id"
click_at "$id" $((WIDTH / 2)) $((HEIGHT - 20))
wait_gone "Error" 10 || fail "the \"Нет базы\" box did not close"

# 6. "Select Directory" once more, now opening at the Cyrillic folder with
#    the scroll bar there from the start: the lists at their sizes, the
#    accelerators, and Escape from the keyboard cancels.
click_at "$main" $((button_x + 10)) $((button_y + 8))
dialog=$(wait_window "Select Directory" 20) || fail "the field's button did not open \"Select Directory\" again"
sleep 1
window_shot 14-select-directory-again "$dialog"
list_sizes "$dialog" 2 || fail "the dialog's lists are not at their sizes (second opening)"
dialog_keys "$dialog" 15-select-directory-again-keys
xdotool key Escape
wait_gone "Select Directory" 10 || fail "Escape did not close the folder dialog"
probe_check "Утилита удаления дублей" 'assert one("Edit")["text"] == "C:\\Morvane\\Эфир", one("Edit")["text"]' ||
  fail "the cancelled dialog changed the folder field"
close_program "$app_pid" AdvClean.exe || fail "the program did not end after the folder steps, or ended with an error ($?)"
app_pid=""
echo "e2e: passed"
