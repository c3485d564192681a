#!/usr/bin/env python3
"""Every trip of the table through hushnote-cli desecure-text.

    run_cli_trips.py HUSHNOTE-CLI TABLE.jsonl [--count]

Fails on any row whose outcome its "expect" does not allow; with --count it
only counts, for figures of a program that predates the table.
"""
import concurrent.futures
import json
import os
import subprocess
import sys
import tempfile
import threading


def outcome(cli, row, tmp):
    pw_file = os.path.join(tmp, str(threading.get_ident()))
    with open(pw_file, "w", encoding="utf-8") as f:
        f.write(row["password"] + "\n")
    run = subprocess.run([cli, "--password-file", pw_file, "desecure-text"],
                         input=row["pasted"].encode(), capture_output=True)
    if run.returncode == 0 and run.stdout.decode(errors="replace") == row["message"] \
            and not run.stderr:
        return "back"
    if run.returncode != 0 and run.stderr:
        return "told"
    return "silent"


def main():
    cli, table = sys.argv[1], sys.argv[2]
    count_only = "--count" in sys.argv[3:]
    with open(table, encoding="utf-8") as f:
        rows = [json.loads(line) for line in f]
    counts = {"back": 0, "told": 0, "silent": 0}
    wrong = []
    with tempfile.TemporaryDirectory() as tmp, \
            concurrent.futures.ThreadPoolExecutor(max_workers=4) as pool:
        outcomes = pool.map(lambda row: outcome(cli, row, tmp), rows)
        for row, got in zip(rows, outcomes):
            counts[got] += 1
            allowed = {"back": ["back"], "told": ["told"],
                       "back-or-told": ["back", "told"]}[row["expect"]]
            if got not in allowed:
                wrong.append(f'{row["trip"]} ({len(row["message"])} characters): '
                             f'{got}, expected {row["expect"]}')
    print(f'trips: {counts["back"]} back of {len(rows)} tried, {counts["told"]} told, '
          f'{counts["silent"]} silent')
    for line in wrong[:40]:
        print("  " + line)
    return 0 if count_only or not wrong else 1


if __name__ == "__main__":
    sys.exit(main())
