#!/usr/bin/env bash
# Installs what is missing, builds, starts a simulated controller on a pseudo-terminal and the
# configurator connected to it. The simulator prints every request and reply here; it stops
# when the configurator closes.
#   TALVER_SIM_ARGS="--type receiver --version 221" ./demo.sh   (see controller-sim --help)
set -euo pipefail
cd "$(dirname "$0")"
scripts/setup.sh
scripts/build.sh build Release

tmp=$(mktemp -d)
link="$tmp/ttyTALVER"
sim_pid=
cleanup() {
  if [ -n "$sim_pid" ]; then
    kill "$sim_pid" 2>/dev/null || true
    wait "$sim_pid" 2>/dev/null || true
  fi
  rm -rf "$tmp"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# shellcheck disable=SC2086  # the extra arguments are meant to split
build/tools/controller-sim/controller-sim --link "$link" ${TALVER_SIM_ARGS:-} &
sim_pid=$!
for _ in $(seq 100); do
  [ -L "$link" ] && break
  kill -0 "$sim_pid" 2>/dev/null || { echo "demo: the controller simulator did not start" >&2; exit 1; }
  sleep 0.05
done
[ -L "$link" ] || { echo "demo: the controller simulator made no port" >&2; exit 1; }

build/configurator/configurator --port "$link" "$@"
