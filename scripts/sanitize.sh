#!/usr/bin/env bash
# Builds everything with AddressSanitizer and UndefinedBehaviorSanitizer in build-asan and runs
# the whole CTest suite there. Any sanitizer report fails its test: undefined behaviour aborts,
# and a leak makes the suite exit non-zero. Leaks that third-party libraries keep on purpose are
# listed in scripts/lsan.supp.
#   scripts/sanitize.sh [ctest arguments]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$root/build-asan

"$root/scripts/setup.sh" clang libclang-rt-14-dev
if [ ! -f "$build/CMakeCache.txt" ]; then
  # Debug: the suites wait on serial lines far more than they compute, so an unoptimised
  # build, quicker to compile, finishes first. clang compiles the instrumented code faster
  # than g++ and is needed for the fuzz targets anyway.
  cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Debug -DTALVER_SANITIZE=ON \
    -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ >/dev/null
fi
cmake --build "$build" -j2

export LSAN_OPTIONS="suppressions=$root/scripts/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
export TALVER_TEST_PERIOD_MS=40   # the instrumented window is slower: longer periods
cd "$build" && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j2 "$@"
