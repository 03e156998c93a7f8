#!/usr/bin/env bash
# Builds the Debian package of a built tree with cpack and checks it: its content list
# (the programs, the shipped files, the desktop files and icons, nothing from the build
# tree), its runtime dependencies (the libraries the programs link and the fonts the
# windows are measured in), that the packaged program starts, and, as root, that dpkg
# would install it on this machine.
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

# The package's own files start: unpacked into a scratch root, the program seeds a new
# listener's folder from the packaged share/kalvira and plays.
dpkg-deb -x "$deb" "$scratch/root"
mkdir -p "$scratch/home" "$scratch/drives"
env -u XDG_DATA_HOME -u DBUS_SESSION_BUS_ADDRESS -u KALVIRA_PROGRAM_DIR HOME="$scratch/home" \
  QT_QPA_PLATFORM=offscreen KALVIRA_AUDIO_OUT="wav:$scratch/radio.wav" \
  KALVIRA_DRIVES="$scratch/drives" "$scratch/root/usr/bin/kalvira" >"$scratch/program.log" 2>&1 &
pid=$!
for _ in $(seq 1 600); do
  [ "$(stat -c %s "$scratch/radio.wav" 2>/dev/null || echo 0)" -gt 100000 ] && break
  kill -0 "$pid" 2>/dev/null || break
  sleep 0.1
done
[ "$(stat -c %s "$scratch/radio.wav" 2>/dev/null || echo 0)" -gt 100000 ] ||
  { cat "$scratch/program.log" >&2; fail "the packaged program did not play"; }
[ -f "$scratch/home/.local/share/kalvira/templates/kalvira-jingle.mp3" ] ||
  fail "the packaged program did not seed the listener's folder"
kill -KILL "$pid" 2>/dev/null || true
wait "$pid" 2>/dev/null || true

if [ "$(id -u)" -eq 0 ]; then
  dpkg --dry-run -i "$deb" >"$scratch/dpkg.log" 2>&1 || {
    cat "$scratch/dpkg.log" >&2; fail "dpkg would not install the package"; }
fi

if [ "$failures" -ne 0 ]; then
  echo "check-package: $failures failure(s)" >&2
  exit 1
fi
echo "check-package: $(basename "$deb") holds the layout and depends on: $depends"
