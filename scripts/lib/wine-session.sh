# Shared by scripts/wine-exec, scripts/test and scripts/run: one private Wine session per state
# folder (a build tree's "wine"): its own prefix, its own Xvfb display, one wineserver.
#
#   state/prefix        the throw-away WINEARCH=win64 prefix, prepared once
#   state/xvfb.pid      the private display's server, and state/display its number

LAGVANE_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
WINE64=/usr/lib/wine/wine64
WINE32=/usr/lib/wine/wine
WINESERVER=/usr/lib/wine/wineserver

wine_session_env() {  # state
  export WINEPREFIX="$1/prefix" WINEARCH=win64 WINEDEBUG=-all LC_ALL=C.UTF-8
  export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
}

# Whether this machine executes 32-bit x86 code at all (some here refuse every i386 program).
wine_can_run_32bit() {
  "$WINE32" --version >/dev/null 2>&1
}

# The Wine loader for a Windows program: wine64 for PE32+, wine for PE32 (never the wine script,
# which picks wine32 wherever it is installed, even where it cannot start).
wine_loader_for() {  # program
  local magic
  magic=$(od -An -tx1 -j "$(( $(od -An -tu4 -j60 -N4 "$1") + 24 ))" -N2 "$1" 2>/dev/null | tr -d ' ')
  if [ "$magic" = "0b01" ]; then echo "$WINE32"; else echo "$WINE64"; fi
}

wine_xvfb_alive() {  # state
  [ -f "$1/xvfb.pid" ] && kill -0 "$(cat "$1/xvfb.pid")" 2>/dev/null
}

wine_start_xvfb() {  # state
  local fifo="$1/displayfd" number
  rm -f "$fifo"; mkfifo "$fifo"
  setsid Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp -ac 3>"$fifo" 9>&- >/dev/null 2>&1 </dev/null &
  echo $! >"$1/xvfb.pid"
  read -r -t 20 number <"$fifo" || { echo "wine-session: Xvfb did not start" >&2; return 1; }
  rm -f "$fifo"
  echo "$number" >"$1/display"
  DISPLAY=":$number" xsetroot -solid '#3a6ea5' 2>/dev/null || true
}

# The prefix's settings for tests: no window management quirks, Hangul in every UI font.
wine_prepare_prefix() {
  "$WINE64" wineboot -i >/dev/null 2>&1 9>&-
  local reg=(
    'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f
  )
  "$WINE64" reg add "${reg[@]}" >/dev/null 2>&1
  "$WINE64" reg add 'HKCU\Software\Wine\Fonts\Replacements' /v 굴림체 /d NanumGothicCoding /f >/dev/null 2>&1
  "$WINE64" reg add 'HKCU\Software\Wine\Fonts\Replacements' /v 굴림 /d NanumGothic /f >/dev/null 2>&1
  "$WINE64" reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontLink\SystemLink' \
    /v Tahoma /t REG_MULTI_SZ /d 'NanumGothic.ttf,NanumGothic' /f >/dev/null 2>&1
  "$WINE64" reg add 'HKCU\Software\Wine' /v Version /d win7 /f >/dev/null 2>&1
  # A crashing program must end and fail its test, not wait for a person at winedbg's dialog.
  "$WINE64" reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1
}

# Makes sure the session is up: display, prefix, a wineserver that outlives each program, and the
# desktop already started with its output going nowhere (the first program to touch the desktop
# starts explorer.exe, which would otherwise hold that program's stdout pipe open for ever).
wine_session_up() {  # state
  local state
  state=$(realpath -m "$1")
  mkdir -p "$state"
  wine_session_env "$state"
  exec 9>"$state/lock"
  flock 9
  if [ -n "${WINE_SESSION_DISPLAY:-}" ]; then
    # A display of the caller's (scripts/run on the user's screen).
    export DISPLAY="$WINE_SESSION_DISPLAY"
  else
    if ! wine_xvfb_alive "$state"; then
      "$WINESERVER" -k >/dev/null 2>&1 || true
      wine_start_xvfb "$state"
    fi
    export DISPLAY=":$(cat "$state/display")"
  fi
  if [ ! -f "$WINEPREFIX/.lagvane-ready" ]; then
    rm -rf "$WINEPREFIX"
    wine_prepare_prefix
    touch "$WINEPREFIX/.lagvane-ready"
    # Let the set-up's short-lived server go, so that a persistent one takes its place.
    "$WINESERVER" -w 9>&- || true
  fi
  # Fails harmlessly when the session's server is already running.
  "$WINESERVER" -p60 >/dev/null 2>&1 </dev/null 9>&- || true
  "$WINE64" rundll32.exe user32.dll,GetDesktopWindow >/dev/null 2>&1 </dev/null 9>&- || true
  flock -u 9
  exec 9>&-
}

wine_session_down() {  # state
  local state
  state=$(realpath -m "$1")
  if [ -d "$state/prefix" ]; then
    WINEPREFIX="$state/prefix" "$WINESERVER" -k >/dev/null 2>&1 || true
  fi
  if wine_xvfb_alive "$state"; then
    kill "$(cat "$state/xvfb.pid")" 2>/dev/null || true
  fi
  rm -f "$state/xvfb.pid"
}
