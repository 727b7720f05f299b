#!/usr/bin/env bash
# The end-to-end suite: the real vellora.exe under Wine on its own virtual
# display and a fresh Wine prefix, driven with the mouse and keyboard and
# checked on the screen's pixels. Installs what is missing and builds first.
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

ensure_packages python3 locales "${extra[@]}"
# The language runs need the host locales to exist: Wine takes the user's
# language from them.
for loc in ja_JP en_US; do
  locale -a 2>/dev/null | grep -qi "^$loc\.utf-\?8\$" && continue
  log "generating the $loc.UTF-8 locale"
  sudo=
  [ "$(id -u)" -eq 0 ] || sudo=sudo
  $sudo sed -i "s/^# *\($loc.UTF-8 UTF-8\)/\1/" /etc/locale.gen
  grep -q "^$loc.UTF-8 UTF-8" /etc/locale.gen || echo "$loc.UTF-8 UTF-8" | $sudo tee -a /etc/locale.gen >/dev/null
  $sudo locale-gen >/dev/null
done

log "building the Windows tree"
build_windows >/dev/null

trap stop_all EXIT
# A display of our own: no other prefix's desktop window may cover the screen.
start_xvfb
export WINEPREFIX="$VELLORA_BUILD/wineprefix-e2e"
log "end-to-end suite on display $DISPLAY (fresh prefix $WINEPREFIX)"
VELLORA_BUILD="$VELLORA_BUILD" VELLORA_E2E_PREFIX="$WINEPREFIX" VELLORA_E2E_SHOTS="$shots" \
  python3 "$VELLORA_ROOT/tests/e2e/test_vellora.py"
log "screenshots: $shots"
