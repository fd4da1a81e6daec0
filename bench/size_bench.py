#!/usr/bin/env python3
"""Size limits and estimates of cinvora-cli on a set of sources made by the ffmpeg program.

The test set (default): six kinds of source (talking head: a still background with a small
moving area; sport: a test picture under heavy moving grain; animation: flat colours of a
fractal zoom; slide show: a still that changes every five seconds; audio-heavy: a small
dark picture under loud stereo noise; long: ten minutes of a small moving picture), and a
10 s one. Each is converted with --max-size 8M, 25M, 50M and an impossible limit, and
estimated with --estimate (with and without the limit). The table gives each output's size
against its limit and the estimates' errors against the real conversions.

--timing: the cost of an estimate against a plain conversion of the same file, and of a
size-limited conversion against the ffmpeg program's own two-pass encode at the same
video rate, in the same run, as ratios.

Usage: bench/size_bench.py [--cli build/bin/cinvora-cli] [--work build/bench/size]
                           [--long-minutes 10] [--timing] [--rounds 3] [--only talk,long]
                           [--no-limits]
Nothing is committed: the sources are made into --work on first use and reused.
"""
import argparse
import json
import os
import statistics
import subprocess
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(HERE)

LIMITS = [("8M", 8e6), ("25M", 25e6), ("50M", 50e6)]
IMPOSSIBLE = ("20K", 20e3)


def sources(long_minutes):
    """(name, seconds, ffmpeg input arguments) of the set."""
    return [
        ("talk", 60, ["-f", "lavfi", "-i",
                      "color=c=0x506070:s=640x360:r=25:d=60[bg];testsrc2=s=128x128:r=25:d=60[fg];"
                      "[bg][fg]overlay=x='256+40*sin(t)':y='116+20*cos(t*1.3)'",
                      "-f", "lavfi", "-i", "sine=frequency=220:sample_rate=48000:d=60"]),
        ("sport", 60, ["-f", "lavfi", "-i", "testsrc2=s=640x360:r=25:d=60,noise=alls=30:allf=t",
                       "-f", "lavfi", "-i", "anoisesrc=c=pink:a=0.2:sample_rate=48000:d=60"]),
        ("animation", 30, ["-f", "lavfi", "-i", "mandelbrot=s=640x360:r=25,trim=duration=30",
                           "-f", "lavfi", "-i", "sine=frequency=330:sample_rate=48000:d=30"]),
        ("slides", 60, ["-f", "lavfi", "-i", "testsrc2=s=640x360:r=0.2:d=60,fps=25",
                        "-f", "lavfi", "-i", "sine=frequency=440:sample_rate=48000:d=60"]),
        ("audio-heavy", 120, ["-f", "lavfi", "-i", "testsrc2=s=160x120:r=25:d=120,hue=s=0.2",
                              "-f", "lavfi", "-i", "anoisesrc=c=white:a=0.5:sample_rate=48000:d=120",
                              "-ac", "2"]),
        ("short-10s", 10, ["-f", "lavfi", "-i", "testsrc2=s=640x360:r=25:d=10,noise=alls=12:allf=t",
                           "-f", "lavfi", "-i", "sine=frequency=550:sample_rate=48000:d=10"]),
        ("long", long_minutes * 60,
         ["-f", "lavfi", "-i", "testsrc2=s=320x180:r=25:d=%d,noise=alls=8:allf=t" % (long_minutes * 60),
          "-f", "lavfi", "-i", "sine=frequency=660:sample_rate=48000:d=%d" % (long_minutes * 60)]),
    ]


def make(work, name, args):
    path = os.path.join(work, name + ".mkv")
    if not os.path.exists(path):
        subprocess.run(["ffmpeg", "-nostdin", "-v", "error", "-y"] + args +
                       ["-c:v", "libx264", "-crf", "14", "-preset", "veryfast", "-c:a", "flac", "-shortest",
                        path + ".tmp.mkv"], check=True)
        os.rename(path + ".tmp.mkv", path)
    return path


