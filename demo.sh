#!/usr/bin/env bash
# Installs what is missing, builds and starts the configurator.
set -euo pipefail
cd "$(dirname "$0")"
scripts/setup.sh
scripts/build.sh build Release
exec build/configurator/configurator "$@"
