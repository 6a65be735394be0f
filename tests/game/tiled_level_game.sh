#!/usr/bin/env bash
# The real game binary on a Tiled map named by a relative path, from the
# directory that holds ./Assets: the map, whose tile set lives in a folder of
# its own, is what the window shows (its ground is brick). A map that cannot
# be used ends the game with status 255 and, as the last line, the
# broken-level message naming the map. --help prints the usage; an unknown
# option is refused with status 2.
set -u
game="$1"
source "$(dirname "$0")/game_run.sh"

maps="$out/maps"
mkdir -p "$maps/sets"
cp Assets/tiles.png "$maps/sets/"
cat >"$maps/sets/tiles.tsx" <<'TSX'
<?xml version="1.0" encoding="UTF-8"?>
<tileset version="1.8" tiledversion="1.8.2" name="tiles" tilewidth="64" tileheight="64" tilecount="12" columns="4">
 <image source="tiles.png" width="256" height="192"/>
</tileset>
TSX
# 40 by 12 cells: sky above, brick (tile 4, global id 5) from row 6 down.
{
    echo '<?xml version="1.0" encoding="UTF-8"?>'
    echo '<map version="1.8" orientation="orthogonal" renderorder="right-down" width="40" height="12" tilewidth="64" tileheight="64" infinite="0">'
    echo ' <tileset firstgid="1" source="sets/tiles.tsx"/>'
    echo ' <layer id="1" name="walls" width="40" height="12"><data encoding="csv">'
    for ((y = 0; y < 12; ++y)); do
        row=""
        for ((x = 0; x < 40; ++x)); do
            ((y >= 6)) && cell=5 || cell=0
            row+="$cell,"
        done
        ((y == 11)) && row=${row%,}
        echo "$row"
    done
    echo '</data></layer>'
    echo '</map>'
} >"$maps/walls.tmx"
sed 's/^5,/99,/' "$maps/walls.tmx" >"$maps/broken.tmx"
rel=$(realpath --relative-to="$PWD" "$maps")

bounded "$game" --help >"$out/help" 2>&1 || fail "--help: status $?"
grep -q '^usage: game \[--fullscreen\] \[LEVEL\]' "$out/help" || fail "--help printed: $(cat "$out/help")"
bounded "$game" --no-such-option >/dev/null 2>&1
[ $? = 2 ] || fail "an unknown option did not end with status 2"

SDL_AUDIODRIVER=dummy "$game" "$rel/walls.tmx" >"$out/out" 2>"$out/err" &
wait_for_window $!
sleep 2
on_window "the screenshot" import -window "$wid" "$out/shot.png"
brick=$(bounded convert "$out/shot.png" -fuzz 6% -fill white -opaque '#A64C38' -fill black +opaque white \
    -format '%[fx:mean]' info:)
stop_cleanly "the map"
awk -v b="$brick" 'BEGIN { exit !(b > 0.08) }' || fail "the map is not on screen: brick covers $brick of the window"

SDL_AUDIODRIVER=dummy timeout -k 5 60 "$game" "$rel/broken.tmx" >"$out/out" 2>"$out/err"
status=$?
[ "$status" = 255 ] || fail "a broken map ended with status $status"
last=$(tail -n1 "$out/err")
[[ "$last" == *"LEVEL: Could not load level file $rel/broken.tmx: "*"99"* ]] ||
    fail "last line of a broken map: $last"
echo "ok: the map shows (brick covers $brick of the window); a broken one: $last"
