# Shared by the run and test scripts: packages, builds, a virtual display and a
# private Wine prefix. Source it; do not run it.

VELLORA_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
VELLORA_BUILD=${VELLORA_BUILD:-$VELLORA_ROOT/build}

VELLORA_PACKAGES=(cmake ninja-build g++ g++-mingw-w64-x86-64-posix mingw-w64-x86-64-dev
  wine wine64 xvfb xauth x11-utils xdotool imagemagick libboost1.81-dev googletest)

log() { printf '==> %s\n' "$*" >&2; }

# Installs whichever of the packages are missing (apt-get update first).
ensure_packages() {
  local missing=() p
  for p in "${VELLORA_PACKAGES[@]}" "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  log "installing: ${missing[*]}"
  local sudo=
  [ "$(id -u)" -eq 0 ] || sudo=sudo
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
}

# The host locales that runs in another language need: Wine takes the user's
# language, and the fonts that stand in for the dialogs' font, from them.
ensure_locales() {
  local loc sudo=
  [ "$(id -u)" -eq 0 ] || sudo=sudo
  for loc in ja_JP en_US; do
    locale -a 2>/dev/null | grep -qi "^$loc\.utf-\?8\$" && continue
    log "generating the $loc.UTF-8 locale"
    $sudo sed -i "s/^# *\($loc.UTF-8 UTF-8\)/\1/" /etc/locale.gen
    grep -q "^$loc.UTF-8 UTF-8" /etc/locale.gen || echo "$loc.UTF-8 UTF-8" | $sudo tee -a /etc/locale.gen >/dev/null
    $sudo locale-gen >/dev/null
  done
}

# The time that the release artefacts carry, in seconds since 1970: the
# caller's SOURCE_DATE_EPOCH, else the last commit's time, else (an unpacked
# source archive) the newest source file's.
source_date_epoch() {
  if [ -n "${SOURCE_DATE_EPOCH:-}" ]; then
    echo "$SOURCE_DATE_EPOCH"
  elif [ "$(git -C "$VELLORA_ROOT" rev-parse --show-toplevel 2>/dev/null)" = "$VELLORA_ROOT" ]; then
    git -C "$VELLORA_ROOT" log -1 --format=%ct
  else
    find "$VELLORA_ROOT" -path "$VELLORA_BUILD" -prune -o -type f -printf '%T@\n' |
      sort -n | tail -n 1 | cut -d. -f1
  fi
}

# The Windows program and its tests (cross-compiled); with target names, only
# those and what they need.
build_windows() {
  cmake -S "$VELLORA_ROOT" -B "$VELLORA_BUILD/win" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$VELLORA_ROOT/cmake/mingw-w64-x86_64.cmake" >/dev/null
  cmake --build "$VELLORA_BUILD/win" ${1:+--target "$@"}
}

# The platform-free code and its tests, natively under ASan and UBSan.
build_host() {
  cmake -S "$VELLORA_ROOT" -B "$VELLORA_BUILD/host" -G Ninja -DCMAKE_BUILD_TYPE=Debug >/dev/null
  cmake --build "$VELLORA_BUILD/host"
}

VELLORA_XVFB_PID=
# Starts Xvfb on the first free display and exports DISPLAY. The screen is
# 1920x1080 unless a size (WxH) is given.
start_xvfb() {
  local n size=${1:-1920x1080}
  for n in $(seq 90 150); do
    [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ] && continue
    Xvfb ":$n" -screen 0 "${size}x24" -nolisten tcp >/dev/null 2>&1 &
    VELLORA_XVFB_PID=$!
    export DISPLAY=":$n"
    local i
    for i in $(seq 1 100); do
      xdpyinfo >/dev/null 2>&1 && return 0
      kill -0 "$VELLORA_XVFB_PID" 2>/dev/null || break
      sleep 0.1
    done
    kill "$VELLORA_XVFB_PID" 2>/dev/null
    VELLORA_XVFB_PID=
  done
  log "could not start Xvfb"
  return 1
}

VELLORA_WM_PID=
# Starts a window manager (openbox) on $DISPLAY, as a person's desktop has
# one, and waits until it has taken the screen.
start_wm() {
  openbox >/dev/null 2>&1 &
  VELLORA_WM_PID=$!
  local i
  for i in $(seq 1 100); do
    xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && return 0
    kill -0 "$VELLORA_WM_PID" 2>/dev/null || break
    sleep 0.1
  done
  log "could not start openbox"
  return 1
}

# A private 64-bit prefix inside the build tree, made once; the server stays up
# for the run so later starts are quick. With "native" (for the user's own
# display) Win32 windows become windows of the user's desktop; otherwise they
# live in one virtual desktop window.
start_wine() {
  local mode=${1:-desktop}
  export WINEPREFIX="$VELLORA_BUILD/wineprefix"
  [ "$mode" = native ] && WINEPREFIX="$VELLORA_BUILD/wineprefix-native"
  export WINEARCH=win64
  export WINEDEBUG=-all
  export WINEDLLOVERRIDES="mscoree,mshtml="
  # Bump the marker's number when the prefix's set-up below changes.
  if [ ! -f "$WINEPREFIX/.vellora-prefix-2" ]; then
    log "preparing Wine prefix $WINEPREFIX"
    rm -rf "$WINEPREFIX"
    mkdir -p "$WINEPREFIX"
    wineboot -i >/dev/null 2>&1
    # A crash must fail the run at once, not wait on a dialog.
    wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1
    # One virtual desktop window instead of an X window per Win32 window:
    # without a window manager, Wine waits two seconds for every visible
    # window it destroys, and cursor, focus and owned popups behave as on
    # Windows inside the desktop.
    if [ "$mode" != native ]; then
      wine reg add 'HKCU\Software\Wine\Explorer' /v Desktop /t REG_SZ /d Default /f >/dev/null 2>&1
      wine reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /t REG_SZ /d 1920x1080 /f >/dev/null 2>&1
    fi
    wineserver -w
    touch "$WINEPREFIX/.vellora-prefix-2"
  fi
  wineserver -p
  # Start Wine's background services now, detached from our output: started
  # by the first test instead, they would hold ctest's pipes open forever.
  wine wineboot </dev/null >/dev/null 2>&1
}

stop_all() {
  if [ -n "${WINEPREFIX:-}" ]; then wineserver -k >/dev/null 2>&1 || true; fi
  if [ -n "$VELLORA_WM_PID" ]; then
    kill "$VELLORA_WM_PID" 2>/dev/null || true
    wait "$VELLORA_WM_PID" 2>/dev/null || true
    VELLORA_WM_PID=
  fi
  if [ -n "$VELLORA_XVFB_PID" ]; then
    kill "$VELLORA_XVFB_PID" 2>/dev/null || true
    wait "$VELLORA_XVFB_PID" 2>/dev/null || true
    VELLORA_XVFB_PID=
  fi
}
