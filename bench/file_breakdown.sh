#!/usr/bin/env bash
# Where securing a 16,777,215-byte file goes, against cp of the same file.
# Each step is timed on its own, as one program would do it on one thread:
# reading the input, RC4 and encoding (from hushnote_bench), writing the
# secured file, fdatasync and the rename over an existing file; then the
# whole commands: hushnote-cli secure-file in library mode, cp and
# `openssl enc -rc4 | base64 -w0`; last, the fdatasync and rename inside
# hushnote-cli, under strace. Medians of seven runs taken by turns, each on a
# settled disk, in a folder under build/ (the machine's disk, not tmpfs).
# Usage: bench/file_breakdown.sh [path/to/hushnote_bench]
# Builds build/release first when no program is given; takes hushnote-cli from
# the benchmark's folder.
set -euo pipefail
cd "$(dirname "$0")/.."

if [ $# -gt 0 ] && [ -x "$1" ]; then
  bench="$1"
else
  cmake --preset release >/dev/null
  cmake --build --preset release --target hushnote_bench fncryptlib hushnote-cli >/dev/null
  bench=build/release/bin/hushnote_bench
fi
cli="$(dirname "$bench")/hushnote-cli"

mkdir -p build
work=$(mktemp -d build/file-breakdown.XXXXXX)
trap 'rm -rf "$work"' EXIT
head -c 16777215 /dev/urandom >"$work/F"
printf '%s\n' 'staple horse 16c' >"$work/PW"

json="$work/bench.json"
"$bench" --benchmark_format=json --benchmark_repetitions=3 \
  --benchmark_report_aggregates_only=true \
  --benchmark_filter='^(rc4/CipherBuffer|encode/EncodeText)/16777216$' >"$json"

python3 - "$cli" "$work" "$json" <<'PY'
import json, os, re, statistics, subprocess, sys, time

cli, work, bench_json = sys.argv[1:]
f, out = f"{work}/F", f"{work}/OUT"
hex_key = b"staple horse 16c".hex()
secured = 8 + 4 * (16777215 // 3)
runs = 7

def settle():
    # The write-back of one run would otherwise fall on the next.
    os.sync()
    time.sleep(0.2)

def read_input():
    fd = os.open(f, os.O_RDONLY)
    while os.read(fd, 1 << 18):
        pass
    os.close(fd)

block = os.urandom(1 << 18)
def write_output(sync=False):
    fd = os.open(f"{work}/W.tmp", os.O_WRONLY | os.O_CREAT | os.O_TRUNC, 0o600)
    left = secured
    while left > 0:
        left -= os.write(fd, block[:min(left, len(block))])
    t = time.perf_counter()
    if sync:
        os.fdatasync(fd)
    os.close(fd)
    return time.perf_counter() - t

steps = {"read the input": [], "write the secured file": [], "fdatasync": [],
         "rename over the old file": []}
whole = {"hushnote-cli secure-file": [cli, "secure-file", "--mode", "library",
                                      "--password-file", f"{work}/PW", f, out],
         "cp": ["cp", f, f"{work}/CP"],
         "openssl enc -rc4 | base64": ["bash", "-c",
             f"openssl enc -rc4 -nosalt -K {hex_key} -provider legacy -provider default "
             f"-in {f} | base64 -w0 > {work}/OUT2"]}
totals = {name: [] for name in whole}

def timed(fn):
    settle()
    start = time.perf_counter()
    fn()
    return time.perf_counter() - start

for name, cmd in whole.items():  # warm-up, and the files each one replaces
    subprocess.run(cmd, check=True, stdout=subprocess.DEVNULL)
write_output(sync=True)
os.replace(f"{work}/W.tmp", f"{work}/W")
for _ in range(runs):
    steps["read the input"].append(timed(read_input))
    settle()
    start = time.perf_counter()
    sync = write_output(sync=True)
    steps["write the secured file"].append(time.perf_counter() - start - sync)
    steps["fdatasync"].append(sync)
    start = time.perf_counter()
    os.replace(f"{work}/W.tmp", f"{work}/W")
    steps["rename over the old file"].append(time.perf_counter() - start)
    for name, cmd in whole.items():
        totals[name].append(timed(lambda: subprocess.run(cmd, check=True,
                                                         stdout=subprocess.DEVNULL)))

rate = {}
for b in json.load(open(bench_json))["benchmarks"]:
    if b.get("aggregate_name") == "median":
        rate[b["run_name"].split("/")[0]] = b["bytes_per_second"]
ms = lambda s: s * 1e3
model = next((l.split(":", 1)[1].strip() for l in open("/proc/cpuinfo")
              if l.startswith("model name")), "unknown processor")
print(f"processor: {model}; 16,777,215 bytes in, {secured:,} characters out")
print("each step alone, one thread (median ms):")
rows = [("read the input", ms(statistics.median(steps["read the input"]))),
        ("RC4 (CipherBuffer)", 16777215 / rate["rc4"] * 1e3),
        ("encoding (EncodeText)", 16777215 / rate["encode"] * 1e3)]
rows += [(k, ms(statistics.median(steps[k]))) for k in
         ("write the secured file", "fdatasync", "rename over the old file")]
for name, value in rows:
    print(f"  {name:28} {value:6.1f}")
print(f"  {'sum':28} {sum(v for _, v in rows):6.1f}")
print("whole commands (median ms):")
for name in whole:
    print(f"  {name:28} {ms(statistics.median(totals[name])):6.1f}")

# The same two calls inside hushnote-cli, where write-back started while the
# pieces were still being ciphered: strace stops the program at these only.
inside = {"fdatasync": [], "rename": []}
for _ in range(runs):
    settle()
    trace = subprocess.run(["strace", "-f", "-T", "--seccomp-bpf", "-e", "trace=fdatasync,rename"]
                           + whole["hushnote-cli secure-file"], check=True, text=True,
                           stdout=subprocess.DEVNULL, stderr=subprocess.PIPE).stderr
    for line in trace.splitlines():
        # A call another thread interrupted ends on a "resumed" line.
        m = re.search(r"\b(fdatasync|rename)(?:\(| resumed>).*<([0-9.]+)>$", line)
        if m:
            inside[m.group(1)].append(float(m.group(2)))
print("inside hushnote-cli (median ms): " + ", ".join(
    f"{call} {ms(statistics.median(v)):.1f}" for call, v in inside.items() if v))
PY
