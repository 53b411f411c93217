#!/usr/bin/env bash
# Batch throughput: first frames of a folder of 200 short clips (H.264, MJPEG and VP9,
# 640x360) as PNG, in files per second, for
#   morven-grab -j 2 DIR -o OUT/      and -j 1
#   a shell loop of single morven-grab runs
#   a shell loop of ffmpegthumbnailer -s 0
#   a shell loop of ffmpeg -i FILE -frames:v 1
# each the median of N rounds (default 3), the contenders alternating within a round;
# then the ratios and the targets.
#   bench/batch-throughput.sh [--runs N]
# MORVEN_BUILD_DIR names the build tree (default build); the clips are made once into
# its bench-batch-media/.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
runs=3
if [ "${1:-}" = "--runs" ]; then
    runs="${2:?--runs needs a number}"
    shift 2
fi
build="${MORVEN_BUILD_DIR:-$root/build}"
clips=200

"$root/scripts/setup.sh" ffmpegthumbnailer
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j"$(nproc)" --target MORVEN.ocx regsvr morven-grab >/dev/null

# One second each, every clip a picture of its own (the test source turned through
# the hue circle), the three codecs in turn.
media="$build/bench-batch-media"
mkdir -p "$media"
make_clip() {
    local i=$1 media=$2 out
    local hue=$(( i * 360 / 200 ))
    case $(( i % 3 )) in
    0) out="$media/clip$i-h264.mp4"; set -- -c:v libx264 -preset fast -pix_fmt yuv420p ;;
    1) out="$media/clip$i-mjpeg.avi"; set -- -c:v mjpeg -q:v 3 -pix_fmt yuvj420p ;;
    2) out="$media/clip$i-vp9.webm"; set -- -c:v libvpx-vp9 -deadline realtime -cpu-used 8 -b:v 1M -pix_fmt yuv420p ;;
    esac
    [ -s "$out" ] && return
    ffmpeg -v error -nostdin -y -f lavfi -i "testsrc2=size=640x360:rate=25,hue=h=$hue" -t 1 "$@" \
        -colorspace bt709 -color_primaries bt709 -color_trc bt709 "$out.part.${out##*.}"
    mv "$out.part.${out##*.}" "$out"
}
export -f make_clip
if [ "$(find "$media" -maxdepth 1 -type f -name 'clip*' ! -name '*.part.*' | wc -l)" -ne $clips ]; then
    echo "batch-throughput: making $clips clips in $media" >&2
    seq 0 $((clips - 1)) | xargs -P "$(nproc)" -I{} bash -c 'make_clip {} "$1"' _ "$media"
fi
mapfile -t files < <(find "$media" -maxdepth 1 -type f -name 'clip*' ! -name '*.part.*' | sort)
[ ${#files[@]} -eq $clips ] || { echo "batch-throughput: expected $clips clips in $media" >&2; exit 1; }

scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT
export COMRT_REGISTRY="$scratch/registry.db"
"$build/bin/regsvr" /s "$build/bin/MORVEN.ocx"
grab="$build/bin/morven-grab"

batch2() { "$grab" -j 2 "$media" -o "$scratch/out/" >/dev/null; }
batch1() { "$grab" -j 1 "$media" -o "$scratch/out/" >/dev/null; }
grab_loop() { for f in "${files[@]}"; do "$grab" "$f" -o "$scratch/out/x.png" >/dev/null; done; }
thumbnailer_loop() { for f in "${files[@]}"; do ffmpegthumbnailer -s 0 -i "$f" -o "$scratch/out/x.png" >/dev/null 2>&1; done; }
ffmpeg_loop() { for f in "${files[@]}"; do ffmpeg -v error -nostdin -y -i "$f" -frames:v 1 "$scratch/out/x.png"; done; }
names=(batch2 batch1 grab_loop thumbnailer_loop ffmpeg_loop)
declare -A label=(
    [batch2]="morven-grab -j 2 DIR -o OUT/"
    [batch1]="morven-grab -j 1 DIR -o OUT/"
    [grab_loop]="loop: morven-grab FILE -o x.png"
    [thumbnailer_loop]="loop: ffmpegthumbnailer -s 0"
    [ffmpeg_loop]="loop: ffmpeg -i FILE -frames:v 1"
)
declare -A times
calc() { awk "BEGIN { print $1 }"; }

echo "$(nproc) processors; $(ffmpeg -version | head -n 1 | cut -d' ' -f1-3); $(uname -sr); $clips clips, $runs rounds"
# A warm-up round, then the measured ones, each round starting one further along.
for round in $(seq 0 "$runs"); do
    for k in "${!names[@]}"; do
        name=${names[$(( (round + k) % ${#names[@]} ))]}
        rm -rf "$scratch/out" && mkdir -p "$scratch/out"
        start=$(date +%s.%N)
        "$name"
        end=$(date +%s.%N)
        if [[ $name == batch* ]] && [ "$(find "$scratch/out" -name '*.png' | wc -l)" -ne $clips ]; then
            echo "batch-throughput: ${label[$name]} did not write $clips images" >&2
            exit 1
        fi
        [ "$round" -gt 0 ] && times[$name]+="$(calc "$end - $start") "
    done
done

median() { tr ' ' '\n' | grep -v '^$' | sort -g | awk '{v[NR]=$1} END {print (NR % 2) ? v[(NR+1)/2] : (v[NR/2]+v[NR/2+1])/2}'; }
declare -A rate
echo
printf '  %-36s %10s %12s %14s\n' "" "seconds" "files/s" "x thumbnailer"
for name in "${names[@]}"; do
    seconds=$(echo "${times[$name]}" | median)
    rate[$name]=$(calc "$clips / $seconds")
done
for name in "${names[@]}"; do
    seconds=$(echo "${times[$name]}" | median)
    printf '  %-36s %10.2f %12.1f %14.2f\n' "${label[$name]}" "$seconds" "${rate[$name]}" \
        "$(calc "${rate[$name]} / ${rate[thumbnailer_loop]}")"
done

echo
echo "targets"
met=0
target() {
    local what=$1 value=$2 limit=$3
    if [ "$(calc "($value >= $limit) ? 1 : 0")" -eq 1 ]; then verdict=met; met=$((met + 1)); else verdict=MISSED; fi
    printf '  %-60s %8.2f  >= %-5s %s\n' "$what" "$value" "$limit" "$verdict"
}
target "morven-grab -j 2 files/s / ffmpegthumbnailer loop" "$(calc "${rate[batch2]} / ${rate[thumbnailer_loop]}")" 10
target "morven-grab -j 2 files/s / -j 1" "$(calc "${rate[batch2]} / ${rate[batch1]}")" 1.7
echo "  $met of 2 met"
