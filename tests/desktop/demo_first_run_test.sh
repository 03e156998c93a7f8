#!/usr/bin/env bash
# The first run's demo parts: the demo service starts with everything the online windows
# show (schema, chat, account, the program's own version, two plug-ins) and stops
# cleanly, leaving no server behind; the demo collection is six tagged tracks above the
# music search's size limit, covering the four genre stations.
#
#   demo_first_run_test.sh SOURCE_DIR KALVIRA_ADMIN KALVIRA_PLAY
set -euo pipefail

source_dir=${1:?usage: demo_first_run_test.sh SOURCE_DIR KALVIRA_ADMIN}
admin=${2:?usage: demo_first_run_test.sh SOURCE_DIR KALVIRA_ADMIN KALVIRA_PLAY}
play=${3:?usage: demo_first_run_test.sh SOURCE_DIR KALVIRA_ADMIN KALVIRA_PLAY}
scratch=$(mktemp -d /tmp/kalvira-demo.XXXXXX)
trap '"$source_dir/scripts/demo-service.sh" stop "$scratch/service" >/dev/null 2>&1 || true; rm -rf "$scratch"' EXIT

failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

url=$("$source_dir/scripts/demo-service.sh" start "$scratch/service" "$admin" 2>"$scratch/start.log")
grep -q "demo account demo@kalvira.example.org, password " "$scratch/start.log" ||
  fail "the account is not printed: $(cat "$scratch/start.log")"
[[ $url =~ ^mysql://([^:]+):([^@]+)@127\.0\.0\.1:([0-9]+)/(.+)$ ]] || fail "not a service URL: $url"
user=${BASH_REMATCH[1]} password=${BASH_REMATCH[2]} port=${BASH_REMATCH[3]} schema=${BASH_REMATCH[4]}
sql() {
  mariadb --no-defaults -h 127.0.0.1 -P "$port" -u "$user" -p"$password" -N -B "$schema" -e "$1"
}
[ "$(sql 'SELECT COUNT(*) FROM ut_messages')" -ge 3 ] || fail "fewer than three chat messages"
[ "$(sql 'SELECT COUNT(*) FROM ut_plugins')" = 2 ] || fail "not two plug-ins"
[ "$(sql 'SELECT version FROM ut_versions WHERE id_main = 0')" = 50091215 ] ||
  fail "the version row is not the program's"
export KALVIRA_SERVICE=$url
"$admin" user list | grep -qP '\tdemo@kalvira\.example\.org\tactive$' || fail "no active demo account"

pid=$(cat "$scratch/service/mariadbd.pid")
"$source_dir/scripts/demo-service.sh" stop "$scratch/service"
kill -0 "$pid" 2>/dev/null && fail "the server still runs after stop"
(exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null && fail "the port is still open after stop"
"$source_dir/scripts/demo-service.sh" stop "$scratch/service" || fail "a second stop failed"

"$source_dir/scripts/demo-music.sh" "$scratch/music" >/dev/null
count=0
genres=()
for f in "$scratch/music"/*.mp3; do
  count=$((count + 1))
  [ "$(stat -c %s "$f")" -gt 1024000 ] || fail "$f is not above 1024000 bytes"
  # The tags as the radio's own reader sees them (kalvira-play prints them first).
  genres+=("$( (KALVIRA_AUDIO_OUT=none "$play" "$f" </dev/null 2>&1 || true) | sed -n 's/^  genre *//p')")
done
[ "$count" = 6 ] || fail "$count demo tracks, not six"
stations=$(for g in "${genres[@]}"; do
  case $g in Techno|Dance) echo ELECTRO ;; Rock|Metal) echo ULTRA ;; Pop) echo POP ;;
    Classical) echo CLASSIC ;; *) echo "? $g" ;; esac
done | sort -u | tr '\n' ' ')
[ "$stations" = "CLASSIC ELECTRO POP ULTRA " ] || fail "the genres cover: $stations"

[ "$failures" -eq 0 ] || { echo "demo_first_run_test: $failures failure(s)" >&2; exit 1; }
echo "demo_first_run_test: demo service and collection as a first run needs them"
