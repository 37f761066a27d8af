# Shared by the package tests: a Wine prefix of the test's own. Source it
# with work (the test's folder), name (its name in messages) and root (the
# source tree) set. It sets ADVCLEAN_WINEPREFIX, WINEPREFIX, c_drive and
# app_pid (the program started last, ended on exit with the prefix's other
# programs and the test's Xvfb), and defines fail and wine_.

export ADVCLEAN_WINEPREFIX=$work/wineprefix
export WINEPREFIX=$ADVCLEAN_WINEPREFIX
unset WINEPATH WINEDLLPATH 2>/dev/null || true
c_drive=$ADVCLEAN_WINEPREFIX/drive_c
app_pid=""

cleanup() {
  end_process "$app_pid"
  if [ -d "$ADVCLEAN_WINEPREFIX" ]; then
    timeout 30 wineserver -w 2>/dev/null || wineserver -k 2>/dev/null || true
  fi
  stop_xvfb
}
trap cleanup EXIT

fail() {
  echo "$name: FAILED: $*" >&2
  exit 1
}

wine_() { bash "$root/cmake/wine-run.sh" "$@"; }
