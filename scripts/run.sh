#!/usr/bin/env bash
# Installs, builds and runs Zarn's main job.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release -DZARN_TESTS=OFF >/dev/null
cmake --build build -j"$(nproc)"
# Until the receiver program exists, the main job is the frame decoder at full speed.
exec build/bench/bench_frame_parser
