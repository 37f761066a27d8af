#!/usr/bin/env bash
# The Windows programs as an operator runs them, under Wine, beside the
# Linux build on the same table:
#
#   bash bench/wine_bench.sh [--rows N] [--runs R] [--no-grid]
#
# Tables (written once into $TMPDIR/advclean-wine-bench-N by the native
# pxtool): `pxtool sample --rows N --old 10 --repeats 5` (N = 1,000,000 by
# default: 142.5 MB, about 44,000 rows listed as copies) and the same with
# --repeats 0 (nothing listed). Each run, on fresh copies:
#   - AdvClean.exe with the table in C:\Morvane: "1. Выполнить анализ"
#     clicked with xdotool and timed until no progress window is left (the
#     grid is filled then), then "2. Удалить дубли" until the outcome box;
#     the peak memory of its process (VmHWM);
#   - AdvClean.exe on the table with nothing listed: the analysis;
#   - advclean.exe analyze and advclean.exe clean under the same Wine (the
#     whole program, Wine's start included), and advclean clean natively,
#     with the peak memory of each.
# Then grid_bench.exe (the grid alone: fill cost per record, repaints).
# Prints the best (worst) of the runs, the ratios of the goals and the
# native clean's read and write calls. Beside each wall time it gives the
# processor time that went into it: the program's own and, under Wine, the
# Wine server's on its behalf. On a machine busy with other work the wall
# times stretch while the processor times hold, so the ratios are given
# for both.
#
# Needs both builds (build/native: advclean, pxtool; build/win64:
# AdvClean.exe, advclean.exe, grid_bench.exe) and the packages of
# scripts/setup.sh. Wine's prefix is build/win64/wineprefix-bench (made on
# first use); the display a private Xvfb unless ADVCLEAN_USE_DISPLAY=1.
# Wine is not Windows: its figures tell how the programs fare under Wine on
# this machine, where every system call of a Windows program costs more.
set -euo pipefail

rows=1000000
runs=3
grid=1
while [ $# -gt 0 ]; do
  case $1 in
    --rows) rows=$2; shift 2 ;;
    --runs) runs=$2; shift 2 ;;
    --no-grid) grid=0; shift ;;
    *) echo "usage: $0 [--rows N] [--runs R] [--no-grid]" >&2; exit 2 ;;
  esac
done

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
source "$root/scripts/common.sh"
source "$root/scripts/window_driver.sh"

native_advclean=$BUILD_NATIVE/src/tools/advclean
native_pxtool=$BUILD_NATIVE/src/tools/pxtool
window_exe=$BUILD_WIN64/src/app/AdvClean.exe
console_exe=$BUILD_WIN64/src/tools/advclean.exe
grid_exe=$BUILD_WIN64/bench/grid_bench.exe
for f in "$native_advclean" "$native_pxtool" "$window_exe" "$console_exe" "$grid_exe"; do
  [ -x "$f" ] || [ -f "$f" ] || { echo "wine_bench: $f is missing: build both builds first" >&2; exit 2; }
done

export ADVCLEAN_WINEPREFIX=$BUILD_WIN64/wineprefix-bench
export WINEPREFIX=$ADVCLEAN_WINEPREFIX WINEDEBUG=-all WINEARCH=win64 WINEDLLOVERRIDES="mscoree,mshtml="
tables=${TMPDIR:-/tmp}/advclean-wine-bench-$rows
results=$(mktemp "${TMPDIR:-/tmp}/advclean-wine-bench.XXXXXX")
app_pid=""
cleanup() {
  end_process "$app_pid"
  # The bench's own prefix: its Wine processes go before the display.
  wineserver -k 2>/dev/null || true
  stop_xvfb
  rm -f "$results"
}
trap cleanup EXIT

if [ "${ADVCLEAN_USE_DISPLAY:-0}" != 1 ] || [ -z "${DISPLAY:-}" ]; then
  start_xvfb
fi

