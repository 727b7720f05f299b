#!/usr/bin/env bash
# Installs what is missing, builds both trees and runs every test: the native
# sanitizer build directly, the Windows build under Wine on a virtual display.
set -euo pipefail
. "$(dirname "$0")/common.sh"

ensure_packages
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
[ $status -eq 0 ] && log "all tests passed" || log "TESTS FAILED"
exit $status
