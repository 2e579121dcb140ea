#!/usr/bin/env bash
# Makes the live page's pictures in docs/ (docs/live-page.md shows them): zarn-record
# --listen against zarn-board-sim, each view shot by headless Chromium.
#   scripts/live-page-pictures.sh [BIN [OUT]]   BIN: the built programs (build-test/bin), OUT: docs
set -euo pipefail
cd "$(dirname "$0")/.."
bin="$(realpath "${1:-build-test/bin}")"
out="$(realpath "${2:-docs}")"
work="$(mktemp -d)"
pids=()
stop() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap stop EXIT
export ZARN_ROOT="$work/root"
mkdir -p "$ZARN_ROOT"

# recorder NAME SCENE ARGS...: a recorder of the measurement in ARGS on a simulator of its
# own (SCENE: a scene file, or "" for the built-in one), its page's address in url[NAME].
declare -A url
recorder() {
  local name="$1" scene="$2" port
  shift 2
  "$bin/zarn-board-sim" --no-register ${scene:+--scene="$scene"} >"$work/$name.sim" 2>&1 &
  pids+=($!)
  for _ in $(seq 50); do [ -s "$work/$name.sim" ] && break; sleep 0.1; done
  port="$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')"
  "$bin/zarn-record" --port "$(head -1 "$work/$name.sim")" -o "$work/$name.zrn" --listen "$port" "$@" \
    >/dev/null 2>>"$work/recorders.txt" &
  pids+=($!)
  curl -s -o /dev/null --retry 20 --retry-delay 1 --retry-connrefused "http://127.0.0.1:$port/api/status"
  url[$name]="http://127.0.0.1:$port/"
}

# chromedriver for the shots, on a port of its own.
driver_port="$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')"
chromedriver --port="$driver_port" >"$work/chromedriver.txt" 2>&1 &
pids+=($!)
curl -s -o /dev/null --retry 20 --retry-delay 1 --retry-connrefused "http://127.0.0.1:$driver_port/status"

# shot URL NAME WIDTH HEIGHT READY [SCRIPT]: the page in a screen that size once the script
# READY holds (within 30 s), after SCRIPT (a finger on the trace, say) and a frame drawn: a
# phone's screen (WIDTH under 600), else the whole page.
shot() {
  python3 - "$driver_port" "$work" "$@" <<'PY'
import base64, json, sys, time, urllib.request
port, work, url, name, width, height, ready = sys.argv[1:8]
script = sys.argv[8] if len(sys.argv) > 8 else ''
def call(method, path, body=None):
    request = urllib.request.Request(f'http://127.0.0.1:{port}{path}', method=method,
                                     data=None if body is None else json.dumps(body).encode())
    return json.load(urllib.request.urlopen(request))['value']
phone = int(width) < 600
options = {'args': ['--headless', '--no-sandbox', '--disable-gpu', '--hide-scrollbars', f'--window-size={width},{height}',
                    f'--user-data-dir={work}/profile-{name}']}
if phone: options['mobileEmulation'] = {'deviceMetrics': {'width': int(width), 'height': int(height), 'pixelRatio': 1, 'touch': True}}
session = call('POST', '/session', {'capabilities': {'alwaysMatch': {'goog:chromeOptions': options}}})['sessionId']
try:
    call('POST', f'/session/{session}/url', {'url': url})
    for _ in range(300):
        if call('POST', f'/session/{session}/execute/sync', {'script': 'return !!(' + ready + ')', 'args': []}): break
        time.sleep(0.1)
    else: sys.exit(f'{name}: the page never showed {ready}')
    if script: call('POST', f'/session/{session}/execute/sync', {'script': script, 'args': []})
    time.sleep(0.5)
    if phone:  # the phone's screen
        png = call('GET', f'/session/{session}/screenshot')
    else:  # the whole page
        size = call('POST', f'/session/{session}/execute/sync', {'script':
            'return [document.documentElement.scrollWidth, document.documentElement.scrollHeight]', 'args': []})
        png = call('POST', f'/session/{session}/goog/cdp/execute', {'cmd': 'Page.captureScreenshot', 'params': {
            'captureBeyondViewport': True, 'clip': {'x': 0, 'y': 0, 'width': size[0], 'height': size[1], 'scale': 1}}})['data']
    with open(f'{work}/{name}', 'wb') as f: f.write(base64.b64decode(png))
finally:
    call('DELETE', f'/session/{session}')
PY
  cp "$work/$2" "$out/$2"
  echo "$out/$2: $(stat -c %s "$out/$2") bytes"
}

cat >"$work/steady.scene" <<'EOF'
jitter 0
carrier 0 874.50 -57 30 0
carrier 0 889.50 -59 30 0
carrier 0 881.52 -66 30 4 9
EOF
printf '2\r\nRoof, north side: the site survey\r\n0,150,Strong 874.50\r\n0,650,Weaker 889.50\r\n0,384,Home cell 881.52\r\n0,300,Quiet\r\n0,-1,\r\n' \
  >"$work/steady.kct"
cat >"$work/stepped.scene" <<'EOF'
carrier 0 881.52 -50 30 0 7 from 3 until 8
carrier 1 1962.50 -58 1250
EOF

recorder spectrum "" --spectrum 869.01:893.97 --alarm 'strong: 881.52 > -60 for 2' --occupancy --period 5s
recorder table "$work/steady.scene" --table "$work/steady.kct"
recorder servers "" --servers 800
recorder single "$work/stepped.scene" --single 881.52,1962.5 --alarm 'hot: 881.52 > -70 for 1' --occupancy --period 5s

# A finger on the carrier at 881.52 MHz, as the browser test puts it.
finger="const c = document.getElementById('trace'), box = c.getBoundingClientRect();
  const x = box.left + 44 + (box.width - 52) * (881.52 - 869.01) / (893.97 - 869.01);
  c.dispatchEvent(new PointerEvent('pointerdown', {clientX: x, clientY: box.top + 60, pointerType: 'touch', bubbles: true}));"
shot "${url[spectrum]}" live-page.png 1100 800 "zarnLive.waterfallRows >= 10 && zarnLive.status.occupancy"
shot "${url[spectrum]}" live-page-phone.png 390 844 "zarnLive.waterfallRows >= 10" "$finger"
shot "${url[table]}" live-page-table.png 1100 300 "zarnLive.bars === 4"
shot "${url[servers]}" live-page-servers.png 1100 300 "zarnLive.servers === 10"
shot "${url[single]}" live-page-alarms.png 390 844 "zarnLive.notes.length >= 2 && zarnLive.alarms[0].state === 'OFF'"
