#!/usr/bin/env python3
"""Start to first sound and resident memory of the whole radio, against kalvira-play.

Each run copies the program folder beside the given kalvira (config.ini, templates/,
skins/, pictures/) into a scratch folder with a station list of one real MP3 file, and
starts kalvira there on Qt's offscreen platform with the WAV-file device
(KALVIRA_AUDIO_OUT=wav:PATH): jingle on, no scan (the lists exist), no update check and no
chat (the shipped config.ini has both off). The reference in the same run is kalvira-play
playing the same jingle to the same kind of device: the engine alone, without the window.

  first sound   process start to the first sample the device receives     target <= 400 ms
                (300 ms of it is the radio's own wait before a file starts)
  memory        VmRSS of kalvira 3 s into the track                       target <= 60 MiB

The WAV device writes what a latency-free card would have played by the clock, so the time
of the first sample is the moment the file was seen growing minus the audio it already
holds.

usage: app_bench.py PATH/TO/kalvira PATH/TO/kalvira-play [--runs 7]
"""
import argparse
import os
import shutil
import statistics
import struct
import subprocess
import sys
import tempfile
import time

HEADER = 44


def make_track(folder):
    wav = os.path.join(folder, "t.wav")
    mp3 = os.path.join(folder, "track.mp3")
    subprocess.run(["sox", "-q", "-n", "-r", "44100", "-c", "2", wav, "synth", "20",
                    "pluck", "220", "vol", "0.5"], check=True)
    subprocess.run(["lame", "--quiet", "--ta", "Bench", "--tn", "1", wav, mp3], check=True)
    os.remove(wav)
    return mp3


def first_sound(argv, env, wav, deadline=20.0):
    """Starts argv; returns (seconds to the first sample, the running process)."""
    start = time.monotonic()
    proc = subprocess.Popen(argv, env=env, stdin=subprocess.DEVNULL,
                            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    while time.monotonic() - start < deadline:
        try:
            size = os.path.getsize(wav)
        except OSError:
            size = 0
        if size > HEADER:
            seen = time.monotonic()
            with open(wav, "rb") as f:
                header = f.read(HEADER)
            byte_rate = struct.unpack_from("<I", header, 28)[0] or 176400
            return seen - start - (size - HEADER) / byte_rate, proc
        if proc.poll() is not None:
            break
        time.sleep(0.0005)  # polling the file, not synchronising anything
    proc.kill()
    proc.wait()
    sys.exit(f"no sound from {argv[0]} within {deadline} s")


def rss_mib(pid):
    with open(f"/proc/{pid}/status") as f:
        for line in f:
            if line.startswith("VmRSS:"):
                return int(line.split()[1]) / 1024
    return 0.0


def stop(proc):
    proc.terminate()
    try:
        proc.wait(timeout=10)
    except subprocess.TimeoutExpired:
        proc.kill()
        proc.wait()


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("kalvira")
    parser.add_argument("kalvira_play")
    parser.add_argument("--runs", type=int, default=7)
    args = parser.parse_args()
    source = os.path.dirname(os.path.abspath(args.kalvira))

    radio_ms, play_ms, radio_rss, play_rss = [], [], [], []
    with tempfile.TemporaryDirectory() as scratch:
        track = make_track(scratch)
        for run in range(args.runs + 1):
            folder = os.path.join(scratch, f"run{run}")
            os.mkdir(folder)
            for name in ("config.ini", "templates", "skins", "pictures"):
                src = os.path.join(source, name)
                (shutil.copytree if os.path.isdir(src) else shutil.copy)(
                    src, os.path.join(folder, name))
            with open(os.path.join(folder, "rallfm.lfm"), "wb") as f:
                f.write((track + "\r\n" + track + "\r\n").encode())
            env = dict(os.environ, QT_QPA_PLATFORM="offscreen", KALVIRA_PROGRAM_DIR=folder)

            wav = os.path.join(folder, "radio.wav")
            env["KALVIRA_AUDIO_OUT"] = "wav:" + wav
            seconds, proc = first_sound([os.path.abspath(args.kalvira)], env, wav)
            time.sleep(4.5)  # the jingle (1.4 s) and 3 s of the track
            rss = rss_mib(proc.pid)
            stop(proc)

            jingle = os.path.join(folder, "templates", "kalvira-jingle.mp3")
            play_wav = os.path.join(folder, "play.wav")
            env["KALVIRA_AUDIO_OUT"] = "wav:" + play_wav
            play_seconds, play = first_sound([args.kalvira_play, jingle], env, play_wav)
            time.sleep(1.0)
            play_rss_now = rss_mib(play.pid)
            stop(play)
            if run == 0:
                continue  # warms the cache
            radio_ms.append(seconds * 1000)
            play_ms.append(play_seconds * 1000)
            radio_rss.append(rss)
            play_rss.append(play_rss_now)

    radio = statistics.median(radio_ms)
    play = statistics.median(play_ms)
    print(f"runs: {args.runs}")
    print(f"first sound, kalvira:      median {radio:6.1f} ms  (max {max(radio_ms):.1f})  "
          f"target <= 400")
    print(f"first sound, kalvira-play: median {play:6.1f} ms")
    print(f"  kalvira - kalvira-play:  {radio - play:6.1f} ms (the window, the settings and the "
          f"300 ms wait); ratio {radio / play:.2f}")
    print(f"memory while playing, kalvira:      median {statistics.median(radio_rss):5.1f} MiB  "
          f"(max {max(radio_rss):.1f})  target <= 60")
    print(f"memory while playing, kalvira-play: median {statistics.median(play_rss):5.1f} MiB; "
          f"ratio {statistics.median(radio_rss) / statistics.median(play_rss):.2f}")


if __name__ == "__main__":
    main()
