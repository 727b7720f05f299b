#!/usr/bin/env bash
# Reliability of the real program under Wine: damaged registry values, abrupt
# ends, a long run with its counters sampled, and unusual desktops (several
# monitors, some at negative coordinates).
#   scripts/reliability.sh          CI variant: 8 kills, a long run of one minute
#   scripts/reliability.sh --long   40 kills, a long run of ten minutes
# Exits with 0 only if every check passed.
set -euo pipefail
. "$(dirname "$0")/common.sh"

long_seconds=60 kills=8
if [ "${1:-}" = --long ]; then long_seconds=600 kills=40; fi

ensure_packages xserver-xorg-core xserver-xorg-video-dummy
log "building the Windows tree"
build_windows

exe="$VELLORA_BUILD/win/app/vellora.exe"
driver="$VELLORA_BUILD/win/tests/reliability/vellora_reliability.exe"
screens_log="$VELLORA_BUILD/reliability-desktops.txt"

# The desktops run on an X server of their own with three monitors (Xvfb
# places all its screens at one origin, so it cannot give Wine a monitor left
# of or above the primary) and a Wine prefix without a virtual desktop, whose
# single monitor would hide the others. They run alongside the rest.
SCREENS_DISPLAY= XORG_PID=
start_screens() {
  local n
  for n in $(seq 150 199); do
    [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ] && continue
    Xorg ":$n" -config "$VELLORA_ROOT/tests/reliability/screens.conf" -noreset -nolisten tcp \
      -novtswitch -sharevts -logfile "$VELLORA_BUILD/xorg-screens.log" >/dev/null 2>&1 &
    XORG_PID=$!
    echo "$XORG_PID" >"$VELLORA_BUILD/xorg-screens.pid"
    local i
    for i in $(seq 1 100); do
      DISPLAY=":$n" xdpyinfo >/dev/null 2>&1 && { SCREENS_DISPLAY=":$n"; return 0; }
      kill -0 "$XORG_PID" 2>/dev/null || break
      sleep 0.1
    done
    kill "$XORG_PID" 2>/dev/null || true
    XORG_PID=
  done
  return 1
}

run_desktops() {
  start_screens || { echo "could not start the three-monitor X server"; return 1; }
  export DISPLAY=$SCREENS_DISPLAY WINEPREFIX="$VELLORA_BUILD/wineprefix-screens" WINEARCH=win64
  export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
  if [ ! -f "$WINEPREFIX/.vellora-screens-1" ]; then
    rm -rf "$WINEPREFIX"
    mkdir -p "$WINEPREFIX"
    wineboot -i >/dev/null 2>&1 || true
    wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1 || true
    # Monitors from Xinerama: Wine's RandR and VidMode paths see only the first
    # screen (and the VidMode one brings Wine down with three).
    wine reg add 'HKCU\Software\Wine\X11 Driver' /v UseXRandR /t REG_SZ /d N /f >/dev/null 2>&1 || true
    wine reg add 'HKCU\Software\Wine\X11 Driver' /v UseXVidMode /t REG_SZ /d N /f >/dev/null 2>&1 || true
    wineserver -w || true
    touch "$WINEPREFIX/.vellora-screens-1"
  fi
  wineserver -p
  wine wineboot </dev/null >/dev/null 2>&1 || true
  local status=0 start=$SECONDS
  wine "$driver" desktops "$exe" </dev/null 2>/dev/null || status=$?
  echo "(desktops: $((SECONDS - start)) s after $start s of set-up)"
  wineserver -k >/dev/null 2>&1 || true
  kill "$XORG_PID" 2>/dev/null || true
  wait "$XORG_PID" 2>/dev/null || true
  rm -f "$VELLORA_BUILD/xorg-screens.pid"
  return $status
}

log "unusual desktops, on a three-monitor display (alongside the rest)"
(run_desktops) >"$screens_log" 2>&1 &
desktops_pid=$!

stop_desktops() {
  kill "$desktops_pid" 2>/dev/null || true
  if [ -f "$VELLORA_BUILD/xorg-screens.pid" ]; then
    kill "$(cat "$VELLORA_BUILD/xorg-screens.pid")" 2>/dev/null || true
    rm -f "$VELLORA_BUILD/xorg-screens.pid"
  fi
  WINEPREFIX="$VELLORA_BUILD/wineprefix-screens" wineserver -k >/dev/null 2>&1 || true
}
trap 'stop_all; stop_desktops' EXIT
start_xvfb
start_wine

status=0
run() {
  local start=$SECONDS
  wine "$driver" "$@" </dev/null 2>/dev/null || status=1
  echo "($1: $((SECONDS - start)) s)"
  echo
}
log "damaged registry (display $DISPLAY)"
run registry "$exe"
log "abrupt end"
run kills "$exe" --count "$kills"
log "long run: $long_seconds s"
run longrun "$exe" --seconds "$long_seconds"

log "unusual desktops"
wait $desktops_pid || status=1
cat "$screens_log"
echo "(all: $SECONDS s)"

[ $status -eq 0 ] && log "reliability: all passed" || log "reliability: FAILED"
exit $status
