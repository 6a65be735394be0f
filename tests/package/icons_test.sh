#!/usr/bin/env bash
# The committed desktop icons (packaging/icons/) are what gen_icons, given as
# the only argument, makes from the boat sheet: byte for byte, twice over.
set -u
tool="$1"
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
mkdir "$out/a" "$out/b"
for run in a b; do
    timeout -k 2 30 "$tool" Assets/boat-sheet.png "$out/$run" || { echo "FAIL: gen_icons failed"; exit 1; }
done
for size in 48 64 128 256; do
    name="sailhop-$size.png"
    cmp -s "$out/a/$name" "$out/b/$name" || { echo "FAIL: two runs give different $name"; exit 1; }
    cmp -s "$out/a/$name" "packaging/icons/$name" ||
        { echo "FAIL: packaging/icons/$name is not gen_icons' output; rerun gen_icons Assets/boat-sheet.png packaging/icons"; exit 1; }
done
# A sheet it cannot read, and a directory it cannot write to, are failures.
timeout -k 2 30 "$tool" "$out/missing.png" "$out/a" 2>/dev/null && { echo "FAIL: no sheet, yet status 0"; exit 1; }
timeout -k 2 30 "$tool" Assets/boat-sheet.png "$out/missing" 2>/dev/null &&
    { echo "FAIL: no output directory, yet status 0"; exit 1; }
echo "ok"
