#!/usr/bin/env python3
"""Conversion speed and memory of cinvora-cli against the ffmpeg program.

Each scenario runs both programs with equivalent settings (same encoder, quality,
scaler, threads), alternating them round after round so that both see the same
machine load, and reports the median wall time and peak memory of each and their
ratios (cinvora / ffmpeg; below 1.0 means cinvora is faster or smaller).

The remux reads a source of at least --remux-mb MiB (the transcode clip repeated by
stream copy), so that the run is long enough for start-up and throughput both to count.
The start-up scenario runs `cinvora-cli --help` against `ffmpeg -version`: what each
program costs before its first real work (loading libraries, setting up).

Usage: bench/bench.py [--cli build/bin/cinvora-cli] [--rounds 7] [--work DIR]
                      [--seconds 20] [--remux-mb 100] [--startup-rounds 41]
                      [--only transcode,av1,hevc,loudness,remux,startup]
AV1 and HEVC at 1080p are slow on a small machine: --only av1,hevc --seconds 5 --rounds 3.
"""
import argparse
import json
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(HERE)

# Targets: wall-time and memory ratios the engine must stay under.
TARGETS = {"transcode": 1.05, "av1": 1.05, "hevc": 1.05, "remux": 1.10, "loudness": 1.10, "memory": 1.25,
           "startup": 1.0, "ssim": 0.002}
# Scenarios whose outputs are also judged against the source by the ffmpeg program's SSIM.
JUDGED = ("transcode", "av1", "hevc")


def ssim(output, source):
    """The ffmpeg program's SSIM (All) of output against source, scaled to the output's size."""
    p = subprocess.run(["ffmpeg", "-nostdin", "-hide_banner", "-i", output, "-i", source, "-lavfi",
                        "[1:v][0:v]scale2ref=flags=bicubic[ref][out];[out][ref]ssim", "-f", "null", "-"],
                       stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)
    for line in p.stderr.splitlines():
        if "SSIM" in line and "All:" in line:
            return float(line.split("All:")[1].split()[0])
    sys.exit("no SSIM for %s:\n%s" % (output, p.stderr[-2000:]))


def scenarios(src, remux_src, out_dir):
    """(name, source, ffmpeg command, cinvora options, output suffix) per scenario."""
    ff_out = os.path.join(out_dir, "ffmpeg")
    cv_out = os.path.join(out_dir, "cinvora")
    return [
        # 1080p H.264/AAC to 720p H.264/AAC: x264 preset medium CRF 18 (the engine's
        # "high"), bicubic scaling (both programs' default), AAC 192 kbit/s stereo.
        ("transcode", src,
         ["ffmpeg", "-nostdin", "-v", "error", "-y", "-i", src, "-vf", "scale=1280:720:flags=bicubic",
          "-c:v", "libx264", "-preset", "medium", "-crf", "18", "-pix_fmt", "yuv420p",
          "-c:a", "aac", "-b:a", "192k", ff_out + ".mp4"],
         ["--size", "1280x720", "--vcodec", "h264", "--acodec", "aac", "--quality", "high", "--no-copy"],
         ".mp4"),
        # AV1 and HEVC at the engine's "high": SVT-AV1 preset 8 CRF 30 with Opus 160 kbit/s in
        # Matroska; x265 CRF 20 (preset medium) with AAC 192 kbit/s in MP4, tagged hvc1.
        ("av1", src,
         ["ffmpeg", "-nostdin", "-v", "error", "-y", "-i", src, "-c:v", "libsvtav1", "-preset", "8", "-crf", "30",
          "-pix_fmt", "yuv420p", "-c:a", "libopus", "-b:a", "160k", ff_out + ".mkv"],
         ["--vcodec", "av1", "--acodec", "libopus", "--quality", "high", "--no-copy"],
         ".mkv"),
        ("hevc", src,
         ["ffmpeg", "-nostdin", "-v", "error", "-y", "-i", src, "-c:v", "libx265", "-crf", "20",
          "-x265-params", "log-level=error", "-tag:v", "hvc1", "-pix_fmt", "yuv420p",
          "-c:a", "aac", "-b:a", "192k", ff_out + ".mp4"],
         ["--vcodec", "hevc", "--acodec", "aac", "--quality", "high", "--no-copy"],
         ".mp4"),
        # Even loudness: the sound measured, then brought to -16 LUFS and encoded as AAC
        # 192 kbit/s, the video copied; against the ffmpeg program's two runs of loudnorm
        # (measure, then apply in its linear mode).
        ("loudness", src,
         [sys.executable, os.path.join(HERE, "ffmpeg_loudnorm.py"), src, ff_out + ".mp4"],
         ["--loudness", "-16", "--acodec", "aac", "--quality", "high"],
         ".mp4"),
        # Remux by stream copy, MP4 to Matroska.
        ("remux", remux_src,
         ["ffmpeg", "-nostdin", "-v", "error", "-y", "-i", remux_src, "-map", "0", "-c", "copy", ff_out + ".mkv"],
         [],
         ".mkv"),
    ]


