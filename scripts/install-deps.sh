#!/usr/bin/env bash
# Installs what Kalvira needs to build, run and test on Debian 12, from Debian's
# archive only. Safe to run again: packages already present are skipped.
set -euo pipefail

packages=(
  # toolchain
  build-essential cmake ninja-build clang clang-format libclang-rt-14-dev pkg-config
  # libraries
  qt6-base-dev qt6-base-dev-tools qt6-svg-dev libmpg123-dev libtag1-dev portaudio19-dev libssl-dev zlib1g-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  # the sound libraries under PortAudio, whose messages the PortAudio backend silences
  libasound2-dev libjack-jackd2-dev
  # test peers
  mariadb-server mariadb-client lame sox libsox-fmt-mp3 mpg123 xvfb
  # tag writers the scan tests tag real files with
  id3v2 eyed3
  # the desktop: the fonts the windows are measured in, a session bus and a media
  # player client for its tests, the validators of the desktop entry and metainfo
  fonts-crosextra-carlito fonts-wine dbus playerctl desktop-file-utils appstream file
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update
$sudo apt-get install -y --no-install-recommends "${missing[@]}"
# The package starts a system-wide server on some machines; the tests run a private
# one and never touch it, so leave whatever state the package chose.
