#!/usr/bin/env bash
# Installs what is missing, builds both trees and runs every test: the native
# sanitizer build directly, the Windows build under Wine on a virtual display,
# the release artefacts, the end-to-end suite on a display of its own, the
# reliability checks of the real program, and a short fuzzing run.
set -euo pipefail
. "$(dirname "$0")/common.sh"

ensure_packages locales
ensure_locales  # the dialog texts are also checked in a Japanese locale
log "building the native tree (ASan, UBSan)"
build_host
log "building the Windows tree"
build_windows

trap stop_all EXIT
start_xvfb
start_wine

status=0
log "native tests"
ctest --test-dir "$VELLORA_BUILD/host" --output-on-failure || status=1
log "Windows tests under Wine (display $DISPLAY)"
ctest --test-dir "$VELLORA_BUILD/win" --output-on-failure || status=1
log "release artefacts, and their install, start and uninstall under Wine"
{ "$VELLORA_ROOT/scripts/release.sh" && "$VELLORA_ROOT/scripts/release_check.sh"; } || status=1
stop_all

log "end-to-end suite"
"$VELLORA_ROOT/scripts/e2e.sh" || status=1
log "reliability of the real program (damaged registry, kills, long run, desktops)"
"$VELLORA_ROOT/scripts/reliability.sh" || status=1
log "fuzzing the platform-free code (about a minute)"
"$VELLORA_ROOT/scripts/fuzz.sh" || status=1

[ $status -eq 0 ] && log "all tests passed" || log "TESTS FAILED"
exit $status
