#!/usr/bin/env bash
# Runs the falling boxes example under the current X display: its window shows,
# the frame holds the tile floor and the white counter and keeps changing as
# boxes fall, and SIGTERM ends the program with status 0. Every wait is bounded;
# a program that exits early or shows no window fails the script in seconds.
set -u

bin="${1:-}"
[ -n "$bin" ] || { echo "usage: $0 <falling_boxes binary>"; exit 2; }
case "$bin" in /*) ;; *) bin="$PWD/$bin" ;; esac
[ -x "$bin" ] || { echo "FAIL: $bin is not an executable"; exit 1; }
[ -n "${DISPLAY:-}" ] || { echo "FAIL: no X display (DISPLAY unset); run under xvfb-run"; exit 1; }
# The example reads ./Assets, as the game does.
cd "$(dirname "$0")/../.." || exit 1

out=$(mktemp -d)
pid=""
cleanup() {
    if [ -n "$pid" ] && kill -0 "$pid" 2>/dev/null; then
        kill -KILL "$pid" 2>/dev/null
        wait "$pid" 2>/dev/null
    fi
    rm -rf "$out"
}
trap cleanup EXIT
fail() {
    echo "FAIL: $*"
    echo "--- stderr of the example"
    cat "$out/err"
    exit 1
}
alive() { kill -0 "$pid" 2>/dev/null; }
# Fails with the status of an example that ended by itself; $1 says when.
ended() {
    wait "$pid"
    local status=$?
    pid=""
    fail "the example exited with status $status $1"
}
# X and ImageMagick calls, bounded like every other wait.
x() { timeout 5 xdotool "$@" 2>/dev/null; }
im() { timeout 10 "$@" 2>/dev/null; }
# A screenshot reads the screen: other tests' windows on the display may cover
# the example's, so it is raised first and given time to draw again.
shot() {
    x windowraise "$wid"
    sleep "$1"
    timeout 10 import -window "$wid" "$2" 2>/dev/null
}

CLEAR='srgb(38,46,51)'

SDL_AUDIODRIVER=dummy "$bin" >"$out/out" 2>"$out/err" &
pid=$!

# Waits end at a deadline on the clock, not after a count of tries: each
# xdotool or import call takes its own time too.
wid=""
deadline=$((SECONDS + 10))
while [ "$SECONDS" -lt "$deadline" ]; do
    alive || ended "before showing a window"
    wid=$(x search --pid "$pid" --name '^Falling boxes$' | head -n1)
    [ -n "$wid" ] && break
    sleep 0.2
done
[ -n "$wid" ] || fail "no window titled 'Falling boxes' within 10 s"

# The renderer always draws a 1280 by 720 view; any other size stretches it.
geometry=$(x getwindowgeometry "$wid" | sed -n 's/.*Geometry: //p')
[ "$geometry" = "1280x720" ] || fail "window is '$geometry', not 1280x720"

# The first frames may still be the clear colour alone: look again until the
# scene shows, for at most ten seconds.
why="no screenshot could be taken"
shown=""
deadline=$((SECONDS + 10))
while [ "$SECONDS" -lt "$deadline" ]; do
    alive || ended "while running"
    shot 0.5 "$out/a.png" || continue
    colours=$(im identify -format '%k' "$out/a.png")
    # Share of the clear colour along the bottom, where the dirt tiles lie.
    bare=$(im convert "$out/a.png" -crop 1280x40+0+670 +repage -fill white -opaque "$CLEAR" \
        -fill black +opaque white -format '%[fx:mean]' info:)
    # Share of white in the counter's corner; nothing else drawn there is white.
    text=$(im convert "$out/a.png" -crop 480x80+0+0 +repage -colorspace gray \
        -threshold 94% -format '%[fx:mean]' info:)
    if ! awk -v v="${colours:-0}" 'BEGIN { exit !(v > 8) }'; then
        why="the frame has ${colours:-no} distinct colours: nothing drawn"
    elif ! awk -v v="${bare:-1}" 'BEGIN { exit !(v < 0.1) }'; then
        why="the bottom of the frame is ${bare:-?} clear colour: no floor"
    elif ! awk -v v="${text:-0}" 'BEGIN { exit !(v > 0.005) }'; then
        why="no white counter text in the top-left corner"
    else
        shown=yes
        break
    fi
done
[ -n "$shown" ] || fail "$why"

# Boxes keep falling for several seconds: a later frame must differ.
moved=""
deadline=$((SECONDS + 3))
while [ "$SECONDS" -lt "$deadline" ]; do
    alive || ended "while running"
    shot 0.3 "$out/b.png" || continue
    # The number of differing pixels goes to stderr; anything else is an error.
    diff=$(timeout 10 compare -metric AE "$out/a.png" "$out/b.png" null: 2>&1)
    if awk -v v="$diff" 'BEGIN { exit !(v ~ /^[0-9.e+]+$/ && v + 0 > 0) }'; then
        moved=yes
        break
    fi
done
[ -n "$moved" ] || fail "the frame stays the same for 3 s: nothing moves"

kill -TERM "$pid"
deadline=$((SECONDS + 5))
while [ "$SECONDS" -lt "$deadline" ]; do
    alive || break
    sleep 0.1
done
alive && fail "still running 5 s after SIGTERM"
wait "$pid"
status=$?
pid=""
[ "$status" -eq 0 ] || fail "exit status $status after SIGTERM"
echo "ok"
