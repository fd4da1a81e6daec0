#!/usr/bin/env python3
"""A long queue: cinvora-cli's batch over N short files against the ffmpeg program once per
file, two at a time (xargs -P 2), with the same settings, in the same run.

One short clip is made with the ffmpeg program and copied N times (never encoded N times).
Reports, for cinvora-cli: peak threads (sampled from /proc/PID/status), peak memory (GNU
time's maximum resident set size); for both: wall time; and the ratio cinvora / ffmpeg.

Usage: bench/queue_bench.py [--cli build/bin/cinvora-cli] [--files 10000] [--jobs 2]
                            [--rounds 1] [--work DIR] [--json FILE]
Targets: peak threads <= jobs + 8, peak memory <= 200 MB, wall ratio <= 0.8.
"""
import argparse
import json
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import threading
import time

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(HERE)

# The same encoding on both sides: H.264 at the engine's "high" (x264 preset medium,
# CRF 18), AAC at 192 kbit/s, MP4.
FFMPEG_ARGS = ["-c:v", "libx264", "-preset", "medium", "-crf", "18", "-pix_fmt", "yuv420p",
               "-c:a", "aac", "-b:a", "192k"]
CLI_ARGS = ["--to", "Common Video.MP4", "--vcodec", "h264", "--acodec", "aac", "--quality", "high", "--no-copy"]


def make_sources(work, files):
    src = os.path.join(work, "src")
    clip = os.path.join(work, "clip.mp4")
    if not os.path.exists(clip):
        subprocess.run(["ffmpeg", "-nostdin", "-hide_banner", "-loglevel", "error", "-y",
                        "-f", "lavfi", "-i", "testsrc2=size=320x240:rate=25:duration=1",
                        "-f", "lavfi", "-i", "sine=frequency=440:sample_rate=44100:duration=1",
                        "-c:v", "libx264", "-preset", "veryfast", "-pix_fmt", "yuv420p",
                        "-c:a", "aac", "-ac", "2", clip], check=True)
    have = len(os.listdir(src)) if os.path.isdir(src) else 0
    if have != files:
        shutil.rmtree(src, ignore_errors=True)
        os.makedirs(src)
        for i in range(files):
            shutil.copyfile(clip, os.path.join(src, "f%05d.mp4" % i))
    return src


def fresh(path):
    shutil.rmtree(path, ignore_errors=True)
    os.makedirs(path)
    return path


def run_timed(cmd, sample_threads=False):
    """(wall seconds, max RSS KiB, peak threads of the process or None)."""
    with tempfile.NamedTemporaryFile("r", suffix=".time") as tf:
        t0 = time.perf_counter()
        p = subprocess.Popen(["/usr/bin/time", "-f", "%M", "-o", tf.name] + cmd,
                             stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        peak = [0]
        stop = threading.Event()

        def sampler():
            # GNU time's child is the measured program.
            child = None
            while not stop.is_set():
                if child is None:
                    try:
                        with open("/proc/%d/task/%d/children" % (p.pid, p.pid)) as f:
                            ids = f.read().split()
                        child = int(ids[0]) if ids else None
                    except OSError:
                        pass
                if child is not None:
                    try:
                        with open("/proc/%d/status" % child) as f:
                            for line in f:
                                if line.startswith("Threads:"):
                                    peak[0] = max(peak[0], int(line.split()[1]))
                    except OSError:
                        pass
                time.sleep(0.02)

        th = threading.Thread(target=sampler) if sample_threads else None
        if th:
            th.start()
        rc = p.wait()
        wall = time.perf_counter() - t0
        stop.set()
        if th:
            th.join()
        if rc not in (0,):
            sys.exit("failed (%d): %s" % (rc, " ".join(cmd[:6])))
        rss = int(tf.read().strip().splitlines()[-1])
    return wall, rss, (peak[0] if sample_threads else None)


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--cli", default=os.path.join(ROOT, "build", "bin", "cinvora-cli"))
    ap.add_argument("--files", type=int, default=10000)
    ap.add_argument("--jobs", type=int, default=2)
    ap.add_argument("--rounds", type=int, default=1)
    ap.add_argument("--work", default=os.path.join(ROOT, "build", "bench", "queue"))
    ap.add_argument("--json")
    args = ap.parse_args()
    if not os.access(args.cli, os.X_OK):
        sys.exit("no cinvora-cli at %s" % args.cli)
    os.makedirs(args.work, exist_ok=True)
    src = make_sources(args.work, args.files)
    home = tempfile.mkdtemp(prefix="cinvora-queue-bench-")
    env_home = {"HOME": home, "XDG_CONFIG_HOME": home + "/.config", "XDG_DATA_HOME": home + "/.local/share"}
    os.environ.update(env_home)

    ff_out = os.path.join(args.work, "ffmpeg-out")
    cv_out = os.path.join(args.work, "cinvora-out")
    ff_cmd = ["sh", "-c",
              "ls %s | xargs -P %d -I{} ffmpeg -nostdin -hide_banner -loglevel error -y -i %s/{} %s %s/{}"
              % (src, args.jobs, src, " ".join(FFMPEG_ARGS), ff_out)]
    cv_cmd = [args.cli, "convert", src, "--jobs", str(args.jobs), "--output", cv_out] + CLI_ARGS
    runs = {"ffmpeg": [], "cinvora": []}
    for r in range(args.rounds):
        order = [("ffmpeg", ff_cmd), ("cinvora", cv_cmd)]
        if r % 2:
            order.reverse()
        for who, cmd in order:
            fresh(ff_out if who == "ffmpeg" else cv_out)
            runs[who].append(run_timed(cmd, sample_threads=(who == "cinvora")))
        made = len([f for f in os.listdir(cv_out) if not f.startswith(".")])
        if made != args.files:
            sys.exit("cinvora-cli made %d of %d files" % (made, args.files))
    ff_wall = statistics.median(w for w, _, _ in runs["ffmpeg"])
    cv_wall = statistics.median(w for w, _, _ in runs["cinvora"])
    cv_rss = max(m for _, m, _ in runs["cinvora"])
    cv_threads = max(t for _, _, t in runs["cinvora"])
    ratio = cv_wall / ff_wall
    result = {"files": args.files, "jobs": args.jobs, "rounds": args.rounds,
              "ffmpeg_wall_s": round(ff_wall, 2), "cinvora_wall_s": round(cv_wall, 2), "wall_ratio": round(ratio, 3),
              "cinvora_peak_threads": cv_threads, "cinvora_peak_rss_mb": round(cv_rss / 1024, 1)}
    print("files %d, --jobs %d, %d round(s) (medians)" % (args.files, args.jobs, args.rounds))
    print("  ffmpeg per file, xargs -P %d: %8.1f s" % (args.jobs, ff_wall))
    print("  cinvora-cli batch:            %8.1f s   ratio %.3f (target <= 0.8)" % (cv_wall, ratio))
    print("  cinvora-cli peak threads:     %8d     (target <= %d)" % (cv_threads, args.jobs + 8))
    print("  cinvora-cli peak memory:      %8.1f MB  (target <= 200)" % (cv_rss / 1024))
    if args.json:
        with open(args.json, "w") as f:
            json.dump(result, f, indent=1)
    shutil.rmtree(home, ignore_errors=True)
    ok = ratio <= 0.8 and cv_threads <= args.jobs + 8 and cv_rss / 1024 <= 200
    return 0 if ok else 1


if __name__ == "__main__":
    sys.exit(main())
