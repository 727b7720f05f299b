#!/usr/bin/env bash
# The end-to-end suite: the real vellora.exe under Wine on its own virtual
# display and a fresh Wine prefix, driven with the mouse and keyboard and
# checked on the screen's pixels; then its picture checks again on a display
# with a window manager. Installs what is missing and builds first.
#   scripts/e2e.sh          run the suite (screenshots go to build/e2e/shots)
#   scripts/e2e.sh --docs   the same, and the screenshots go to docs/
set -euo pipefail
. "$(dirname "$0")/common.sh"

shots="$VELLORA_BUILD/e2e/shots"
extra=()
if [ "${1:-}" = --docs ]; then
  shots="$VELLORA_ROOT/docs"
  extra=(fonts-noto-cjk)  # Japanese text in the screenshots
fi

ensure_packages python3 locales openbox "${extra[@]}"
# The language runs need the host locales to exist.
ensure_locales

log "building the Windows tree"
build_windows >/dev/null

trap stop_all EXIT
status=0
# A display of our own: no other prefix's desktop window may cover the screen.
start_xvfb
export WINEPREFIX="$VELLORA_BUILD/wineprefix-e2e"
log "end-to-end suite on display $DISPLAY (fresh prefix $WINEPREFIX)"
VELLORA_BUILD="$VELLORA_BUILD" VELLORA_E2E_PREFIX="$WINEPREFIX" VELLORA_E2E_SHOTS="$shots" \
  python3 "$VELLORA_ROOT/tests/e2e/test_vellora.py" || status=1
log "screenshots: $shots"
stop_all

# Again on a desktop with a window manager, as people use it: the picture
# checks, a drag and sizing by the borders, a change of side, About and Exit,
# and the hidden and the minimised start.
start_xvfb
export WINEPREFIX="$VELLORA_BUILD/wineprefix-e2e-wm"
start_wm
log "end-to-end suite with openbox on display $DISPLAY (fresh prefix $WINEPREFIX)"
VELLORA_BUILD="$VELLORA_BUILD" VELLORA_E2E_PREFIX="$WINEPREFIX" VELLORA_E2E_WM=openbox \
  VELLORA_E2E_SHOTS="$VELLORA_BUILD/e2e/shots-openbox" python3 "$VELLORA_ROOT/tests/e2e/test_vellora.py" \
  MirrorTest.test_each_side_mirrors_what_lies_beside_it \
  MirrorTest.test_refresh_rate_is_the_rate_set \
  MirrorTest.test_drag_and_size \
  MirrorTest.test_hidden_and_minimised_starts \
  MirrorTest.test_on_a_desktop_the_view_stays_on_top || status=1
exit $status