# The tables, once.
for kind in copies none; do
  if [ ! -f "$tables/$kind/AdvBlock.db" ]; then
    rm -rf "${tables:?}/$kind"
    repeats=5
    [ $kind = none ] && repeats=0
    "$native_pxtool" sample "$tables/$kind" --rows "$rows" --old 10 --repeats $repeats >/dev/null
  fi
done
table_bytes=$(stat -c %s "$tables/copies/AdvBlock.db")

# The prefix (made on first use by the wrapper) and one Wine server kept
# for the whole run, so that no measurement pays for starting it.
bash "$root/cmake/wine-run.sh" "$console_exe" --version >/dev/null
wineserver -k 2>/dev/null || true
setsid wineserver -p
# Without a window manager Wine waits up to 2 s, each time a window it
# leaves to the manager is hidden, for a manager to say so: the progress
# window would cost 2 s at every close. The prefix's windows are not left
# to a manager, as on a desktop whose manager answers at once.
wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >/dev/null 2>&1
# The prefix's Wine server (its process time is counted with the programs').
server_pid() {
  local p
  for p in $(pgrep -x wineserver64 || pgrep -x wineserver || true); do
    if { tr '\0' '\n' <"/proc/$p/environ"; } 2>/dev/null | grep -qx "WINEPREFIX=$WINEPREFIX"; then
      echo "$p"
      return 0
    fi
  done
  echo 0
}
# Seconds of processor time process $1 has used (0 for none).
cpu_of() {
  [ "$1" != 0 ] && [ -r "/proc/$1/stat" ] || { echo 0; return 0; }
  awk -v hz="$(getconf CLK_TCK)" '{ sub(/.*\) /, ""); printf "%.3f", ($12 + $13) / hz }' "/proc/$1/stat"
}
drive_c=$WINEPREFIX/drive_c

# fresh KIND FOLDER: a copy of the table of KIND in FOLDER, on disk.
fresh() {
  rm -rf "$2"
  mkdir -p "$2"
  cp "$tables/$1/AdvBlock.db" "$2/"
  sync
}

# timed NAME COMMAND...: runs it with its output discarded and notes its
# wall time, processor time (with the Wine server's) and peak memory.
timed() {
  local name=$1
  shift
  local server
  server=$(server_pid)
  python3 - "$name" "$results" "$server" "$@" <<'PY'
import os, subprocess, sys, time
name, results, server, args = sys.argv[1], sys.argv[2], int(sys.argv[3]), sys.argv[4:]
def server_cpu():
    try:
        fields = open(f"/proc/{server}/stat").read().rsplit(")", 1)[1].split()
    except OSError:
        return 0.0
    return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")
before = server_cpu()
start = time.monotonic()
p = subprocess.Popen(args, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, start_new_session=True)
_, status, usage = os.wait4(p.pid, 0)
seconds = time.monotonic() - start
cpu = usage.ru_utime + usage.ru_stime + server_cpu() - before
code = os.waitstatus_to_exitcode(status)
if code not in (0, 1):  # 1: records left, a result too
    sys.exit(f"wine_bench: {' '.join(args)} failed with {code}")
with open(results, "a") as f:
    f.write(f"{name} {seconds:.3f} {cpu:.3f} {usage.ru_maxrss}\n")
PY
}

