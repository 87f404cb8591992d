#!/usr/bin/env bash
# Runs no_device.js with no sound server and checks the console: for each of the five
# recordings the worker's "Recording...", "Error: 2" (no such device) and "ERROR EXCEPTION: ".
# usage: no_device.sh WINE_RUN SCRIPT_WINPATH
set -u
raw=$("$1" cscript //nologo "$2")
status=$?
out=$(tr -d '\r' <<<"$raw")
printf '%s\n' "$out"
[ $status -eq 0 ] || { echo "cscript exited with $status"; exit 1; }
grep -qx 'velquist no-device: ok' <<<"$out" || exit 1
lines=$(grep -E '^(Recording\.\.\.|Error: .*|ERROR EXCEPTION: )$' <<<"$out")
expected=$(for _ in 1 2 3 4 5; do printf 'Recording...\nError: 2\nERROR EXCEPTION: \n'; done)
if [ "$lines" != "$expected" ]; then
  echo "console lines differ from five times Recording... / Error: 2 / ERROR EXCEPTION:"
  exit 1
fi
