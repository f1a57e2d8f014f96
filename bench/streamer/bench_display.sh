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
