#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each for a while (default 60 seconds).
# The kept corpus in fuzz/corpus/<target> seeds each run and replays past findings.
#   scripts/run-fuzzers.sh [seconds]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-60}"
bash scripts/install-deps.sh
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz
shopt -s nullglob
status=0
for fuzzer in build/fuzz/bin/fuzz_*; do
  name=$(basename "$fuzzer")
  seeds="fuzz/corpus/${name#fuzz_}"
  work="build/fuzz/corpus/${name#fuzz_}"
  mkdir -p "$work"
  args=(-max_total_time="$seconds" -rss_limit_mb=2048 -timeout=10 -print_final_stats=1
        -artifact_prefix="build/fuzz/${name}-")
  [[ -d "$seeds" ]] && args+=("$work" "$seeds") || args+=("$work")
  echo "== $name for ${seconds}s"
  if ! "$fuzzer" "${args[@]}" >"build/fuzz/${name}.log" 2>&1; then
    echo "!! $name found a problem:"; tail -n 40 "build/fuzz/${name}.log"; status=1
  else
    grep -E 'stat::number_of_executed_units|Done' "build/fuzz/${name}.log" | tail -n 2
  fi
done
exit $status
