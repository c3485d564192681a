#!/usr/bin/env bash
# Builds the fuzz targets (clang, libFuzzer, address and undefined-behaviour
# sanitizers) and runs each for SECONDS (default 30) on a working copy of the
# committed seed corpus. A crash fails the run and leaves its input in
# build/fuzz/findings/. Longer runs: scripts/fuzz.sh 3600
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-30}"
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1"
# File targets write a file per run: keep that in memory where possible.
[ -w /dev/shm ] && export TMPDIR=/dev/shm
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
findings=build/fuzz/findings
mkdir -p "$findings"
passed=0 failed=0
for exe in build/fuzz/bin/fuzz_*; do
  name=$(basename "$exe" | sed 's/^fuzz_//')
  work=build/fuzz/corpus-run/$name
  mkdir -p "$work"
  [ -d "fuzz/corpus/$name" ] && cp -n fuzz/corpus/"$name"/* "$work"/ 2>/dev/null || true
  log=build/fuzz/$name.log
  if "$exe" -max_total_time="$seconds" -rss_limit_mb=2048 -timeout=10 \
       -artifact_prefix="$findings/$name-" "$work" >"$log" 2>&1; then
    runs=$(grep -Eo 'Done [0-9]+ runs' "$log" | grep -Eo '[0-9]+' || echo '?')
    echo "fuzz $name: $runs executions in ${seconds}s, no findings"
    passed=$((passed + 1))
  else
    echo "fuzz $name: FAILED, see $log"
    tail -30 "$log"
    failed=$((failed + 1))
  fi
done
echo "fuzz: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
