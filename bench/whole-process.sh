#!/usr/bin/env bash
# The whole-process benchmark: builds what it needs, makes the clips, registers
# MORVEN.ocx into a scratch registry and times every contender as a process.
#   bench/whole-process.sh [--runs N] [FILE...]
#     default files: 1080p H.264, 640x480 H.264 and 1080p MJPEG made by
#     bench/make-bench-media.sh into build/bench-media; N defaults to 10.
# MORVEN_BUILD_DIR names the build tree (default build).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
runs=(--runs 10)
if [ "${1:-}" = "--runs" ]; then
    runs=(--runs "${2:?--runs needs a number}")
    shift 2
fi
build="${MORVEN_BUILD_DIR:-$root/build}"

"$root/scripts/setup.sh" ffmpegthumbnailer
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j"$(nproc)" --target MORVEN.ocx regsvr reg morven-grab bench-bare-decode bench-whole-process >/dev/null

files=("$@")
if [ ${#files[@]} -eq 0 ]; then
    "$root/bench/make-bench-media.sh" "$build/bench-media" >/dev/null
    files=("$build/bench-media/h264-1920x1080.mp4" "$build/bench-media/h264-640x480.mp4"
        "$build/bench-media/mjpeg-1920x1080.avi")
fi

scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT
export COMRT_REGISTRY="$scratch/registry.db"
"$build/bin/regsvr" /s "$build/bin/MORVEN.ocx"

echo "$(nproc) processors; $(ffmpeg -version | head -n 1 | cut -d' ' -f1-3); $(uname -sr)"
echo
"$build/bin/bench-whole-process" "${runs[@]}" "$build/bin" "$scratch" "${files[@]}"
