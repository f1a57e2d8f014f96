#!/bin/bash
# The media browser in the whole program under Xvfb: for each row count, a
# folder of that many media names (empty files, a tenth of them folders) is
# made, "Local Media" is tapped, and the program reports (with
# VELMORA_BROWSER_STATS=1) the time from opening the list to its drawn rows
# and, for each sort key chosen with the header buttons, the time of the
# re-sort with its redraw. Run from the source tree after building
# velmora-player and set_pref:
#   bench/browser/browser_open.sh <build> [rows ...]     (default: 500 5000)
set -u
build=$(realpath "${1:?usage: browser_open.sh <build> [rows ...]}")
shift
counts=("${@:-500}")
[ $# -eq 0 ] && counts=(500 5000)
set_pref=$build/bench/set_pref
for tool in "$set_pref" "$build/run/velmora-player"; do
    [ -x "$tool" ] || { echo "missing $tool: build velmora-player set_pref"; exit 2; }
done
work=$(mktemp -d /tmp/velmora-browser-bench-XXXXXX)
trap 'kill $xvfb 2>/dev/null; rm -rf "$work"' EXIT
display=:$((70 + RANDOM % 100))
GLIBC_TUNABLES=glibc.malloc.mmap_threshold=33554432:glibc.malloc.trim_threshold=268435456 \
    Xvfb "$display" -screen 0 1280x800x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
sleep 1
export DISPLAY=$display

make_folder() {  # <dir> <rows>
    mkdir -p "$1"
    local exts=(mp4 mkv avi mp3 flac jpg m4a ts) i
    for ((i = 0; i < $2; i++)); do
        if ((i % 10 == 9)); then
            mkdir "$1/Folder $i"
        else
            : >"$1/Item $((i * 7919 % $2)) clip.${exts[i % 8]}"
        fi
    done
}

click() { xdotool mousemove --window "$win" "$1" "$2" click 1; sleep "${3:-1.5}"; }

for n in "${counts[@]}"; do
    media=$work/media$n
    make_folder "$media" "$((n - 1))"  # with "..", n rows
    run=$work/run$n
    cp -r "$build/run" "$run"
    rm -rf "$run/data"; mkdir -p "$run/data"
    "$set_pref" "$run/data/prefs.dat" browse_path_1 "$media/" >/dev/null
    (cd "$run" && VELMORA_BROWSER_STATS=1 ./velmora-player 2>"$work/log$n" >/dev/null) &
    pid=$!
    win=""
    for _ in $(seq 50); do
        win=$(xdotool search --name "Velmora Media Player" 2>/dev/null | head -1)
        [ -n "$win" ] && break
        sleep 0.2
    done
    sleep 2
    click 165 245 3          # Local Media
    click 164 90             # sort key: date
    click 164 90             # size
    click 263 90             # size, descending
    click 164 90             # name, descending
    click 164 90             # date, descending
    kill -TERM $pid; wait $pid 2>/dev/null
    grep '^browser:' "$work/log$n" | sed "s/^/rows $n: /"
done
