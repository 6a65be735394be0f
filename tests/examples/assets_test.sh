#!/usr/bin/env bash
# The examples' assets in examples/assets are what gen_example_assets, given
# as the only argument, writes: byte for byte, twice over (the font, copied by
# tools/copy_font.sh, aside). The Tiled map is one Tiled itself reads: its
# tmxrasterizer draws it at the map's size (skipped without Debian's tiled).
set -u
tool="$1"
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
mkdir "$out/a" "$out/b"
for run in a b; do
    timeout -k 2 30 "$tool" "$out/$run" || { echo "FAIL: gen_example_assets failed"; exit 1; }
done
made=$(cd "$out/a" && ls)
# The font, and the Tiled world's hand-written maps, are not the generator's.
kept=$(cd examples/assets && ls | grep -vE '^(sans\.(ttf|LICENSE)|world)$')
[ "$made" = "$kept" ] ||
    { echo "FAIL: examples/assets holds $(echo $kept), the generator writes $(echo $made)"; exit 1; }
for name in $made; do
    cmp -s "$out/a/$name" "$out/b/$name" || { echo "FAIL: two runs give different $name"; exit 1; }
    cmp -s "$out/a/$name" "examples/assets/$name" ||
        { echo "FAIL: examples/assets/$name is not gen_example_assets' output; rerun gen_example_assets examples/assets"; exit 1; }
done
# A directory it cannot write to is a failure.
timeout -k 2 30 "$tool" "$out/missing" 2>/dev/null && { echo "FAIL: no output directory, yet status 0"; exit 1; }

if command -v tmxrasterizer >/dev/null; then
    QT_QPA_PLATFORM=offscreen timeout -k 2 30 tmxrasterizer --no-smoothing \
        examples/assets/platformer.tmx "$out/map.png" >"$out/log" 2>&1 ||
        { echo "FAIL: tmxrasterizer cannot draw platformer.tmx"; cat "$out/log"; exit 1; }
    size=$(timeout 10 identify -format '%wx%h' "$out/map.png")
    [ "$size" = 2048x576 ] || { echo "FAIL: Tiled draws platformer.tmx at ${size:-no size}, not 2048x576"; exit 1; }
    echo "ok (Tiled draws the map at $size)"
else
    echo "ok (tmxrasterizer not installed: the map is not shown to Tiled)"
fi
