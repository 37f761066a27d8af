#!/usr/bin/env bash
# The main job: builds AdvClean.exe and pxtool.exe (the Windows build),
# writes a fresh sample table to C:\Morvane of the program's Wine prefix
# (build/win64/wineprefix), so the window's default folder finds it, and
# starts AdvClean.exe under Wine with Russian regional settings (dates
# dd.MM.yyyy, 24-hour times), as an operator's machine has them;
# ADVCLEAN_WINE_LOCALE=C keeps Wine's English default.
#
# With a display the program is yours to use until you close it. Without
# one it runs on a private virtual screen: "1. Выполнить анализ" is pressed,
# and once the grid has filled a screenshot is saved to
# build/advclean-sample.png and its dates are checked to show whole; then
# the program is closed.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
source "$ADVCLEAN_ROOT/scripts/window_driver.sh"
cd "$ADVCLEAN_ROOT"

screenshot=build/advclean-sample.png
wine_run=$ADVCLEAN_ROOT/cmake/wine-run.sh
export ADVCLEAN_WINEPREFIX=$BUILD_WIN64/wineprefix
export WINEDEBUG=-all
export ADVCLEAN_WINE_LOCALE=${ADVCLEAN_WINE_LOCALE:-ru_RU.UTF-8}
if [ "$ADVCLEAN_WINE_LOCALE" != C ] &&
  ! locale -a 2>/dev/null | grep -qix "$(sed 's/UTF-8$/utf8/I' <<<"$ADVCLEAN_WINE_LOCALE")"; then
  echo "the locale $ADVCLEAN_WINE_LOCALE is missing (scripts/setup.sh makes ru_RU.UTF-8); running in English" >&2
  ADVCLEAN_WINE_LOCALE=C
fi

quiet build/win64-configure.log configure_win64
build "$BUILD_WIN64" AdvClean pxtool
advclean=$BUILD_WIN64/src/app/AdvClean.exe
pxtool=$BUILD_WIN64/src/tools/pxtool.exe

headless=""
app_pid=""
cleanup() {
  end_process "$app_pid"
  if [ -n "$headless" ]; then
    WINEPREFIX=$ADVCLEAN_WINEPREFIX timeout 30 wineserver -w 2>/dev/null || true
    stop_xvfb
  fi
}
trap cleanup EXIT
if [ -z "${DISPLAY:-}" ]; then
  start_xvfb
  headless=1
fi

# A fresh sample each time: the program changes the table it cleans.
rm -f "$ADVCLEAN_WINEPREFIX/drive_c/Morvane/"AdvBlock.*
echo "== pxtool sample C:\\Morvane"
bash "$wine_run" "$pxtool" sample 'C:\Morvane' | tr -d '\r'
bash "$wine_run" "$pxtool" info 'C:\Morvane\AdvBlock.db' | tr -d '\r'
echo

if [ -z "$headless" ]; then
  echo "== AdvClean.exe (close its window to end)"
  bash "$wine_run" "$advclean"
  exit 0
fi

echo "== AdvClean.exe on a virtual screen ($DISPLAY)"
bash "$wine_run" "$advclean" &
app_pid=$!
main=$(wait_window "Утилита удаления дублей" 90) || { echo "the main window did not appear" >&2; exit 1; }
sleep 1
echo "pressing \"1. Выполнить анализ\""
press_analyze "$main" || { echo "the analysis did not end" >&2; exit 1; }
sleep 1
window_geometry "$main"
import -window root -crop "${WIDTH}x${HEIGHT}+${X}+${Y}" "$screenshot"
echo "screenshot: $screenshot"
# The grid (its client area 2 pixels inside it, at 0, 92) shows its dates
# and order numbers whole.
python3 scripts/grid_dates.py "$screenshot" 2 94 || { echo "the grid cuts its dates" >&2; exit 1; }
bash "$wine_run" taskkill /im AdvClean.exe >/dev/null
wait "$app_pid" || true
app_pid=""
