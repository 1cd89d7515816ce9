#!/usr/bin/env bash
# Configures, builds and runs the whole test suite for one preset (default: "default").
#   scripts/run-tests.sh [default|asan]
set -euo pipefail
cd "$(dirname "$0")/.."
preset="${1:-default}"
bash scripts/install-deps.sh
cmake --preset "$preset" >/dev/null
cmake --build --preset "$preset"
ctest --preset "$preset"
