#!/bin/sh
# Compares engine_playback with pure decoding (ffmpeg -f null) and with ffplay
# under Xvfb on a 6 s 1280x720 25 fps H.264 + AAC clip: CPU seconds and peak
# RSS from /usr/bin/time -v, plus engine_playback's own JSON line.
#   bench/engine/compare.sh <build dir> [work dir]
set -e
build=${1:?usage: compare.sh <build dir> [work dir]}
work=${2:-$(mktemp -d)}
clip=$work/clip.mp4
[ -f "$clip" ] || ffmpeg -nostdin -y -v error -f lavfi -i testsrc2=size=1280x720:rate=25 \
    -f lavfi -i sine=frequency=440:sample_rate=48000 -t 6 -c:v libx264 -c:a aac "$clip"

measure() {  # label, command...
    label=$1; shift
    /usr/bin/time -v "$@" >"$work/out.txt" 2>"$work/time.txt" || true
    user=$(sed -n 's/.*User time (seconds): //p' "$work/time.txt")
    sys=$(sed -n 's/.*System time (seconds): //p' "$work/time.txt")
    rss=$(sed -n 's/.*Maximum resident set size (kbytes): //p' "$work/time.txt")
    echo "$label: cpu $(echo "$user + $sys" | bc) s, peak rss $((rss / 1024)) MiB"
}

measure "decode only (ffmpeg -threads 2 -f null)" ffmpeg -v error -threads 2 -i "$clip" -f null -
for path in rgb yuv; do
    measure "engine_playback --video-path $path" env SDL_AUDIODRIVER=disk \
        SDL_DISKAUDIOFILE="$work/engine.raw" "$build/bench/engine_playback" --video-path $path "$clip"
    grep '^{' "$work/out.txt"
done
display=:97
GLIBC_TUNABLES=glibc.malloc.mmap_threshold=33554432:glibc.malloc.trim_threshold=268435456 \
    Xvfb $display -screen 0 1280x1024x24 >/dev/null 2>&1 &
xvfb=$!
sleep 2
measure "ffplay -autoexit -x 1000 -y 600 (Xvfb)" env DISPLAY=$display SDL_AUDIODRIVER=disk \
    SDL_DISKAUDIOFILE="$work/ffplay.raw" ffplay -v error -autoexit -x 1000 -y 600 "$clip"
kill $xvfb
