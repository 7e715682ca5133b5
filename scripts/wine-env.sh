# Sourced by the stages that run Windows programs. Gives them a private Wine
# prefix under $BUILD_ROOT, a virtual display and a persistent wineserver.
#   wine_start   prepare the prefix, start Xvfb and the wineserver
#   wine_stop    end them again
source scripts/windows-build.sh
if [ "$windows_arch" = x86_64 ]; then
  # 64-bit Wine only: "wine" (and the tools that call "wine-stable") must not
  # pick the 32-bit loader, which cannot run here.
  wine_bin="$PWD/$BUILD_ROOT/wine-bin"
  mkdir -p "$wine_bin"
  for name in wine wine-stable; do
    printf '#!/bin/sh\nexec /usr/lib/wine/wine64 "$@"\n' >"$wine_bin/$name"
    chmod +x "$wine_bin/$name"
  done
  export PATH="$wine_bin:$PATH"
  export WINELOADER=/usr/lib/wine/wine64
  export WINEPREFIX="${WINEPREFIX:-$PWD/$BUILD_ROOT/wineprefix-x64}"
fi
export WINEPREFIX="${WINEPREFIX:-$PWD/$BUILD_ROOT/wineprefix}"
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"

wine_start() {
  mkdir -p "$WINEPREFIX"
  if [ -z "${DISPLAY:-}" ] || [ -n "${ORVANEL_OWN_DISPLAY:-}" ]; then
    local n=$((90 + RANDOM % 400))
    while [ -e "/tmp/.X11-unix/X$n" ]; do n=$((n + 1)); done
    Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
    ORVANEL_XVFB_PID=$!
    export DISPLAY=":$n"
    export ORVANEL_OWN_DISPLAY=1
    for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X$n" ] && break; sleep 0.1; done
  fi
  wineserver -p </dev/null >/dev/null 2>&1
  if [ ! -f "$WINEPREFIX/.orvanel-ready" ]; then
    wineboot -i </dev/null >/dev/null 2>&1 || true
    # Unmanaged windows close at once instead of waiting for a window manager.
    wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f </dev/null >/dev/null 2>&1
    # A persistent server never ends by itself, so "wineserver -w" alone would
    # wait forever: end it (which saves the registry), then start it again.
    wineserver -k </dev/null >/dev/null 2>&1 || true
    wineserver -w
    wineserver -p </dev/null >/dev/null 2>&1
    touch "$WINEPREFIX/.orvanel-ready"
  fi
  # Start Wine's own background processes now, with no pipe of ours: started
  # later by a test, they would inherit the test runner's output and keep it
  # waiting for an end of file that never comes.
  wine cmd /c exit </dev/null >/dev/null 2>&1 || true
}

wine_stop() {
  wineserver -k >/dev/null 2>&1 || true
  if [ -n "${ORVANEL_XVFB_PID:-}" ]; then
    kill "$ORVANEL_XVFB_PID" 2>/dev/null || true
    wait "$ORVANEL_XVFB_PID" 2>/dev/null || true
  fi
}
