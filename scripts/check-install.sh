#!/usr/bin/env bash
# Checks an installation of a built tree: installs it into a scratch prefix and looks at
# what is there (every file in its place, the desktop entry and the metainfo valid, the
# icons in their sizes, nothing else in bin/), then starts the installed program as a new
# listener would: its per-user folder is seeded on the first start, never overwritten
# later, and KALVIRA_PROGRAM_DIR still wins.
#
#   scripts/check-install.sh BUILD_DIR      (the test suite runs it; exit 0 when all holds)
set -euo pipefail

build=$(realpath "${1:?usage: check-install.sh BUILD_DIR}")
app_id=org.example.kalvira.Kalvira
scratch=$(mktemp -d /tmp/kalvira-install.XXXXXX)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill -KILL "$pid" 2>/dev/null || true; done
  rm -rf "$scratch"
}
trap cleanup EXIT

failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }
check_file() { [ -f "$prefix/$1" ] || fail "missing $1"; }

prefix=$scratch/usr
cmake --install "$build" --prefix "$prefix" >"$scratch/install.log" 2>&1 || {
  cat "$scratch/install.log" >&2; exit 1; }

# The layout.
for f in bin/kalvira bin/kalvira-admin bin/kalvira-play; do
  [ -x "$prefix/$f" ] || fail "missing program $f"
done
extra=$(cd "$prefix/bin" && ls | grep -vxE 'kalvira|kalvira-admin|kalvira-play' || true)
[ -z "$extra" ] || fail "unexpected programs in bin/: $extra"
for f in config.ini templates/kalvira-jingle.mp3 skins/kalvira.qss skins/kalvira-night.qssz \
         pictures/background.png; do
  check_file "share/kalvira/$f"
done
check_file "share/applications/$app_id.desktop"
check_file "share/metainfo/$app_id.metainfo.xml"
check_file "share/icons/hicolor/scalable/apps/$app_id.svg"
check_file "share/doc/kalvira/README.md"
for size in 16 24 32 48 64 128 256; do
  png=$prefix/share/icons/hicolor/${size}x${size}/apps/$app_id.png
  if [ -f "$png" ]; then
    file "$png" | grep -q "PNG image data, $size x $size" || fail "$png is not $size x $size"
  else
    fail "missing ${size}x${size} icon"
  fi
done
cmp -s "$prefix/share/kalvira/config.ini" "$build/app/config.ini" ||
  fail "the shipped config.ini differs from the build tree's"

# The desktop's own validators.
desktop-file-validate "$prefix/share/applications/$app_id.desktop" || fail "desktop entry invalid"
grep -qx "Icon=$app_id" "$prefix/share/applications/$app_id.desktop" || fail "Icon is not $app_id"
appstreamcli validate --no-net "$prefix/share/metainfo/$app_id.metainfo.xml" >"$scratch/as.log" 2>&1 ||
  { cat "$scratch/as.log" >&2; fail "metainfo invalid"; }

# Starts the installed program with HOME in the scratch folder and no session bus, waits
# until it is under way, then ends it. Under way: it plays (its recording grows), or with
# --wrote FILE, FILE exists (a folder without settings plays nothing). Further NAME=VALUE
# pairs go into its environment.
run_program() {
  local recording=$scratch/radio-$RANDOM.wav
  local sign=$recording
  if [ "${1:-}" = --wrote ]; then sign=$2; shift 2; fi
  env -u XDG_DATA_HOME -u DBUS_SESSION_BUS_ADDRESS -u KALVIRA_PROGRAM_DIR HOME="$scratch/home" \
    QT_QPA_PLATFORM=offscreen KALVIRA_AUDIO_OUT="wav:$recording" KALVIRA_DRIVES="$scratch/drives" \
    "$@" "$prefix/bin/kalvira" >"$scratch/program.log" 2>&1 &
  local pid=$!
  pids+=("$pid")
  under_way() {
    if [ "$sign" = "$recording" ]; then
      [ "$(stat -c %s "$recording" 2>/dev/null || echo 0)" -gt 100000 ]
    else
      [ -e "$sign" ]
    fi
  }
  for _ in $(seq 1 600); do
    under_way && break
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
  done
  program_cwd=$(readlink "/proc/$pid/cwd" || true)
  kill -0 "$pid" 2>/dev/null || { cat "$scratch/program.log" >&2; fail "the program ended"; }
  under_way || { cat "$scratch/program.log" >&2; fail "the program did not get under way"; }
  kill -TERM "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
}
mkdir -p "$scratch/home" "$scratch/drives"
user=$scratch/home/.local/share/kalvira

# First start: the folder is seeded with what ships, and the program works in it.
run_program
# What the program wrote itself (list files, the error log in config.ini) may be there too.
if [ -d "$user" ]; then
  differ=$(diff -rq "$prefix/share/kalvira" "$user" 2>&1 | grep -v "^Only in $user" |
           grep -v "config.ini differ" || true)
  [ -z "$differ" ] || fail "the per-user folder does not hold the shipped files: $differ"
else
  fail "the per-user folder was not made"
fi
[ "$program_cwd" = "$user" ] || fail "the program runs in $program_cwd, not in $user"

# Later starts leave the listener's folder alone.
printf '; mine\r\n' >>"$user/config.ini"
cp "$user/config.ini" "$scratch/config.mine"
rm "$user/pictures/background.png"
run_program
grep -q '; mine' "$user/config.ini" || fail "config.ini was overwritten"
[ ! -e "$user/pictures/background.png" ] || fail "a removed file came back"

# XDG_DATA_HOME moves it; KALVIRA_PROGRAM_DIR wins over both and is not seeded.
run_program XDG_DATA_HOME="$scratch/xdg"
[ -f "$scratch/xdg/kalvira/config.ini" ] || fail "XDG_DATA_HOME/kalvira was not seeded"
[ "$program_cwd" = "$scratch/xdg/kalvira" ] || fail "the program runs in $program_cwd"
mkdir -p "$scratch/portable"
run_program --wrote "$scratch/portable/config.ini" KALVIRA_PROGRAM_DIR="$scratch/portable"
[ "$program_cwd" = "$scratch/portable" ] || fail "KALVIRA_PROGRAM_DIR did not win: $program_cwd"
[ ! -e "$scratch/portable/templates" ] || fail "the KALVIRA_PROGRAM_DIR folder was seeded"
cmp -s "$user/config.ini" "$scratch/config.mine" || fail "the per-user config.ini changed"

if [ "$failures" -ne 0 ]; then
  echo "check-install: $failures failure(s)" >&2
  exit 1
fi
echo "check-install: the installation is complete and starts as a new listener's would"
