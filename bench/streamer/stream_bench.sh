#!/bin/bash
# What streaming from the Velmora Media Streamer costs, against the streamer
# simulator on loopback: the time from "Play" to the first picture, the CPU
# of a streamed 640 x 480 H.264 + AAC file against the same file played by
# the local engine (over HTTP with byte ranges), and playback through a link
# capped just above the stream's rate (rebuffers after preroll; target 0).
#   bench/streamer/stream_bench.sh <build dir> [work dir]
# Our player listens on TCP port 6100: run it alone (not beside the
# whole-program tests). Every wait has a time-out.
set -u
build=$(cd "${1:?usage: stream_bench.sh <build dir> [work dir]}" && pwd)
work=${2:-$(mktemp -d /tmp/velmora-stream-bench-XXXXXX)}
mkdir -p "$work/media/Films"
work=$(cd "$work" && pwd)
src=$(cd "$(dirname "$0")/../.." && pwd)
set_pref=$build/bench/set_pref
CLIP_SECONDS=30
MEASURE_S=20          # CPU is taken over this much of the playback
RATE_MARGIN=1.25      # the capped link carries this times the file's bit rate

clip=$work/media/Films/clip.mp4
[ -s "$clip" ] || ffmpeg -nostdin -y -v error -f lavfi -i testsrc2=size=640x480:rate=25 \
    -f lavfi -i sine=frequency=440:sample_rate=44100 -t $CLIP_SECONDS -c:v libx264 \
    -b:v 1500k -pix_fmt yuv420p -c:a aac -b:a 128k "$clip"

. "$src/bench/streamer/bench_display.sh"


# Streams the clip: Remote Media, the Films folder, the clip, Play; then
# CPU over MEASURE_S and the session's own numbers once it ends.
stream_run() {  # label, simulator switches...
    local label=$1; shift
    python3 "$src/tools/streamer_sim.py" "$work/media" --port 0 --user me --password pw "$@" \
        >"$work/sim.port" 2>/dev/null &
    local sim=$!
    pids+=($sim)
    for _ in $(seq 50); do [ -s "$work/sim.port" ] && break; sleep 0.1; done
    start_player "$(head -1 "$work/sim.port")" "$work/run-$label"
    click "$win" 499 245; sleep 2      # Remote Media
    click "$win" 200 150; sleep 2      # Films
    click "$win" 200 210; sleep 2      # clip.mp4, below ".."
    click "$win" 940 565               # Play
    sleep 3
    local t0; t0=$(cpu_ticks $player)
    sleep $MEASURE_S
    local t1; t1=$(cpu_ticks $player)
    sleep $((CLIP_SECONDS - MEASURE_S))
    kill $player; wait $player 2>/dev/null
    kill $sim
    echo "$label: cpu_s_per_s=$(echo "scale=3; ($t1 - $t0) / $TICKS / $MEASURE_S" | bc)" \
         "$(grep -h velmora-stream-stats "$work/run-$label/player.log" | head -1)"
}

local_run() {
    python3 "$src/tools/range_http_server.py" "$work/media/Films" --port 0 >"$work/http.port" \
        2>/dev/null &
    pids+=($!)
    for _ in $(seq 50); do [ -s "$work/http.port" ] && break; sleep 0.1; done
    start_player 1 "$work/run-local"
    python3 -c "import socket; s=socket.create_connection(('127.0.0.1', 6100)); \
s.sendall(b'http://127.0.0.1:$(head -1 "$work/http.port")/clip.mp4'); s.close()"
    sleep 3
    local t0; t0=$(cpu_ticks $player)
    sleep $MEASURE_S
    local t1; t1=$(cpu_ticks $player)
    kill $player; wait $player 2>/dev/null
    echo "local engine: cpu_s_per_s=$(echo "scale=3; ($t1 - $t0) / $TICKS / $MEASURE_S" | bc)"
}

bytes_per_s=$(( $(stat -c %s "$clip") / CLIP_SECONDS ))
cap=$(echo "$bytes_per_s * $RATE_MARGIN / 1" | bc)
log "clip: 640x480 H.264 + AAC, $CLIP_SECONDS s, $bytes_per_s bytes/s"
stream_run streamed
local_run
stream_run "capped_${cap}_bytes_per_s" --rate "$cap"
