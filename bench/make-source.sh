#!/usr/bin/env bash
# Makes the benchmark's source clip with the ffmpeg program: 1920x1080 at 25 fps, H.264
# and stereo AAC, a fractal zoom blended with a test pattern under light film grain and
# a tone over pink noise, so the encoders work about as hard as on camera footage.
# Usage: bench/make-source.sh OUT.mp4 [SECONDS]   (idempotent: an existing OUT is kept)
set -euo pipefail
out=${1:?usage: make-source.sh OUT.mp4 [SECONDS]}
secs=${2:-20}
[ -s "$out" ] && exit 0
mkdir -p "$(dirname "$out")"
tmp="$out.tmp.mp4"
ffmpeg -nostdin -hide_banner -loglevel error -y \
  -f lavfi -i "mandelbrot=s=640x360:r=25,scale=1920:1080:flags=bicubic,format=yuv420p[m];testsrc2=s=1920x1080:r=25,format=yuv420p[t];[m][t]blend=all_mode=average,noise=alls=3:allf=t" \
  -f lavfi -i "sine=f=330:r=48000,volume=0.5[s];anoisesrc=r=48000:a=0.05:c=pink[n];[s][n]amix=inputs=2" \
  -t "$secs" -c:v libx264 -preset veryfast -crf 20 -g 50 -pix_fmt yuv420p \
  -c:a aac -b:a 160k -ac 2 -f mp4 "$tmp"
mv -f "$tmp" "$out"
