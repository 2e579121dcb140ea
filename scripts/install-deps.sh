#!/usr/bin/env bash
# Installs every Debian package that building, running and testing Zarn needs.
# Non-interactive and idempotent: apt is only touched when something is missing.
set -euo pipefail

packages=(
  # build (ccache keeps what was compiled for the next build, of any checkout)
  build-essential cmake pkg-config git ccache
  # tests, benchmarks, fuzzing (clang with its libFuzzer runtime)
  googletest libgtest-dev libgmock-dev libbenchmark-dev clang libclang-rt-14-dev
  # the test build links with lld: its fifty sanitized programs link in half the time
  lld
  # a JSON parser, for the tests that read our JSON back
  nlohmann-json3-dev
  # platform: window, pointer, keyboard, sound; text; snapshots; pictures
  libsdl2-dev libfreetype-dev xfonts-base libjpeg62-turbo-dev libpng-dev
  # a display for the window tests, and reading the window back from it
  xvfb xauth libx11-dev libxtst-dev
  # positions from gpsd; gpsfake replays drives for the tests, read back through GDAL
  gpsd gpsd-clients libgps-dev libgdal-dev
  # GPX tracks read as they stream, so a file cut short still gives its points
  libexpat1-dev
  # zarn-record's live page: an HTTP/1.1 server library
  libmicrohttpd-dev
  # zarn-fleet's map: Leaflet, served by the program itself
  libjs-leaflet
  # real servers for the tests (testing/servers): PostgreSQL 15 with PostGIS 3 and its client library
  postgresql-15 postgresql-15-postgis-3 libpq-dev
  # the mosquitto broker, its tools and client library; openssl makes the tests' certificates;
  # zarn-record's MQTT output checks its TLS files with OpenSSL as it starts, and the
  # survey archive takes a log's SHA-256 from OpenSSL's libcrypto
  mosquitto libmosquitto-dev openssl libssl-dev
  # ogrinfo reads the archive back as QGIS does
  gdal-bin
  # headless Chromium through WebDriver, spoken to with an HTTP client and JSON library
  chromium chromium-driver libcpp-httplib-dev nlohmann-json3-dev
  # Prometheus and its promtool
  prometheus
  # the Debian package and its checks (scripts/package.sh)
  dpkg-dev lintian desktop-file-utils man-db
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

sudo=""
if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
echo "Installing: ${missing[*]}"
$sudo env DEBIAN_FRONTEND=noninteractive apt-get update -qq
$sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
