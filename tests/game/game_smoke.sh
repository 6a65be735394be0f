#!/usr/bin/env bash
# Runs the real game binary under the current X display: the window appears,
# is cleared to the background colour, dims as it pauses when the focus goes
# to another window, and SIGTERM ends the game cleanly, having written nothing.
set -u
game="$1"
source "$(dirname "$0")/game_run.sh"

SDL_AUDIODRIVER=dummy "$game" >"$out/out" 2>"$out/err" &
wait_for_window $!
sleep 1
alive "its size was read"
geometry=$(bounded xdotool getwindowgeometry "$wid" | sed -n 's/.*Geometry: //p')
[ "$geometry" = "1280x720" ] || fail "window is $geometry"
# The boat as the window's icon: 64 by 64 pixels, as the desktop icons.
icon=$(bounded xprop -id "$wid" _NET_WM_ICON | head -c 60)
on_window "the screenshot" import -window "$wid" "$out/shot.png"
pixel=$(bounded convert "$out/shot.png" -format '%[pixel:p{5,710}]' info:)
# The focus on the game, then on the root window, as when the player switches
# to another program: the pause dims the background within a few seconds.
bounded xdotool windowfocus --sync "$wid" || fail "the game's window would not take the focus"
root=$(bounded xwininfo -root | awk '/Window id:/ {print $4}')
bounded xdotool windowfocus --sync "$root" || fail "the root window would not take the focus"
for ((i = 0; i < 25; ++i)); do
    on_window "the screenshot after leaving" import -window "$wid" "$out/left.png"
    left=$(bounded convert "$out/left.png" -format '%[pixel:p{5,710}]' info:)
    [ "$left" = "srgb(14,17,19)" ] && break
    sleep 0.2
done
[ "$left" = "srgb(14,17,19)" ] || fail "leaving the window left the background at $left, not dimmed"
stop_cleanly
# A run in which the player changed neither the sound nor full screen leaves
# nothing behind: no settings, no folder for them.
made=$(find "$XDG_CONFIG_HOME" "$XDG_DATA_HOME" 2>/dev/null | tr '\n' ' ')
[ -z "$made" ] || fail "a run without M, F11 or Esc made $made"
grep -qx 'WINDOW: Window created!' "$out/err" || fail "no window line"
grep -qx 'GL RENDERER: No SDL errors Detected in during init!' "$out/err" || fail "no renderer line"
grep -qx 'GL RENDERER: Shutting down the renderer' "$out/err" || fail "no shutdown line"
case "$icon" in
    *"Icon (64 x 64)"*) ;;
    *) fail "window icon is '$icon'" ;;
esac
case "$pixel" in
    "srgb(38,46,51)") ;;
    *) fail "background pixel is $pixel" ;;
esac
echo "ok"
