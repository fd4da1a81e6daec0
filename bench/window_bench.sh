#!/usr/bin/env bash
# The main window's benchmark: adding and selecting 1,000 items, and the longest main-thread
# stall while ten conversions report progress (against the same ten run by ffmpeg); with
# --rows N, convert-all over N rows instead.
# Usage: bench/window_bench.sh [BUILD_DIR] [--rows N [--ended N] [--seconds S]]
set -euo pipefail
build=${1:-build}
here=$(cd "$(dirname "$0")/.." && pwd)
cmake --build "$build" --target cinvora-window-bench >/dev/null
"$here/scripts/make-fixtures" "$build/fixtures" >/dev/null
QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen} "$build/bin/cinvora-window-bench" "$build/fixtures" "${@:2}"
