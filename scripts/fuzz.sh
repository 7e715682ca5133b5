#!/usr/bin/env bash
# Builds the libFuzzer targets (clang, ASan + UBSan) and runs each for the
# given number of seconds, one after the other, starting from the seed corpus
# in fuzz/corpus. New inputs go to $BUILD_ROOT/fuzz-corpus (kept between runs,
# the seeds are never changed); a finding is saved in
# $BUILD_ROOT/fuzz-findings and fails the run.
#   scripts/fuzz.sh SECONDS_PER_TARGET [TARGET...]
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD_ROOT="${BUILD_ROOT:-build}"
seconds="${1:?usage: scripts/fuzz.sh SECONDS_PER_TARGET [TARGET...]}"
shift
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(versions classes skill_table config swap_ranges swap_set pe_version)

dir="$BUILD_ROOT/fuzz"
cmake -S . -B "$dir" -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DORVANEL_SANITIZE=ON -DORVANEL_FUZZ=ON >/dev/null
cmake --build "$dir" -j"$(nproc)" --target fuzz_all >/dev/null

# The targets change their working folder, so every path handed to libFuzzer
# must be absolute.
root="$PWD"
out="$root/$BUILD_ROOT/fuzz-corpus"
findings="$root/$BUILD_ROOT/fuzz-findings"
logs="$root/$BUILD_ROOT/fuzz-logs"
mkdir -p "$findings" "$logs"
export ASAN_OPTIONS="halt_on_error=1:detect_leaks=1"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1"

failed=0
total=0
printf '%-12s %12s %10s %8s  %s\n' target executions exec/s corpus result
for target in "${targets[@]}"; do
  mkdir -p "$out/$target"
  log="$logs/$target.log"
  status=0
  "$dir/fuzz/fuzz_$target" -max_total_time="$seconds" -timeout=10 -print_final_stats=1 \
    -dict="$root/fuzz/tables.dict" -artifact_prefix="$findings/$target-" \
    "$out/$target" "$root/fuzz/corpus/$target" >"$log" 2>&1 || status=$?
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log" | tail -1)
  units=$(find "$out/$target" -type f | wc -l)
  total=$((total + ${runs:-0}))
  if [ "$status" -eq 0 ]; then
    result=clean
  else
    result="FINDING (exit $status), see $log"
    failed=1
    grep -E 'expected|ERROR|SUMMARY|Test unit written' "$log" | head -5 | sed 's/^/    /'
  fi
  printf '%-12s %12s %10s %8s  %s\n' "$target" "${runs:-?}" "${rate:-?}" "$units" "$result"
done
echo "total executions: $total"
exit "$failed"