def cli_run(cli, args):
    began = time.monotonic()
    p = subprocess.run([cli, "convert"] + args, stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
    return p.returncode, p.stdout, p.stderr, time.monotonic() - began


def estimate(cli, src, out, extra):
    rc, out_text, err, took = cli_run(cli, [src, out, "--estimate", "--json"] + extra)
    line = out_text.strip().splitlines()[-1] if out_text.strip() else "{}"
    return rc, json.loads(line), took


def fresh(path):
    if os.path.exists(path):
        os.remove(path)
    return path


# What the program says (in its log, with --verbose) when a size-limited file stays well
# under its limit because the pictures take no more bits.
NEEDS_LESS = "its pictures need no more"

# The repository's test fixtures (scripts/make-fixtures) that an estimate is judged on,
# with the output each is converted to.
FIXTURES = [("clip.mp4", "mp4"), ("multi.mkv", "mp4"), ("mpeg4.avi", "mp4"), ("short.mp4", "mp4"),
            ("hd1080.mp4", "mp4"), ("rotated.mp4", "mp4"), ("anamorphic.mkv", "mp4"), ("audio.flac", "m4a"),
            ("audio.mp3", "m4a")]


def show(row):
    name, label, size, limit, note = row
    ratio = "%.3f" % (size / limit) if size is not None and limit else "-"
    shown = "%.2f MB" % (size / 1e6) if size is not None else "refused"
    print("| %s | %s | %s | %s | %s |" % (name, label, shown, ratio, note), flush=True)


def verdict(size, limit, seconds, err):
    """Whether a size-limited output holds, and what the program said where it does not fill the limit."""
    if size > limit:
        return "OVER THE LIMIT"
    if size >= 0.95 * limit or seconds < 10:
        return "holds"
    said = [line for line in err.splitlines() if NEEDS_LESS in line]
    if said:
        return "under 95 %%, the content needs less: \"%s\"" % said[-1].split(": ", 1)[-1]
    return "MISS (under 95 %)"


def converted_seconds(out_text, took):
    """The conversion's own time as the program reports it (--json), without the program's
    start, which an estimate of one conversion does not include; the process's time where
    the line is missing."""
    for line in reversed(out_text.strip().splitlines()):
        try:
            return float(json.loads(line)["seconds"])
        except (ValueError, KeyError):
            continue
    return took


def judge_estimate(cli, name, src, out, extra, errors):
    """An estimate and the conversion right after it; their errors go into `errors` by source.
    The estimate's time is judged against the conversion's own; its cost is the estimate's
    process against the conversion's, each with its program's start."""
    rc, est, est_took = estimate(cli, src, out, extra)
    rc, out_text, err, took = cli_run(cli, [src, out, "--json"] + extra)
    if rc != 0:
        sys.exit("%s: conversion failed: %s" % (name, err[-1000:]))
    own = converted_seconds(out_text, took)
    real = os.path.getsize(out)
    if "bytes" not in est:
        sys.exit("%s: no estimate: %s" % (name, est.get("error")))
    se = est["bytes"] / real - 1
    te = est["seconds"] / own - 1
    errors.setdefault(name, {"size": [], "time": [], "cost": []})
    errors[name]["size"].append(se)
    errors[name]["time"].append(te)
    errors[name]["cost"].append(est_took / took)
    return real, took, se, te, est_took


def summary(errors):
    print()
    print("| source | size error | time errors (plain, then each limit) | estimate's cost / conversion |")
    print("|---|---|---|---|")
    for name, e in errors.items():
        print("| %s | %s | %s | %s |" % (name, ", ".join("%+.1f %%" % (100 * x) for x in e["size"]),
                                         ", ".join("%+.1f %%" % (100 * x) for x in e["time"]),
                                         ", ".join("%.3f" % x for x in e["cost"])))
    sizes = [abs(x) for e in errors.values() for x in e["size"]]
    times = [abs(x) for e in errors.values() for x in e["time"]]
    print()
    print("size estimate: median |error| %.1f %%, worst %.1f %% (%d estimates)" %
          (100 * statistics.median(sizes), 100 * max(sizes), len(sizes)))
    print("time estimate: median |error| %.1f %%, worst %.1f %% (%d estimates)" %
          (100 * statistics.median(times), 100 * max(times), len(times)), flush=True)


def test_set(cli, work, long_minutes, only, fixtures, limits=True):
    errors = {}
    print("| source | limit | output | output / limit | notes |")
    print("|---|---|---|---|---|", flush=True)
    for name, seconds, args in sources(long_minutes):
        if only and name not in only:
            continue
        src = make(work, name, args)
        out = fresh(os.path.join(work, name + "-plain.mp4"))
        real, took, se, te, est_took = judge_estimate(cli, name, src, out, ["--no-copy"], errors)
        show((name, "none", real, None, "%.1f s; estimate %+.1f %% size, %+.1f %% time (its cost %.3f of the "
              "conversion)" % (took, 100 * se, 100 * te, est_took / took)))
        for label, limit in (LIMITS + [IMPOSSIBLE]) if limits else []:
            out = fresh(os.path.join(work, "%s-%s.mp4" % (name, label)))
            rc, lest, lest_took = estimate(cli, src, out, ["--max-size", label])
            rc, out_text, err, took = cli_run(cli, [src, out, "--max-size", label, "--verbose", "--json"])
            if rc != 0:
                why = err.strip().splitlines()[-1] if err.strip() else "failed"
                show((name, label, None, limit, why.split(": ")[-1]))
                continue
            size = os.path.getsize(out)
            te = lest["seconds"] / converted_seconds(out_text, took) - 1 if "seconds" in lest else float("nan")
            errors[name]["time"].append(te)
            errors[name]["cost"].append(lest_took / took)
            show((name, label, size, limit, "%s; %.1f s, estimate %+.1f %% time" %
                  (verdict(size, limit, seconds, err), took, 100 * te)))
    if fixtures and (not only or "fixtures" in only):
        print()
        print("| fixture | output | conversion | estimate: size | time | its cost / conversion |")
        print("|---|---|---|---|---|---|", flush=True)
        for name, ext in FIXTURES:
            src = os.path.join(fixtures, name)
            if not os.path.exists(src):
                continue
            out = fresh(os.path.join(work, "fixture-%s.%s" % (name.replace(".", "-"), ext)))
            real, took, se, te, est_took = judge_estimate(cli, name, src, out, ["--no-copy"], errors)
            print("| %s | %.2f MB | %.2f s | %+.1f %% | %+.1f %% | %.2f |"
                  % (name, real / 1e6, took, 100 * se, 100 * te, est_took / took), flush=True)
    summary(errors)


def timing(cli, work, rounds, long_minutes):
    """Estimate against plain conversion; size-limited conversion against ffmpeg's two passes."""
    src = make(work, "long", sources(long_minutes)[-1][2])
    est_t, plain_t, ffplain_t, fit_t, ff_t = [], [], [], [], []
    for _ in range(rounds):
        out = fresh(os.path.join(work, "t-plain.mp4"))
        _, _, est_took = estimate(cli, src, out, ["--no-copy"])
        est_t.append(est_took)
        rc, _, err, took = cli_run(cli, [src, out, "--no-copy"])
        plain_t.append(took)
        # The same plain conversion by the ffmpeg program: x264 medium at the "high" CRF 18,
        # AAC 192 kbit/s, as cinvora's default.
        began = time.monotonic()
        subprocess.run(["ffmpeg", "-nostdin", "-v", "error", "-y", "-i", src, "-c:v", "libx264", "-preset", "medium",
                        "-crf", "18", "-pix_fmt", "yuv420p", "-c:a", "aac", "-b:a", "192k",
                        fresh(os.path.join(work, "t-ffplain.mp4"))], check=True)
        ffplain_t.append(time.monotonic() - began)
        out = fresh(os.path.join(work, "t-fit.mp4"))
        rc, _, err, took = cli_run(cli, [src, out, "--max-size", "25M"])
        fit_t.append(took)
        # The same two passes by the ffmpeg program: video rate from what cinvora's file
        # holds, audio as cinvora encodes it (AAC 192 kbit/s).
        probe = json.loads(subprocess.run(["ffprobe", "-v", "error", "-show_streams", "-of", "json", out],
                                          stdout=subprocess.PIPE, text=True).stdout)
        vrate = next(int(s["bit_rate"]) for s in probe["streams"] if s["codec_type"] == "video")
        ff = os.path.join(work, "t-ff.mp4")
        log = os.path.join(work, "t-ff-pass")
        began = time.monotonic()
        subprocess.run(["ffmpeg", "-nostdin", "-v", "error", "-y", "-i", src, "-c:v", "libx264", "-b:v", str(vrate),
                        "-pass", "1", "-passlogfile", log, "-c:a", "aac", "-b:a", "192k", "-f", "mp4", os.devnull],
                       check=True)
        subprocess.run(["ffmpeg", "-nostdin", "-v", "error", "-y", "-i", src, "-c:v", "libx264", "-b:v", str(vrate),
                        "-pass", "2", "-passlogfile", log, "-c:a", "aac", "-b:a", "192k", fresh(ff)], check=True)
        ff_t.append(time.monotonic() - began)
    m = statistics.median
    print("| measure | cinvora-cli | reference | ratio |")
    print("|---|---|---|---|")
    print("| estimate vs plain conversion (%d min 320x180) | %.2f s | %.2f s | %.3f |"
          % (long_minutes, m(est_t), m(plain_t), m(est_t) / m(plain_t)))
    print("| estimate vs the ffmpeg program's plain conversion | %.2f s | %.2f s | %.3f |"
          % (m(est_t), m(ffplain_t), m(est_t) / m(ffplain_t)))
    print("| plain conversion vs the ffmpeg program's | %.2f s | %.2f s | %.3f |"
          % (m(plain_t), m(ffplain_t), m(plain_t) / m(ffplain_t)))
    print("| --max-size 25M vs ffmpeg two-pass x264 | %.2f s | %.2f s | %.3f |"
          % (m(fit_t), m(ff_t), m(fit_t) / m(ff_t)))


def main():
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("--cli", default=os.path.join(ROOT, "build", "bin", "cinvora-cli"))
    ap.add_argument("--work", default=os.path.join(ROOT, "build", "bench", "size"))
    ap.add_argument("--long-minutes", type=int, default=10)
    ap.add_argument("--timing", action="store_true")
    ap.add_argument("--rounds", type=int, default=3)
    ap.add_argument("--only", default="", help="comma-separated source names of the set (and 'fixtures')")
    ap.add_argument("--no-limits", action="store_true",
                    help="plain conversions and their estimates only, without the size limits")
    ap.add_argument("--fixtures", default=os.path.join(ROOT, "build", "fixtures"),
                    help="the test fixtures (scripts/make-fixtures), estimated after the set; '' for none")
    a = ap.parse_args()
    os.makedirs(a.work, exist_ok=True)
    if a.timing:
        timing(a.cli, a.work, a.rounds, a.long_minutes)
    else:
        test_set(a.cli, a.work, a.long_minutes, [n for n in a.only.split(",") if n], a.fixtures, not a.no_limits)


if __name__ == "__main__":
    main()
