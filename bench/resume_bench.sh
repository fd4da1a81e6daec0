#!/usr/bin/env bash
# What keeping a conversion's work costs: a conversion written in one piece against the same
# one written in 30 s parts with the sound beside them, and the ffmpeg program's, in the same run.
# Usage: bench/resume_bench.sh [BUILD_DIR] [ROUNDS] [SECONDS] [SIZE]
set -euo pipefail
build=${1:-build}
rounds=${2:-3}
seconds=${3:-300}
size=${4:-640x360}
cmake --build "$build" --target cinvora-resume-bench >/dev/null
work="$build/bench/resume"
mkdir -p "$work"
src="$work/source-${seconds}s-${size}.mp4"
if [ ! -s "$src" ]; then
  ffmpeg -nostdin -loglevel error -y \
    -f lavfi -i "testsrc2=size=$size:rate=25:duration=$seconds" \
    -f lavfi -i "sine=frequency=440:sample_rate=48000:duration=$seconds" \
    -vf "noise=alls=12:allf=t" -c:v libx264 -preset ultrafast -g 250 -c:a aac -b:a 128k "$src"
fi
"$build/bin/cinvora-resume-bench" "$src" "$work/out" "$rounds"
