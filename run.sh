#!/usr/bin/env bash
# The main job: builds the component, registers it, and grabs the first frame of a video.
#   ./run.sh                a generated sample clip; the image goes to build/sample-first-frame.png
#   ./run.sh VIDEO          your video; the image is VIDEO's base name with .png, in the current directory
#   ./run.sh VIDEO OUT      your video; the image goes to OUT (.png, .jpg, .bmp or .ppm)
# The component is registered into build/registry.db, not into your own registry.
set -euo pipefail

usage() {
    sed -n '2,6s/^# \{0,1\}//p' "$0" >&2
    exit 1
}

# Paths the user gives are relative to where run.sh was called from.
absolute() {
    case "$1" in
    /*) printf '%s\n' "$1" ;;
    *) printf '%s/%s\n' "$PWD" "$1" ;;
    esac
}

[ $# -le 2 ] || usage
case "${1:-}" in -h | --help) usage ;; esac

video=""
out=""
if [ $# -ge 1 ]; then
    video="$(absolute "$1")"
    if [ ! -f "$video" ]; then
        echo "run.sh: no such video file: $1" >&2
        exit 1
    fi
    if [ $# -eq 2 ]; then
        out="$(absolute "$2")"
    else
        base="$(basename "$video")"
        out="$PWD/${base%.*}.png"
    fi
fi

cd "$(dirname "$0")"
scripts/setup.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
# Only what the job and its README need; ./test.sh builds everything else.
cmake --build build -j"$(nproc)" --target MORVEN.ocx regsvr morven-grab reg

for built in build/bin/regsvr build/bin/morven-grab build/bin/MORVEN.ocx; do
    if [ ! -e "$built" ]; then
        echo "run.sh: $built was not built, so there is nothing to register or run yet." >&2
        exit 2
    fi
done

export COMRT_REGISTRY="$PWD/build/registry.db"
status=0
registration="$(build/bin/regsvr build/bin/MORVEN.ocx 2>&1)" || status=$?
echo "$registration"
if [ "$status" -ne 0 ]; then
    case "$registration" in
    *0x80004001*)
        echo "run.sh: MORVEN.ocx cannot register itself yet (its DllRegisterServer is not implemented)," \
            "so no host can create it; stopping here." >&2 ;;
    *)
        echo "run.sh: registering build/bin/MORVEN.ocx failed (regsvr exit code $status); stopping here." >&2 ;;
    esac
    exit 3
fi

if [ -z "$video" ]; then
    # A colourful, asymmetric clip: colour bars in a known order under a running clock in
    # the top left corner, so an upside-down or colour-swapped frame is plain to see.
    video="$PWD/build/sample/morven-sample.mp4"
    out="$PWD/build/sample-first-frame.png"
    if [ ! -f "$video" ]; then
        mkdir -p build/sample
        ffmpeg -v error -y -f lavfi -i testsrc2=size=320x240:rate=25 -frames:v 50 \
            -c:v libx264 -pix_fmt yuv420p -colorspace bt470bg -color_primaries bt470bg -color_trc smpte170m \
            "$video"
    fi
fi

build/bin/morven-grab "$video" -o "$out"
echo "run.sh: the first frame of $video is in $out"
