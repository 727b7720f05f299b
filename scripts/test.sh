#!/usr/bin/env bash
# Installs what is missing, builds both trees and runs every test: the native
# sanitizer build directly, the CI workflow against its schema, the release
# artefacts, the Windows build's tests and the release as CI's Windows job
# tries them (under Wine on a virtual display), the end-to-end suite on a
# display of its own, the reliability checks of the real program, and a short
# fuzzing run.
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
log "the CI workflow against the schema of GitHub workflow files"
"$VELLORA_ROOT/scripts/workflow-check/check.sh" || status=1
log "release artefacts, and their install, start and uninstall under Wine"
{ "$VELLORA_ROOT/scripts/release.sh" && "$VELLORA_ROOT/scripts/release_check.sh"; } || status=1
# The Windows tests run once, as CI's Windows job runs them: ctest's own list
# of them (commands, environments, time limits) copied out with the programs,
# then the release's checksums, a silent install, a start, a close and a
# silent uninstall.
log "Windows tests under Wine (display $DISPLAY), and the release, as CI's Windows job tries them"
{ python3 "$VELLORA_ROOT/scripts/windows_job.py" collect "$VELLORA_BUILD/win" "$VELLORA_BUILD/windows-tests" &&
  python3 "$VELLORA_ROOT/scripts/windows_job.py" "$VELLORA_BUILD/windows-tests" \
    "${VELLORA_RELEASE_DIR:-$VELLORA_BUILD/release}" --results "$VELLORA_BUILD/windows-job"; } || status=1
stop_all

log "end-to-end suite"
"$VELLORA_ROOT/scripts/e2e.sh" || status=1
log "reliability of the real program (damaged registry, kills, long run, desktops)"
"$VELLORA_ROOT/scripts/reliability.sh" || status=1
log "fuzzing the platform-free code (about a minute)"
"$VELLORA_ROOT/scripts/fuzz.sh" || status=1

[ $status -eq 0 ] && log "all tests passed" || log "TESTS FAILED"
exit $status
