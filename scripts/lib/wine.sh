# Wine for the Windows-side tests: a prefix inside the build tree, a virtual
# X display, one persistent wineserver. Source after common.sh.
#   wine_start   sets WINEPREFIX, DISPLAY and friends, starts what is missing;
#                fails when the display or the wineserver does not come up
#   wine_stop    stops what wine_start started
# Set `trap wine_stop EXIT` before wine_start, so that a failed start does
# not leave Xvfb behind.

WINE64=/usr/lib/wine/wine64
WINESERVER=/usr/lib/wine/wineserver

# start_display: Xvfb on the first number without a lock file. Up means our
# Xvfb is alive and its socket is there: a socket alone might belong to a
# server that took the number first, and then the next number is tried.
start_display() {
  local n=90 attempt _
  for attempt in 1 2 3; do
    while [ -e "/tmp/.X$n-lock" ]; do n=$((n + 1)); done
    Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp >"$LUME_BUILD/xvfb.log" 2>&1 &
    LUME_XVFB_PID=$!
    for _ in $(seq 50); do
      if [ -e "/tmp/.X11-unix/X$n" ] || ! kill -0 "$LUME_XVFB_PID" 2>/dev/null; then break; fi
      sleep 0.1
    done
    if kill -0 "$LUME_XVFB_PID" 2>/dev/null && [ -e "/tmp/.X11-unix/X$n" ]; then
      export DISPLAY=":$n"
      return 0
    fi
    kill "$LUME_XVFB_PID" 2>/dev/null || true
    n=$((n + 1))
  done
  cat "$LUME_BUILD/xvfb.log" >&2
  say "no X display came up (Xvfb's log: $LUME_BUILD/xvfb.log)"
  LUME_XVFB_PID=""
  return 1
}

wine_start() {
  export WINEPREFIX=$LUME_BUILD/wineprefix
  export WINEDEBUG=-all
  export WINEDLLOVERRIDES="mscoree,mshtml,winemenubuilder.exe="
  export WINEARCH=win64
  mkdir -p "$LUME_BUILD"

  start_display || return 1

  # A server left over from a run that was killed would keep the old display.
  "$WINESERVER" -k >/dev/null 2>&1 || true
  if [ ! -f "$WINEPREFIX/.lume-ready" ]; then
    say "creating the Wine prefix in $WINEPREFIX"
    if ! "$WINE64" wineboot -i >"$LUME_BUILD/wineboot.log" 2>&1; then
      say "wineboot could not create the prefix (log: $LUME_BUILD/wineboot.log)"
      return 1
    fi
    # A virtual desktop: without one Wine on a bare X server neither
    # maximises windows nor draws captions.
    "$WINE64" reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default /f >/dev/null 2>&1 ||
      return 1
    "$WINE64" reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d 1280x1024 /f \
      >/dev/null 2>&1 || return 1
    "$WINESERVER" -w
    touch "$WINEPREFIX/.lume-ready"
  fi
  # Wine links the profile's Desktop, Documents and the like to the Linux
  # home folder; the installers under test make desktop shortcuts, which
  # belong inside the prefix, so each of those links becomes a folder.
  local link
  for link in "$WINEPREFIX"/drive_c/users/*/*; do
    if [ -L "$link" ]; then
      rm "$link"
      mkdir "$link"
    fi
  done
  # Without -f the server detaches once it listens, so its status says
  # whether it came up.
  if ! "$WINESERVER" -p >"$LUME_BUILD/wineserver.log" 2>&1; then
    cat "$LUME_BUILD/wineserver.log" >&2
    say "the wineserver for $WINEPREFIX did not come up"
    return 1
  fi
  # The first process in a fresh server starts the prefix's services; pay for
  # that once, here, rather than in the first test.
  if ! "$WINE64" cmd /c exit >/dev/null 2>&1; then
    say "wine64 cannot run a program in $WINEPREFIX"
    return 1
  fi
}

wine_stop() {
  if [ -n "${WINEPREFIX:-}" ]; then "$WINESERVER" -k >/dev/null 2>&1 || true; fi
  if [ -n "${LUME_XVFB_PID:-}" ]; then kill "$LUME_XVFB_PID" >/dev/null 2>&1 || true; fi
  LUME_XVFB_PID=""
}
