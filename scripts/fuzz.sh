#!/usr/bin/env bash
# Fuzzes the parsers of outside input with libFuzzer (tests/fuzz): installs
# what it needs, builds the linux-fuzz preset and runs each target for the
# given time on a scratch copy of its seed corpus, two targets at a time, at
# low priority. Prints executions, exec/s and final coverage per target; exits
# non-zero when any target found a crash, printing the reproducer's path.
#
#   scripts/fuzz.sh [seconds] [target...]     (default: 600 s, every target)
#
# QVL_FUZZ_BUILD_DIR  build directory (default build/linux-fuzz)
# QVL_FUZZ_JOBS       targets run at once (default 2)
# QVL_FUZZ_WORK       scratch directory for corpora, logs and reproducers
#                     (default <build>/fuzz-runs/<date-time>)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
. scripts/lib.sh

all_targets=()
for source in tests/fuzz/*_fuzzer.cpp; do
  name=$(basename "$source" _fuzzer.cpp)
  all_targets+=("$name")
done

seconds=600
if [ $# -gt 0 ] && [[ $1 =~ ^[0-9]+$ ]]; then
  seconds=$1
  shift
fi
targets=("$@")
[ ${#targets[@]} -eq 0 ] && targets=("${all_targets[@]}")
for target in "${targets[@]}"; do
  if [ ! -f "tests/fuzz/${target}_fuzzer.cpp" ]; then
    echo "Unknown fuzz target '$target'; known: ${all_targets[*]}" >&2
    exit 2
  fi
done

build=${QVL_FUZZ_BUILD_DIR:-$root/build/linux-fuzz}
jobs=${QVL_FUZZ_JOBS:-2}
work=${QVL_FUZZ_WORK:-$build/fuzz-runs/$(date +%Y%m%d-%H%M%S)}

step "$build/logs/packages.log" "Debian packages" scripts/install-packages.sh
prepare_deps linux64 QVL_NATIVE_DEPS_PREFIX "Native dependencies"
step "$build/logs/configure.log" "Configure linux-fuzz" cmake --preset linux-fuzz -B "$build"
step "$build/logs/build.log" "Build the fuzz targets" nice -n 10 cmake --build "$build" --target qvl_fuzzers

export ASAN_OPTIONS=${ASAN_OPTIONS:-abort_on_error=0:symbolize=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1}

# run_target <name>: fuzzes one target; leaves <work>/<name>/result.
run_target() {
  local name=$1
  local dir=$work/$name
  mkdir -p "$dir/corpus" "$dir/artifacts"
  cp -r "tests/fuzz/corpus/$name/." "$dir/corpus/"
  local options=(-max_total_time="$seconds" -timeout=25 -rss_limit_mb=2048 -print_final_stats=1
                 -artifact_prefix="$dir/artifacts/")
  [ -f "tests/fuzz/$name.dict" ] && options+=(-dict="tests/fuzz/$name.dict")
  local status=0
  nice -n 10 "$build/bin/${name}_fuzzer" "${options[@]}" "$dir/corpus" >"$dir/log" 2>&1 || status=$?

  local executions rate coverage features result
  executions=$(sed -n 's/^stat::number_of_executed_units: *//p' "$dir/log" | tail -n 1)
  rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$dir/log" | tail -n 1)
  coverage=$({ grep -o 'cov: [0-9]*' "$dir/log" || true; } | tail -n 1 | cut -d' ' -f2)
  features=$({ grep -o 'ft: [0-9]*' "$dir/log" || true; } | tail -n 1 | cut -d' ' -f2)
  if [ "$status" -eq 0 ]; then
    result=clean
  else
    local reproducer
    reproducer=$(sed -n 's/.*Test unit written to \(.*\)$/\1/p' "$dir/log" | tail -n 1)
    result="FAILED (exit $status) reproducer: ${reproducer:-none} log: $dir/log"
  fi
  printf '%s\t%s\t%s\t%s\t%s\t%s\t%s\n' "$name" "$seconds" "${executions:-?}" "${rate:-?}" "${coverage:-?}" \
    "${features:-?}" "$result" >"$dir/result"
}

mkdir -p "$work"
echo "Fuzzing ${targets[*]} for $seconds s each, $jobs at a time; scratch: $work" >&2
running=0
for target in "${targets[@]}"; do
  if [ "$running" -ge "$jobs" ]; then
    wait -n || true
    running=$((running - 1))
  fi
  run_target "$target" &
  running=$((running + 1))
done
wait

failed=0
{
  printf 'target\tseconds\texecutions\texec/s\tcov\tft\tresult\n'
  for target in "${targets[@]}"; do
    if [ -f "$work/$target/result" ]; then
      cat "$work/$target/result"
    else
      printf '%s\t%s\t?\t?\t?\t?\tFAILED (no result)\n' "$target" "$seconds"
    fi
  done
} | tee "$work/summary.tsv" | column -t -s $'\t'
if grep -q FAILED "$work/summary.tsv"; then
  echo "A fuzz target failed: keep its reproducer in tests/fuzz/corpus/<target>/ once fixed." >&2
  failed=1
fi
exit "$failed"
