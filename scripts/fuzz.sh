#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each from its seed corpus for a bounded time.
# Usage: scripts/fuzz.sh [seconds per target, default 60]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-60}"
scripts/install-deps.sh
# shellcheck source=scripts/compiler-cache.sh
. scripts/compiler-cache.sh
CC=clang CXX=clang++ cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZARN_FUZZ=ON "${launchers[@]}" >/dev/null
targets=()
for corpus in fuzz/corpus/*/; do targets+=("fuzz_$(basename "$corpus")"); done
cmake --build build-fuzz -j"$(nproc)" --target "${targets[@]}"
# One target a core at once: each still runs its full time, on a core of its own.
fuzz_one() {
  local corpus=$1 name bin work
  name=$(basename "$corpus")
  bin="build-fuzz/fuzz/fuzz_$name"
  [ -x "$bin" ] || { echo "no fuzzer for corpus $name" >&2; return 1; }
  work=$(mktemp -d)
  local status=0
  "$bin" -max_total_time="$seconds" -print_final_stats=1 -artifact_prefix="build-fuzz/crash-$name-" \
    "$work" "$corpus" >"build-fuzz/fuzz-$name.log" 2>&1 || status=$?
  rm -rf "$work"
  echo "fuzzed $name for ${seconds}s"
  tail -n 12 "build-fuzz/fuzz-$name.log"
  return $status
}
failed=0
running=0
for corpus in fuzz/corpus/*/; do
  fuzz_one "$corpus" &
  running=$((running + 1))
  if [ "$running" -ge "$(nproc)" ]; then
    wait -n || failed=1
    running=$((running - 1))
  fi
done
while [ "$running" -gt 0 ]; do
  wait -n || failed=1
  running=$((running - 1))
done
exit "$failed"
