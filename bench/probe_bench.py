#!/usr/bin/env python3
"""Probing 100 files with thumbnails against ffprobe on the same files.

Usage: bench/probe_bench.py [BUILD_DIR]   (default: build)
Makes 100 media files in a temporary folder (ten kinds, ten copies each), then times, in
alternation, `cinvora-cli probe --thumbnails` over all of them and `ffprobe -show_format
-show_streams` on each of them (what a shell loop over the files costs), five rounds each.
Also times cinvora-cli once per file, so process start-up is paid on both sides.
Prints the median wall times and their ratios.
"""
import os, shutil, statistics, subprocess, sys, tempfile, time

build = sys.argv[1] if len(sys.argv) > 1 else "build"
cli = os.path.join(build, "bin", "cinvora-cli")
ff = ["ffmpeg", "-nostdin", "-hide_banner", "-loglevel", "error", "-y"]
kinds = [
    ("h264.mp4", ["-f", "lavfi", "-i", "testsrc2=size=1280x720:rate=25:duration=8", "-f", "lavfi", "-i", "sine=duration=8", "-c:v", "libx264", "-preset", "veryfast", "-c:a", "aac"]),
    ("hd.mkv", ["-f", "lavfi", "-i", "testsrc2=size=1920x1080:rate=30:duration=5", "-f", "lavfi", "-i", "sine=duration=5", "-c:v", "libx264", "-preset", "ultrafast", "-c:a", "libvorbis"]),
    ("mpeg4.avi", ["-f", "lavfi", "-i", "testsrc=size=640x480:rate=25:duration=6", "-f", "lavfi", "-i", "sine=duration=6", "-c:v", "mpeg4", "-c:a", "libmp3lame"]),
    ("mpeg2.mpg", ["-f", "lavfi", "-i", "smptebars=size=720x576:rate=25:duration=6", "-f", "lavfi", "-i", "sine=duration=6", "-c:v", "mpeg2video", "-c:a", "mp2"]),
    ("ts.ts", ["-f", "lavfi", "-i", "testsrc2=size=1280x720:rate=50:duration=5", "-f", "lavfi", "-i", "sine=duration=5", "-c:v", "libx264", "-preset", "ultrafast", "-c:a", "aac", "-f", "mpegts"]),
    ("vp9.webm", ["-f", "lavfi", "-i", "testsrc2=size=640x360:rate=25:duration=4", "-c:v", "libvpx-vp9", "-deadline", "realtime", "-cpu-used", "8"]),
    ("song.mp3", ["-f", "lavfi", "-i", "sine=frequency=300:duration=30", "-c:a", "libmp3lame"]),
    ("song.flac", ["-f", "lavfi", "-i", "sine=frequency=500:duration=20", "-c:a", "flac"]),
    ("dv.dv", ["-f", "lavfi", "-i", "testsrc=size=720x576:rate=25:duration=3", "-f", "lavfi", "-i", "sine=sample_rate=48000:duration=3", "-c:v", "dvvideo", "-pix_fmt", "yuv420p", "-c:a", "pcm_s16le", "-ac", "2", "-f", "dv"]),
    ("mov.mov", ["-f", "lavfi", "-i", "testsrc2=size=960x540:rate=30:duration=6", "-f", "lavfi", "-i", "sine=duration=6", "-c:v", "libx264", "-preset", "veryfast", "-c:a", "aac"]),
]


def main():
    tmp = tempfile.mkdtemp(prefix="probe-bench-")
    try:
        files = []
        for name, args in kinds:
            src = os.path.join(tmp, "src-" + name)
            subprocess.run(ff + args + [src], check=True)
            for i in range(10):
                dst = os.path.join(tmp, f"{i:02d}-{name}")
                shutil.copyfile(src, dst)
                files.append(dst)
        ours, theirs, oursEach = [], [], []
        for _ in range(5):
            t = time.perf_counter()
            for f in files:
                subprocess.run([cli, "probe", "--thumbnails", f], stdout=subprocess.DEVNULL,
                               stderr=subprocess.DEVNULL, check=True)
            oursEach.append(time.perf_counter() - t)
            t = time.perf_counter()
            r = subprocess.run([cli, "probe", "--thumbnails"] + files, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
            ours.append(time.perf_counter() - t)
            lines = r.stdout.decode().splitlines()
            assert r.returncode == 0 and len(lines) == len(files), "cinvora-cli probe failed"
            t = time.perf_counter()
            for f in files:
                subprocess.run(["ffprobe", "-v", "error", "-show_format", "-show_streams", f],
                               stdout=subprocess.DEVNULL, check=True)
            theirs.append(time.perf_counter() - t)
        a, b, c = statistics.median(ours), statistics.median(theirs), statistics.median(oursEach)
        print(f"files: {len(files)}")
        print(f"cinvora-cli probe --thumbnails: median {a:.3f} s  (runs: {', '.join(f'{x:.3f}' for x in ours)})")
        print(f"ffprobe per file:              median {b:.3f} s  (runs: {', '.join(f'{x:.3f}' for x in theirs)})")
        print(f"cinvora-cli per file:          median {c:.3f} s  (runs: {', '.join(f'{x:.3f}' for x in oursEach)})")
        print(f"ratio, one cinvora-cli run for all files / ffprobe per file: {a / b:.2f}  (target <= 1.5)")
        print(f"ratio, cinvora-cli per file / ffprobe per file:             {c / b:.2f}  (target <= 1.5)")
    finally:
        shutil.rmtree(tmp, ignore_errors=True)

if __name__ == "__main__":
    main()
