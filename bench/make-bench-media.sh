#!/usr/bin/env bash
# Makes the benchmark's clips with the ffmpeg tool into a directory.
#   bench/make-bench-media.sh DIR
set -euo pipefail
dir=${1:?usage: make-bench-media.sh DIR}
mkdir -p "$dir"

# Five seconds of a moving test picture, as cameras and encoders commonly
# store it: H.264 with B-frames in MP4, MJPEG and MPEG-4 part 2 in AVI.
make() {
    local out=$1 size=$2
    shift 2
    [ -s "$dir/$out" ] && return
    echo "make-bench-media: $out" >&2
    ffmpeg -v error -nostdin -y -f lavfi -i "testsrc2=size=$size:rate=25" -t 5 "$@" \
        -colorspace bt709 -color_primaries bt709 -color_trc bt709 "$dir/$out"
}

make h264-640x480.mp4 640x480 -c:v libx264 -preset medium -pix_fmt yuv420p
make h264-1920x1080.mp4 1920x1080 -c:v libx264 -preset fast -pix_fmt yuv420p
make h264-3840x2160.mp4 3840x2160 -c:v libx264 -preset veryfast -pix_fmt yuv420p
make mjpeg-1920x1080.avi 1920x1080 -c:v mjpeg -q:v 3 -pix_fmt yuvj420p
make mpeg4-1280x720.avi 1280x720 -c:v mpeg4 -q:v 3 -pix_fmt yuv420p
ls -l "$dir"
