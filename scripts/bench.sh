#!/usr/bin/env bash
# Installs what is missing, builds the Windows tree and prints the performance
# figures: the time of a refresh against the bare platform cost of the same
# job, and the CPU time, working set and GDI objects of the running program.
# Not a test: it passes or fails nothing on its figures.
#
#   scripts/bench.sh [calls per figure (250)] [seconds per program run (30)]
set -euo pipefail
. "$(dirname "$0")/common.sh"

rounds=${1:-250}
seconds=${2:-30}

ensure_packages
log "building the Windows tree"
build_windows >&2  # stdout is for the figures
win=$VELLORA_BUILD/win
exe=$win/app/vellora.exe

# A screen twice the largest view (1920x1080) in both directions, so that the
# area every view reflects lies wholly on it.
trap stop_all EXIT
start_xvfb 3840x2160
start_wine

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

log "refresh times ($rounds calls per figure; takes a few minutes)"
table=$VELLORA_BUILD/bench-refresh.txt
rm -f "$table"
# A Wine desktop of the screen's size; the program's console does not reach us
# from there, so the table comes back through a file.
wine explorer /desktop=VelloraBench,3840x2160 "$win/bench/vellora_refresh_bench.exe" "$rounds" \
  "$(winepath -w "$table")" >/dev/null 2>&1 || true
[ -s "$table" ] || { log "the refresh benchmark wrote nothing"; exit 1; }

# --- the running program -------------------------------------------------------

key='HKCU\Software\Korvane\Vellora32\Setting'
seed_settings() {
  wine reg delete "$key" /f >/dev/null 2>&1 || true
  local name value
  for name in Direction=0 Edge=4 ThinEdge=0 TransparentEdge=50 RefreshRate="$1" \
    EntireRefreshRate=10 AroundCursorDistance=50; do
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

# One run of a program under the process benchmark, with the settings seeded
# for a refresh rate (hundredths a second). $3 picks the Linux process out.
run_program() {
  local rate=$1 out=$2 pattern=$3
  shift 3
  seed_settings "$rate"
  rm -f "$out"
  wine "$win/bench/vellora_process_bench.exe" run "$@" >"$out" 2>/dev/null &
  local bench=$! i pid= hwm=? m
  for i in $(seq 1 600); do grep -q '^begin' "$out" 2>/dev/null && break; sleep 0.05; done
  pid=$(prefix_pids "$pattern" | head -n 1)
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

program='^[^ ]*[\\/]vellora\.exe *$'
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

log "GDI objects of the running program, counted inside it ($seconds s)"
seed_settings 1000
gdi=$VELLORA_BUILD/bench-gdi.txt
wine "$win/bench/vellora_process_bench.exe" gdi "$seconds" >"$gdi" 2>/dev/null || true
wine reg delete "$key" /f >/dev/null 2>&1 || true

# --- the table -------------------------------------------------------------------

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
echo "| | 10 refreshes/s, whole every 10th | 50 refreshes/s | plain waiting window (floor) | plain window, 10 timer ticks/s |"
echo "|---|---|---|---|---|"
row() {
  echo "| $1 | $(field "$r10" "$2") | $(field "$r50" "$2") | $(field "$floor" "$2") | $(field "$floor_timer" "$2") |"
}
row "view" "view: "
row "CPU and peak resident set, /proc" "proc: "
row "CPU, GetProcessTimes" "cpu seconds (GetProcessTimes): "
row "working set, GetProcessMemoryInfo" "working set (GetProcessMemoryInfo): "
row "GetGuiResources" "GDI objects (GetGuiResources): "
row "Wine/X overhead (not Windows cost)" "wine\/x: "
row "exit code" "exit code: "
row "Linux process measured" "linux process: "
echo
echo "Wine/X at rest (10 s, before the program starts): wineserver ${idle_wine}%, Xvfb ${idle_x}% of one core."
echo "GDI objects counted inside a running program (10 refreshes/s):"
tr -d '\r' <"$gdi" | sed 's/^/  /'
echo "vellora.exe: $size bytes ($((size / 1024)) KiB); stripped of symbols $stripped_size bytes ($((stripped_size / 1024)) KiB)."
