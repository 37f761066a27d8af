# The one Xvfb starter, sourced by scripts/common.sh and cmake/wine-run.sh.
# Defines functions and variables only.

# Starts a private Xvfb and exports DISPLAY; stop_xvfb ends it. Xvfb picks a
# free display number itself (-displayfd).
ADVCLEAN_XVFB_PID=""
ADVCLEAN_XVFB_DIR=""
start_xvfb() {
  ADVCLEAN_XVFB_DIR=$(mktemp -d "${TMPDIR:-/tmp}/advclean-xvfb.XXXXXX")
  local fdfile=$ADVCLEAN_XVFB_DIR/display
  Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp -noreset \
    3>"$fdfile" </dev/null >/dev/null 2>"$ADVCLEAN_XVFB_DIR/log" &
  ADVCLEAN_XVFB_PID=$!
  local i n=""
  for i in $(seq 1 100); do
    n=$(tr -dc '0-9' <"$fdfile" 2>/dev/null || true)
    [ -n "$n" ] && break
    kill -0 "$ADVCLEAN_XVFB_PID" 2>/dev/null || break
    sleep 0.1
  done
  if [ -z "$n" ]; then
    echo "${0##*/}: could not start Xvfb:" >&2
    cat "$ADVCLEAN_XVFB_DIR/log" >&2 || true
    return 1
  fi
  export DISPLAY=":$n"
}

stop_xvfb() {
  if [ -n "$ADVCLEAN_XVFB_PID" ]; then
    kill "$ADVCLEAN_XVFB_PID" 2>/dev/null || true
    wait "$ADVCLEAN_XVFB_PID" 2>/dev/null || true
    ADVCLEAN_XVFB_PID=""
  fi
  if [ -n "$ADVCLEAN_XVFB_DIR" ]; then
    rm -rf "$ADVCLEAN_XVFB_DIR"
    ADVCLEAN_XVFB_DIR=""
  fi
}
