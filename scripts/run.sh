#!/usr/bin/env bash
# Builds Hushnote and starts the desktop program. The receiver page is built
# first, so that the program finds it beside itself and its File menu offers
# to save it.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake --preset wasm >/dev/null
cmake --build --preset wasm
cmake --preset dev >/dev/null
cmake --build --preset dev
exec build/dev/bin/hushnote "$@"
