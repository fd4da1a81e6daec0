#!/usr/bin/env python3
"""The ffmpeg program's own two-pass loudness normalisation, as the loudness benchmark's
reference: a measuring run of loudnorm, then a run that applies it in its linear mode with
the measured values (target -16 LUFS, true peak -1 dBTP), the video copied and the sound
encoded as AAC 192 kbit/s, as `cinvora-cli convert SRC OUT --loudness -16` does.

Usage: bench/ffmpeg_loudnorm.py SRC OUT
"""
import json
import subprocess
import sys

TARGET = "I=-16:TP=-1:LRA=11"


def main():
    src, out = sys.argv[1], sys.argv[2]
    p = subprocess.run(["ffmpeg", "-nostdin", "-hide_banner", "-i", src, "-vn", "-af",
                        "loudnorm=%s:print_format=json" % TARGET, "-f", "null", "-"],
                       stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True, check=True)
    m = json.loads(p.stderr[p.stderr.rindex("{"):p.stderr.rindex("}") + 1])
    applied = ("loudnorm=%s:measured_I=%s:measured_TP=%s:measured_LRA=%s:measured_thresh=%s:offset=%s:"
               "linear=true,aresample=48000" % (TARGET, m["input_i"], m["input_tp"], m["input_lra"],
                                                 m["input_thresh"], m["target_offset"]))
    subprocess.run(["ffmpeg", "-nostdin", "-v", "error", "-y", "-i", src, "-c:v", "copy", "-af", applied,
                    "-c:a", "aac", "-b:a", "192k", out], check=True)


if __name__ == "__main__":
    main()
