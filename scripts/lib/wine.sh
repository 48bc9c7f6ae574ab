# Wine for the Windows-side programs, one architecture at a time: a prefix
# of its own per architecture inside the build tree, a virtual X display and
# one persistent wineserver. Source after common.sh.
#   claim_build WHAT   one run at a time in this build folder (see below)
#   wine_start ARCH    win32: the PE32 build under 32-bit Wine, unpacked
#                      into build/wine32 by wine32_unpack; win64: the PE32+
#                      build under wine64. Sets WINEPREFIX, DISPLAY and
#                      friends and LUME_WINE, the loader to run programs
#                      with; fails when the display, the prefix or the
#                      wineserver does not come up
#   wine_run SECONDS PROGRAM [ARGS...]
#                      a Windows program under LUME_WINE, stopped with a
#                      message that names it when it runs longer
#   wine_stop          stops what wine_start started
# Set `trap wine_stop EXIT` before wine_start, so that a failed start does
# not leave Xvfb behind.
#
# 32-bit Wine is Debian's own (wine32:i386 8.0), unpacked with its i386
# libraries into build/wine32 rather than installed: installing it would
# bring 242 i386 packages and upgrade every installed amd64 package that
# multiarch needs at the archive's version (71 on this machine, systemd and
# OpenSSL among them). Unpacked, nothing installed changes, and
# `rm -rf build` removes it. It needs a kernel that runs 32-bit programs
# (see i386_missing in common.sh) and the host's libc6-i386.

WINE64=/usr/lib/wine/wine64
WINESERVER64=/usr/lib/wine/wineserver
LUME_WINE32_ROOT=$LUME_BUILD/wine32
# The claim's descriptor (claim_build), which Xvfb and the wineserver do not
# inherit; 9, never opened, until a claim is made.
LUME_LOCK_FD=${LUME_LOCK_FD:-9}

# Debian's 32-bit Wine and the i386 libraries it loads here: the X client
# libraries (winex11.so links libX11 and libXext, and opens the others),
# FreeType and fontconfig for text, and what those link. The C library is
# the host's libc6-i386.
LUME_WINE32_PACKAGES=(
  wine32 wine32-preloader libwine
  libx11-6 libxcb1 libxau6 libxdmcp6 libbsd0 libmd0 libxext6 libxrender1 libxrandr2 libxi6
  libxfixes3 libxcursor1 libxinerama1 libxcomposite1
  libfreetype6 libpng16-16 zlib1g libbrotli1 libfontconfig1 libexpat1
)

# Time limits, in seconds, of the waits below.
LUME_WINEBOOT_SECONDS=300
LUME_WINE_COMMAND_SECONDS=120

