#!/usr/bin/env bash
# The real game binary on a copy of the shipped Tiled map, kept open while
# the map is saved over: a changed map saved by the real Tiled
# (`tiled --export-map`, which writes a new file and renames it over the
# old) shows on screen; garbage saved in place leaves the game running with
# one warning; the shipped map saved again shows again.
set -u
game="$1"
source "$(dirname "$0")/game_run.sh"
command -v tiled >/dev/null || fail "tiled is not installed (scripts/deps.sh lists it)"

level="$out/level"
mkdir -p "$level"
cp Assets/level1.tmx Assets/tiles.tsx Assets/tiles.png "$level/"
# Every empty cell of the shipped map made brick (global id 5).
sed -E '/^[0-9,]+$/ s/(^|,)0(,|$)/\15\2/g; /^[0-9,]+$/ s/(^|,)0(,|$)/\15\2/g' \
    Assets/level1.tmx >"$level/brick-source.tmx"
cp Assets/level1.tmx "$level/shipped-source.tmx"

# save <source>: the real Tiled writes the map over the one the game plays.
save() {
    QT_QPA_PLATFORM=offscreen timeout -k 5 60 tiled --export-map tmx "$level/$1" \
        "$level/level1.tmx" >/dev/null 2>&1 || fail "tiled could not save $1"
}
# brick: the share of the window that is brick.
brick() {
    on_window "the screenshot" import -window "$wid" "$out/shot.png"
    bounded convert "$out/shot.png" -fuzz 6% -fill white -opaque '#A64C38' -fill black \
        +opaque white -format '%[fx:mean]' info:
}
# wait_until <what> <test>...: up to 20 s for the test to hold.
wait_until() {
    local what="$1" deadline=$((SECONDS + 20))
    shift
    until "$@"; do
        alive "$what"
        ((SECONDS < deadline)) || fail "$what: not within 20 s"
        sleep 0.3
    done
}
much_brick() { awk -v b="$(brick)" 'BEGIN { exit !(b > 0.08) }'; }
little_brick() { awk -v b="$(brick)" 'BEGIN { exit !(b < 0.04) }'; }
reloads() { [ "$(grep -c 'LEVEL: Reloaded level file' "$out/err")" -ge "$1" ]; }
warned() { grep -q 'Could not reload level file' "$out/err"; }

SDL_AUDIODRIVER=dummy "$game" "$level/level1.tmx" >"$out/out" 2>"$out/err" &
wait_for_window $!
wait_until "the shipped map shows" little_brick

save brick-source.tmx
wait_until "the map saved by Tiled shows" much_brick
reloads 1 || fail "no reload line"

echo "garbage" >"$level/level1.tmx"
wait_until "a warning for the garbage" warned
sleep 1
much_brick || fail "the garbage changed what shows"

save shipped-source.tmx
wait_until "the shipped map saved again shows" little_brick
reloads 2 || fail "no second reload line"
stop_cleanly
[ "$(grep -c 'Could not reload level file' "$out/err")" -eq 1 ] || fail "not one warning"
echo "ok: $(grep -c 'Reloaded level file' "$out/err") reloads, one warning: $(grep 'Could not reload' "$out/err")"
