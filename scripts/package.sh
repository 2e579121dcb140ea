#!/usr/bin/env bash
# Builds the Debian package in a Release build of its own (build-package, with
# Debian's hardening flags) and checks it: every file in place, the control fields,
# lintian without errors, the desktop entry valid, the manual pages rendering
# without warnings, and the programs unpacked from it answering --version.
# Usage: scripts/package.sh        (the package: build-package/zarn_<version>_<arch>.deb)
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh

fail() { echo "package: $*" >&2; exit 1; }

eval "$(DEB_BUILD_MAINT_OPTIONS=hardening=+all dpkg-buildflags --export=sh)"
# GCC 12 at -O3 reports -Wrestrict inside std::string's operator+ (GCC bug 105329).
export CFLAGS="$CFLAGS $CPPFLAGS" CXXFLAGS="$CXXFLAGS $CPPFLAGS -Wno-restrict"
# shellcheck source=scripts/compiler-cache.sh
. scripts/compiler-cache.sh
# Debian's flags decide the optimisation (-O2), not CMake's Release default of -O3.
cmake -S . -B build-package -DCMAKE_BUILD_TYPE=Release -DZARN_TESTS=OFF -DZARN_WERROR=OFF "${launchers[@]}" \
  -DCMAKE_C_FLAGS="$CFLAGS" -DCMAKE_CXX_FLAGS="$CXXFLAGS" -DCMAKE_EXE_LINKER_FLAGS="$LDFLAGS" \
  -DCMAKE_C_FLAGS_RELEASE=-DNDEBUG -DCMAKE_CXX_FLAGS_RELEASE=-DNDEBUG >/dev/null
cmake --build build-package -j"$(nproc)"
rm -f build-package/zarn_*.deb
(cd build-package && cpack -G DEB >/dev/null)

version=$(sed -n 's/^project(zarn VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
deb="build-package/zarn_${version}_$(dpkg --print-architecture).deb"
[ -f "$deb" ] || fail "no $deb"
echo "built $deb"

expected=(
  usr/bin/zarn usr/bin/zarnlog usr/bin/zarn-board-sim usr/bin/zarn-record usr/bin/zarn-fleet
  usr/share/zarn/card/autorun.exe usr/share/zarn/card/ZarnSetup usr/share/zarn/card/files/zarn/zarn.exe
  usr/share/man/man1/zarn.1.gz usr/share/man/man1/zarnlog.1.gz usr/share/man/man1/zarn-board-sim.1.gz
  usr/share/man/man1/zarn-record.1.gz usr/share/man/man1/ZarnSetup.1.gz usr/lib/systemd/system/zarn-record@.service
  usr/share/man/man1/zarn-fleet.1.gz usr/lib/systemd/system/zarn-fleet.service
  usr/share/applications/zarn.desktop
  usr/share/icons/hicolor/16x16/apps/zarn.png usr/share/icons/hicolor/32x32/apps/zarn.png
  usr/share/icons/hicolor/48x48/apps/zarn.png usr/share/icons/hicolor/64x64/apps/zarn.png
  usr/share/icons/hicolor/128x128/apps/zarn.png
  usr/share/zarn/samples/cellular_survey.kct usr/share/zarn/samples/pcs_survey.kct
  usr/share/zarn/samples/mixed_survey.kct
  usr/lib/udev/rules.d/60-zarn-serial-adapters.rules usr/lib/systemd/system/zarn-kiosk.service
  usr/share/doc/zarn/copyright usr/share/doc/zarn/changelog.gz
)
listing=$(dpkg-deb -c "$deb" | awk '{print $6}')
for file in "${expected[@]}"; do
  grep -qxF "./$file" <<<"$listing" || fail "$deb lacks /$file"
done
echo "all ${#expected[@]} files listed"

[ "$(dpkg-deb -f "$deb" Section)" = hamradio ] || fail "section is not hamradio"
[ -n "$(dpkg-deb -f "$deb" Maintainer)" ] || fail "no maintainer"
dpkg-deb -f "$deb" Depends | grep -q 'libsdl2' || fail "the dependencies were not computed from the binaries"
dpkg-deb -f "$deb" Depends | grep -q 'libjs-leaflet' || fail "zarn-fleet's Leaflet is not among the dependencies"

# Errors fail; warnings and notes are shown.
lintian --fail-on error --info "$deb"
echo "lintian: no errors"

unpacked=$(mktemp -d)
trap 'rm -rf "$unpacked"' EXIT
dpkg -x "$deb" "$unpacked"
desktop-file-validate "$unpacked/usr/share/applications/zarn.desktop"
echo "desktop entry valid"
for page in "$unpacked"/usr/share/man/man1/*.1.gz; do
  warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$page" 2>&1 >/dev/null)
  [ -z "$warnings" ] || fail "$(basename "$page"): $warnings"
done
echo "manual pages render without warnings"
for program in zarn zarnlog zarn-board-sim zarn-record zarn-fleet; do
  answer=$("$unpacked/usr/bin/$program" --version) || fail "$program --version failed"
  grep -qF "$version" <<<"$answer" || fail "$program --version says '$answer', not $version"
  echo "$answer"
done
