#!/usr/bin/env bash
# Figures for the receiver page (not tests): its size, time to usable in
# headless Chromium, Secure plus De-Secure of 20,000 characters, and a
# 16,777,215-byte file in the page against hushnote-cli --mode builtin on the
# same file in the same run, as time and as processor time.
#   bench/page.sh      builds the wasm and dev presets' page and program first
set -euo pipefail
cd "$(dirname "$0")/.."
cmake --preset wasm >/dev/null
cmake --build --preset wasm >/dev/null
cmake --build --preset dev --target hushnote-cli >/dev/null
echo "page size: $(stat -c %s build/wasm/bin/hushnote.html) bytes"
node bench/page.mjs build/wasm/bin/hushnote.html build/dev/bin/hushnote-cli
