#!/usr/bin/env bash
# Installs what is missing, builds the Windows tree and prints the performance
# figures: the time of a refresh against the bare platform cost of the same
# job, the CPU time, working set and GDI objects of the running program (shown
# and minimised), the rate it shows under Wine and on Windows' timer tick, and
# the CPU that it and a native X11 peer (xzoom) cost side by side.
# Not a test: it passes or fails nothing on its figures. It exits non-zero when
# a figure could not be taken (a process not found, a run that yielded
# nothing), and says so in that figure's place.
#
#   scripts/bench.sh [calls per figure (250)] [seconds per program run (30)]
#   scripts/bench.sh --peer [seconds per peer run (20)] [rounds (3)]   the peer table alone
#   scripts/bench.sh --against REV [seconds per run (20)] [rounds (3)]
#     this tree's program against REV's (built in build/against/REV), back to
#     back on one display: CPU, timer wake-ups and pixels copied a refresh, and
#     copies after a session lock; about 7 minutes at the defaults
#
# The measuring is scripts/bench.py's; this installs, builds and starts the
# display and Wine for it.
set -euo pipefail
. "$(dirname "$0")/common.sh"

ensure_packages python3 xzoom strace
args=("$@")
targets=(vellora vellora_refresh_bench vellora_process_bench vellora_picture vellora_windows_rules)
[ "${1:-}" = --against ] && targets=(vellora vellora_picture vellora_windows_rules)
log "building the program and the benchmarks in the Windows tree"
build_windows "${targets[@]}" >&2  # stdout is for the figures

if [ "${1:-}" = --against ]; then
  # The other revision's program, built once from a checkout of its own with
  # its own toolchain file (what it was built with then). The build stays for
  # the next run; the checkout goes, and with it the worktree's record.
  against=$(git -C "$VELLORA_ROOT" rev-parse --short=7 "${2:?"--against needs a revision"}^{commit}")
  old_src=$VELLORA_BUILD/against/$against/src
  old_win=$VELLORA_BUILD/against/$against/win
  git -C "$VELLORA_ROOT" worktree prune
  if [ ! -f "$old_win/app/vellora.exe" ]; then
    log "building $against's program in $old_win"
    {
      [ -e "$old_src/.git" ] || git -C "$VELLORA_ROOT" worktree add --detach "$old_src" "$against"
      cmake -S "$old_src" -B "$old_win" -G Ninja -DCMAKE_BUILD_TYPE=Release \
        -DCMAKE_TOOLCHAIN_FILE="$old_src/cmake/mingw-w64-x86_64.cmake" >/dev/null
      cmake --build "$old_win" --target vellora
    } >&2
  fi
  if [ -e "$old_src" ]; then
    git -C "$VELLORA_ROOT" worktree remove --force "$old_src" || rm -rf "$old_src"
    git -C "$VELLORA_ROOT" worktree prune
  fi
  args=(--against "$against" "$old_win/app/vellora.exe" "${@:3}")
fi

# A screen twice the largest view (1920x1080) in both directions, so that the
# area every view reflects lies wholly on it.
trap stop_all EXIT
start_xvfb 3840x2160
start_wine
VELLORA_BUILD=$VELLORA_BUILD VELLORA_XVFB_PID=$VELLORA_XVFB_PID \
  python3 "$VELLORA_ROOT/scripts/bench.py" "${args[@]}"
