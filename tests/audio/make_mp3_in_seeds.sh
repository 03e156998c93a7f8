#!/bin/sh
# Makes the seed MP3s of the mp3_in fuzzer's corpus: short files of each sample rate and
# channel count, with and without tags of each kind. Run from this folder; needs sox,
# lame and python3. The fuzzer's findings are kept beside the seeds as regression cases.
set -eu
out=mp3_in_corpus
mkdir -p "$out"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
for rate in 22050 44100 48000; do
  for ch in 1 2; do
    sox -q -n -r $rate -c $ch -b 16 -e signed "$tmp/t.wav" synth 0.12 sine 440 vol 0.5
    lame --quiet -b 32 --resample $(echo "$rate / 1000" | bc -l | sed 's/0*$//;s/\.$//') \
      "$tmp/t.wav" "$out/seed_${rate}_${ch}.mp3"
  done
done
sox -q -n -r 22050 -c 1 -b 16 -e signed "$tmp/t.wav" synth 0.12 sine 440 vol 0.5
lame --quiet -b 32 --id3v1-only --ta Band --tt Song --tg Rock --tn 3 --ty 1999 \
  "$tmp/t.wav" "$out/seed_id3v1.mp3"
lame --quiet -b 32 --id3v2-only --ta Band --tt Song --tg Pop --tn 3/9 --ty 1999 \
  "$tmp/t.wav" "$out/seed_id3v2.mp3"
lame --quiet -b 32 "$tmp/t.wav" "$tmp/plain.mp3"
# Hand-made ID3v2.3 (UTF-16, ISO-8859-1 holding Windows-1251) and ID3v2.4 (UTF-8) tags.
python3 - "$tmp/plain.mp3" "$out" <<'PY'
import sys
plain = open(sys.argv[1], 'rb').read()
out = sys.argv[2]
def syncsafe(n):
    return bytes([(n >> 21) & 0x7F, (n >> 14) & 0x7F, (n >> 7) & 0x7F, n & 0x7F])
def frame(version, fid, enc, payload):
    body = bytes([enc]) + payload
    size = syncsafe(len(body)) if version == 4 else len(body).to_bytes(4, 'big')
    return fid.encode() + size + b'\0\0' + body
def tag(version, frames):
    body = b''.join(frames)
    return b'ID3' + bytes([version, 0, 0]) + syncsafe(len(body)) + body
u16 = lambda s: b'\xff\xfe' + s.encode('utf-16-le')
open(out + '/seed_v23_utf16.mp3', 'wb').write(tag(3, [
    frame(3, 'TPE1', 1, u16('Кино')), frame(3, 'TCON', 1, u16('(17)')),
    frame(3, 'TRCK', 1, u16('3/12')), frame(3, 'TYER', 0, b'1988')]) + plain)
open(out + '/seed_v23_cp1251.mp3', 'wb').write(tag(3, [
    frame(3, 'TPE1', 0, 'Аквариум'.encode('cp1251')), frame(3, 'TCON', 0, b'(13)Pop'),
    frame(3, 'TCOP', 0, 'Борис'.encode('cp1251'))]) + plain)
open(out + '/seed_v24_utf8.mp3', 'wb').write(tag(4, [
    frame(4, 'TPE1', 3, 'Ляпис'.encode()), frame(4, 'TCON', 3, b'13'),
    frame(4, 'TDRC', 3, b'2001-05-03')]) + plain)
PY
