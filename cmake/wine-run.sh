#!/usr/bin/env bash
# Runs a Windows program under Wine: CMAKE_CROSSCOMPILING_EMULATOR of the
# MinGW build, so CTest starts every Windows test through it.
#
#   cmake/wine-run.sh PROGRAM.exe [ARGS...]
#
# - The Wine prefix lives in the build folder (<build>/wineprefix), found by
#   walking up from the program to the folder holding CMakeCache.txt;
#   ADVCLEAN_WINEPREFIX overrides it. It is created on first use, once, under
#   a lock, so tests started together share it safely.
# - Without DISPLAY a private Xvfb is started for the run and stopped after
#   the prefix's Wine processes have ended. scripts/test.sh starts one Xvfb
#   for the whole run and exports DISPLAY, which is then reused.
# - The prefix draws "MS Sans Serif" with Liberation Sans (see below).
# - ADVCLEAN_WINE_LOCALE (such as ru_RU.UTF-8, a locale the system has)
#   runs the program with that locale's regional settings; without it Wine
#   takes the caller's locale (English under CI's C locale).
# - The program's exit code is this script's exit code.
set -euo pipefail

if [ $# -lt 1 ]; then
  echo "usage: $0 PROGRAM.exe [ARGS...]" >&2
  exit 2
fi

# CI runs with no standard input at all; Wine must not inherit a closed fd 0.
if ! (exec 3<&0) 2>/dev/null; then
  exec 0</dev/null
fi

program=$1
shift

find_build_dir() {
  local d
  d=$(cd "$(dirname "$1")" 2>/dev/null && pwd) || return 1
  while [ "$d" != "/" ]; do
    if [ -f "$d/CMakeCache.txt" ]; then
      echo "$d"
      return 0
    fi
    d=$(dirname "$d")
  done
  return 1
}

if [ -n "${ADVCLEAN_WINEPREFIX:-}" ]; then
  prefix=$ADVCLEAN_WINEPREFIX
else
  build_dir=$(find_build_dir "$program") || build_dir=$(find_build_dir "$PWD/.") || {
    echo "wine-run: no build folder (CMakeCache.txt) above $program; set ADVCLEAN_WINEPREFIX" >&2
    exit 2
  }
  prefix=$build_dir/wineprefix
fi
mkdir -p "$(dirname "$prefix")"
prefix=$(cd "$(dirname "$prefix")" && pwd)/$(basename "$prefix")

export WINEPREFIX=$prefix
export WINEDEBUG=-all
# No Mono or Gecko prompts; and no menu entries in the user's Linux desktop
# for shortcuts that programs make inside the prefix (the installer's).
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d${WINEDLLOVERRIDES:+;$WINEDLLOVERRIDES}"
export WINEARCH=win64
unset WINESERVER WINELOADER 2>/dev/null || true

# start_xvfb and stop_xvfb: a private display, when there is none.
source "$(dirname "${BASH_SOURCE[0]}")/../scripts/xvfb.sh"
trap stop_xvfb EXIT

if [ -z "${DISPLAY:-}" ]; then
  start_xvfb || exit 2
fi

# Create the prefix once. The lock is held only while creating; a finished
# prefix is marked so that later runs skip all of this.
ready=$prefix/.advclean-ready
if [ ! -f "$ready" ]; then
  exec 9>"$prefix.lock"
  flock 9
  if [ ! -f "$ready" ]; then
    rm -rf "$prefix"
    started=$(date +%s)
    wine wineboot -i </dev/null >/dev/null 2>&1 || true
    # A crashing program must end at once with a failing exit code. Wine's
    # own debugger would wait behind a crash dialog, and when it does not,
    # the process it ends exits with 0; with no debugger to start, the
    # process ends with its exception code (0xC0000005 gives 5).
    wine reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug' \
      /v Debugger /t REG_SZ /d 'advclean-no-debugger %ld %ld' /f \
      </dev/null >/dev/null 2>&1 || true
    wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog \
      /t REG_DWORD /d 0 /f </dev/null >/dev/null 2>&1 || true
    wineserver -w || true
    if [ ! -d "$prefix/drive_c/windows" ]; then
      echo "wine-run: could not create the Wine prefix $prefix" >&2
      exit 2
    fi
    touch "$ready"
    echo "wine-run: created Wine prefix $prefix in $(( $(date +%s) - started )) s" >&2
  fi
  flock -u 9
  exec 9>&-
fi

# "MS Sans Serif", the windows' font, is not among Linux's fonts. Wine then
# draws it with the first sans-serif font it knows (DejaVu Sans on a bare
# Debian), whose digits are wider: the grid would cut its dates
# ("03.01.201"). Liberation Sans (fonts-liberation2, from scripts/setup.sh)
# has nearly its widths and Cyrillic letters whatever the locale. Set once
# per prefix, also in prefixes made before this setting.
fonts=$prefix/.advclean-fonts
if [ ! -f "$fonts" ]; then
  exec 9>"$prefix.lock"
  flock 9
  if [ ! -f "$fonts" ]; then
    wine reg add 'HKCU\Software\Wine\Fonts\Replacements' /v 'MS Sans Serif' \
      /t REG_SZ /d 'Liberation Sans' /f </dev/null >/dev/null 2>&1 &&
      touch "$fonts" ||
      echo "wine-run: could not set the font replacement in $prefix" >&2
  fi
  flock -u 9
  exec 9>&-
fi

# Run in the background so that a stop from outside (a timeout) ends the
# program too, instead of leaving it running in the shared prefix.
child=""
on_signal() {
  trap - TERM INT HUP
  if [ -n "$child" ]; then kill -TERM "$child" 2>/dev/null || true; fi
  stop_xvfb
  exit $((128 + $1))
}
trap 'on_signal 15' TERM
trap 'on_signal 2' INT
trap 'on_signal 1' HUP
locale_env=()
if [ -n "${ADVCLEAN_WINE_LOCALE:-}" ]; then
  locale_env=(env "LC_ALL=$ADVCLEAN_WINE_LOCALE" "LANG=$ADVCLEAN_WINE_LOCALE")
fi
exec 3<&0
"${locale_env[@]}" wine "$program" "$@" <&3 3<&- &
child=$!
exec 3<&-
set +e
wait "$child"
status=$?
set -e
child=""

# Our own Xvfb may still serve other Wine processes of the prefix (they share
# one wineserver and desktop process); stop it only when the prefix is idle.
if [ -n "$ADVCLEAN_XVFB_PID" ]; then
  wineserver -w || true
fi
exit "$status"
