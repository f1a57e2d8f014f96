#!/bin/bash
# What the time-shift files and recording cost and how fast moving in the
# files is, against the streamer simulator's live channels on loopback:
#  - a live channel at real time, at the highest bit rate the player asks
#    for (3000 kbps), with time-shift on and off: the player's CPU (s per s)
#    and the bytes written to the time-shift files per second;
#  - the same channel recorded for RECORD_S: whether the recorder kept up
#    (the recording's bytes per second of stream time against the rate the
#    channel came at; a recorder that fell behind loses chunks) and the
#    recording read back by tools/vlm_check.py;
#  - a live channel whose clock runs fast, so that more than half an hour is
#    held within two minutes: the time from letting the seek bar's knob go
#    to the first picture, for a move to 31 minutes and then 30 minutes back
#    (each is one index look-up and a read of the files, no new request).
#   bench/streamer/timeshift_bench.sh <build dir> [work dir]
# Our player listens on TCP port 6100: run it alone (not beside the
# whole-program tests). Every wait has a time-out.
set -u
build=$(cd "${1:?usage: timeshift_bench.sh <build dir> [work dir]}" && pwd)
work=${2:-$(mktemp -d /tmp/velmora-timeshift-bench-XXXXXX)}
mkdir -p "$work/media"
work=$(cd "$work" && pwd)
src=$(cd "$(dirname "$0")/../.." && pwd)
set_pref=$build/bench/set_pref
MEASURE_S=20    # CPU and writes are taken over this much of live playing
FAST_CLOCK=40   # the fast channel's stream time runs this many times the wall clock
HELD_MIN=33     # stream minutes the files must hold before the moves
RECORD_S=30     # seconds recorded

. "$src/bench/streamer/bench_display.sh"
size_of() { stat -c %s "$1" 2>/dev/null || echo 0; }

# The seek bar of the 1024 x 600 window: the knob's left end at 0 and its
# travel of 720 px over the hour a live channel keeps; its centre is 40 px
# right of its left end, on the track's line.
KNOB_LEFT=82 KNOB_TRAVEL=720 KNOB_HALF=40 KNOB_Y=468
knob_centre() { echo $((KNOB_LEFT + KNOB_HALF + $1 * KNOB_TRAVEL / 3600)); }  # seconds
drag() {  # from seconds, to seconds
    local from; from=$(knob_centre "$1")
    local to; to=$(knob_centre "$2")
    xdotool mousemove --window "$win" "$from" $KNOB_Y mousedown 1
    sleep 0.3
    xdotool mousemove --window "$win" $(((from + to) / 2)) $KNOB_Y
    sleep 0.2
    xdotool mousemove --window "$win" "$to" $KNOB_Y
    sleep 0.3
    xdotool mouseup 1
}

start_sim() {  # simulator switches...
    python3 "$src/tools/streamer_sim.py" "$work/media" --port 0 --user me --password pw "$@" \
        >"$work/sim.port" 2>/dev/null &
    sim=$!
    pids+=($sim)
    for _ in $(seq 50); do [ -s "$work/sim.port" ] && break; sleep 0.1; done
}

# The player logged in to the simulator, its first channel playing.
play_channel() {  # run dir, progressive download 0/1, custom bit rate (3000 kbps) 0/1
    start_player "$(head -1 "$work/sim.port")" "$1" "progressive_download $2" \
        "custom_bitrate_enabled $3" "custom_bitrate_kbps 3000"
    click "$win" 499 495; sleep 3     # Live Streaming
    click "$win" 512 100              # the first channel
}

live_run() {  # label, progressive download 0/1
    start_sim
    play_channel "$work/run-$1" "$2" 1
    sleep 5
    local store=$work/run-$1/data/recordings/tsb00
    local t0; t0=$(cpu_ticks $player)
    local s0; s0=$(size_of "$store")
    sleep $MEASURE_S
    local t1; t1=$(cpu_ticks $player)
    local s1; s1=$(size_of "$store")
    kill $player; wait $player 2>/dev/null
    kill $sim
    echo "$1: cpu_s_per_s=$(echo "scale=3; ($t1 - $t0) / $TICKS / $MEASURE_S" | bc)" \
         "store_bytes_per_s=$(((s1 - s0) / MEASURE_S))"
}

# Bytes of the channel's data stream per second of its time, read the way
# the player reads it.
stream_rate() {
    python3 "$src/tools/stream_check.py" "$(head -1 "$work/sim.port")" --live 1 --seconds 60 \
        --user me --password pw --out "$work/check" >"$work/check.txt" 2>&1
    awk '/^video_units:/ {v = $2} /^audio_units:/ {a = $2} /^chunks:/ {}
         END {print int((v * 8388 + a * 4194) / 60)}' "$work/check.txt"
}

moves_run() {
    start_sim --live-clock-speed $FAST_CLOCK
    local rate; rate=$(stream_rate)
    local want=$((rate * HELD_MIN * 60))
    log "fast channel: $rate bytes per stream second; waiting for $want bytes held"
    play_channel "$work/run-moves" 1 0
    local store=$work/run-moves/data/recordings/tsb00
    local t0=$SECONDS   # playing runs at real time from about here
    while [ "$(size_of "$store")" -lt "$want" ] && [ $((SECONDS - t0)) -lt 600 ]; do sleep 2; done
    log "held $(size_of "$store") bytes after $((SECONDS - t0)) s"
    # To 31 minutes from where playing stands, then 30 minutes back.
    drag $((SECONDS - t0)) 1860; sleep 6
    drag 1866 60; sleep 6
    click "$win" 363 555; sleep 2     # stop
    kill $player; wait $player 2>/dev/null
    kill $sim
    grep -h velmora-stream-stats "$work/run-moves/player.log" | sed -n '2,3p' |
        sed -e '1s/^/to 31 min: /' -e '2s/^/30 min back: /'
}

record_run() {
    start_sim
    play_channel "$work/run-record" 1 1
    sleep 8
    local store=$work/run-record/data/recordings/tsb00
    local s0; s0=$(size_of "$store")
    click "$win" 285 555              # record
    sleep $RECORD_S
    click "$win" 285 555              # and its end
    local s1; s1=$(size_of "$store")
    sleep 2
    kill $player; wait $player 2>/dev/null
    kill $sim
    local vlm; vlm=$(ls "$work"/run-record/data/recordings/*.vlm | head -1)
    python3 "$src/tools/vlm_check.py" "$vlm" >"$work/vlm.txt"
    echo "recording: $(tr '\n' ' ' <"$work/vlm.txt")"
    awk -v came=$(((s1 - s0) / RECORD_S)) '/^chunk_bytes:/ {b = $2} /^duration_ms:/ {d = $2}
        END {printf "recorder: %d bytes per stream second written, %d per second came (%.3f)\n",
             b * 1000 / d, came, b * 1000 / d / came}' "$work/vlm.txt"
}

log "live channel, real time"
live_run timeshift_on 1
live_run timeshift_off 0
log "moves in the time-shift files"
moves_run
log "recording the live channel"
record_run