# as_root COMMAND...: the command as root, through sudo when needed.
as_root() {
  if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

# wine32_unpack: Debian's 32-bit Wine in build/wine32, with `wine`, a
# launcher that finds the unpacked libraries. Once; a second call returns
# at once while the unpacked set matches LUME_WINE32_PACKAGES.
wine32_unpack() {
  local root=$LUME_WINE32_ROOT debs=$LUME_WINE32_ROOT.debs deb wanted
  wanted="${LUME_WINE32_PACKAGES[*]}"
  [ "$(cat "$root/.lume-unpacked" 2>/dev/null)" != "$wanted" ] || return 0
  say "unpacking Debian's 32-bit Wine into $root"
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    as_root dpkg --add-architecture i386
  fi
  if ! apt-cache show wine32:i386 >/dev/null 2>&1; then
    as_root env DEBIAN_FRONTEND=noninteractive apt-get update -qq
  fi
  rm -rf "$root" "$debs"
  mkdir -p "$debs"
  (cd "$debs" && bounded 900 apt-get download -q -o APT::Sandbox::User=root \
     "${LUME_WINE32_PACKAGES[@]/%/:i386}" >/dev/null)
  for deb in "$debs"/*.deb; do dpkg-deb -x "$deb" "$root"; done
  rm -rf "$debs"
  # What libwine's maintainer script does on installation: Debian's
  # user32.dll imports zlib1.dll, taken from the MinGW zlib package and
  # marked as one of Wine's own DLLs.
  local zlib=/usr/i686-w64-mingw32/lib/zlib1.dll
  [ -f "$zlib" ] || { say "$zlib is missing (package libz-mingw-w64)"; return 1; }
  {
    head -c 64 "$zlib"
    printf 'Wine builtin DLL'
    head -c 16 /dev/zero
    tail -c +97 "$zlib"
  } >"$root/usr/lib/i386-linux-gnu/wine/i386-windows/zlib1.dll"
  cat >"$root/wine" <<'LAUNCHER'
#!/bin/sh
# 32-bit Wine unpacked by scripts/lib/wine.sh: its loader with the unpacked
# i386 libraries, which the programs it starts inherit.
root=$(dirname "$(readlink -f "$0")")
LD_LIBRARY_PATH=$root/usr/lib/i386-linux-gnu:$root/lib/i386-linux-gnu${LD_LIBRARY_PATH:+:$LD_LIBRARY_PATH}
export LD_LIBRARY_PATH
exec "$root/usr/lib/wine/wine" "$@"
LAUNCHER
  chmod +x "$root/wine"
  echo "$wanted" >"$root/.lume-unpacked"
}

# start_display: Xvfb on the first number without a lock file. Up means our
# Xvfb is alive and its socket is there: a socket alone might belong to a
# server that took the number first, and then the next number is tried.
start_display() {
  local n=90 attempt _
  for attempt in 1 2 3; do
    while [ -e "/tmp/.X$n-lock" ]; do n=$((n + 1)); done
    # Without the claim's descriptor: the display is ours, not the claim's.
    Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp >"$LUME_BUILD/xvfb.log" 2>&1 {LUME_LOCK_FD}>&- &
    LUME_XVFB_PID=$!
    for _ in $(seq 50); do
      if [ -e "/tmp/.X11-unix/X$n" ] || ! kill -0 "$LUME_XVFB_PID" 2>/dev/null; then break; fi
      sleep 0.1
    done
    if kill -0 "$LUME_XVFB_PID" 2>/dev/null && [ -e "/tmp/.X11-unix/X$n" ]; then
      export DISPLAY=":$n"
      echo "$LUME_XVFB_PID :$n" >"$LUME_BUILD/xvfb.pid"
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

# wine_settings ARCH: the prefix, loader and server of one architecture.
wine_settings() {
  case $1 in
    win32)
      export WINEPREFIX=$LUME_BUILD/wineprefix32 WINEARCH=win32
      LUME_WINE=$LUME_WINE32_ROOT/wine
      # Debian's `wineserver` script would start the host's 64-bit server.
      LUME_WINESERVER=$LUME_WINE32_ROOT/usr/lib/wine/wineserver32
      ;;
    win64)
      export WINEPREFIX=$LUME_BUILD/wineprefix64 WINEARCH=win64
      LUME_WINE=$WINE64
      LUME_WINESERVER=$WINESERVER64
      ;;
    *) say "no Wine for '$1' (win32, win64)"; return 1 ;;
  esac
  export WINESERVER=$LUME_WINESERVER LUME_WINE
}

wine_start() {
  local arch=$1
  export WINEDEBUG=-all
  export WINEDLLOVERRIDES="mscoree,mshtml,winemenubuilder.exe="
  mkdir -p "$LUME_BUILD"
  if [ "$arch" = win32 ]; then wine32_unpack || return 1; fi
  wine_settings "$arch" || return 1

  start_display || return 1

  # A server left over from a run that was killed would keep the old display.
  bounded 30 "$LUME_WINESERVER" -k >/dev/null 2>&1 || true
  if [ ! -f "$WINEPREFIX/.lume-ready" ]; then
    say "creating the Wine prefix in $WINEPREFIX"
    rm -rf "$WINEPREFIX"
    if ! bounded "$LUME_WINEBOOT_SECONDS" "$LUME_WINE" wineboot -i \
           >"$LUME_BUILD/wineboot-$arch.log" 2>&1; then
      say "wineboot could not create the prefix (log: $LUME_BUILD/wineboot-$arch.log)"
      return 1
    fi
    # A virtual desktop: without one Wine on a bare X server neither
    # maximises windows nor draws captions.
    wine_run "$LUME_WINE_COMMAND_SECONDS" reg add 'HKCU\Software\Wine\Explorer' \
      /v Desktop /d Default /f >/dev/null 2>&1 || return 1
    wine_run "$LUME_WINE_COMMAND_SECONDS" reg add 'HKCU\Software\Wine\Explorer\Desktops' \
      /v Default /d 1280x1024 /f >/dev/null 2>&1 || return 1
    bounded "$LUME_WINE_COMMAND_SECONDS" "$LUME_WINESERVER" -w || return 1
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
  # whether it came up. It does not hold the claim's descriptor.
  if ! bounded 60 "$LUME_WINESERVER" -p >"$LUME_BUILD/wineserver.log" 2>&1 {LUME_LOCK_FD}>&-; then
    cat "$LUME_BUILD/wineserver.log" >&2
    say "the wineserver for $WINEPREFIX did not come up"
    return 1
  fi
  # The first process in a fresh server starts the prefix's services; pay for
  # that once, here, rather than in the first test.
  if ! wine_run "$LUME_WINE_COMMAND_SECONDS" cmd /c exit >/dev/null 2>&1; then
    say "$LUME_WINE cannot run a program in $WINEPREFIX"
    return 1
  fi
}

wine_run() {
  local seconds=$1
  shift
  bounded "$seconds" "$LUME_WINE" "$@"
}

wine_stop() {
  if [ -n "${WINEPREFIX:-}" ] && [ -n "${LUME_WINESERVER:-}" ]; then
    bounded 30 "$LUME_WINESERVER" -k >/dev/null 2>&1 || true
  fi
  if [ -n "${LUME_XVFB_PID:-}" ]; then
    kill "$LUME_XVFB_PID" >/dev/null 2>&1 || true
    rm -f "$LUME_BUILD/xvfb.pid"
  fi
  LUME_XVFB_PID=""
}

# stop_left_wine: the wineservers of this build folder's prefixes, and with
# them every Wine program they serve, and the display they showed on.
stop_left_wine() {
  local prefix server xvfb
  # Only the Xvfb that the run started: its process, on its display.
  xvfb=$(cat "$LUME_BUILD/xvfb.pid" 2>/dev/null || true)
  if [ -n "$xvfb" ] && tr '\0' ' ' <"/proc/${xvfb% *}/cmdline" 2>/dev/null |
       grep -q "^Xvfb ${xvfb#* } "; then
    kill "${xvfb% *}"
  fi
  rm -f "$LUME_BUILD/xvfb.pid"
  for prefix in wineprefix32:"$LUME_WINE32_ROOT/usr/lib/wine/wineserver32" \
                wineprefix64:"$WINESERVER64"; do
    server=${prefix#*:}
    if [ -d "$LUME_BUILD/${prefix%%:*}" ] && [ -x "$server" ]; then
      WINEPREFIX=$LUME_BUILD/${prefix%%:*} bounded 30 "$server" -k >/dev/null 2>&1 || true
    fi
  done
}

# claim_build WHAT: one run at a time uses this build folder's Wine
# prefixes and results. Ends the script, naming the other run, when one
# holds them; the claim lasts until the script and what it started end.
claim_build() {
  local lock=$LUME_BUILD/.run-lock owner=$LUME_BUILD/.run-owner holder
  mkdir -p "$LUME_BUILD"
  exec {LUME_LOCK_FD}>>"$lock"
  if ! flock -n "$LUME_LOCK_FD"; then
    holder=$(cat "$owner" 2>/dev/null || true)
    if [ -n "$holder" ] && ! kill -0 "${holder%% *}" 2>/dev/null; then
      # The run that claimed it is gone: what holds the lock now are Wine
      # programs it left running. Stop them and claim again.
      say "a run that was stopped left Wine running in $LUME_BUILD; stopping it"
      stop_left_wine
      flock -w 20 "$LUME_LOCK_FD" ||
        die "$LUME_BUILD is still held after stopping what an earlier run left running"
    else
      die "another run uses $LUME_BUILD (${holder:+process }${holder:-unknown}); wait for it to end, or give this one a folder of its own with LUME_BUILD=/some/other/folder"
    fi
  fi
  echo "$$ $1" >"$owner"
}
