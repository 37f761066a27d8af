#!/usr/bin/env bash
# Pictures of the real AdvClean.exe for the operator's guide, taken under
# Wine on a virtual desktop of its own, which draws the windows' frames and
# captions as Windows does:
#
#   guide_pictures.sh OUT_DIR ADVCLEAN_EXE PXTOOL_EXE WINDOW_LIST_EXE
#
# Two sets: OUT_DIR/ru with Russian regional settings (dates dd.MM.yyyy)
# for the Russian guide, OUT_DIR/en with British ones (dd/MM/yyyy, 24-hour
# times, which fit the grid's columns as the Russian ones do) for the
# English guide. Each holds
#
#   main-start.png        the main window at start
#   select-directory.png  "Select Directory" open on C:\Morvane
#   progress.png          "Ход процесса" during the analysis
#   grid.png              the grid with the copies found
#   outcome.png           the outcome box after "2. Удалить дубли"
#   engine-error.png      the engine's error box: a read-only table
#
# each cut to the main window with whatever is open over it. The grid's
# dates are checked to show whole (scripts/grid_dates.py). The Wine prefix
# is OUT_DIR/wineprefix; the screen a private Xvfb. Fails, saying which,
# when a window does not come.
set -euo pipefail

out=$1
advclean=$2
pxtool=$3
window_list=$4
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
source "$root/scripts/common.sh"
source "$root/scripts/window_driver.sh"

mkdir -p "$out"
out=$(cd "$out" && pwd)
export ADVCLEAN_WINEPREFIX=$out/wineprefix
export WINEPREFIX=$ADVCLEAN_WINEPREFIX
export WINEDEBUG=-all
desktop_size=760x700
sample_rows=60000  # the analysis shows its progress for a second or more
main_title="Утилита удаления дублей"

wine_() { bash "$root/cmake/wine-run.sh" "$@"; }

app_pid=""
cleanup() {
  end_process "$app_pid"
  timeout 30 wineserver -w 2>/dev/null || wineserver -k 2>/dev/null || true
  stop_xvfb
}
trap cleanup EXIT

fail() {
  echo "guide_pictures: FAILED: $*" >&2
  import -window root "$out/failure.png" 2>/dev/null || true
  exit 1
}

# window TITLE: sets L T R B (the frame) and CX CY CW CH (the client area),
# in desktop pixels, of the window titled TITLE; false when there is none.
window() {
  local line
  line=$(wine_ "$window_list" 2>/dev/null | tr -d '\r' | awk -F '\t' -v t="$1" '$2 == t { print $1; exit }')
  [ -n "$line" ] || return 1
  read -r L T R B CX CY CW CH <<<"$line"
}

# wait_for TITLE SECONDS: waits for the window, then sets what window sets.
wait_for() {
  local end=$((SECONDS + $2))
  while ((SECONDS < end)); do
    window "$1" && return 0
    sleep 0.3
  done
  return 1
}

