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
#     this tree's program against REV's (built in build/against/REV), in
#     turn on one display: CPU, timer wake-ups and copies a refresh, and
#     copies after a session lock; about 7 minutes at the defaults
set -euo pipefail
. "$(dirname "$0")/common.sh"

what=full
targets=(vellora vellora_refresh_bench vellora_process_bench vellora_picture vellora_windows_rules)
case ${1:-} in
  --peer)
    what=peer
    peer_seconds=${2:-20}
    peer_rounds=${3:-3}
    ;;
  --against)
    what=against
    against=${2:?"--against needs a revision"}
    against_seconds=${3:-20}
    against_rounds=${4:-3}
    targets=(vellora vellora_picture vellora_windows_rules)
    ;;
  *)
    rounds=${1:-250}
    seconds=${2:-30}
    peer_seconds=20
    peer_rounds=3
    ;;
esac

ensure_packages xzoom strace
win=$VELLORA_BUILD/win
log "building the program and the benchmarks in the Windows tree"
{  # stdout is for the figures
  cmake -S "$VELLORA_ROOT" -B "$win" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$VELLORA_ROOT/cmake/mingw-w64-x86_64.cmake" >/dev/null
  cmake --build "$win" --target "${targets[@]}"
} >&2
exe=$win/app/vellora.exe

if [ $what = against ]; then
  # The other revision's program from its own checkout, with its own toolchain
  # file: what it was built with then.
  against=$(git -C "$VELLORA_ROOT" rev-parse --short=7 "$against^{commit}")
  old_src=$VELLORA_BUILD/against/$against/src
  old_win=$VELLORA_BUILD/against/$against/win
  log "building $against's program in $old_src"
  {
    [ -e "$old_src/.git" ] || git -C "$VELLORA_ROOT" worktree add --detach "$old_src" "$against"
    cmake -S "$old_src" -B "$old_win" -G Ninja -DCMAKE_BUILD_TYPE=Release \
      -DCMAKE_TOOLCHAIN_FILE="$old_src/cmake/mingw-w64-x86_64.cmake" >/dev/null
    cmake --build "$old_win" --target vellora
  } >&2
  old_exe=$old_win/app/vellora.exe
fi

# A screen twice the largest view (1920x1080) in both directions, so that the
# area every view reflects lies wholly on it.
peer_cleanup=()  # the peer's own display and process, if one is running
trap 'for p in "${peer_cleanup[@]}" ${hook:-}; do kill "$p" 2>/dev/null || true; done; stop_all' EXIT
start_xvfb 3840x2160
start_wine
missing=0  # figures that could not be taken

# Windows' timer tick, put back for the programs that ask for it in their
# environment (VELLORA_HOOK_TICK), and the copies onto the view counted
# (VELLORA_HOOK_COPY_LOG): the hook DLL of the end-to-end suite.
wine "$win/tests/app/vellora_picture.exe" --windows-rules \
  "$(winepath -w "$win/tests/app/vellora_windows_rules.dll")" >/dev/null 2>&1 &
hook=$!

# --- reading processes from /proc --------------------------------------------

clk_tck=$(getconf CLK_TCK)

