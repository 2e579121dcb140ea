#!/usr/bin/env bash
# Installs, builds with AddressSanitizer and UndefinedBehaviorSanitizer, and runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
# shellcheck source=scripts/compiler-cache.sh
. scripts/compiler-cache.sh
cmake -S . -B build-test -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZARN_SANITIZE=ON -DZARN_WERROR=ON "${launchers[@]}" >/dev/null
cmake --build build-test -j"$(nproc)"
ctest --test-dir build-test --output-on-failure -j"$(nproc)"
