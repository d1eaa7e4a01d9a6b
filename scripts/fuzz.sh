#!/usr/bin/env bash
# Builds the libFuzzer targets in build-fuzz (clang, ASan + UBSan) and runs each one for the
# given number of seconds over a scratch copy of its seed corpus in fuzz/corpus/.
#   scripts/fuzz.sh [seconds per target, default 30]
# FUZZ_BUILD_TYPE (default Debug, the quickest to build for a short run) sets the build type
# when build-fuzz is first configured; use RelWithDebInfo for long runs, it executes faster.
# A crash, a sanitizer report or a broken invariant fails the run; the log's tail and the input
# (also as Base64) are printed, and the input is kept in build-fuzz/artifacts/.
set -euo pipefail
seconds=${1:-30}
root=$(cd "$(dirname "$0")/.." && pwd)
build=$root/build-fuzz
targets=(fuzz_replies fuzz_window fuzz_poll fuzz_profile)
# Longest input per target: a controller reply is at most 32 bytes and a poll request 4, so
# these leave room for many replies, noise and batch patterns while keeping runs fast; a full
# profile is about 1.5 KB.
declare -A maxlen=([fuzz_replies]=256 [fuzz_window]=256 [fuzz_poll]=128 [fuzz_profile]=4096)
declare -A dict=([fuzz_replies]=fuzz/replies.dict [fuzz_window]=fuzz/replies.dict [fuzz_profile]=fuzz/profile.dict)

"$root/scripts/setup.sh" clang libclang-rt-14-dev
if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE="${FUZZ_BUILD_TYPE:-Debug}" \
    -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
    -DTALVER_FUZZ=ON -DTALVER_BUILD_TESTS=OFF >/dev/null
fi
cmake --build "$build" --target "${targets[@]}" -j2 >/dev/null

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
mkdir -p "$build/artifacts"
export LSAN_OPTIONS="suppressions=$root/scripts/lsan.supp:print_suppressions=0"
export QT_QPA_PLATFORM=offscreen

passed=0 failed=0
for t in "${targets[@]}"; do
  cp -r "$root/fuzz/corpus/$t" "$scratch/$t"
  log=$scratch/$t.log
  start=$SECONDS
  options=(-max_total_time="$seconds" -max_len="${maxlen[$t]}" -print_final_stats=1
           -artifact_prefix="$build/artifacts/$t-")
  [ -n "${dict[$t]:-}" ] && options+=(-dict="$root/${dict[$t]}")
  if "$build/fuzz/$t" "${options[@]}" "$scratch/$t" >"$log" 2>&1; then
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
    cov=$(grep -o 'cov: [0-9]* ft: [0-9]*' "$log" | tail -1)
    echo "$t: $runs runs in $((SECONDS - start)) s, $cov, no crash"
    passed=$((passed + 1))
  else
    echo "$t: FAILED (log tail follows; the input is in $build/artifacts/)"
    tail -n 60 "$log"
    failed=$((failed + 1))
  fi
done
echo "fuzz: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
