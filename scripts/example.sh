#!/usr/bin/env bash
# Builds tarnweld and tarnweld-host and transforms the example catalog through
# the host stand-in, which starts a private session bus for the run.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
cmake -S . -B build -DTARNWELD_TESTS=OFF >/dev/null
cmake --build build -j"$(nproc)" --target tarnweld tarnweld-host >/dev/null
exec build/bin/tarnweld-host run "${1:-examples/catalog.xml}"
