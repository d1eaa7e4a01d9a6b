#!/usr/bin/env bash
# Builds the Debian package of both programs (Release, no tests) in build-package/ and puts
# talver-<version>-<architecture>.deb in the source folder.
#   scripts/package.sh && sudo apt install ./talver-*.deb
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$root/build-package
"$root/scripts/setup.sh"
if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DTALVER_BUILD_TESTS=OFF >/dev/null
fi
cmake --build "$build" -j"$(nproc)"
rm -f "$build"/talver-*.deb
(cd "$build" && cpack -G DEB >/dev/null)
cp "$build"/talver-*.deb "$root"/
ls "$root"/talver-*.deb
