#!/usr/bin/env bash
# Builds the libFuzzer targets (native clang, ASan + UBSan) and runs each for
# its share of a total time, starting from the corpus kept in fuzz/corpus.
#
#   scripts/fuzz.sh            about 60 s in all (the test run)
#   scripts/fuzz.sh --long     one hour in all
#   scripts/fuzz.sh SECONDS    SECONDS in all
#   scripts/fuzz.sh --merge    fold what the last runs found into fuzz/corpus
#
# Prints the executions of each target; exits non-zero on any finding, with the
# input that shows it saved under $VELLORA_BUILD/fuzz/findings.
set -euo pipefail
. "$(dirname "$0")/common.sh"

TARGETS=(fixed_point reflect_rects cursor_rect edge_rects)
total=60 merge=0
case "${1:-}" in
  '') ;;
  --long) total=3600 ;;
  --merge) merge=1 ;;
  *[!0-9]* | 0) echo "usage: $0 [--long | SECONDS | --merge]" >&2; exit 2 ;;
  *) total=$1 ;;
esac

ensure_packages clang libclang-rt-14-dev
dir=$VELLORA_BUILD/fuzz
log "building the fuzz targets (clang, ASan, UBSan)"
cmake -S "$VELLORA_ROOT" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_CXX_COMPILER=clang++ -DVELLORA_FUZZ=ON >/dev/null
cmake --build "$dir" --target vellora_fuzzers

# Per target: its corpus in the repository (read) and a working corpus in the
# build tree (new inputs go there, so a run leaves the checkout alone).
options() {
  case "$1" in
    fixed_point) echo "-dict=$VELLORA_ROOT/fuzz/fixed_point.dict -max_len=256" ;;
    *) echo "-max_len=256" ;;
  esac
}

# The corpus is kept minimal: the inputs that together reach all the coverage
# of the kept corpus and the working one, plus every input of a fixed finding
# (regression-*), which stays whatever its coverage.
if [ $merge -eq 1 ]; then
  for t in "${TARGETS[@]}"; do
    kept=$VELLORA_ROOT/fuzz/corpus/$t
    mkdir -p "$kept" "$dir/work/$t"
    rm -rf "$dir/merged/$t" && mkdir -p "$dir/merged/$t"
    "$dir/fuzz/fuzz_$t" -merge=1 $(options "$t") "$dir/merged/$t" "$kept" "$dir/work/$t" \
      >"$dir/merge-$t.log" 2>&1
    find "$kept" -type f ! -name 'regression-*' -delete
    cp -n "$dir/merged/$t"/* "$kept"/ 2>/dev/null || true
    log "$t: $(find "$kept" -type f | wc -l) inputs in fuzz/corpus/$t"
  done
  exit 0
fi

share=$((total / ${#TARGETS[@]}))
[ $share -ge 1 ] || share=1
mkdir -p "$dir/findings"
status=0
printf '%-14s %12s %8s %s\n' target executions seconds result
for t in "${TARGETS[@]}"; do
  mkdir -p "$dir/work/$t"
  out=$dir/run-$t.log
  result=ok
  "$dir/fuzz/fuzz_$t" -max_total_time=$share -print_final_stats=1 $(options "$t") \
    -artifact_prefix="$dir/findings/$t-" "$dir/work/$t" "$VELLORA_ROOT/fuzz/corpus/$t" \
    >"$out" 2>&1 || { result="FINDING (see $out)"; status=1; }
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$out" | tail -1)
  secs=$(sed -n 's/^Done [0-9]* runs in \([0-9]*\) second.*/\1/p' "$out" | tail -1)
  printf '%-14s %12s %8s %s\n' "$t" "${runs:-?}" "${secs:-?}" "$result"
done
[ $status -eq 0 ] && log "fuzzing found nothing" || log "FUZZING FOUND FAULTS"
exit $status
