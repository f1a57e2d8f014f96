#!/bin/bash
# Thumbnails of a folder of 50 clips as the icon view meets them: 15 720p and
# 15 1080p H.264 clips, 10 MPEG-4 Part 2 clips and 10 MP3s with a cover, made
# here with ffmpeg. Prints thumb_bench's totals (small thumbnail and panel
# picture of every file), the CPU of the slowest 1080p small thumbnail, and
# the frames a 1080p30 playback drops without and with the thumbnail load
# running beside it. Run from the source tree after building thumb_bench and
# engine_playback:
#   bench/engine/thumb_folder.sh <build> [work folder]
set -u
build=$(realpath "${1:?usage: thumb_folder.sh <build> [work folder]}")
work=${2:-$(mktemp -d /tmp/velmora-thumb-folder-XXXXXX)}
bench=$build/bench
for tool in "$bench/thumb_bench" "$bench/engine_playback"; do
    [ -x "$tool" ] || { echo "missing $tool: build thumb_bench engine_playback"; exit 2; }
done
media=$work/media
mkdir -p "$media"
ff() { ffmpeg -v error -y "$@" </dev/null; }

make_clips() {  # <count> <size> <codec args> <extension> <prefix>
    local i
    for i in $(seq -w 1 "$1"); do
        local out=$media/$5_$i.$4
        [ -s "$out" ] && continue
        ff -f lavfi -i "testsrc2=size=$2:rate=30:duration=8" \
            -f lavfi -i "sine=frequency=$((300 + 10#$i * 20)):duration=8" $3 -c:a aac -shortest "$out"
    done
}
make_clips 15 1280x720 "-c:v libx264 -preset veryfast -pix_fmt yuv420p" mp4 h264_720p
make_clips 15 1920x1080 "-c:v libx264 -preset veryfast -pix_fmt yuv420p" mp4 h264_1080p
make_clips 10 1280x720 "-c:v mpeg4 -q:v 5" avi mpeg4_720p
for i in $(seq -w 1 10); do
    out=$media/song_$i.mp3
    [ -s "$out" ] && continue
    ff -f lavfi -i "mandelbrot=size=600x600:end_pts=1" -frames:v 1 "$work/cover_$i.png"
    ff -f lavfi -i "sine=frequency=$((400 + 10#$i * 30)):duration=20" -i "$work/cover_$i.png" \
        -map 0:a -map 1:v -c:a libmp3lame -b:a 128k -c:v png -disposition:v attached_pic \
        -id3v2_version 3 "$out"
done
clip=$work/playback_1080p30.mp4
[ -s "$clip" ] || ff -f lavfi -i "testsrc2=size=1920x1080:rate=30:duration=30" \
    -f lavfi -i "sine=frequency=440:duration=30" -c:v libx264 -preset veryfast \
    -pix_fmt yuv420p -c:a aac -shortest "$clip"

echo "== thumbnails of $(ls "$media" | wc -l) files (small + panel, fresh cache)"
"$bench/thumb_bench" "$media" --panel >"$work/thumbs.json"
tail -1 "$work/thumbs.json"
echo "slowest 1080p small thumbnail, CPU ms:"
grep h264_1080p "$work/thumbs.json" | sed 's/.*"small_cpu_ms": \([0-9.]*\).*/\1/' | sort -n | tail -1

dropped() {
    python3 -c 'import json,sys; r=json.loads(sys.stdin.read().strip().splitlines()[-1]);
print("shown", r["frames_shown"], "decoded", r["frames_decoded"], "dropped",
r["frames_decoded"] - r["frames_shown"], "cpu_s", r["cpu_seconds"], "thumbs", r["thumbs_made"])'
}
export SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE=/dev/null
echo "== 1080p30 playback alone"
"$bench/engine_playback" "$clip" | dropped
echo "== 1080p30 playback with the thumbnail load beside it"
"$bench/engine_playback" --thumbs "$media" "$clip" | dropped