# note NAME WALL CPU [KIB]
note() { echo "$1 $2 $3 ${4:-0}" >>"$results"; }
# Processor time of AdvClean.exe and the Wine server so far.
window_cpu() { awk -v a="$(cpu_of "$MAIN_PID")" -v b="$(cpu_of "$(server_pid)")" 'BEGIN { printf "%.3f", a + b }'; }
elapsed() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.3f", a - b }'; }
# The clock in microseconds, and microseconds as seconds.
now_us() { local t=$EPOCHREALTIME; echo $((10#${t/./})); }
seconds() { printf '%d.%06d' $(($1 / 1000000)) $(($1 % 1000000)); }
# The watching below runs at the lowest priority, without forking more
# than xdotool: on a busy machine it would take processor time from the
# program it watches.
progress_shown() { nice -n 19 xdotool search --name '^Ход процесса$' >/dev/null 2>&1; }

# press_until_idle WINDOW X Y: clicks (x, y) and prints the seconds from
# the click until no progress window is left: one came and none has been
# seen for 2 s since (a pass may close its window and open another).
press_until_idle() {
  click_at "$1" "$2" "$3"
  local start now seen=0 gone=0
  start=$(now_us)
  while :; do
    now=$(now_us)
    if progress_shown; then
      seen=1
      gone=0
    else
      [ $gone != 0 ] || gone=$now
      if [ $seen = 1 ] && [ $((now - gone)) -ge 2000000 ]; then break; fi
      if [ $seen = 0 ] && [ $((now - start)) -ge 30000000 ]; then
        echo "wine_bench: no progress window came" >&2
        return 1
      fi
    fi
    sleep 0.02
  done
  seconds $((gone - start))
}

# press_until_box WINDOW X Y: clicks and prints the seconds until the
# outcome box (Information or Warning) is there.
outcome_box() { nice -n 19 xdotool search --name '^(Information|Warning)$' 2>/dev/null | head -n 1 || true; }
press_until_box() {
  click_at "$1" "$2" "$3"
  local start now
  start=$(now_us)
  while :; do
    now=$(now_us)
    [ -n "$(outcome_box)" ] && break
    if [ $((now - start)) -ge 600000000 ]; then
      echo "wine_bench: no outcome box" >&2
      return 1
    fi
    sleep 0.02
  done
  seconds $((now - start))
}

# Each program measured runs in a session of its own, as the Wine server
# does: the system shares the processor between sessions first, so this
# script's own work does not count against them.
#
# Starts AdvClean.exe; MAIN is its window, MAIN_PID its process, and
# (DX, DY) where its client area starts in the X window, which holds the
# frame Wine draws (538 x 629 is the client area's size).
start_window() {
  setsid wine "$window_exe" >/dev/null 2>&1 &
  app_pid=$!
  MAIN=$(wait_window "Утилита удаления дублей" 90) || { echo "wine_bench: no main window" >&2; return 1; }
  MAIN_PID=$(xdotool getwindowpid "$MAIN")
  sleep 2
  window_geometry "$MAIN"
  DX=$(((WIDTH - 538) / 2))
  DY=$((HEIGHT - 629 - DX))
}

stop_window() {
  kill "$MAIN_PID" 2>/dev/null || true
  wait "$app_pid" 2>/dev/null || true
  app_pid=""
}

for run in $(seq 1 "$runs"); do
  echo "run $run of $runs ..." >&2
  fresh copies "$tables/native"
  timed native_clean "$native_advclean" clean "$tables/native"
  fresh copies "$drive_c/Bench"
  timed wine_analyze wine "$console_exe" analyze 'C:\Bench'
  fresh copies "$drive_c/Bench"
  timed wine_clean wine "$console_exe" clean 'C:\Bench'

  fresh copies "$drive_c/Morvane"
  start_window
  c=$(window_cpu)
  s=$(press_until_idle "$MAIN" $((DX + 252)) $((DY + 70)))
  note window_analyze "$s" "$(elapsed "$(window_cpu)" "$c")"
  c=$(window_cpu)
  s=$(press_until_box "$MAIN" $((DX + 268)) $((DY + 610)))
  note window_delete "$s" "$(elapsed "$(window_cpu)" "$c")"
  note window_peak 0 0 "$(awk '/^VmHWM:/ { print $2 }' "/proc/$MAIN_PID/status")"
  [ "$(xdotool getwindowname "$(outcome_box)")" = Information ] || echo "wine_bench: copies were left undeleted" >&2
  stop_window

  fresh none "$drive_c/Morvane"
  start_window
  c=$(window_cpu)
  s=$(press_until_idle "$MAIN" $((DX + 252)) $((DY + 70)))
  note window_analyze_none "$s" "$(elapsed "$(window_cpu)" "$c")"
  stop_window
done

# The native clean's read and write calls (a separate run: the counts,
# not the time).
fresh copies "$tables/native"
calls=$(python3 - "$native_advclean" "$tables/native" <<'PY'
import os, subprocess, sys
p = subprocess.Popen([sys.argv[1], "clean", sys.argv[2]], stdout=subprocess.DEVNULL)
os.waitid(os.P_PID, p.pid, os.WEXITED | os.WNOWAIT)
io = dict(line.split(":") for line in open(f"/proc/{p.pid}/io"))
p.wait()
print(int(io["syscr"]), int(io["syscw"]))
PY
)

echo
python3 - "$results" "$table_bytes" "$runs" "$rows" "$calls" <<'PY'
import collections, sys
results, table_bytes, runs, rows, calls = sys.argv[1], int(sys.argv[2]), sys.argv[3], int(sys.argv[4]), sys.argv[5]
wall, cpu, mem = collections.defaultdict(list), collections.defaultdict(list), collections.defaultdict(int)
for line in open(results):
    name, w, c, kib = line.split()
    if float(w) > 0:
        wall[name].append(float(w))
        cpu[name].append(float(c))
    mem[name] = max(mem[name], int(kib))
print(f"{rows} rows, table {table_bytes / 1e6:.1f} MB; best (worst) of {runs} runs: wall time, processor time;")
print("peak memory, and against the table")
def row(name, what, where):
    if not wall.get(name):
        return
    peak = f"{mem[name] / 1024:7.1f} MB {mem[name] * 1024 / table_bytes:5.2f}x" if mem[name] else ""
    print(f"  {what:<40} {where:<6} {min(wall[name]):6.2f} ({max(wall[name]):6.2f}) s"
          f"  cpu {min(cpu[name]):6.2f} ({max(cpu[name]):6.2f}) s  {peak}")
row("window_analyze", "AdvClean.exe, 1. Выполнить анализ", "Wine")
row("window_analyze_none", "AdvClean.exe, the same, nothing listed", "Wine")
row("window_delete", "AdvClean.exe, 2. Удалить дубли", "Wine")
row("wine_analyze", "advclean.exe analyze", "Wine")
row("wine_clean", "advclean.exe clean", "Wine")
row("native_clean", "advclean clean", "native")
if mem["window_peak"]:
    print(f"  {'AdvClean.exe, peak memory (VmHWM)':<40} {'Wine':<6} {mem['window_peak'] / 1024:7.1f} MB "
          f"{mem['window_peak'] * 1024 / table_bytes:5.2f}x the table")
reads, writes = calls.split()
print(f"  advclean clean (native): {reads} read and {writes} write calls")
def ratio(a, b, goal, text):
    if wall.get(a) and wall.get(b):
        r, c = min(wall[a]) / min(wall[b]), min(cpu[a]) / min(cpu[b])
        print(f"  {text:<52} wall {r:5.2f}, cpu {c:5.2f}  (goal <= {goal})")
print("ratios of the best times:")
ratio("window_analyze", "wine_analyze", 1.3, "window analysis / advclean.exe analyze")
ratio("window_analyze", "window_analyze_none", 1.2, "window analysis / the same, nothing listed")
ratio("wine_clean", "native_clean", 2.0, "advclean.exe clean (Wine) / advclean clean (native)")
if mem["window_peak"]:
    print(f"  {'AdvClean.exe peak memory / table file':<52} {mem['window_peak'] * 1024 / table_bytes:5.2f}  (goal <= 1.5)")
PY

if [ "$grid" = 1 ]; then
  echo
  echo "grid_bench.exe (Wine):"
  wine "$grid_exe" --rows 44000 --rows 100000 | tr -d '\r'
fi
