#!/usr/bin/env bash
# Installs, builds and runs Zarn: the board simulator on a pseudo-terminal and
# the receiver application `zarn` against it, in a window. Closing the window
# (or minimising it) ends zarn, and the simulator with it.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
# shellcheck source=scripts/compiler-cache.sh
. scripts/compiler-cache.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release -DZARN_TESTS=OFF "${launchers[@]}" >/dev/null
cmake --build build -j2

export ZARN_ROOT="${ZARN_ROOT:-${XDG_DATA_HOME:-$HOME/.local/share}/zarn}"
mkdir -p "$ZARN_ROOT/My Documents"
# The sample channel tables, where the open dialog starts; the user's own files win.
cp -n resources/samples/*.kct "$ZARN_ROOT/My Documents/" 2>/dev/null || true
sim_out="$(mktemp)"
build/bin/zarn-board-sim >"$sim_out" &
sim=$!
trap 'kill "$sim" 2>/dev/null || true; wait "$sim" 2>/dev/null || true; rm -f "$sim_out"' EXIT
# The simulator prints its terminal's path once it has registered it.
for _ in $(seq 100); do
  [ -s "$sim_out" ] && break
  kill -0 "$sim" 2>/dev/null || { cat "$sim_out"; echo "zarn-board-sim did not start" >&2; exit 1; }
  sleep 0.05
done
echo "Board simulator on $(head -n 1 "$sim_out"); device root $ZARN_ROOT"

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${SDL_VIDEODRIVER:-}" ]; then
  echo "No display: running zarn for 20 s without a window (SDL offscreen)."
  SDL_VIDEODRIVER=offscreen SDL_AUDIODRIVER=dummy timeout 20 build/bin/zarn || [ $? -eq 124 ]
else
  build/bin/zarn
fi
