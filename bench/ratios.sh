#!/usr/bin/env bash
# Runs hushnote_bench (three repetitions, one process) and prints, for every size, each implementation's
# speed as a multiple of OpenSSL's in the same run (RC4(), EVP_EncodeBlock,
# EVP_DecodeBlock), and the built-in engine's throughput in MB/s.
# Usage: bench/ratios.sh [path/to/hushnote_bench] [extra benchmark flags...]
# Builds build/release first when no program is given.
set -euo pipefail
cd "$(dirname "$0")/.."

if [ $# -gt 0 ] && [ -x "$1" ]; then
  bench="$1"
  shift
else
  cmake --preset release >/dev/null
  cmake --build --preset release --target hushnote_bench fncryptlib >/dev/null
  bench=build/release/bin/hushnote_bench
fi

json=$(mktemp)
trap 'rm -f "$json"' EXIT
# Three repetitions, medians only: the machine may be busy with other work.
"$bench" --benchmark_format=json --benchmark_repetitions=3 \
  --benchmark_report_aggregates_only=true "$@" >"$json"

python3 - "$json" <<'PY'
import json, sys

data = json.load(open(sys.argv[1]))
rate = {}
# With repetitions, the median of each benchmark; otherwise its one run.
for b in data["benchmarks"]:
    if b.get("run_type") == "aggregate" and b.get("aggregate_name") != "median":
        continue
    group, impl, size = b["run_name"].split("/")
    key = (group, impl, int(size))
    if b.get("run_type") == "aggregate" or key not in rate:
        rate[key] = b["bytes_per_second"]

print("built-in engine (VBEncrypt), MB/s (10^6 bytes/s):")
for (group, impl, size), r in sorted(rate.items()):
    if group == "vbencrypt":
        print(f"  {impl:16} {size:>9} B  {r / 1e6:10.1f}")

print("ratio to OpenSSL in the same run (speed / OpenSSL speed):")
for (group, impl, size), r in sorted(rate.items()):
    base = rate.get((group, "openssl", size))
    if group == "vbencrypt" or impl == "openssl" or base is None:
        continue
    print(f"  {group:7} {impl:13} {size:>9} B  {r / base:6.2f}x"
          f"  ({r / 1e6:8.1f} vs {base / 1e6:8.1f} MB/s)")
PY
