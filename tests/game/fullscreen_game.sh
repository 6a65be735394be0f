#!/usr/bin/env bash
# Run by game_play.sh on a 1440x900 display of its own with a window manager,
# which full screen needs: F11 shows the window's picture scaled to the
# screen's width, between bars of the clear colour above and below; the game
# started again is full screen at once, and Esc gives the 1280x720 window
# back.
set -u
game="$1"
source "$(dirname "$0")/game_run.sh"
openbox >/dev/null 2>&1 &
wm=$!
trap 'end_game 5; kill "$wm" 2>/dev/null; rm -rf "$out"' EXIT

SDL_AUDIODRIVER=dummy "$game" >"$out/out" 2>"$out/err" &
wait_for_window $!
bounded xdotool windowactivate --sync "$wid" 2>/dev/null || bounded xdotool windowfocus --sync "$wid"
sleep 3
on_window "the window's picture" import -window "$wid" "$out/window.png"
bounded xdotool key F11
sleep 1.5
on_window "the full-screen picture" import -window root "$out/full.png"
geometry() { bounded xwininfo -id "$wid" | awk '/Width:/ {w=$2} /Height:/ {h=$2} END {print w "x" h}'; }
[ "$(geometry)" = 1440x900 ] || fail "F11 left the window at $(geometry)"

# Above and below the picture, nothing but the clear colour.
for bar in 1440x45+0+0 1440x45+0+855; do
    colours=$(bounded convert "$out/full.png" -crop "$bar" +repage -unique-colors txt:- | grep -c '#262E33')
    total=$(bounded convert "$out/full.png" -crop "$bar" +repage -unique-colors txt:- | tail -n +2 | wc -l)
    [ "$colours" = 1 ] && [ "$total" = 1 ] || fail "the bar $bar is not all the clear colour"
done
# Between them the window's picture, scaled: only the boat's and the fish's
# moves since tell them apart (about 13,000 pixels on a quiet machine, 31,000
# under load); a picture shifted or not scaled differs in most of them.
bounded convert "$out/full.png" -crop 1440x810+0+45 +repage -resize 1280x720! "$out/scaled.png"
differ=$(bounded compare -metric AE -fuzz 20% "$out/window.png" "$out/scaled.png" null: 2>&1)
[ "${differ%%.*}" -lt 90000 ] || fail "$differ of 921600 pixels differ from the window's picture"

# Full screen and the sound off are kept for the next start.
settings="$XDG_CONFIG_HOME/sailhop/settings.json"
bounded xdotool key m
sleep 0.5
stop_cleanly "the first run"
kept=$(tr -d ' \n' <"$settings" 2>/dev/null)
[ "$kept" = '{"fullscreen":true,"sound":false}' ] || fail "F11 and M saved '$kept'"
SDL_AUDIODRIVER=dummy "$game" >"$out/out" 2>"$out/err" &
wait_for_window $!
bounded xdotool windowactivate --sync "$wid" 2>/dev/null || bounded xdotool windowfocus --sync "$wid"
sleep 1.5
[ "$(geometry)" = 1440x900 ] || fail "started again at $(geometry), not full screen"

bounded xdotool key Escape
sleep 1.5
[ "$(geometry)" = 1280x720 ] || fail "Esc left the window at $(geometry)"
stop_cleanly
kept=$(tr -d ' \n' <"$settings")
[ "$kept" = '{"fullscreen":false,"sound":false}' ] || fail "Esc saved '$kept'"
echo "ok: full screen letterboxed, $differ pixels apart from the window's picture; kept"
