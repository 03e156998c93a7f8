#!/usr/bin/env bash
# Installs what is missing, builds Kalvira (release) and starts the radio in its program
# folder (build/release/app), where config.ini's relative paths (skin, picture) resolve.
#
# With a display it plays on the default sound device. Without one it runs the program
# under Xvfb and records what it plays to a WAV file whose path it prints.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
cmake --preset release >/dev/null
cmake --build --preset release -j "$(nproc)"

program_dir=$PWD/build/release/app
cd "$program_dir"
if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
  exec ./kalvira "$@"
fi

recording=${KALVIRA_RECORDING:-$program_dir/kalvira-radio.wav}
echo "No display: running Kalvira under Xvfb; what it plays is recorded to $recording"
echo "(stop it with Ctrl+C)"
export KALVIRA_AUDIO_OUT="${KALVIRA_AUDIO_OUT:-wav:$recording}"
exec xvfb-run -a -s "-screen 0 1280x800x24" ./kalvira "$@"
