#!/usr/bin/env bash
# The main job. For now it builds everything and runs the pieces that exist; it grows into the
# launcher against the local reference server as those arrive.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake --preset default >/dev/null
cmake --build --preset default
echo "Built: $(ls build/default/bin | tr '\n' ' ')"