# User plus system time of a process so far, in clock ticks.
cpu_ticks() {
  local stat
  stat=$({ cat "/proc/$1/stat"; } 2>/dev/null) || { echo 0; return; }
  stat=${stat##*) }  # the command name may hold spaces; the fields follow ") "
  awk '{ print $12 + $13 }' <<<"$stat"
}

# Processes of our Wine prefix whose command line (arguments joined by spaces)
# matches a pattern.
prefix_pids() {
  local p
  for p in /proc/[0-9]*; do
    { tr '\0' '\n' <"$p/environ"; } 2>/dev/null | grep -qx "WINEPREFIX=$WINEPREFIX" || continue
    { tr '\0' ' ' <"$p/cmdline"; } 2>/dev/null | grep -Eq "$1" && echo "${p#/proc/}"
  done
  return 0
}

percent() { awk -v t="$1" -v hz="$clk_tck" -v s="$2" 'BEGIN { printf "%.2f", 100 * t / hz / s }'; }

# --- refresh times -------------------------------------------------------------

table=$VELLORA_BUILD/bench-refresh.txt
if [ $what = full ]; then
  log "refresh times ($rounds calls per figure; takes a few minutes)"
  rm -f "$table"
  # A Wine desktop of the screen's size; the program's console does not reach us
  # from there, so the table comes back through a file.
  wine explorer /desktop=VelloraBench,3840x2160 "$win/bench/vellora_refresh_bench.exe" "$rounds" \
    "$(winepath -w "$table")" >/dev/null 2>&1 || true
  [ -s "$table" ] || { log "the refresh benchmark wrote nothing"; exit 1; }
fi

# --- the running program -------------------------------------------------------

key='HKCU\Software\Korvane\Vellora32\Setting'
seed_settings() { # refresh rate (hundredths a second), every how many ticks a whole one (10)
  wine reg delete "$key" /f >/dev/null 2>&1 || true
  local name value
  for name in Direction=0 Edge=4 ThinEdge=0 TransparentEdge=50 RefreshRate="$1" \
    EntireRefreshRate="${2:-10}" AroundCursorDistance=50; do
    value=${name#*=}
    wine reg add "$key" /v "${name%%=*}" /t REG_DWORD /d "$value" /f >/dev/null 2>&1
  done
}

wineserver_pid=$(prefix_pids '^[^ ]*wineserver(64)? ' | head -n 1)
xvfb_pid=$VELLORA_XVFB_PID

log "Wine and X at rest over 10 s"
w0=$(cpu_ticks "$wineserver_pid") x0=$(cpu_ticks "$xvfb_pid")
sleep 10
idle_wine=$(percent $(($(cpu_ticks "$wineserver_pid") - w0)) 10)
idle_x=$(percent $(($(cpu_ticks "$xvfb_pid") - x0)) 10)

# One run of a program under the process benchmark ("run" or "run-minimised"
# in $mode), with the settings seeded for a refresh rate (hundredths a
# second). $3 picks the Linux process out.
run_program() {
  local rate=$1 out=$2 pattern=$3
  shift 3
  seed_settings "$rate"
  rm -f "$out"
  wine "$win/bench/vellora_process_bench.exe" "${mode:-run}" "$@" >"$out" 2>/dev/null &
  local bench=$! i pid= hwm=? m
  # A first start in a new prefix may take more than half a minute before
  # "begin" (the benchmark waits a minute for the window).
  for i in $(seq 1 1800); do grep -q '^begin' "$out" 2>/dev/null && break; sleep 0.05; done
  for i in $(seq 1 40); do
    pid=$(prefix_pids "$pattern" | head -n 1)
    [ -n "$pid" ] && break
    sleep 0.25
  done
  if [ -z "$pid" ] || ! grep -q '^begin' "$out" 2>/dev/null; then
    wait "$bench" || true
    # No process, no figures: an empty id would read /proc itself. The
    # benchmark's own word says why (no window, no start).
    local why
    why=$(tr -d '\r' <"$out" 2>/dev/null | head -n 1)
    for m in proc wine/x "linux process"; do echo "$m: (not found${why:+: $why})"; done >>"$out"
    missing=1
    return 0
  fi
  local cmdline
  cmdline=$({ tr '\0' ' ' <"/proc/$pid/cmdline"; } 2>/dev/null || true)
  cmdline=${cmdline%"${cmdline##*[! ]}"}  # without the trailing blanks
  local p0 w0 x0 p1 w1 x1
  p0=$(cpu_ticks "$pid") w0=$(cpu_ticks "$wineserver_pid") x0=$(cpu_ticks "$xvfb_pid")
  for i in $(seq 1 $((seconds * 20 + 600))); do
    # The peak so far, read while the process lives.
    m=$({ awk '/^VmHWM/ { printf "%.1f", $2 / 1024 }' "/proc/$pid/status"; } 2>/dev/null) &&
      hwm=${m:-$hwm}
    grep -q '^end' "$out" 2>/dev/null && break
    sleep 0.05
  done
  p1=$(cpu_ticks "$pid") w1=$(cpu_ticks "$wineserver_pid") x1=$(cpu_ticks "$xvfb_pid")
  wait "$bench" || true
  {
    echo "proc: $(percent $((p1 - p0)) "$seconds")% of one core, peak resident (VmHWM) $hwm MB"
    echo "wine/x: wineserver $(percent $((w1 - w0)) "$seconds")%, Xvfb $(percent $((x1 - x0)) "$seconds")% of one core"
    echo "linux process: $pid ${cmdline:-(not found)}"
  } >>"$out"
}

# The rate the program shows, counted as the copies onto its view over 6 s
# after its first second: $1 the rate set (hundredths a second), $2 1 for
# Windows' tick, 0 for Wine's timers as they are. Prints refreshes a second.
rate_shown() {
  local copies=$VELLORA_BUILD/bench-copies.log
  seed_settings "$1"
  rm -f "$copies"
  VELLORA_HOOK_TICK=$2 VELLORA_HOOK_COPY_LOG=$(winepath -w "$copies") \
    wine "$exe" >/dev/null 2>&1 &
  local app=$!
  sleep 8
  wine taskkill /im vellora.exe >/dev/null 2>&1 || true
  wait "$app" || true
  awk '$2 != "copy" { next } !first { first = $1 } $1 >= first + 1000000 { if (!n++) from = $1; to = $1 }
    END { if (n > 10) printf "%.2f", (n - 1) / ((to - from) / 1e6); else print "(no copies counted)" }' \
    "$copies" 2>/dev/null || echo "(no copies counted)"
}

program='^[^ ]*[\\/]vellora\.exe *$'
measure_programs() {
  r10=$VELLORA_BUILD/bench-run-1000.txt r50=$VELLORA_BUILD/bench-run-5000.txt
  floor=$VELLORA_BUILD/bench-run-idle.txt
  log "the program at 10 refreshes a second, whole every 10th ($seconds s)"
  run_program 1000 "$r10" "$program" "$(winepath -w "$exe")" "$seconds"
  log "the program at 50 refreshes a second ($seconds s)"
  run_program 5000 "$r50" "$program" "$(winepath -w "$exe")" "$seconds"
  floor_timer=$VELLORA_BUILD/bench-run-idle-timer.txt
  log "a plain window that only waits, for comparison ($seconds s)"
  run_program 1000 "$floor" 'vellora_process_bench\.exe idle *$' \
    "$(winepath -w "$win/bench/vellora_process_bench.exe")" "$seconds" idle
  log "the same with a timer ticking 10 times a second ($seconds s)"
  run_program 1000 "$floor_timer" 'vellora_process_bench\.exe idle 100 *$' \
    "$(winepath -w "$win/bench/vellora_process_bench.exe")" "$seconds" "idle 100"

  m10=$VELLORA_BUILD/bench-run-1000-minimised.txt m50=$VELLORA_BUILD/bench-run-5000-minimised.txt
  log "the program minimised, at 10 refreshes a second ($seconds s)"
  mode=run-minimised run_program 1000 "$m10" "$program" "$(winepath -w "$exe")" "$seconds"
  log "the program minimised, at 50 refreshes a second ($seconds s)"
  mode=run-minimised run_program 5000 "$m50" "$program" "$(winepath -w "$exe")" "$seconds"

  declare -gA shown=()
  local r t
  for r in 1000 2000 5000; do
    for t in 0 1; do
      log "the rate shown at $((r / 100)) a second, $([ $t = 1 ] && echo "on Windows' tick" || echo "on Wine's timers")"
      shown[$r,$t]=$(rate_shown "$r" "$t")
      case ${shown[$r,$t]} in \(*) missing=1 ;; esac
    done
  done

  log "GDI objects of the running program, counted inside it ($seconds s)"
  seed_settings 1000
  gdi=$VELLORA_BUILD/bench-gdi.txt
  wine "$win/bench/vellora_process_bench.exe" gdi "$seconds" >"$gdi" 2>/dev/null || true
  wine reg delete "$key" /f >/dev/null 2>&1 || true
}

# --- the peer: the native X11 mirror xzoom, side by side -----------------------

# CPU ticks of several processes: ticks_at_start PIDS..., then ticks_since: the
# sum of what those still alive spent since (one that ended in between, a
# short-lived helper, is left out rather than counted negative).
declare -A peer_ticks
ticks_at_start() {
  local p
  peer_ticks=()
  for p in "$@"; do peer_ticks[$p]=$(cpu_ticks "$p"); done
}
ticks_since() {
  local p t=0 now_ticks
  for p in "${!peer_ticks[@]}"; do
    [ -d "/proc/$p" ] || continue
    now_ticks=$(cpu_ticks "$p")
    [ "$now_ticks" -ge "${peer_ticks[$p]}" ] && t=$((t + now_ticks - peer_ticks[$p]))
  done
  echo "$t"
}
now() { date +%s.%N; }
elapsed() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.3f", b - a }'; }

# The program under the process benchmark, once: CPU of the program,
# wineserver, the other processes of the prefix (Wine's desktop and services
# and the benchmark itself) and the X server, in percent of one core over the
# measured span, into peer_result. $1: refresh rate (hundredths a second),
# $2: every how many ticks a whole refresh.
peer_program() {
  seed_settings "$1" "$2"
  local out=$VELLORA_BUILD/bench-peer-program.txt
  rm -f "$out"
  wine "$win/bench/vellora_process_bench.exe" run "$(winepath -w "$exe")" "$peer_seconds" \
    >"$out" 2>/dev/null &
  local bench=$! i pid others=() p
  for i in $(seq 1 600); do grep -q '^begin' "$out" 2>/dev/null && break; sleep 0.05; done
  pid=$(prefix_pids "$program" | head -n 1)
  for p in $(prefix_pids .); do
    [ "$p" = "$pid" ] || [ "$p" = "$wineserver_pid" ] || others+=("$p")
  done
  local t0 p0 w0 x0 t1 p1 w1 x1 o
  t0=$(now) p0=$(cpu_ticks "$pid") w0=$(cpu_ticks "$wineserver_pid") x0=$(cpu_ticks "$xvfb_pid")
  ticks_at_start "${others[@]}"
  for i in $(seq 1 $((peer_seconds * 20 + 600))); do
    grep -q '^end' "$out" 2>/dev/null && break
    sleep 0.05
  done
  t1=$(now) p1=$(cpu_ticks "$pid") w1=$(cpu_ticks "$wineserver_pid") x1=$(cpu_ticks "$xvfb_pid")
  o=$(ticks_since)
  wait "$bench" || true
  local s
  s=$(elapsed "$t0" "$t1")
  peer_result="$(percent $((p1 - p0)) "$s") $(percent $((w1 - w0)) "$s") $(percent "$o" "$s") $(percent $((x1 - x0)) "$s")"
  peer_view=$(tr -d '\r' <"$out" | sed -n 's/^view: //p')
}

# xzoom once, on an X display of its own, mirroring (-x) at scale 1 an area of
# the view's size where the program's view would have it: CPU of xzoom and of
# its X server, into peer_result. $1: presses of its key d (from 200 ms between copies, one
# gives 100 ms, two 50 ms).
peer_xzoom() {
  local presses=$1 display=$DISPLAY xvfb=$VELLORA_XVFB_PID
  start_xvfb 1920x1080
  local own_x=$VELLORA_XVFB_PID
  peer_cleanup=("$own_x")
  xzoom -mag 1 -x -source 480x270+480+405 >/dev/null 2>&1 &
  local xz=$! i window=
  peer_cleanup=("$xz" "$own_x")
  for i in $(seq 1 100); do
    window=$(xdotool search --name '^xzoom' 2>/dev/null | head -n 1) || true
    [ -n "$window" ] && break
    sleep 0.1
  done
  sleep 0.5 # until it reads its keys
  for i in $(seq 1 "$presses"); do
    xdotool key --window "$window" d 2>/dev/null
    sleep 0.2
  done
  sleep 3 # as the program is given
  local t0 z0 x0 t1 z1 x1 s
  t0=$(now) z0=$(cpu_ticks "$xz") x0=$(cpu_ticks "$own_x")
  sleep "$peer_seconds"
  t1=$(now) z1=$(cpu_ticks "$xz") x1=$(cpu_ticks "$own_x")
  s=$(elapsed "$t0" "$t1")
  # Its delay as it sleeps it (after the measured span, as tracing costs CPU).
  local nsec
  nsec=$(timeout 2 strace -p "$xz" -e trace=clock_nanosleep,nanosleep 2>&1 |
    grep -o 'tv_nsec=[0-9]*' | sort | uniq -c | sort -rn | awk 'NR == 1 { sub("tv_nsec=", "", $2); print $2 }') || true
  peer_delays+="${peer_delays:+, }${nsec:+$((nsec / 1000000)) ms}"
  [ -n "$nsec" ] || peer_delays+="?"
  peer_result="$(percent $((z1 - z0)) "$s") - - $(percent $((x1 - x0)) "$s")"
  [ -n "$window" ] || peer_result="- - - -" # xzoom showed no window
  kill "$xz" "$own_x" 2>/dev/null || true
  wait "$xz" "$own_x" 2>/dev/null || true
  peer_cleanup=()
  export DISPLAY=$display
  VELLORA_XVFB_PID=$xvfb
}

# Each case of the table: label, then how to run it.
peer_cases=(
  "xzoom, 100 ms between copies|10|peer_xzoom 1"
  "Vellora, whole every tick|10|peer_program 1000 1"
  "Vellora, defaults (whole every 10th)|10|peer_program 1000 10"
  "xzoom, 50 ms between copies|20|peer_xzoom 2"
  "Vellora, whole every tick|20|peer_program 2000 1"
  "Vellora, defaults (whole every 10th)|20|peer_program 2000 10"
)
declare -A peer_results
peer_result=
peer_view=
peer_delays=
measure_peer() {
  local round c label rate run
  for round in $(seq 1 "$peer_rounds"); do
    for c in "${!peer_cases[@]}"; do
      IFS='|' read -r label rate run <<<"${peer_cases[$c]}"
      log "peer table, round $round of $peer_rounds: $label, $rate a second ($peer_seconds s)"
      peer_result=
      $run
      peer_results[$c]+="$peer_result"$'\n'
    done
  done
  wine reg delete "$key" /f >/dev/null 2>&1 || true
}

print_peer_table() {
  local c label rate run column
  echo
  echo "Side by side with xzoom ($peer_rounds rounds of $peer_seconds s per case, one figure a round;" \
    "percent of one core):"
  echo
  echo "| program | refreshes/s | the program | wineserver | other Wine processes | X server | all together |"
  echo "|---|---:|---:|---:|---:|---:|---:|"
  for c in "${!peer_cases[@]}"; do
    IFS='|' read -r label rate run <<<"${peer_cases[$c]}"
    printf '| %s | %s |' "$label" "$rate"
    for column in 1 2 3 4 total; do
      printf ' %s |' "$(awk -v col="$column" '
        NF == 4 {
          if (col == "total") { v = 0; for (i = 1; i <= 4; i++) if ($i != "-") v += $i; out = out sep sprintf("%.2f", v) }
          else out = out sep $col
          sep = " / "
        }
        END { print out }' <<<"${peer_results[$c]}")"
    done
    echo
  done
  echo
  echo "xzoom's area: 480x270 at (480, 405), on a 1920x1080 X display of its own;" \
    "the program on Wine's 1920x1080 desktop on its own X display, its view ${peer_view:-(unknown)}."
  echo "xzoom's delay between copies as traced after each run: ${peer_delays:-?}."
  echo "Wine and X at rest before: wineserver ${idle_wine}%, Xvfb ${idle_x}% of one core."
}

# --- against another revision's program -----------------------------------------

# Wine's 1920x1080 desktop puts the default view at 480x270 at (960, 405),
# reflecting the area of its own size on its left: the picture fills that
# area, and the cursor stays in its middle, so every refresh around the
# cursor has something to copy.
reflected=(480 405 480 270)
cursor_x=720 cursor_y=540
against_settle=3
against_lock_seconds=3
against_configs=(
  "50 refreshes/s, defaults otherwise (whole every 10th)|5000|10"
  "20 refreshes/s, every refresh whole|2000|1"
)
declare -A against_results
lines_of() { { wc -l <"$1"; } 2>/dev/null || echo 0; }

# One run of an exe with the settings seeded ($2 rate, $3 every how many ticks
# a whole refresh), its copies and timer messages logged by the hook DLL:
# into against_result "program wineserver Xvfb program+Xvfb wake-ups/refresh
# share% refreshes/s copies-after-lock", or "-" when the process or its copies
# were not found.
against_run() {
  local exe=$1 copies=$VELLORA_BUILD/bench-against-copies.log
  seed_settings "$2" "$3"
  rm -f "$copies"
  xdotool mousemove "$cursor_x" "$cursor_y"
  VELLORA_HOOK_COPY_LOG=$(winepath -w "$copies") wine "$exe" >/dev/null 2>&1 &
  local app=$! pid=
  for _ in $(seq 1 600); do
    [ -n "$pid" ] || pid=$(prefix_pids "$program" | head -n 1)
    [ -n "$pid" ] && grep -q ' copy ' "$copies" 2>/dev/null && break
    sleep 0.1
  done
  against_result=-
  if [ -n "$pid" ] && grep -q ' copy ' "$copies" 2>/dev/null; then
    sleep "$against_settle"
    local t0 n0 p0 w0 x0 t1 n1 p1 w1 x1 n2 n3
    t0=$(now) n0=$(lines_of "$copies")
    p0=$(cpu_ticks "$pid") w0=$(cpu_ticks "$wineserver_pid") x0=$(cpu_ticks "$xvfb_pid")
    sleep "$against_seconds"
    t1=$(now) n1=$(lines_of "$copies")
    p1=$(cpu_ticks "$pid") w1=$(cpu_ticks "$wineserver_pid") x1=$(cpu_ticks "$xvfb_pid")
    # WM_WTSSESSION_CHANGE, WTS_SESSION_LOCK, to the window titled "Vellora"
    # (the same way for both: an older build's class name was generated).
    local locked=-
    if wine "$win/tests/app/vellora_picture.exe" --post Vellora 689 7 >/dev/null 2>&1; then
      n2=$(lines_of "$copies")
      sleep "$against_lock_seconds"
      n3=$(lines_of "$copies")
      locked=$(sed -n "$((n2 + 1)),${n3}p" "$copies" | grep -c ' copy ' || true)
    else
      missing=1  # the window was not found
    fi
    local s
    s=$(elapsed "$t0" "$t1")
    against_result=$(sed -n "$((n0 + 1)),${n1}p" "$copies" | tr -d '\r' | awk -v s="$s" \
      -v p="$(percent $((p1 - p0)) "$s")" -v w="$(percent $((w1 - w0)) "$s")" \
      -v x="$(percent $((x1 - x0)) "$s")" -v locked="$locked" '
      $2 == "copy" && $5 * $6 > 0 { n++; share += $3 * $4 / ($5 * $6) }
      $2 == "timer" { t++ }
      END {
        if (!n) { print "-"; exit }
        printf "%s %s %s %.2f %.3f %.1f %.2f %s\n", p, w, x, p + x, t / n, 100 * share / n, n / s, locked
      }')
  fi
  wine taskkill /im vellora.exe >/dev/null 2>&1 || true
  for _ in $(seq 1 100); do kill -0 "$app" 2>/dev/null || break; sleep 0.1; done
  if kill -0 "$app" 2>/dev/null; then wine taskkill /f /im vellora.exe >/dev/null 2>&1 || true; fi
  wait "$app" || true
  [ "$against_result" != - ] || missing=1
}

measure_against() {
  log "a picture in the reflected area ${reflected[*]}, the cursor at ($cursor_x, $cursor_y)"
  wine "$win/tests/app/vellora_picture.exe" "${reflected[@]}" >/dev/null 2>&1 &
  peer_cleanup=($!)
  sleep 2
  local round c label rate entire e order
  for round in $(seq 1 "$against_rounds"); do
    # Each goes first in every other round, so that neither always meets the
    # display as the other left it.
    order="old new"
    [ $((round % 2)) -eq 0 ] && order="new old"
    for c in "${!against_configs[@]}"; do
      IFS='|' read -r label rate entire <<<"${against_configs[$c]}"
      for e in $order; do
        log "round $round of $against_rounds: $label, $([ $e = old ] && echo "$against's" || echo "this tree's") program ($against_seconds s)"
        against_run "$([ $e = old ] && echo "$old_exe" || echo "$exe")" "$rate" "$entire"
        against_results[$c,$e]+="$against_result"$'\n'
      done
    done
  done
  wine reg delete "$key" /f >/dev/null 2>&1 || true
}

print_against_table() {
  local c label rate entire row col name cells
  local here
  here=$(git -C "$VELLORA_ROOT" rev-parse --short=7 HEAD)
  git -C "$VELLORA_ROOT" diff --quiet HEAD -- 2>/dev/null || here+=" with changes"
  local rows=("the program, % of one core|1" "wineserver, % of one core|2" "Xvfb, % of one core|3"
    "the program + Xvfb, % of one core|4" "timer wake-ups a refresh|5"
    "share of the picture a refresh copies, %|6" "refreshes a second|7"
    "copies in ${against_lock_seconds} s after the lock message|8")
  for c in "${!against_configs[@]}"; do
    IFS='|' read -r label rate entire <<<"${against_configs[$c]}"
    echo
    echo "$label: mean (lowest-highest) of $against_rounds runs of $against_seconds s each:"
    echo
    echo "| | $against | this tree ($here) | this tree / $against |"
    echo "|---|---:|---:|---:|"
    for row in "${rows[@]}"; do
      IFS='|' read -r name col <<<"$row"
      cells=$(for e in old new; do
        awk -v col="$col" -v runs="$against_rounds" '
          NF == 8 && $col != "-" { v = $col + 0; s += v; n++; if (n == 1 || v < lo) lo = v; if (n == 1 || v > hi) hi = v }
          END {
            if (!n) { print "(not found)"; exit }
            d = col == 5 ? 3 : col == 6 || col == 8 ? 1 : 2
            f = "%." d "f"
            printf f " (" f "-" f ")%s\n", s / n, lo, hi, n < runs ? " (" n " of " runs " runs)" : ""
          }' <<<"${against_results[$c,$e]}"
      done)
      local old_cell new_cell ratio=
      old_cell=$(sed -n 1p <<<"$cells") new_cell=$(sed -n 2p <<<"$cells")
      if [ "$col" -le 4 ]; then
        ratio=$(awk -v a="${old_cell%% *}" -v b="${new_cell%% *}" \
          'BEGIN { if (a ~ /^[0-9.]+$/ && b ~ /^[0-9.]+$/ && a > 0) printf "%.2f", b / a }')
      fi
      echo "| $name | $old_cell | $new_cell | $ratio |"
    done
  done
  echo
  echo "Both on Wine's 1920x1080 desktop with the settings seeded alike, in turn ($against first in odd rounds, second in even ones)," \
    "$against_settle s after the first copy; the cursor at ($cursor_x, $cursor_y), inside the" \
    "reflected area ${reflected[2]}x${reflected[3]} at (${reflected[0]}, ${reflected[1]}), which the" \
    "test picture fills. A wake-up is a timer message the program's loop dispatched, a copy one onto" \
    "the layered view (hook DLL); the lock message posted once, with vellora_picture.exe --post Vellora 689 7."
  echo "Wine and X at rest before: wineserver ${idle_wine}%, Xvfb ${idle_x}% of one core."
}

# --- the table -------------------------------------------------------------------

print_program_tables() {

  # The Windows tools end their lines with CR LF.
  field() { tr -d '\r' <"$1" | sed -n "s/^$2//p" | head -n 1; }
  size=$(stat -c %s "$exe")
  stripped=$(mktemp)
  x86_64-w64-mingw32-strip -o "$stripped" "$exe"
  stripped_size=$(stat -c %s "$stripped")
  rm -f "$stripped"

  echo
  echo "Refresh of the reflection view: $(head -n 1 "$table" | tr -d '\r')"
  echo
  tail -n +2 "$table" | tr -d '\r'
  echo
  echo "The running program ($seconds s per rate, default settings otherwise):"
  echo
  echo "| | 10 refreshes/s, whole every 10th | 50 refreshes/s | 10 refreshes/s, minimised | 50 refreshes/s, minimised | plain waiting window (floor) | plain window, 10 timer ticks/s |"
  echo "|---|---|---|---|---|---|---|"
  row() {
    local f cells=
    for f in "$r10" "$r50" "$m10" "$m50" "$floor" "$floor_timer"; do
      cells+=" $(field "$f" "$2") |"
    done
    echo "| $1 |$cells"
  }
  row "view" "view: "
  row "CPU and peak resident set, /proc" "proc: "
  row "CPU, GetProcessTimes" "cpu seconds (GetProcessTimes): "
  row "working set, GetProcessMemoryInfo" "working set (GetProcessMemoryInfo): "
  row "GetGuiResources" "GDI objects (GetGuiResources): "
  row "Wine/X overhead (not Windows cost)" "wine\/x: "
  row "minimised while measured" "minimised: "
  row "exit code" "exit code: "
  row "Linux process measured" "linux process: "
  echo
  echo "The rate shown (copies onto the view a second, over 6 s after the first), refreshes a second:"
  echo
  echo "| rate set | under Wine as it is | on Windows' 15.625 ms timer tick |"
  echo "|---:|---:|---:|"
  local r
  for r in 1000 2000 5000; do
    echo "| $((r / 100)) | ${shown[$r,0]} | ${shown[$r,1]} |"
  done
  echo
  echo "Wine/X at rest (10 s, before the program starts): wineserver ${idle_wine}%, Xvfb ${idle_x}% of one core."
  echo "GDI objects counted inside a running program (10 refreshes/s):"
  tr -d '\r' <"$gdi" | sed 's/^/  /'
  echo "vellora.exe: $size bytes ($((size / 1024)) KiB); stripped of symbols $stripped_size bytes ($((stripped_size / 1024)) KiB)."
}

case $what in
  full)
    measure_programs
    measure_peer
    print_program_tables
    print_peer_table
    ;;
  peer)
    measure_peer
    print_peer_table
    ;;
  against)
    measure_against
    print_against_table
    ;;
esac
if [ $missing -ne 0 ]; then
  log "some figures could not be taken: see the cells marked (not found) or (no copies counted)"
  exit 1
fi
