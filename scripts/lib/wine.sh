# Wine for the Windows-side tests: a prefix inside the build tree, a virtual
# X display, one persistent wineserver. Source after common.sh.
#   wine_start   sets WINEPREFIX, DISPLAY and friends, starts what is missing
#   wine_stop    stops what wine_start started

WINE64=/usr/lib/wine/wine64
WINESERVER=/usr/lib/wine/wineserver

wine_start() {
  export WINEPREFIX=$LUME_BUILD/wineprefix
  export WINEDEBUG=-all
  export WINEDLLOVERRIDES="mscoree,mshtml,winemenubuilder.exe="
  export WINEARCH=win64
  mkdir -p "$LUME_BUILD"

  # A display of our own: the first number without a lock file.
  local n=90
  while [ -e "/tmp/.X$n-lock" ]; do n=$((n + 1)); done
  Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp >"$LUME_BUILD/xvfb.log" 2>&1 &
  LUME_XVFB_PID=$!
  export DISPLAY=":$n"
  for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X$n" ] && break; sleep 0.1; done

  if [ ! -f "$WINEPREFIX/.lume-ready" ]; then
    say "creating the Wine prefix in $WINEPREFIX"
    "$WINE64" wineboot -i >"$LUME_BUILD/wineboot.log" 2>&1 || true
    # A virtual desktop: without one Wine on a bare X server neither
    # maximises windows nor draws captions.
    "$WINE64" reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default /f >/dev/null 2>&1
    "$WINE64" reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d 1280x1024 /f \
      >/dev/null 2>&1
    "$WINESERVER" -w
    touch "$WINEPREFIX/.lume-ready"
  fi
  "$WINESERVER" -p >"$LUME_BUILD/wineserver.log" 2>&1 &
  # The first process in a fresh server starts the prefix's services; pay for
  # that once, here, rather than in the first test.
  "$WINE64" cmd /c exit >/dev/null 2>&1 || true
}

wine_stop() {
  if [ -n "${WINEPREFIX:-}" ]; then "$WINESERVER" -k >/dev/null 2>&1 || true; fi
  if [ -n "${LUME_XVFB_PID:-}" ]; then kill "$LUME_XVFB_PID" >/dev/null 2>&1 || true; fi
  LUME_XVFB_PID=""
}
