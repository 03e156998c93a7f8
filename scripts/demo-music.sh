#!/usr/bin/env bash
# Makes a small demo collection: six tracks of our own synthesized music, tagged with
# title, artist, album and a genre of each of the four genre stations, each above the
# music search's 1024000 bytes. Tracks already there are kept.
#
#   scripts/demo-music.sh DIR
set -euo pipefail

dir=${1:?usage: demo-music.sh DIR}
mkdir -p "$dir"

# name|genre|title|synthesis (sox synth arguments per note: length and tone)
tracks=(
  "electro-pulse|Techno|Пульс|square|A2 E3 A3 C4 E4 A3 E3 C3"
  "electro-drift|Dance|Дрейф|sawtooth|D3 F3 A3 D4 A3 F3 C4 A3"
  "ultra-riff|Rock|Рифф|square|E2 E2 G2 A2 E2 E2 D2 D#2"
  "ultra-storm|Metal|Шторм|sawtooth|B1 B1 D2 E2 B1 F#2 E2 D2"
  "pop-summer|Pop|Лето|triangle|C4 E4 G4 E4 F4 A4 G4 E4"
  "classic-dawn|Classical|Рассвет|sine|G3 B3 D4 G4 D4 B3 C4 E4"
)

for entry in "${tracks[@]}"; do
  IFS='|' read -r name genre title wave notes <<<"$entry"
  out=$dir/$name.mp3
  [ -s "$out" ] && continue
  parts=()
  for note in $notes; do
    part=$(mktemp --suffix=.wav)
    sox -q -n -r 44100 -c 2 "$part" synth 0.5 "$wave" "$note" fade 0.01 0.5 0.05 vol 0.4
    parts+=("$part")
  done
  bar=$(mktemp --suffix=.wav)
  sox -q "${parts[@]}" "$bar"
  # Eighteen bars of four seconds: 72 seconds, about 1.7 MB at 192 kbit/s.
  song=$(mktemp --suffix=.wav)
  sox -q "$bar" "$song" repeat 17 reverb 30
  LC_ALL=C.UTF-8 lame --quiet -b 192 --id3v2-utf16 --tt "$title" --ta "Kalvira Demo" \
    --tl "Первый эфир" --tg "$genre" --ty 2026 "$song" "$out"
  rm -f "${parts[@]}" "$bar" "$song"
done
ls "$dir"/*.mp3
