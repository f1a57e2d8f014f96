#!/bin/bash
# Plays the same clips in velmora-player and in ffplay under one Xvfb and
# compares what each costs: CPU seconds of the player, CPU seconds of the X
# server during the run, peak RSS, frames shown and dropped, and the time
# from the request (our player) or the start (ffplay) to the first picture.
#   bench/player/player_vs_ffplay.sh <build dir> [work dir]
# Clips (made once in the work dir): 10 s 1280x720 25 fps H.264 + AAC and
# 10 s 1920x1080 30 fps H.264, served over HTTP with byte ranges. Set-ups:
# a 1000 x 600 window, and 1920 x 1080 full screen (always_fullscreen in the
# player's settings; ffplay -fs under a window manager, else a borderless
# 1920 x 1080 window at 0,0). Our player listens on TCP port 6100, so only one
# copy of this benchmark (or of the whole-program tests) may run at a time.
# Every wait has a time-out: a run that shows no picture says so and ends.
set -u
build=$(cd "${1:?usage: player_vs_ffplay.sh <build dir> [work dir]}" && pwd)
work=${2:-$(mktemp -d /tmp/velmora-bench-XXXXXX)}
mkdir -p "$work"
work=$(cd "$work" && pwd)
src=$(cd "$(dirname "$0")/../.." && pwd)
first_picture=$build/bench/first_picture
set_pref=$build/bench/set_pref
for tool in "$first_picture" "$set_pref" "$build/run/velmora-player"; do
    [ -x "$tool" ] || { echo "missing $tool: build first_picture set_pref velmora-player"; exit 2; }
done

CLIP_SECONDS=10
WINDOW_TIMEOUT_S=20     # a loaded machine takes a few seconds to map the first window
HOME_SETTLE_S=2         # the home screen finishes drawing before its picture is the reference
FIRST_PICTURE_MS=8000   # both players show a picture within a second or two
END_MARGIN_S=8          # start-up and buffering on top of the clip's length
# The reference for our player is its home screen: the picture replaces nearly
# all of the window's middle, a message box or a highlight much less of it.
PLAYER_CHANGED_PERCENT=30
LISTENER_PORT=6100
PORT_WAIT_S=30          # another program's short run on the request port may end first
TICKS=$(getconf CLK_TCK)
log() { echo "== $*"; }

# --- clips -------------------------------------------------------------------
make_clip() {  # name, size, rate, with audio (1/0)
    [ -s "$work/$1" ] && return
    log "making $1"
    if [ "$4" = 1 ]; then
        ffmpeg -nostdin -y -v error -f lavfi -i "testsrc2=size=$2:rate=$3" \
            -f lavfi -i sine=frequency=440:sample_rate=48000 -t $CLIP_SECONDS \
            -c:v libx264 -pix_fmt yuv420p -c:a aac "$work/$1"
    else
        ffmpeg -nostdin -y -v error -f lavfi -i "testsrc2=size=$2:rate=$3" -t $CLIP_SECONDS \
            -c:v libx264 -pix_fmt yuv420p "$work/$1"
    fi
}
mkdir -p "$work/media"
make_clip media/clip720.mp4 1280x720 25 1
make_clip media/clip1080.mp4 1920x1080 30 0