def timed(cmd):
    """Runs cmd under GNU time; returns (wall seconds, max RSS in KiB, CPU seconds)."""
    with tempfile.NamedTemporaryFile("r", suffix=".time") as tf:
        t0 = time.perf_counter()
        p = subprocess.run(["/usr/bin/time", "-f", "%M %U %S", "-o", tf.name] + cmd,
                           stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
        wall = time.perf_counter() - t0
        if p.returncode != 0:
            sys.exit("failed: %s\n%s" % (" ".join(cmd), p.stderr.decode(errors="replace")[-2000:]))
        rss, user, system = tf.read().strip().splitlines()[-1].split()
    return wall, int(rss), float(user) + float(system)


def remux_source(src, mib):
    """src repeated by stream copy until the file holds at least mib MiB."""
    out = os.path.join(os.path.dirname(src), "remux-source-%dMiB.mp4" % mib)
    if os.path.exists(out) and os.path.getsize(out) >= mib << 20:
        return out
    loops = -(-(mib << 20) // os.path.getsize(src))  # ceiling
    tmp = out + ".tmp.mp4"
    subprocess.run(["ffmpeg", "-nostdin", "-v", "error", "-y", "-stream_loop", str(loops - 1), "-i", src,
                    "-map", "0", "-c", "copy", "-f", "mp4", tmp], check=True)
    os.replace(tmp, out)
    return out


def startup(cli, rounds):
    """Median wall seconds of `cinvora-cli --help` and `ffmpeg -version`, alternating."""
    cmds = {"ffmpeg": ["ffmpeg", "-version"], "cinvora": [cli, "--help"]}
    runs = {"ffmpeg": [], "cinvora": []}
    for who, cmd in cmds.items():  # one unmeasured start each: both find their libraries cached
        subprocess.run(cmd, stdout=subprocess.DEVNULL, check=True)
    for r in range(rounds):
        order = list(cmds.items())
        if r % 2:
            order.reverse()
        for who, cmd in order:
            t0 = time.perf_counter()
            subprocess.run(cmd, stdout=subprocess.DEVNULL, check=True)
            runs[who].append(time.perf_counter() - t0)
    med = {who: statistics.median(v) for who, v in runs.items()}
    print("  startup: %d alternating rounds, ffmpeg %.1f ms, cinvora %.1f ms" % (
        rounds, med["ffmpeg"] * 1000, med["cinvora"] * 1000), flush=True)
    return {"ffmpeg_s": med["ffmpeg"], "cinvora_s": med["cinvora"], "time_ratio": med["cinvora"] / med["ffmpeg"]}


def main():
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("--cli", default=os.path.join(ROOT, "build", "bin", "cinvora-cli"))
    ap.add_argument("--rounds", type=int, default=7)
    ap.add_argument("--work", default=os.path.join(ROOT, "build", "bench"))
    ap.add_argument("--seconds", type=int, default=20)
    ap.add_argument("--remux-mb", type=int, default=100)
    ap.add_argument("--startup-rounds", type=int, default=41)
    ap.add_argument("--only", default="")
    ap.add_argument("--json", help="also write the results here")
    args = ap.parse_args()

    if not os.access(args.cli, os.X_OK):
        sys.exit("no cinvora-cli at %s (build it: cmake --build build --target cinvora-cli)" % args.cli)
    for tool in ("ffmpeg", "/usr/bin/time"):
        if not shutil.which(tool):
            sys.exit("%s is needed" % tool)
    os.makedirs(args.work, exist_ok=True)
    src = os.path.join(args.work, "source-1080p-%ds.mp4" % args.seconds)
    print("source: %s" % src, flush=True)
    subprocess.run([os.path.join(HERE, "make-source.sh"), src, str(args.seconds)], check=True)
    out_dir = os.path.join(args.work, "out")
    os.makedirs(out_dir, exist_ok=True)
    only = set(filter(None, args.only.split(",")))
    remux_src = remux_source(src, args.remux_mb) if not only or "remux" in only else src

    results = {}
    if not only or "startup" in only:
        results["startup"] = startup(args.cli, args.startup_rounds)
    for name, source, ff_cmd, cv_opts, suffix in scenarios(src, remux_src, out_dir):
        if only and name not in only:
            continue
        print("%s: %s (%d MiB)" % (name, source, os.path.getsize(source) >> 20), flush=True)
        cv_path = os.path.join(out_dir, "cinvora" + suffix)
        cv_cmd = [args.cli, "convert", source, cv_path] + cv_opts
        runs = {"ffmpeg": [], "cinvora": []}
        for r in range(args.rounds):
            # Alternate who goes first so neither always meets a warm or cold cache.
            order = [("ffmpeg", ff_cmd), ("cinvora", cv_cmd)]
            if r % 2:
                order.reverse()
            for who, cmd in order:
                if who == "cinvora" and os.path.exists(cv_path):
                    os.remove(cv_path)  # cinvora-cli never overwrites
                runs[who].append(timed(cmd))
            print("  %s round %d: ffmpeg %.2fs (cpu %.2fs) %d MiB, cinvora %.2fs (cpu %.2fs) %d MiB" % (
                name, r + 1, runs["ffmpeg"][-1][0], runs["ffmpeg"][-1][2], runs["ffmpeg"][-1][1] // 1024,
                runs["cinvora"][-1][0], runs["cinvora"][-1][2], runs["cinvora"][-1][1] // 1024), flush=True)
        med = {who: tuple(statistics.median(x[i] for x in v) for i in range(3)) for who, v in runs.items()}
        results[name] = {
            "ffmpeg_s": med["ffmpeg"][0], "cinvora_s": med["cinvora"][0],
            "ffmpeg_rss_kib": med["ffmpeg"][1], "cinvora_rss_kib": med["cinvora"][1],
            "time_ratio": med["cinvora"][0] / med["ffmpeg"][0],
            "memory_ratio": med["cinvora"][1] / med["ffmpeg"][1],
            "ffmpeg_cpu_s": med["ffmpeg"][2], "cinvora_cpu_s": med["cinvora"][2],
            "cpu_ratio": med["cinvora"][2] / med["ffmpeg"][2],
            "ffmpeg_size": os.path.getsize(ff_cmd[-1]), "cinvora_size": os.path.getsize(cv_path),
        }
        if name in JUDGED:
            results[name]["ffmpeg_ssim"] = ssim(ff_cmd[-1], source)
            results[name]["cinvora_ssim"] = ssim(cv_path, source)
            print("  %s SSIM: ffmpeg %.4f, cinvora %.4f" % (name, results[name]["ffmpeg_ssim"],
                                                            results[name]["cinvora_ssim"]), flush=True)

    print()
    print("%-10s %10s %10s %8s %10s %10s %8s %9s" % ("scenario", "ffmpeg s", "cinvora s", "ratio", "ffmpeg MiB",
                                                      "cinvora MiB", "ratio", "cpu ratio"))
    failed = []
    for name, r in results.items():
        if name == "startup":
            print("%-10s %10.3f %10.3f %8.3f" % (name, r["ffmpeg_s"], r["cinvora_s"], r["time_ratio"]))
            if r["time_ratio"] > TARGETS[name]:
                failed.append("startup time %.3f > %.2f" % (r["time_ratio"], TARGETS[name]))
            continue
        print("%-10s %10.2f %10.2f %8.3f %10d %10d %8.3f %9.3f" % (
            name, r["ffmpeg_s"], r["cinvora_s"], r["time_ratio"], r["ffmpeg_rss_kib"] // 1024,
            r["cinvora_rss_kib"] // 1024, r["memory_ratio"], r["cpu_ratio"]))
        if r["time_ratio"] > TARGETS[name]:
            failed.append("%s time %.3f > %.2f" % (name, r["time_ratio"], TARGETS[name]))
        if name in JUDGED and abs(r["cinvora_ssim"] - r["ffmpeg_ssim"]) > TARGETS["ssim"]:
            failed.append("%s SSIM %.4f against %.4f" % (name, r["cinvora_ssim"], r["ffmpeg_ssim"]))
        if name == "transcode" and r["memory_ratio"] > TARGETS["memory"]:
            failed.append("memory %.3f > %.2f" % (r["memory_ratio"], TARGETS["memory"]))
    print("\ncpu ratio: user+system time, steadier than wall time on a shared machine")
    print("medians of %d alternating rounds (start-up: %d); targets: transcode <= %.2f, remux <= %.2f, "
          "memory <= %.2f, start-up <= %.2f" % (args.rounds, args.startup_rounds, TARGETS["transcode"],
                                                 TARGETS["remux"], TARGETS["memory"], TARGETS["startup"]))
    if args.json:
        with open(args.json, "w") as f:
            json.dump(results, f, indent=2)
    if failed:
        print("MISSED: " + "; ".join(failed))
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
