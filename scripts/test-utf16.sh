#!/usr/bin/env bash
# Builds the shared code and its tests on the fakes with the UTF-16 text (the
# Windows form) on Linux, with warnings as errors, and runs them: a text/byte
# mix-up in shared code then fails here, not only under Wine. The Linux
# backends speak UTF-8 by nature and are not part of this build.
# TARNWELD_BUILD_DIR selects another build directory.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh g++ cmake make libgtest-dev
build=${TARNWELD_BUILD_DIR:-build-utf16}
echo "Building the shared code and its unit tests with the UTF-16 text in $build/..."
cmake -S . -B "$build" -DTARNWELD_WERROR=ON -DTARNWELD_TESTS=ON -DTARNWELD_TEXT_UTF16=ON >/dev/null
cmake --build "$build" -j2

# Every file was compiled with the UTF-16 text, none with UTF-8.
forms=$(grep -o 'TARNWELD_TEXT_UTF16=[01]' "$build/compile_commands.json" | sort -u)
[ "$forms" = "TARNWELD_TEXT_UTF16=1" ] ||
  { echo "$build is not built with the UTF-16 text alone: ${forms:-no text form}" >&2; exit 1; }

# The tests pass when CTest says that every test it knows passed, the unit
# tests of the logic on the fakes among them.
listed=$(ctest --test-dir "$build" -N)
total=$(sed -n 's/^Total Tests: \([0-9]*\)$/\1/p' <<<"$listed")
grep -q ' RunDriverTest\.' <<<"$listed" ||
  { echo "the unit tests of the run on the fakes are missing from $build" >&2; exit 1; }
echo "Running the tests..."
output=$(ctest --test-dir "$build" --output-on-failure -j2 --timeout 300 2>&1) || status=$?
echo "$output"
grep -qx "100% tests passed, 0 tests failed out of ${total:-0}" <<<"$output" && [ "${total:-0}" -gt 0 ] ||
  { echo "not every test passed with the UTF-16 text" >&2; exit 1; }
exit "${status:-0}"
