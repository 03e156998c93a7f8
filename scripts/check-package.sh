#!/usr/bin/env bash
# Builds the Debian package of a built tree with cpack and checks it: its content list
# (the programs, the shipped files, the desktop files and icons, nothing from the build
# tree), its runtime dependencies (the libraries the programs link and the fonts the
# windows are measured in), and, as root, that dpkg would install it on this machine.
#
#   scripts/check-package.sh BUILD_DIR [OUT_DIR]   (the test suite runs it; exit 0 when all holds)
set -euo pipefail

build=$(realpath "${1:?usage: check-package.sh BUILD_DIR [OUT_DIR]}")
app_id=org.example.kalvira.Kalvira
scratch=$(mktemp -d /tmp/kalvira-package.XXXXXX)
trap 'rm -rf "$scratch"' EXIT
out=${2:-$scratch}
mkdir -p "$out"

(cd "$scratch" && cpack -G DEB --config "$build/CPackConfig.cmake" -B "$out") >"$scratch/cpack.log" 2>&1 || {
  cat "$scratch/cpack.log" >&2; exit 1; }
deb=$(ls "$out"/kalvira_*.deb | head -1)

failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

dpkg-deb -c "$deb" | awk '{print $6}' | sed 's|^\./|/|' | grep -v '/$' | sort >"$scratch/content"
expected=(
  /usr/bin/kalvira /usr/bin/kalvira-admin /usr/bin/kalvira-play
  /usr/share/kalvira/config.ini /usr/share/kalvira/templates/kalvira-jingle.mp3
  /usr/share/kalvira/skins/kalvira.qss /usr/share/kalvira/skins/kalvira-night.qssz
  /usr/share/kalvira/pictures/background.png
  "/usr/share/applications/$app_id.desktop" "/usr/share/metainfo/$app_id.metainfo.xml"
  "/usr/share/icons/hicolor/scalable/apps/$app_id.svg"
  "/usr/share/icons/hicolor/48x48/apps/$app_id.png"
  "/usr/share/icons/hicolor/256x256/apps/$app_id.png"
  /usr/share/doc/kalvira/README.md
)
for f in "${expected[@]}"; do grep -qx "$f" "$scratch/content" || fail "the package lacks $f"; done
stray=$(grep -vE '^/usr/(bin/kalvira(-admin|-play)?|share/(kalvira|applications|metainfo|icons/hicolor|doc/kalvira)/)' \
        "$scratch/content" || true)
[ -z "$stray" ] || fail "the package holds files outside the layout: $stray"

depends=$(dpkg-deb -f "$deb" Depends)
for dep in fonts-crosextra-carlito fonts-wine libqt6widgets6 libqt6dbus6 libqt6svg6 \
           libmpg123-0 libtag1v5 libportaudio2 libssl3 zlib1g; do
  grep -qE "(^|, )$dep( |,|$)" <<<"$depends" || fail "Depends lacks $dep: $depends"
done
[ "$(dpkg-deb -f "$deb" Package)" = kalvira ] || fail "the package is not named kalvira"

if [ "$(id -u)" -eq 0 ]; then
  dpkg --dry-run -i "$deb" >"$scratch/dpkg.log" 2>&1 || {
    cat "$scratch/dpkg.log" >&2; fail "dpkg would not install the package"; }
fi

if [ "$failures" -ne 0 ]; then
  echo "check-package: $failures failure(s)" >&2
  exit 1
fi
echo "check-package: $(basename "$deb") holds the layout and depends on: $depends"
