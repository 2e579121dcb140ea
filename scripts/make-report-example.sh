#!/usr/bin/env bash
# Records the three-minute drive of tests/gps/drive.nmea against the board
# simulator and makes the example report in docs/ from it:
#   zarn-record --single on zarn-board-sim (a fading carrier in each band),
#   gpsd under gpsfake replaying the drive at its own pace (a fix a second),
#   the track beside the log; then zarnlog report.
# Writes docs/report-drive.zrn, docs/report-drive.gpx, docs/report-example.html.
# Takes about three and a half minutes.
#
# Usage: scripts/make-report-example.sh [BUILD_DIR]   (default: build; built first)
set -euo pipefail
cd "$(dirname "$0")/.."
build="${1:-build}"
cmake --build "$build" -j2 --target zarn-board-sim zarn-record zarnlog >/dev/null
bin="$build/bin"

work="$(mktemp -d)"
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill -TERM -- "-$p" 2>/dev/null || true; done
  sleep 1
  # gpsfake outlives its gpsd and the TERM.
  for p in "${pids[@]}"; do kill -KILL -- "-$p" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
export ZARN_ROOT="$work/root"
mkdir -p "$ZARN_ROOT"

printf 'noise -110\ncarrier 0 881.52 -78 30 14 23\ncarrier 1 1962.50 -92 30 10 37\n' >"$work/scene"
setsid "$bin/zarn-board-sim" --scene "$work/scene" >"$work/sim.out" &
pids+=($!)
for _ in $(seq 100); do [ -s "$work/sim.out" ] && break; sleep 0.05; done
[ -s "$work/sim.out" ] || { echo "zarn-board-sim did not start" >&2; exit 1; }

port=$((20000 + RANDOM % 20000))
setsid gpsfake -1 -q -c 0.33 -P "$port" tests/gps/drive.nmea >/dev/null 2>&1 &
pids+=($!)
for _ in $(seq 200); do (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null && break; sleep 0.05; done

# Notes typed while it records, as a driver marks the way.
notes() {
  sleep 20; echo "Bridge"
  sleep 55; echo "Fading <-90 dBm & worse"
  sleep 45; echo "No fix ahead"
  sleep 70
}
notes | ZARN_GPSD="127.0.0.1:$port" "$bin/zarn-record" --single 881.52,1962.5 --seconds 185 -o "$work/drive.zrn"
cp "$work/drive.zrn" docs/report-drive.zrn
cp "$work/drive.gpx" docs/report-drive.gpx
"$bin/zarnlog" report docs/report-drive.zrn --title "A three-minute drive against the simulator" \
  -o docs/report-example.html