# --- display, window manager, server ------------------------------------------
pids_to_end=()
current_pid=""  # the player being measured, ended too if the script is stopped
cleanup() {
    [ -n "$current_pid" ] && kill "$current_pid" 2>/dev/null
    for p in "${pids_to_end[@]}"; do kill "$p" 2>/dev/null; done
    wait 2>/dev/null
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# Xvfb picks a free display itself and writes its number to a descriptor.
GLIBC_TUNABLES=glibc.malloc.mmap_threshold=33554432:glibc.malloc.trim_threshold=268435456 \
    Xvfb -displayfd 3 -nolisten tcp -br -screen 0 1920x1080x24 3>"$work/display.txt" \
    >"$work/xvfb.log" 2>&1 &
xpid=$!
pids_to_end+=("$xpid")
for _ in $(seq 100); do [ -s "$work/display.txt" ] && break; sleep 0.1; done
[ -s "$work/display.txt" ] || { echo "Xvfb did not start"; exit 1; }
display=:$(head -1 "$work/display.txt")
export DISPLAY=$display
log "Xvfb on $display (pid $xpid)"
if command -v openbox >/dev/null; then
    openbox >/dev/null 2>&1 &
    pids_to_end+=("$!")
    have_wm=1
    log "openbox running"
else
    have_wm=0
    log "openbox is not installed: no window manager; ffplay full screen is a borderless 1920x1080 window at 0,0"
fi

coproc SERVER { exec python3 "$src/tools/range_http_server.py" "$work/media" --port 0; }
pids_to_end+=("$SERVER_PID")
read -r -t 10 port <&"${SERVER[0]}" || { echo "the HTTP server did not start"; exit 1; }
log "serving $work/media on 127.0.0.1:$port"

# --- measurements ------------------------------------------------------------
cpu_seconds() {  # pid: user + system seconds so far, from /proc (after the command name)
    local stat
    stat=$(cat "/proc/$1/stat" 2>/dev/null) || { echo ""; return; }
    stat=${stat##*) }
    # shellcheck disable=SC2086
    set -- $stat
    echo "scale=2; (${12} + ${13}) / $TICKS" | bc
}
peak_rss_mib() { awk '/^VmHWM:/ { printf "%d", $2 / 1024 }' "/proc/$1/status" 2>/dev/null; }
alive() { kill -0 "$1" 2>/dev/null; }
wait_gone() {  # pid, seconds: true when it ended in time
    for _ in $(seq $(($2 * 10))); do alive "$1" || return 0; sleep 0.1; done
    ! alive "$1"
}
listener_owner_is() {  # pid: true when that process listens on the request port
    ss -ltnpH "sport = :$LISTENER_PORT" 2>/dev/null | grep -q "pid=$1,"
}
port_busy() { [ -n "$(ss -ltnH "sport = :$LISTENER_PORT" 2>/dev/null)" ]; }


rows=()
add_row() { rows+=("$*"); }
fmt_sum() { [ -n "$1" ] && [ -n "$2" ] && echo "scale=2; $1 + $2" | bc || echo ""; }

# Our player. Args: clip, frames in the clip, width, height, full screen (0/1).
run_player() {
    local clip=$1 frames=$2 w=$3 h=$4 fs=$5 label="${1%.mp4} ${3}x${4}"
    local run="$work/run-player" logf="$work/player-${clip%.mp4}-$fs.log"
    rm -rf "$run" && cp -a "$build/run/." "$run/" && rm -rf "$run/data" && mkdir -p "$run/data"
    "$set_pref" "$run/data/prefs.dat" always_fullscreen "$fs" || { add_row "$label|velmora-player|prefs not written"; return; }
    for _ in $(seq $((PORT_WAIT_S * 10))); do port_busy || break; sleep 0.1; done
    if port_busy; then
        PORT_WAIT_S=0  # held for long: the later runs do not wait for it again
        echo "port $LISTENER_PORT is taken by another program: skipping our player"
        add_row "$label|velmora-player|port $LISTENER_PORT busy"
        return
    fi
    local x0 pid wid="" attempt
    # SDL 1.2 falls back to a text-mode driver when X refuses a connection for
    # a moment, so X11 is asked for by name; a program that ends before its
    # window appears is started once more.
    for attempt in 1 2; do
        x0=$(cpu_seconds "$xpid")
        # SDL 1.2's disk driver paces itself slower than real time (150 ms a
        # buffer), which would stretch the clip; its dummy driver keeps time.
        (cd "$run" && exec env SDL_VIDEODRIVER=x11 SDL_AUDIODRIVER=dummy VELMORA_PLAYBACK_STATS=1 \
            ./velmora-player) >"$logf" 2>&1 &
        pid=$!
        current_pid=$pid
        for _ in $(seq $((WINDOW_TIMEOUT_S * 10))); do
            alive "$pid" || break
            wid=$(xdotool search --pid "$pid" --name '^Velmora Media Player$' 2>/dev/null | head -1)
            [ -n "$wid" ] && break
            sleep 0.1
        done
        [ -n "$wid" ] && break
        alive "$pid" && break  # alive without a window: a second start would not help
        echo "our player ended before its window appeared (attempt $attempt, log: $logf)"
        tail -5 "$logf"
    done
    if [ -z "$wid" ]; then
        echo "our player showed no window (log: $logf)"
        kill "$pid" 2>/dev/null; wait_gone "$pid" 5 || kill -9 "$pid" 2>/dev/null
        add_row "$label|velmora-player|no window"
        return
    fi
    sleep $HOME_SETTLE_S
    if ! listener_owner_is "$pid"; then
        echo "our player does not hold port $LISTENER_PORT (log: $logf)"
        kill "$pid"; wait_gone "$pid" 5 || kill -9 "$pid" 2>/dev/null
        add_row "$label|velmora-player|no listener"
        return
    fi
    local url="http://127.0.0.1:$port/$clip" first stats="" sent
    sent=$(date +%s)
    first=$("$first_picture" --display "$display" --window "$wid" \
        --rect "$((w / 4)),$((h / 4)),$((w / 2)),$((h / 2))" --timeout-ms $FIRST_PICTURE_MS \
        --reference-now --changed-percent $PLAYER_CHANGED_PERCENT \
        --run "bash -c 'printf %s $url >/dev/tcp/127.0.0.1/$LISTENER_PORT'")
    # (bash's own TCP redirection: the request leaves a few ms after the
    # clock starts, where an interpreter would add its own start-up.)
    if [ "$first" != none ]; then
        # The item has ended when the statistics line appears; the program
        # then stays at its home screen.
        while alive "$pid" && [ $(($(date +%s) - sent)) -lt $((CLIP_SECONDS + END_MARGIN_S)) ]; do
            grep -q '^velmora-stats:' "$logf" && break
            sleep 0.2
        done
    else
        first="no picture"
    fi
    local cpu rss x1
    cpu=$(cpu_seconds "$pid")
    rss=$(peak_rss_mib "$pid")
    x1=$(cpu_seconds "$xpid")
    kill "$pid" 2>/dev/null
    wait_gone "$pid" 10 || { echo "our player ignored SIGTERM"; kill -9 "$pid" 2>/dev/null; }
    stats=$(grep -m1 '^velmora-stats:' "$logf")
    local shown="" dropped=""
    if [ -n "$stats" ]; then
        echo "  $label: $stats"
        shown=$(sed -n 's/.*frames_shown=\([0-9]*\).*/\1/p' <<<"$stats")
        dropped=$(sed -n 's/.*frames_dropped=\([-0-9]*\).*/\1/p' <<<"$stats")
    else
        echo "  $label: no statistics line (the item did not end; log: $logf)"
    fi
    # A change of the screen without a single picture shown was something
    # else (an error message), not the first picture.
    if [ "$first" != "no picture" ] && [ "${shown:-0}" = 0 ]; then
        first="no picture (screen changed at $first ms)"
    fi
    local xcpu
    xcpu=$(echo "scale=2; $x1 - $x0" | bc)
    add_row "$label|velmora-player|$cpu|$xcpu|$rss|${shown:-?}/$frames|${dropped:-?}|$first"
}

# ffplay on the same clip and window size; it ends by itself (-autoexit).
run_ffplay() {
    local clip=$1 frames=$2 w=$3 h=$4 fs=$5 label="${1%.mp4} ${3}x${4}"
    local logf="$work/ffplay-${clip%.mp4}-$fs.log" timef="$work/ffplay-time.txt"
    local geometry=(-left 0 -top 0 -x "$w" -y "$h")
    if [ "$fs" = 1 ]; then
        if [ "$have_wm" = 1 ]; then geometry=(-fs); else geometry+=(-noborder); fi
    fi
    rm -f "$timef"
    local x0 t0 pid first
    x0=$(cpu_seconds "$xpid")
    t0=$(date +%s%3N)
    env SDL_VIDEODRIVER=x11 SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE="$work/ffplay-audio.raw" \
        /usr/bin/time -f '%U %S %M' -o "$timef" \
        ffplay -v error -stats -autoexit "${geometry[@]}" "http://127.0.0.1:$port/$clip" \
        >/dev/null 2>"$logf" &
    pid=$!
    current_pid=$pid
    first=$("$first_picture" --display "$display" --window root \
        --rect "$((w / 4)),$((h / 4)),$((w / 2)),$((h / 2))" --timeout-ms $FIRST_PICTURE_MS \
        --since-epoch-ms "$t0")
    [ "$first" = none ] && first="no picture"
    if ! wait_gone "$pid" $((CLIP_SECONDS + END_MARGIN_S)); then
        echo "ffplay did not end in time: stopped"
        kill "$pid" 2>/dev/null; pkill -P "$pid" 2>/dev/null
        wait_gone "$pid" 5
    fi
    wait "$pid" 2>/dev/null
    local x1 user sys rss cpu drops
    x1=$(cpu_seconds "$xpid")
    read -r user sys rss < <(tail -1 "$timef" 2>/dev/null)
    cpu=$(fmt_sum "${user:-}" "${sys:-}")
    [ -n "${rss:-}" ] && rss=$((rss / 1024))
    # -stats ends each status line with a carriage return; fd= counts the
    # frames ffplay dropped (early and late).
    drops=$(tr '\r' '\n' <"$logf" | sed -n 's/.*fd= *\([0-9]*\).*/\1/p' | tail -1)
    local shown="?"
    [ -n "$drops" ] && shown=$((frames - drops))
    add_row "$label|ffplay|${cpu:-?}|$(echo "scale=2; $x1 - $x0" | bc)|${rss:-?}|$shown/$frames|${drops:-?}|$first"
}

for setup in "1000 600 0" "1920 1080 1"; do
    read -r w h fs <<<"$setup"
    for clip in "clip720.mp4 250" "clip1080.mp4 300"; do
        read -r name frames <<<"$clip"
        log "$name at ${w}x${h} (full screen: $fs): velmora-player"
        run_player "$name" "$frames" "$w" "$h" "$fs"
        log "$name at ${w}x${h} (full screen: $fs): ffplay"
        run_ffplay "$name" "$frames" "$w" "$h" "$fs"
    done
done

# --- table --------------------------------------------------------------------
echo
echo "| clip, window | player | CPU s | X CPU s | CPU + X s | peak RSS MiB | frames shown | dropped | first picture ms | (player + X) / (ffplay + X) |"
echo "|---|---|---|---|---|---|---|---|---|---|"
declare -A total
for row in "${rows[@]}"; do
    IFS='|' read -r label who cpu xcpu rest <<<"$row"
    case "$cpu" in [0-9]* | .[0-9]*) total["$label|$who"]=$(fmt_sum "$cpu" "$xcpu") ;; esac
done
for row in "${rows[@]}"; do
    IFS='|' read -r label who cpu xcpu rss shown dropped first <<<"$row"
    if [ -z "${xcpu:-}" ]; then  # a run that measured nothing: the reason is in the CPU column
        echo "| $label | $who | $cpu | | | | | | | |"
        continue
    fi
    ratio=""
    ours=${total["$label|velmora-player"]:-}
    theirs=${total["$label|ffplay"]:-}
    # A run that showed no picture cost little and compares with nothing.
    if [ "$who" = velmora-player ] && [ -n "$ours" ] && [ -n "$theirs" ] && [[ $first =~ ^[0-9]+$ ]]; then
        ratio=$(echo "scale=2; $ours / $theirs" | bc)
    fi
    echo "| $label | $who | $cpu | $xcpu | ${total["$label|$who"]:-} | $rss | $shown | $dropped | $first | $ratio |"
done
echo
echo "Work folder: $work (logs, clips). Frames shown for ffplay are the clip's frames less its fd= drops."
[ "$have_wm" = 1 ] || echo "No window manager was running (openbox is not installed)."
