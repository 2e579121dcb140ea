#!/usr/bin/env bash
# Installs, builds and runs Zarn's main job.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release -DZARN_TESTS=OFF >/dev/null
cmake --build build -j2
# Until the receiver program exists, the main job shows the board simulator and the
# link at work: a short paced sweep stream, every frame counted on both sides.
exec build/tools/zarn-line-check --seconds 10 --unpaced 0 --idle 2
