#!/usr/bin/env bash
# Waits up to 30 seconds for the main window of the program that process $1
# started, lets it paint, and prints the window's id. Exits 3 when no window
# appeared, 4 when the program ended first: a screenshot then shows nothing.
set -u
pid=$1
for _ in $(seq 1 60); do
  win=$(xdotool search --name '^Hushnote v' 2>/dev/null | sed -n 1p)
  [ -n "$win" ] && break
  kill -0 "$pid" 2>/dev/null || exit 4
  sleep 0.5
done
[ -n "$win" ] || exit 3
sleep 2 # let it paint
kill -0 "$pid" 2>/dev/null || exit 4
echo "$win"
