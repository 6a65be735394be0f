#!/bin/sh
# Copies the game's font, DejaVu Sans from Debian's fonts-dejavu-core, to
# Assets/SGK100.ttf with its licence beside it. Run from anywhere; the output
# depends only on the installed package.
set -eu

repo=$(cd "$(dirname "$0")/.." && pwd)
font=/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf
licence=/usr/share/doc/fonts-dejavu-core/copyright

if [ ! -r "$font" ] || [ ! -r "$licence" ]; then
    echo "copy_font.sh: $font not found; install the Debian package fonts-dejavu-core" >&2
    exit 1
fi

mkdir -p "$repo/Assets"
cp "$font" "$repo/Assets/SGK100.ttf"
{
    echo "Assets/SGK100.ttf is DejaVuSans.ttf, unmodified, from the Debian package"
    echo "fonts-dejavu-core. Its copyright and licence, as that package states them:"
    echo
    cat "$licence"
} > "$repo/Assets/SGK100.LICENSE"
