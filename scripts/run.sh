#!/usr/bin/env bash
# Installs what is missing, builds Vellora and runs it under Wine.
set -euo pipefail
. "$(dirname "$0")/common.sh"

ensure_packages
log "building the Windows tree"
build_windows

exe="$VELLORA_BUILD/win/app/vellora.exe"
if [ ! -f "$exe" ]; then
  log "built the libraries and tests; the program itself (the mirror window) is not part of this build yet"
  exit 0
fi
