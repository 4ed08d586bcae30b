#!/usr/bin/env bash
# Builds the libFuzzer targets of fuzz/ (clang, AddressSanitizer and
# UndefinedBehaviorSanitizer) in a build directory of their own and runs each
# for the given seconds, one job at a time:
#   scripts/fuzz.sh [seconds] [target...]     (60 seconds, every target)
# A target's corpus grows in <build>/runs/<target>/corpus. A crash, a broken
# promise, a leak or a hang leaves its input beside it and fails the script.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
. "$here/scripts/deps.sh"
vesko_packages+=(clang libclang-rt-dev)
install_deps

seconds="${1:-60}"
shift || true
build="${VESKO_FUZZ_BUILD_DIR:-$here/build-fuzz}"
cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DVESKO_FUZZ=ON >/dev/null
cmake --build "$build" --target vesko_fuzz

targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  for program in "$build"/fuzz/fuzz_*; do
    [ -f "$program" ] && [ -x "$program" ] && targets+=("$(basename "$program" | sed 's/^fuzz_//')")
  done
fi

# Targets that read a file write one per input: on a memory file system.
if [ -d /dev/shm ] && [ -w /dev/shm ]; then
  export TMPDIR=/dev/shm
fi

failed=0
for target in "${targets[@]}"; do
  run="$build/runs/$target"
  mkdir -p "$run/corpus"
  rm -f "$run"/fuzz-*.log
  # -jobs=1: one fuzzing process, its output in fuzz-0.log.
  (cd "$run" && "$build/fuzz/fuzz_$target" -jobs=1 -max_total_time="$seconds" -timeout=10 \
     -print_final_stats=1 corpus "$here/fuzz/seeds/$target" >/dev/null 2>&1) || true
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$run/fuzz-0.log" | tail -n 1)
  found=$(find "$run" -maxdepth 1 \( -name 'crash-*' -o -name 'leak-*' -o -name 'timeout-*' -o -name 'oom-*' \) | sort)
  echo "$target: ${runs:-0} inputs in $seconds s"
  if [ -n "$found" ]; then
    failed=1
    echo "$found"
    grep -m 1 -A 12 -E 'ERROR|broken|runtime error' "$run/fuzz-0.log" || tail -n 20 "$run/fuzz-0.log"
  fi
done
exit "$failed"
