#!/usr/bin/env bash
# The performance bench: installs what is missing, builds the bench programs in Release into
# build-bench/, runs them and prints one table. Each figure is the median of repeated runs and
# stands beside its reference, measured in the same run. Takes about three minutes once built (the flood runs one).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build-bench"

"$root/scripts/setup.sh" libbenchmark-dev
mkdir -p "$build"
if ! { cmake -S "$root/bench" -B "$build" -DCMAKE_BUILD_TYPE=Release \
       && cmake --build "$build" -j2 \
       && cmake --build "$build" -j2 --target configurator controller-sim; } >"$build/build.log" 2>&1; then
  tail -n 40 "$build/build.log"
  echo "bench: build failed (whole log in $build/build.log)" >&2
  exit 1
fi

export QT_QPA_PLATFORM=offscreen
log="$build/bench.log"
: >"$log"
started=$(date +%s)
cpu=$(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2- | sed 's/^ *//')
qt=$(dpkg-query -W -f='${Version}' libqt5core5a 2>/dev/null || echo unknown)
echo "Machine: ${cpu:-unknown CPU}, $(nproc) cores, $(awk '/MemTotal/ {printf "%.0f GiB", $2/1048576}' /proc/meminfo);" \
     "$(uname -sr); Qt $qt; $(date -u '+%Y-%m-%d %H:%M UTC')"
echo "Load average before (1/5/15 min): $(cut -d' ' -f1-3 /proc/loadavg)"
echo
echo "| area | figure | value | reference | ratio | target |"
echo "|---|---|---|---|---|---|"
"$build/bench_startup" "$build/startup_configurator" "$build/startup_reference" 2>>"$log"
"$build/bench_exchange" 2>>"$log"
"$build/bench_responder" "$build/responder_host" "$build/ref_poll_responder" 2>>"$log"
"$build/bench_table" 2>>"$log"
"$build/bench_parsers" 2>>"$log"
"$build/bench_monitor" 2>>"$log"
"$build/bench_flood" 2>>"$log"
echo
# Commissioning hands free, the real program against the simulator's device swap: 20 devices,
# then the same with a pause inside every reply (the fast pace falls back to the normal one).
"$root/bench/handsfree.sh" "$build/talver" 20 2>>"$log"
"$root/bench/handsfree.sh" "$build/talver" 20 --pause-inside 80 2>>"$log"
echo
echo "Load average after (1/5/15 min): $(cut -d' ' -f1-3 /proc/loadavg); $(( $(date +%s) - started )) s;" \
     "diagnostics in ${log#"$root"/}"
