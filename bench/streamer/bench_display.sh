# Shared by the streamer benchmarks (sourced, with $work set): a private
# Xvfb that goes at exit with every process listed in pids, and the
# helpers that measure the player and tap its window.
TICKS=$(getconf CLK_TCK)
log() { echo "== $*"; }

pids=()
cleanup() { for p in "${pids[@]}"; do kill "$p" 2>/dev/null; done; wait 2>/dev/null; }
trap cleanup EXIT
GLIBC_TUNABLES=glibc.malloc.mmap_threshold=33554432:glibc.malloc.trim_threshold=268435456 \
    Xvfb -displayfd 3 -nolisten tcp -screen 0 1280x800x24 3>"$work/display.txt" \
    >/dev/null 2>&1 &
pids+=($!)
for _ in $(seq 100); do [ -s "$work/display.txt" ] && break; sleep 0.1; done
export DISPLAY=:$(head -1 "$work/display.txt")

# CPU time of a process in ticks (user + system).
cpu_ticks() { awk '{print $14 + $15}' "/proc/$1/stat" 2>/dev/null || echo 0; }
window_of() {
    for _ in $(seq 100); do
        w=$(xdotool search --pid "$1" 2>/dev/null | head -1)
        [ -n "$w" ] && { echo "$w"; return; }
        sleep 0.2
    done
}
click() { xdotool mousemove --window "$1" "$2" "$3" click 1; }

# Starts the player in a fresh run folder logged in to the simulator at
# `port` (with further "key value" settings) and waits for its window: the
# player's pid in $player, its window in $win. Needs $build and $set_pref.
start_player() {  # port, run dir, settings...
    local port=$1 dir=$2; shift 2
    rm -rf "$dir"; cp -r "$build/run" "$dir"; mkdir -p "$dir/data"
    for kv in "remember_login 1" "username me" "password pw" "streamer_host 127.0.0.1" \
              "streamer_port $port" "connect_by_address 1" "auto_hide_controls 0" "$@"; do
        "$set_pref" "$dir/data/prefs.dat" $kv
    done
    (cd "$dir" && VELMORA_PLAYBACK_STATS=1 SDL_AUDIODRIVER=dummy exec ./velmora-player \
        >player.log 2>&1) &
    player=$!
    pids+=($player)
    win=$(window_of $player)
    sleep 2
}
