#!/usr/bin/env bash
# Builds the receiver page (wasm preset) and runs its three kinds of test
# against the dev build's hushnote-cli: the engine in Node, the page in
# headless Chromium, and a short smoke test of it in headless Firefox.
# Installs nothing: scripts/install-deps.sh does, the Firefox test's driver too.
set -euo pipefail
cd "$(dirname "$0")/../.."
timeout 600 cmake --preset wasm >/dev/null
timeout 600 cmake --build --preset wasm
# The page beside the dev build's programs, where receiver-page looks.
timeout 300 cmake --build --preset dev --target hushnote_receiver_page
page=build/wasm/bin/hushnote.html
cli=build/dev/bin/hushnote-cli
size=$(stat -c %s "$page")
echo "receiver page: $size bytes"
[ "$size" -le 150000 ] || { echo "the page is over 150,000 bytes" >&2; exit 1; }
# The page names no web address, keeps nothing in the browser and makes no code from text.
if grep -o -E 'https?://[^ "]*|localStorage|sessionStorage|indexedDB|document\.cookie|new Function' \
  "$page"; then
  echo "the page names a web address, uses storage or makes code from text" >&2
  exit 1
fi
# The trips secured text takes through mail and chat, secured by the program.
trips=build/trips.jsonl
timeout 300 python3 tests/trips/make_trips.py "$cli" "$trips"
timeout 300 node tests/web/engine_test.mjs "$page" "$cli" "$trips"
timeout 300 node tests/web/browser_test.mjs "$page" "$cli" "$trips"
[ -d tests/web/firefox/node_modules/puppeteer-core ] ||
  { echo "the Firefox test's driver is missing: run scripts/install-deps.sh" >&2; exit 1; }
timeout 300 node tests/web/firefox/firefox_test.mjs "$page" "$cli"
