#!/usr/bin/env bash
# Builds the fuzzers with clang, AddressSanitizer and UndefinedBehaviorSanitizer
# and runs each for the given number of seconds (default 60) on its seed
# corpus. New inputs go to a scratch corpus, not into the repo; a finding
# stops the script with the fuzzer's report.
set -euo pipefail
seconds=${1:-60}
root=$(cd "$(dirname "$0")/../.." && pwd)
build=${TARNWELD_FUZZ_BUILD_DIR:-$root/build-fuzz}
"$root/scripts/deps.sh" fuzz

CC=clang CXX=clang++ cmake -S "$root" -B "$build" -DTARNWELD_FUZZ=ON -DTARNWELD_SANITIZE=ON \
  -DTARNWELD_TESTS=OFF -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
fuzzers=$(sed -n 's/^set(TARNWELD_FUZZERS \(.*\))$/\1/p' "$root/tests/fuzz/CMakeLists.txt")
targets=()
for name in $fuzzers; do targets+=("${name}_fuzzer"); done
cmake --build "$build" -j"$(nproc)" --target "${targets[@]}"

for name in $fuzzers; do
  scratch=$(mktemp -d)
  workdir=$(mktemp -d)
  echo "-- ${name}_fuzzer for ${seconds}s"
  # Each fuzzer runs in an empty directory of its own, so that a file written
  # by a transformation would show.
  (cd "$workdir" && "$build/bin/${name}_fuzzer" -max_total_time="$seconds" -timeout=20 -rss_limit_mb=4096 \
     -print_final_stats=1 "$scratch" "$root/tests/fuzz/corpus/$name" 2>&1 | grep -E '^(stat::number_of_executed_units|stat::peak_rss|#[0-9]+ +DONE)' || true)
  rm -rf "$scratch"
  if [ -n "$(ls -A "$workdir" | grep -v -E '^(crash|leak|timeout|oom)-' || true)" ]; then
    echo "${name}_fuzzer: a file appeared in the working directory: $(ls -A "$workdir")" >&2
    exit 1
  fi
  if ls "$workdir" | grep -q -E '^(crash|leak|timeout|oom)-'; then
    echo "${name}_fuzzer found a failing input: $(ls "$workdir")" >&2
    exit 1
  fi
  rm -rf "$workdir"
done
echo "fuzzers: no finding"