# click CX CY X Y: a left click at client point (X, Y) of the window whose
# client area begins at desktop point (CX, CY).
click() {
  xdotool mousemove $((DX + $1 + $3)) $((DY + $2 + $4)) sleep 0.3 mousedown 1 sleep 0.1 mouseup 1
  away
}
away() { xdotool mousemove $((DX + 1)) $((DY + ${desktop_size#*x} - 2)); }

# shoot NAME [over [FRAME]]: the main window, with "over" also the window
# last found (L T R B), from the screen or from FRAME, a picture of the
# whole desktop. Saved without colour-space chunks, which would make a
# browser shift the colours.
shoot() {
  local l=$ML t=$MT r=$MR b=$MB
  if [ $# -gt 1 ]; then
    ((L < l)) && l=$L
    ((T < t)) && t=$T
    ((R > r)) && r=$R
    ((B > b)) && b=$B
  fi
  if [ $# -gt 2 ]; then
    convert "$3" -crop "$((r - l))x$((b - t))+$l+$t" +repage -strip "$set/$1.png"
  else
    import -window root -crop "$((r - l))x$((b - t))+$((DX + l))+$((DY + t))" +repage -strip "$set/$1.png"
  fi
  echo "guide_pictures: $set/$1.png"
}

start_xvfb || fail "no Xvfb"
# A prefix that runs every program on one virtual desktop.
wine_ cmd /c exit 0 || fail "the Wine prefix could not be made"
wine_ reg add 'HKCU\Software\Wine\Explorer' /v Desktop /t REG_SZ /d Default /f >/dev/null
wine_ reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /t REG_SZ /d "$desktop_size" /f >/dev/null
timeout 30 wineserver -w || true
# Wine's Marlett (fonts-wine) draws the caption buttons; without it they
# show letters.
marlett=/usr/share/wine/fonts/marlett.ttf
[ -f "$marlett" ] || fail "no $marlett: scripts/setup.sh installs fonts-wine"
cp "$marlett" "$ADVCLEAN_WINEPREFIX/drive_c/windows/Fonts/"

# sample_table ROWS: a new C:\Morvane\AdvBlock.db with few copies: a list
# of at most 200 is shown without a progress window of its own, so every
# progress window seen is the analysis's.
sample_table() {
  rm -f "$ADVCLEAN_WINEPREFIX/drive_c/Morvane/"AdvBlock.*
  wine_ "$pxtool" sample 'C:\Morvane' --rows "$1" --seed 17 --repeats 0.2 --near 0.1 >/dev/null ||
    fail "pxtool could not write the sample"
}

# film_analysis ROWS: presses "1. Выполнить анализ" on a new table of ROWS
# rows and films the desktop into $set/film until no progress window has
# been seen twice in a row; sets frame to the best frame's name, or fails
# when no frame shows the window.
film_analysis() {
  local film=$set/film filming gone=0 end=$((SECONDS + 300))
  rm -rf "$film"
  mkdir -p "$film"
  [ "$1" = "$sample_rows" ] || sample_table "$1"
  click "$MX" "$MY" 252 70  # 1. Выполнить анализ
  (
    i=0
    while [ ! -f "$film/stop" ] && ((i < 600)); do
      import -window root -crop "${desktop_size}+$DX+$DY" +repage "$film/$(printf %04d $i).png" 2>/dev/null || true
      i=$((i + 1))
    done
  ) &
  filming=$!
  while ((gone < 2 && SECONDS < end)); do
    if window "Ход процесса"; then gone=0; else gone=$((gone + 1)); fi
    sleep 0.5
  done
  touch "$film/stop"
  wait "$filming"
  ((gone == 2)) || fail "the analysis did not end"
  frame=$(python3 "$root/scripts/progress_frame.py" "$film")
}

take_set() {  # take_set ru|en LOCALE
  set=$out/$1
  export ADVCLEAN_WINE_LOCALE=$2
  mkdir -p "$set"
  rm -f "$set"/*.png
  local c_drive=$ADVCLEAN_WINEPREFIX/drive_c
  rm -rf "$c_drive/Morvane"
  sample_table "$sample_rows"

  wine_ "$advclean" 2>>"$out/wine.log" &
  app_pid=$!
  wait_for "$main_title" 90 || fail "the main window did not appear"
  ML=$L MT=$T MR=$R MB=$B MX=$CX MY=$CY
  local desk
  desk=$(xdotool search --name ' - Wine desktop$' | head -n 1) || fail "no virtual desktop"
  window_geometry "$desk"
  DX=$X DY=$Y
  away
  sleep 1
  shoot main-start

  # The folder field's button: the edit's client area starts 2 pixels
  # inside the field (8, 24), the button 496 pixels into it.
  click "$MX" "$MY" 516 34
  wait_for "Select Directory" 30 || fail "the folder button did not open \"Select Directory\""
  sleep 1
  shoot select-directory over
  click "$CX" "$CY" 378 237  # Cancel
  sleep 1
  window "Select Directory" && fail "\"Select Directory\" did not close with Cancel"

  # The analysis, filmed until it ends; the frame that shows its progress
  # window best is kept. A machine fast enough to end it between two
  # frames gets a table four times as large.
  local n
  frame=""
  for n in "$sample_rows" $((sample_rows * 4)); do
    film_analysis "$n" && break
  done
  [ -n "$frame" ] || fail "no frame shows the progress window"
  shoot progress over "$set/film/$frame"
  rm -rf "$set/film"
  sleep 1
  shoot grid
  # The grid (0, 92) has a 2-pixel border.
  python3 "$root/scripts/grid_dates.py" "$set/grid.png" $((MX - ML + 2)) $((MY - MT + 94)) ||
    fail "the grid cuts its dates"

  click "$MX" "$MY" 268 610  # 2. Удалить дубли
  local end=$((SECONDS + 300)) box=""
  while [ -z "$box" ] && ((SECONDS < end)); do
    for title in Information Warning; do
      if window "$title"; then box=$title; break; fi
    done
    sleep 0.5
  done
  [ -n "$box" ] || fail "no outcome box after the deletion"
  sleep 1
  shoot outcome over
  click "$CX" "$CY" $((CW / 2)) $((CH - 20))  # OK
  sleep 1
  window "$box" && fail "the outcome box did not close"

  # A table marked read-only: the purge of the next analysis cannot change
  # it, and the engine's error comes in the application's error box.
  sample_table 3000
  wine_ cmd /c attrib +r 'C:\Morvane\AdvBlock.db'
  click "$MX" "$MY" 252 70
  wait_for Advclean 60 || fail "no error box for the read-only table"
  sleep 1
  shoot engine-error over
  click "$CX" "$CY" $((CW / 2)) $((CH - 20))
  sleep 1

  close_program "$app_pid" AdvClean.exe || fail "AdvClean.exe did not end when closed"
  app_pid=""
  chmod u+w "$c_drive/Morvane/AdvBlock.db"
  # The next set's locale needs a new desktop process.
  timeout 30 wineserver -w || true
}

take_set ru ru_RU.UTF-8
take_set en en_GB.UTF-8
