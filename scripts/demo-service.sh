#!/usr/bin/env bash
# A local demo of the radio's online service: a private MariaDB server of its own (see
# scripts/test-db.sh: 127.0.0.1, a free port, everything inside DIR) holding the schema,
# a few chat messages, a demo account, a version row equal to the program's own (so the
# update check finds nothing newer) and two plug-ins.
#
#   scripts/demo-service.sh start DIR [KALVIRA_ADMIN]   prints the KALVIRA_SERVICE URL on
#                                                       standard output, the account on
#                                                       standard error
#   scripts/demo-service.sh stop DIR
#
# KALVIRA_ADMIN is the kalvira-admin program (default: the release build's).
set -euo pipefail
cd "$(dirname "$0")/.."

cmd=${1:?usage: demo-service.sh start|stop DIR [KALVIRA_ADMIN]}
dir=$(realpath -m "${2:?usage: demo-service.sh start|stop DIR [KALVIRA_ADMIN]}")
admin=${3:-$PWD/build/release/tools/kalvira-admin/kalvira-admin}

# The program's own version number: the demo announces exactly it.
program_version=50091215
demo_address=demo@kalvira.example.org
demo_password=Radio-Demo-5

start() {
  [ -x "$admin" ] || { echo "demo-service: $admin is not built" >&2; exit 1; }
  local url
  url=$(scripts/test-db.sh start "$dir")
  # A failure after this point must not leave the server running.
  trap 'scripts/test-db.sh stop "$dir"' ERR
  export KALVIRA_SERVICE=$url
  "$admin" schema >/dev/null
  printf '%s\n' "$demo_password" | "$admin" user add "$demo_address" - >/dev/null
  "$admin" message post "Радио" "Добро пожаловать в эфир Kalvira!" >/dev/null
  "$admin" message post "Слушатель" "Всем привет! Отличная музыка сегодня." >/dev/null
  "$admin" message post "DJ" "<b>Вечером</b> в эфире - только классика." >/dev/null
  "$admin" version set "$program_version" https://kalvira.example.org/download >/dev/null
  "$admin" plugin add "Эквалайзер" 2048 1.0 https://kalvira.example.org/plugins/eq.zip >/dev/null
  "$admin" plugin add "Визуализация" 512 0.9 https://kalvira.example.org/plugins/vis.zip >/dev/null
  trap - ERR
  echo "demo-service: demo account $demo_address, password $demo_password" >&2
  echo "$url"
}

case "$cmd" in
  start) start ;;
  stop) scripts/test-db.sh stop "$dir" ;;
  *) echo "usage: demo-service.sh start|stop DIR [KALVIRA_ADMIN]" >&2; exit 2 ;;
esac
