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
for corpus in fuzz/corpus/*/; do
  name=$(basename "$corpus")
  bin="build-fuzz/fuzz/fuzz_$name"
  [ -x "$bin" ] || { echo "no fuzzer for corpus $name" >&2; exit 1; }
  work=$(mktemp -d)
  echo "fuzzing $name for ${seconds}s"
  "$bin" -max_total_time="$seconds" -print_final_stats=1 -artifact_prefix="build-fuzz/crash-$name-" \
    "$work" "$corpus" 2>&1 | tail -n 12
  rm -rf "$work"
done
