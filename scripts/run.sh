#!/usr/bin/env bash
# Installs what is missing, builds Kalvira (release) and starts the radio in its program
# folder (build/release/app), where config.ini's relative paths (skin, picture) resolve.
#
# A first run that shows everything:
# - without KALVIRA_SERVICE, a local demo service is started for the run (a private
#   MariaDB server in build/demo-service, scripts/demo-service.sh), with the chat feed and
#   the update check switched on against it, and stopped when the program ends;
#   KALVIRA_DEMO_SERVICE=0 skips it;
# - when the program has no station lists yet and no MP3 collection is found in the home
#   folder, /media or /mnt, a small demo collection is generated into build/demo-music,
#   where the first-run music search finds it; KALVIRA_DEMO_MUSIC=0 skips it.
#
# With a display it plays on the default sound device. Without one it runs the program
# under Xvfb and records what it plays to a WAV file whose path it prints.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
cmake --preset release >/dev/null
cmake --build --preset release -j "$(nproc)"

root=$PWD
program_dir=$root/build/release/app
config=$program_dir/config.ini

has_collection() {
  local places=()
  for d in "$HOME" /media /mnt; do [ -d "$d" ] && places+=("$d"); done
  [ ${#places[@]} -gt 0 ] &&
    [ -n "$(find "${places[@]}" -name '*.mp3' -size +1000k -print -quit 2>/dev/null)" ]
}
if [ "${KALVIRA_DEMO_MUSIC:-1}" != 0 ] && [ ! -e "$program_dir/rallfm.lfm" ] && ! has_collection; then
  echo "No MP3 collection found: generating a demo collection in build/demo-music"
  scripts/demo-music.sh "$root/build/demo-music" >/dev/null
fi

# Sets KEY of the settings section to VALUE in config.ini (CR LF lines), in place.
set_setting() {
  sed -i "s/^$1=[^\r]*/$1=$2/" "$config"
}
setting() {
  sed -n "s/^$1=\([^\r]*\).*/\1/p" "$config" | head -1
}

cleanup() { :; }
if [ -z "${KALVIRA_SERVICE:-}" ] && [ "${KALVIRA_DEMO_SERVICE:-1}" != 0 ]; then
  demo_dir=$root/build/demo-service
  KALVIRA_SERVICE=$(scripts/demo-service.sh start "$demo_dir" \
                    "$root/build/release/tools/kalvira-admin/kalvira-admin")
  export KALVIRA_SERVICE
  echo "Demo service: $KALVIRA_SERVICE (stopped when Kalvira ends)"
  chat_before=$(setting OnlineChat)
  update_before=$(setting CheckForUpdate)
  set_setting OnlineChat 1
  set_setting CheckForUpdate 1
  cleanup() {
    set_setting OnlineChat "$chat_before"
    set_setting CheckForUpdate "$update_before"
    "$root/scripts/demo-service.sh" stop "$demo_dir"
  }
fi
trap cleanup EXIT
trap 'exit 130' INT TERM

cd "$program_dir"
if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
  ./kalvira "$@"
  exit
fi

recording=${KALVIRA_RECORDING:-$program_dir/kalvira-radio.wav}
echo "No display: running Kalvira under Xvfb; what it plays is recorded to $recording"
echo "(stop it with Ctrl+C)"
export KALVIRA_AUDIO_OUT="${KALVIRA_AUDIO_OUT:-wav:$recording}"
xvfb-run -a -s "-screen 0 1280x800x24" ./kalvira "$@"
