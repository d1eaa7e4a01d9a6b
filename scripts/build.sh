#!/usr/bin/env bash
# Configures (once) and builds the project in the given folder with the given build type.
set -euo pipefail
dir=${1:?build folder}; type=${2:-Release}; shift 2 || true
root=$(cd "$(dirname "$0")/.." && pwd)
if [ ! -f "$dir/CMakeCache.txt" ]; then
  cmake -S "$root" -B "$dir" -DCMAKE_BUILD_TYPE="$type" "$@" >/dev/null
fi
cmake --build "$dir" -j"$(nproc)"
