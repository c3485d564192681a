#!/usr/bin/env bash
# Runs hushnote_bench (three repetitions, one process) and prints, for every size, each implementation's
# speed as a multiple of OpenSSL's in the same run (RC4(), EVP_EncodeBlock,
# EVP_DecodeBlock), a pasted message's de-securing after a mail or chat trip as
# a multiple of the same message pasted as sent, and the built-in engine's
# throughput in MB/s.
# With --check it also times the whole program against OpenSSL's command line
# (secure-file of a 16,777,215-byte file in library mode against
# `openssl enc -rc4 | base64 -w0`, five runs each, taken by turns), compares
# every ratio with its floor in bench/floors.txt and exits 1 when one is below.
# Usage: bench/ratios.sh [--check] [path/to/hushnote_bench] [extra benchmark flags...]
# Builds build/release first when no program is given; --check takes
# hushnote-cli from the benchmark's folder.
set -euo pipefail
cd "$(dirname "$0")/.."

check=0
if [ "${1:-}" = "--check" ]; then
  check=1
  shift
fi
if [ $# -gt 0 ] && [ -x "$1" ]; then
  bench="$1"
  shift
else
  cmake --preset release >/dev/null
  cmake --build --preset release --target hushnote_bench fncryptlib hushnote-cli >/dev/null
  bench=build/release/bin/hushnote_bench
fi

json=$(mktemp)
work=""
trap 'rm -f "$json"; [ -z "$work" ] || rm -rf "$work"' EXIT
# Three repetitions, medians only: the machine may be busy with other work.
"$bench" --benchmark_format=json --benchmark_repetitions=3 \
  --benchmark_report_aggregates_only=true "$@" >"$json"

whole=""
if [ $check -eq 1 ]; then
  cli="$(dirname "$bench")/hushnote-cli"
  # On the machine's disk, as a user's files are: tmpfs would hide the writing.
  mkdir -p build
  work=$(mktemp -d build/ratios-check.XXXXXX)
  head -c 16777215 /dev/urandom >"$work/F"
  # 16 characters: openssl enc keys RC4 with exactly 128 bits, so both sides
  # use the same key.
  printf '%s\n' 'staple horse 16c' >"$work/PW"
  hex=$(printf '%s' 'staple horse 16c' | od -An -tx1 | tr -d ' \n')
  whole=$(python3 - "$cli" "$work" "$hex" <<'PY'
import os, statistics, subprocess, sys, time

cli, work, hex_key = sys.argv[1:]
ours = [cli, "secure-file", "--mode", "library", "--password-file", f"{work}/PW",
        f"{work}/F", f"{work}/OUT"]
theirs = ["bash", "-c", f"openssl enc -rc4 -nosalt -K {hex_key} -provider legacy "
          f"-provider default -in {work}/F | base64 -w0 > {work}/OUT2"]

def timed(cmd):
    # Each run starts on a settled disk, as a user's single command does: the
    # write-back of the run before would otherwise fall on this one.
    os.sync()
    time.sleep(0.2)
    start = time.perf_counter()
    subprocess.run(cmd, check=True, stdout=subprocess.DEVNULL)
    return time.perf_counter() - start

# One run each to warm the caches, then five of each by turns, so that a busy
# spell of the machine falls on both.
timed(ours), timed(theirs)
a, b = [], []
for _ in range(5):
    a.append(timed(ours))
    b.append(timed(theirs))
print(statistics.median(b) / statistics.median(a), statistics.median(a), statistics.median(b))
PY
)
fi

python3 - "$json" "$check" "$whole" bench/floors.txt <<'PY'
import json, sys

data = json.load(open(sys.argv[1]))
check, whole, floors_file = sys.argv[2] == "1", sys.argv[3], sys.argv[4]
rate = {}
# With repetitions, the median of each benchmark; otherwise its one run.
for b in data["benchmarks"]:
    if b.get("run_type") == "aggregate" and b.get("aggregate_name") != "median":
        continue
    group, impl, size = b["run_name"].split("/")
    key = (group, impl, int(size))
    if b.get("run_type") == "aggregate" or key not in rate:
        rate[key] = b["bytes_per_second"]

model = next((l.split(":", 1)[1].strip() for l in open("/proc/cpuinfo")
              if l.startswith("model name")), "unknown processor")
print(f"processor: {model}")
print("built-in engine (VBEncrypt), MB/s (10^6 bytes/s):")
for (group, impl, size), r in sorted(rate.items()):
    if group == "vbencrypt":
        print(f"  {impl:16} {size:>9} B  {r / 1e6:10.1f}")

print("ratio to OpenSSL in the same run (speed / OpenSSL speed);")
print("paste: a pasted 20,000-code message found and de-secured, speed / as sent:")
ratios = {}
for (group, impl, size), r in sorted(rate.items()):
    baseline = "plain" if group == "paste" else "openssl"
    base = rate.get((group, baseline, size))
    if group == "vbencrypt" or impl == baseline or base is None:
        continue
    ratios[f"{group}/{impl}/{size}"] = r / base
    print(f"  {group:7} {impl:13} {size:>9} B  {r / base:6.2f}x"
          f"  ({r / 1e6:8.1f} vs {base / 1e6:8.1f} MB/s)")
if whole:
    ratio, ours, theirs = map(float, whole.split())
    ratios["secure-file/library/16777215"] = ratio
    print(f"  secure-file, library mode, 16777215 B  {ratio:6.2f}x"
          f"  (median of 5: {ours * 1e3:.0f} vs {theirs * 1e3:.0f} ms for openssl enc | base64)")

if check:
    fell = []
    for line in open(floors_file):
        line = line.split("#", 1)[0].split()
        if not line:
            continue
        name, floor = line[0], float(line[1])
        # A row this machine cannot run (AVX2 on an older processor) is skipped.
        if name in ratios and ratios[name] < floor:
            fell.append(f"  {name}: {ratios[name]:.2f}x, floor {floor:.2f}x")
    if fell:
        print("below the floors of " + floors_file + ":")
        print("\n".join(fell))
        sys.exit(1)
    print("every ratio is at or above its floor in " + floors_file)
PY
