#!/bin/sh
# Copies DejaVu Sans from Debian's fonts-dejavu-core, with its licence beside
# it, to the game's Assets/SGK100.ttf and the examples' examples/assets/sans.ttf.
# Run from anywhere; the output depends only on the installed package.
set -eu

repo=$(cd "$(dirname "$0")/.." && pwd)
font=/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf
licence=/usr/share/doc/fonts-dejavu-core/copyright

if [ ! -r "$font" ] || [ ! -r "$licence" ]; then
    echo "copy_font.sh: $font not found; install the Debian package fonts-dejavu-core" >&2
    exit 1
fi

# copy <path of the copy, from the repository root> <path of its licence>
copy() {
    mkdir -p "$(dirname "$repo/$1")"
    cp "$font" "$repo/$1"
    {
        echo "$1 is DejaVuSans.ttf, unmodified, from the Debian package"
        echo "fonts-dejavu-core. Its copyright and licence, as that package states them:"
        echo
        cat "$licence"
    } > "$repo/$2"
}
copy Assets/SGK100.ttf Assets/SGK100.LICENSE
copy examples/assets/sans.ttf examples/assets/sans.LICENSE
