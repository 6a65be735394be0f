#!/usr/bin/env bash
# Plays the real game binary under the current X display with keys sent by
# xdotool: the world scrolls as the boat sails over the sea, the font line is
# printed, SIGTERM ends the game cleanly, and the sound written by SDL's disk
# driver is the music track, looping.
set -u
game="$1"
source "$(dirname "$0")/game_run.sh"

# The disk driver writes what the mixer produced; a short delay per buffer
# runs the music about nine times faster than real time.
SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE="$out/audio.raw" SDL_DISKAUDIODELAY=10 \
    "$game" >"$out/out" 2>"$out/err" &
wait_for_window $!
alive "its window was focused"
bounded xdotool windowactivate --sync "$wid" 2>/dev/null || bounded xdotool windowfocus --sync "$wid"
sleep 2
on_window "the first screenshot" import -window "$wid" "$out/before.png"

# Right onto the step, then hop into the rising air and sail over the sea.
# The keys go to the focused window; the screenshot after them finds out
# whether the game was still there to take them.
bounded xdotool keydown d
sleep 0.6
bounded xdotool keydown space
sleep 3
bounded xdotool keyup space keyup d
sleep 0.5
on_window "the second screenshot" import -window "$wid" "$out/after.png"

stop_cleanly

grep -qE '^texture font: [0-9]+$' "$out/out" || fail "no 'texture font: ' line on stdout"

# The world moved under the camera: most of the picture changed.
changed=$(bounded compare -metric AE "$out/before.png" "$out/after.png" null: 2>&1)
[ "${changed%%.*}" -gt 200000 ] || fail "only $changed pixels changed; the view did not scroll"

# The music starts at a buffer boundary after some silence and then repeats
# the track's samples byte for byte.
wav=Assets/piano2.wav
header=44
length=$(( $(stat -c %s "$wav") - header ))
[ -f "$out/audio.raw" ] || fail "no sound written by SDL's disk driver"
captured=$(stat -c %s "$out/audio.raw")
buffer=16384
start=-1
for (( offset = 0; offset + length <= captured; offset += buffer )); do
    if cmp -s -n "$length" -i "$offset:$header" "$out/audio.raw" "$wav"; then
        start=$offset
        break
    fi
done
[ "$start" -ge 0 ] || fail "the track's samples are not in the ${captured}-byte capture"
[ $(( captured - start - length )) -gt $(( 4 * buffer )) ] || fail "the capture ends before the track loops"
loops=0
for (( offset = start + length; offset < captured; offset += length )); do
    n=$(( captured - offset < length ? captured - offset : length ))
    cmp -s -n "$n" -i "$offset:$header" "$out/audio.raw" "$wav" ||
        fail "the capture from byte $offset is not the track again"
    loops=$(( loops + 1 ))
done
echo "ok: music from byte $start, then $loops more times"

# Full screen needs a window manager, which this display has none of (and
# must not get: other tests place windows on it): a display of its own.
if command -v openbox >/dev/null; then
    timeout -k 2 60 xvfb-run -a -s "-screen 0 1440x900x24 -noreset" \
        "$(dirname "$0")/fullscreen_game.sh" "$game" || fail "full screen (above)"
else
    echo "skipped full screen: no openbox to grant it"
fi
