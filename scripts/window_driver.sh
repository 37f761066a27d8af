# Drives Windows programs running under Wine from outside, with xdotool on
# an X display (no window manager: each top-level window is an X window of
# its own, titled like the window and as large as its client area). Source
# it; it defines functions only.

# Waits up to $2 seconds for a window titled exactly $1; prints its id.
wait_window() {
  local title=$1 seconds=$2 id i
  for ((i = 0; i < seconds * 5; i++)); do
    id=$(xdotool search --name "^${title}\$" 2>/dev/null | head -n 1 || true)
    if [ -n "$id" ]; then
      echo "$id"
      return 0
    fi
    sleep 0.2
  done
  return 1
}

# Waits up to $2 seconds until no window titled $1 is left.
wait_gone() {
  local title=$1 seconds=$2 i
  for ((i = 0; i < seconds * 5; i++)); do
    xdotool search --name "^${title}\$" >/dev/null 2>&1 || return 0
    sleep 0.2
  done
  return 1
}

# Sets X, Y, WIDTH, HEIGHT to window $1's place on the screen.
window_geometry() {
  local SCREEN WINDOW
  eval "$(xdotool getwindowgeometry --shell "$1")"
}

# A left click at client point (x, y) of window $1.
click_at() {
  window_geometry "$1"
  xdotool mousemove $((X + $2)) $((Y + $3)) sleep 0.3 mousedown 1 sleep 0.1 mouseup 1
}

# Mean brightness (0..1) of the client rectangle x y w h of window $1.
brightness() {
  window_geometry "$1"
  import -window root -crop "${4}x${5}+$((X + $2))+$((Y + $3))" -colorspace Gray -format '%[fx:mean]' info:
}

# Presses "1. Выполнить анализ" in the main window $1 and waits until the
# analysis has ended (its progress window has come and gone).
press_analyze() {
  click_at "$1" 252 70
  wait_window "Ход процесса" 10 >/dev/null || true
  wait_gone "Ход процесса" "${2:-300}"
}

# Presses "2. Удалить дубли" in the main window $1 and waits for its end.
press_delete() {
  click_at "$1" 268 610
  wait_window "Ход процесса" 10 >/dev/null || true
  wait_gone "Ход процесса" "${2:-300}"
}

# Mean brightness of the main window $1's result grid: it darkens as rows
# fill it.
grid_brightness() {
  brightness "$1" 2 130 530 300
}

# True when brightness $2 is darker than $1 by more than $3 (default 0.02).
darker() {
  python3 -c "import sys; sys.exit(0 if $2 < $1 - ${3:-0.02} else 1)"
}

# Ends the process $1 started by this shell, if it still runs.
end_process() {
  if [ -n "$1" ] && kill -0 "$1" 2>/dev/null; then
    kill -TERM "$1" 2>/dev/null || true
    wait "$1" 2>/dev/null || true
  fi
}

# Closes the Windows program $2 (its image name, AdvClean.exe) from outside
# as its close box would (WM_CLOSE; ADVCLEAN_WINEPREFIX names the prefix)
# and waits up to 20 s for its process $1, started by this shell, to end.
# Returns the program's exit status, or 124 when it did not end.
close_program() {
  local pid=$1 image=$2 root i
  root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
  bash "$root/cmake/wine-run.sh" taskkill /im "$image" >/dev/null
  for ((i = 0; i < 100; i++)); do
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.2
  done
  kill -0 "$pid" 2>/dev/null && return 124
  wait "$pid"
}

# Presses "1. Выполнить анализ" in the main window $1 as press_analyze does,
# leaving the grid's brightness before and after in GRID_BEFORE and
# GRID_AFTER.
analyze_measured() {
  GRID_BEFORE=$(grid_brightness "$1")
  press_analyze "$1" || return 1
  sleep 1
  GRID_AFTER=$(grid_brightness "$1")
}

# A left double click at client point (x, y) of window $1.
double_click_at() {
  window_geometry "$1"
  xdotool mousemove $((X + $2)) $((Y + $3)) sleep 0.3 click --repeat 2 --delay 80 1
}

# The colour "r,g,b" of client point (x, y) of window $1 on the screen.
pixel() {
  window_geometry "$1"
  import -window root -crop "1x1+$((X + $2))+$((Y + $3))" -depth 8 txt:- |
    sed -n 's/^0,0: (\([0-9]*\),\([0-9]*\),\([0-9]*\).*/\1,\2,\3/p'
}
