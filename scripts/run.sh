#!/usr/bin/env bash
# Installs what is missing, builds Vellora and runs it under Wine.
#  - On a machine with a display (DISPLAY reachable): Vellora starts there and
#    runs until you choose "Exit" from its context menu (right-click it).
#  - Without a display: a virtual one is started with a window manager, a
#    picture is put beside the mirror, and a screenshot of the running mirror
#    is saved; its path is printed.
set -euo pipefail
. "$(dirname "$0")/common.sh"

ensure_packages openbox
log "building vellora.exe and the picture it mirrors"
# Only what this command runs: the test programs are the test command's.
build_windows vellora vellora_picture

exe="$VELLORA_BUILD/win/app/vellora.exe"
picture="$VELLORA_BUILD/win/tests/app/vellora_picture.exe"

if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
  start_wine native
  trap 'wineserver -k >/dev/null 2>&1 || true' EXIT
  log "starting Vellora on $DISPLAY (right-click it for the menu; Exit ends it)"
  status=0
  wine "$exe" || status=$?
  log "Vellora ended with exit code $status"
  exit $status
fi

trap stop_all EXIT
start_xvfb
# A desktop as people have it: with a window manager.
start_wm
# Native windows: in Wine's virtual desktop the X stacking of a layered popup
# and its owner can disagree with the Win32 z-order in a screenshot.
start_wine native
log "no display: running on the virtual display $DISPLAY, with openbox"
wine "$picture" 400 300 550 500 </dev/null >/dev/null 2>&1 &
sleep 1
wine "$exe" </dev/null >/dev/null 2>&1 &
vellora=$!
sleep 3
shot="$VELLORA_BUILD/vellora-screenshot.png"
/usr/bin/import -window root "$shot"
log "screenshot of the running mirror: $shot"
# Close it as a user would, so it saves its settings and placement.
wine taskkill /im vellora.exe >/dev/null 2>&1 || true
wait $vellora 2>/dev/null || true
echo "$shot"
