#!/usr/bin/env bash
# Builds every tree and runs every test: native, native under sanitizers (ASan/UBSan, and
# ThreadSanitizer for the threaded code), and Windows under Wine.
# Ends with one summary line per tree and an overall "N passed, N failed" line.
set -uo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh || exit 1

jobs=$(nproc 2>/dev/null || echo 2)
total_pass=0
total_fail=0
summary=()

run_tree() {  # preset, ctest -j
  local preset=$1 parallel=$2 log
  echo "=== $preset: configure and build"
  if ! cmake --preset "$preset" >/dev/null || ! cmake --build --preset "$preset" -j "$jobs"; then
    summary+=("$preset: BUILD FAILED")
    total_fail=$((total_fail + 1))
    return
  fi
  echo "=== $preset: tests"
  log=$(mktemp)
  ctest --preset "$preset" -j "$parallel" --timeout 900 2>&1 | tee "$log"
  local line passed failed count
  line=$(grep -E '^[0-9]+% tests passed, [0-9]+ tests? failed out of [0-9]+' "$log" | tail -n 1)
  rm -f "$log"
  if [ -z "$line" ]; then
    summary+=("$preset: NO TEST SUMMARY")
    total_fail=$((total_fail + 1))
    return
  fi
  failed=$(sed -E 's/.* ([0-9]+) tests? failed.*/\1/' <<<"$line")
  count=$(sed -E 's/.*out of ([0-9]+).*/\1/' <<<"$line")
  passed=$((count - failed))
  total_pass=$((total_pass + passed))
  total_fail=$((total_fail + failed))
  summary+=("$preset: $passed passed, $failed failed")
}

run_tree native "$jobs"
run_tree sanitize "$jobs"
run_tree tsan "$jobs"
run_tree win32 1

echo
echo "=== summary"
printf '%s\n' "${summary[@]}"
echo "all: $total_pass passed, $total_fail failed"
[ "$total_fail" -eq 0 ]
