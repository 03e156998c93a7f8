#!/usr/bin/env python3
"""CPU time and thread wake-ups of the sound output, per minute of audio.

Plays one MP3 file through the radio's chain (TMP3In -> TDXAudioOut -> the WAV-file
device, in real time, by running kalvira-play with KALVIRA_AUDIO_OUT=wav:PATH) and
decodes the same file with `mpg123 -w` as the reference, both in this run. Reports:

  cpu ratio     CPU time (user + system) of the chain / of mpg123      target <= 1.5
  wake-ups/s    context switches (voluntary + involuntary) of all the chain's threads
                per second of playing, and per thread                  target <= 15

Wake-ups are counted from /proc/<pid>/task/*/status, sampled while the file plays; the
process totals come from wait4(). The chain's WAV file must hold exactly mpg123's PCM
(then the play-out's silence); the script says so.

usage: sound_bench.py PATH/TO/kalvira-play [--seconds 60] [--reference-runs 5]
"""
import argparse
import os
import resource
import statistics
import subprocess
import sys
import tempfile
import time


def make_mp3(folder, seconds):
    wav = os.path.join(folder, "source.wav")
    mp3 = os.path.join(folder, "music.mp3")
    # Noise and two tones: every frame has real work for the decoder.
    subprocess.run(["sox", "-q", "-n", "-r", "44100", "-c", "2", "-b", "16", "-e", "signed", wav,
                    "synth", str(seconds), "pinknoise", "sine", "440", "vol", "0.4"], check=True)
    subprocess.run(["lame", "--quiet", "-b", "192", wav, mp3], check=True)
    os.remove(wav)
    return mp3


def run_measured(argv, env=None, sample_threads=False):
    """Runs argv; returns (elapsed s, cpu s, wake-ups, {thread: (wake-ups, cpu s)})."""
    start = time.monotonic()
    proc = subprocess.Popen(argv, env=env, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL)
    threads = {}
    task_dir = f"/proc/{proc.pid}/task"
    while True:
        pid, status, usage = os.wait4(proc.pid, os.WNOHANG if sample_threads else 0)
        if pid != 0:
            break
        try:
            for tid in os.listdir(task_dir):
                try:
                    with open(f"{task_dir}/{tid}/comm") as f:
                        name = f.read().strip()
                    if tid == str(proc.pid):
                        name += " (main)"
                    switches = 0
                    with open(f"{task_dir}/{tid}/status") as f:
                        for line in f:
                            if line.startswith(("voluntary_ctxt_switches",
                                                "nonvoluntary_ctxt_switches")):
                                switches += int(line.split()[1])
                    with open(f"{task_dir}/{tid}/stat") as f:
                        fields = f.read().rsplit(")", 1)[1].split()
                    ticks = int(fields[11]) + int(fields[12])  # utime + stime
                    threads[tid] = (name, switches, ticks / os.sysconf("SC_CLK_TCK"))
                except (FileNotFoundError, ProcessLookupError, ValueError):
                    pass
        except FileNotFoundError:
            pass
        time.sleep(0.25)
    proc.returncode = os.waitstatus_to_exitcode(status)
    elapsed = time.monotonic() - start
    if proc.returncode != 0:
        sys.exit(f"{argv[0]} failed with {proc.returncode}")
    per_name = {}
    for name, switches, cpu in threads.values():
        old_switches, old_cpu = per_name.get(name, (0, 0.0))
        per_name[name] = (old_switches + switches, old_cpu + cpu)
    return (elapsed, usage.ru_utime + usage.ru_stime, usage.ru_nvcsw + usage.ru_nivcsw,
            per_name)


def wav_data(path):
    with open(path, "rb") as f:
        data = f.read()
    at = 12
    while at + 8 <= len(data):
        size = int.from_bytes(data[at + 4:at + 8], "little")
        if data[at:at + 4] == b"data":
            return data[at + 8:at + 8 + size]
        at += 8 + size + (size & 1)
    return b""


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("player")
    parser.add_argument("--seconds", type=float, default=60)
    parser.add_argument("--reference-runs", type=int, default=5)
    args = parser.parse_args()

    with tempfile.TemporaryDirectory(prefix="kalvira-sound-bench-") as folder:
        mp3 = make_mp3(folder, args.seconds)
        per_minute = 60.0 / args.seconds

        ref_wav = os.path.join(folder, "reference.wav")
        ref = [run_measured(["mpg123", "-q", "-w", ref_wav, mp3])
               for _ in range(args.reference_runs)]
        ref_cpu = statistics.median(r[1] for r in ref)
        ref_wakeups = statistics.median(r[2] for r in ref)

        out_wav = os.path.join(folder, "played.wav")
        env = dict(os.environ, KALVIRA_AUDIO_OUT="wav:" + out_wav)
        elapsed, cpu, wakeups, threads = run_measured([args.player, mp3], env=env,
                                                      sample_threads=True)

        played, reference = wav_data(out_wav), wav_data(ref_wav)
        exact = played[:len(reference)] == reference and not any(played[len(reference):])

        print(f"audio                {args.seconds:.0f} s, 44100 Hz stereo, 192 kbit/s")
        print(f"mpg123 -w            cpu {ref_cpu * per_minute:7.3f} s per minute of audio, "
              f"{ref_wakeups:.0f} context switches (median of {args.reference_runs})")
        print(f"chain -> WAV device  cpu {cpu * per_minute:7.3f} s per minute of audio, "
              f"played in {elapsed:.1f} s")
        print(f"cpu ratio            {cpu / ref_cpu:7.2f}   (target <= 1.5)")
        print(f"wake-ups             {wakeups / elapsed:7.1f} per second of playing, "
              f"{wakeups * per_minute * args.seconds / elapsed:.0f} per minute of audio "
              f"(target <= 15/s)")
        for name, (switches, thread_cpu) in sorted(threads.items(), key=lambda item: -item[1][0]):
            print(f"  {name:20} {switches / elapsed:5.1f} per second, "
                  f"cpu {thread_cpu * per_minute:6.3f} s per minute of audio")
        print(f"PCM                  {'exactly mpg123' if exact else 'DIFFERS from mpg123'}"
              f" ({len(reference)} bytes, then {len(played) - len(reference)} bytes of silence)")


if __name__ == "__main__":
    main()
