#!/usr/bin/env bash
# Builds tarnweld and tarnweld-host and transforms the example catalog (or
# the document given, relative to the caller's directory) through the host
# stand-in, which starts a private session bus for the run.
set -euo pipefail
document=${1:-}
if [ -n "$document" ] && [ "$document" != - ] && [ "${document#/}" = "$document" ]; then
  document="$PWD/$document"
fi
cd "$(dirname "$0")/.."
# What it installs and builds goes to stderr; stdout is the transformation's.
exec 3>&1 1>&2
scripts/deps.sh example
echo "Building tarnweld and tarnweld-host in build/..."
cmake -S . -B build -DTARNWELD_TESTS=OFF >/dev/null
cmake --build build -j"$(nproc)" --target tarnweld tarnweld-host
echo "Running: build/bin/tarnweld-host run ${document:-examples/catalog.xml}"
exec build/bin/tarnweld-host run "${document:-examples/catalog.xml}" 1>&3 3>&-
