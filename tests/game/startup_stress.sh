#!/usr/bin/env bash
# Starts the real game many times, several at once, on a display of its own
# that resets whenever its last client leaves (as an X server does unless told
# otherwise) and is made to do so often. A game that starts while the server
# resets is refused for a moment; it must reach the display all the same.
# Every start, given a level file that is no JSON, must bring up the window,
# the GL context and GLEW and then end with status 255 and the level's error
# as its last line. Any other ending fails the test, with its whole stderr.
#
# startup_stress.sh <game> [starts] [jobs]    (default 200 starts, 8 at once)
set -u
here="$(cd "$(dirname "$0")" && pwd)"

if [ "${1:-}" = --one ]; then
    game="$2" dir="$3" i="$4"
    esc=$'\e'
    err="$dir/err.$i"
    (cd "$dir" && exec timeout -k 5 120 "$game" >/dev/null 2>"$err")
    status=$?
    last=$(tail -n1 "$err")
    expected="${esc}[0;31mLEVEL: Could not load level file ./Assets/level1.json: "
    if [ "$status" = 255 ] && [[ "$last" == "$expected"* ]]; then
        grep -q 'WINDOW: The display was out of reach' "$err" && echo "ok retried" || echo ok
        rm -f "$err"
    else
        echo "FAIL start $i: status $status"
        echo "--- stderr of start $i"
        sed 's/^/  /' "$err"
        echo "---"
    fi
    exit 0
fi

source "$here/corpus_sandbox.sh"
game="$(realpath "$1")" starts="${2:-200}" jobs="${3:-8}"
dir=$(mktemp -d)
xvfb="" resetter=""
cleanup() {
    [ -n "$resetter" ] && kill "$resetter" 2>/dev/null
    stop_xvfb
    rm -rf "$dir"
}
trap cleanup EXIT
sandbox "$dir" level1.json
game_settings "$dir"
printf '{"tilemap_path": ' >"$dir/Assets/level1.json"

start_xvfb "$dir" -screen 0 1280x800x24 || { echo "FAIL: Xvfb did not start"; exit 1; }
export DISPLAY="$display"
unset WAYLAND_DISPLAY SDL_VIDEODRIVER

# A client that comes and goes: whenever it leaves last, the server resets.
(while :; do timeout 5 xdotool getdisplaygeometry >/dev/null 2>&1; sleep 0.05; done) &
resetter=$!

results=$(seq "$starts" | xargs -P "$jobs" -I{} "$0" --one "$game" "$dir" {})
ok=$(grep -c '^ok' <<<"$results")
retried=$(grep -c '^ok retried$' <<<"$results")
echo "$ok of $starts starts ok ($jobs at once); $retried reached the display only on a later try"
grep -v '^ok' <<<"$results"
[ "$ok" -eq "$starts" ]
