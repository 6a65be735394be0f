#!/usr/bin/env bash
# Runs the real game binary under the current X display: the window appears,
# is cleared to the background colour, and SIGTERM ends the game cleanly.
set -u
game="$1"
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
fail() { echo "FAIL: $*"; echo "--- stderr"; cat "$out/err"; exit 1; }

SDL_AUDIODRIVER=dummy "$game" >"$out/out" 2>"$out/err" &
pid=$!
for _ in $(seq 50); do
    wid=$(xdotool search --pid "$pid" --name '^Game$' 2>/dev/null | head -n1)
    [ -n "$wid" ] && break
    sleep 0.2
done
[ -n "${wid:-}" ] || fail "no window titled Game"
sleep 1
geometry=$(xdotool getwindowgeometry "$wid" | sed -n 's/.*Geometry: //p')
[ "$geometry" = "1280x720" ] || fail "window is $geometry"
import -window "$wid" "$out/shot.png"
pixel=$(convert "$out/shot.png" -format '%[pixel:p{5,710}]' info:)
kill -TERM "$pid"
wait "$pid"
status=$?
[ "$status" -eq 0 ] || fail "exit status $status after SIGTERM"
grep -qx 'WINDOW: Window created!' "$out/err" || fail "no window line"
grep -qx 'GL RENDERER: No SDL errors Detected in during init!' "$out/err" || fail "no renderer line"
grep -qx 'GL RENDERER: Shutting down the renderer' "$out/err" || fail "no shutdown line"
case "$pixel" in
    "srgb(38,46,51)") ;;
    *) fail "background pixel is $pixel" ;;
esac
echo "ok"
