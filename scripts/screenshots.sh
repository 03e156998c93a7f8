#!/usr/bin/env bash
# Pictures of every window of the program with the shipped skin, written as PNG files to
# build/screenshots/ (or the folder given): builds the release preset, copies the program
# folder to a scratch folder and runs kalvira-screenshots there under Xvfb, with no sound.
set -euo pipefail
cd "$(dirname "$0")/.."
out=$(realpath -m "${1:-build/screenshots}")

scripts/install-deps.sh
cmake --preset release >/dev/null
cmake --build --preset release -j "$(nproc)" --target kalvira kalvira-screenshots

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
app=build/release/app
cp -r "$app/config.ini" "$app/skins" "$app/pictures" "$app/templates" "$scratch/"
tool=$PWD/build/release/tools/kalvira-screenshots/kalvira-screenshots
mkdir -p "$out"
cd "$scratch"
KALVIRA_PROGRAM_DIR=$scratch KALVIRA_AUDIO_OUT=none \
  xvfb-run -a -s "-screen 0 1280x800x24" "$tool" "$out"
echo "Screenshots in $out"
