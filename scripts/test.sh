#!/usr/bin/env bash
# Builds everything with warnings as errors and runs every test.
# TARNWELD_BUILD_DIR and extra CMake arguments (e.g. -DTARNWELD_SANITIZE=ON)
# select another build.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh test
build=${TARNWELD_BUILD_DIR:-build}
echo "Building everything with its tests in $build/..."
cmake -S . -B "$build" -DTARNWELD_WERROR=ON -DTARNWELD_TESTS=ON "$@" >/dev/null
cmake --build "$build" -j"$(nproc)"
echo "Running the tests..."
ctest --test-dir "$build" --output-on-failure -j"$(nproc)" --timeout 300
