#!/usr/bin/env bash
# The real game binary with images of PngSuite in place of the player's
# sheet, the fish and the tile set, one role at a time: the game keeps
# running and SIGTERM ends it cleanly (status 0). An image the decoder
# rejects is named in a "Could not load image file" warning; since every
# image of the suite is smaller than the game's 64-pixel cells, a sheet or a
# tile set also says it holds no whole cell. No sanitizer report.
#
# corpus_image_game.sh <game> <corpus dir> [seconds after the window shows] [jobs]
# Takes a sample: every corrupt file, and valid ones of each colour type,
# bit depth, interlacing, odd sizes and transparency.
set -u
here="$(cd "$(dirname "$0")" && pwd)"

roles=(boat-sheet.png fish.png tiles.png)

# One run: three images, one per role.
if [ "$1" = --one ]; then
    game="$2" seconds="$3"
    shift 3
    source "$here/corpus_sandbox.sh"
    dir=$(mktemp -d)
    trap 'rm -rf "$dir"' EXIT
    sandbox "$dir" "${roles[@]}"
    for i in 0 1 2; do
        ln -s "${@:i+1:1}" "$dir/Assets/${roles[i]}"
    done
    run_game "$game" "$dir" 120 "$seconds"
    err="$dir/err"
    report=$(sanitizer_report "$err")
    if [ -n "$report" ]; then
        echo "FAIL $*: $report"
        exit 0
    fi
    problem=$(ran_problem)
    if [ -n "$problem" ]; then
        echo "FAIL $*: $problem"
        exit 0
    fi
    for i in 0 1 2; do
        role=${roles[i]} name=$(basename "${@:i+1:1}")
        if grep -q "Could not load image file: ./Assets/$role" "$err"; then
            outcome=rejected
        else
            outcome=loaded
        fi
        case "$name:$outcome" in
        xcsn0g01.png:loaded | xhdn0g08.png:loaded) ;; # bad checksums only: the pixels are fine
        x*:loaded) echo "FAIL $role $name: a corrupt image loaded" && continue ;;
        x*:rejected) ;;
        *:rejected) echo "FAIL $role $name: a valid image was rejected" && continue ;;
        esac
        case "$role" in
        boat-sheet.png) grep -q "ANIMATION: Sheet of" "$err" ||
            { echo "FAIL $role $name: no warning about the frames" && continue; } ;;
        tiles.png) grep -q "TILEMAP: Sheet of" "$err" ||
            { echo "FAIL $role $name: no warning about the tiles" && continue; } ;;
        esac
        echo "OK $role $outcome"
    done
    exit 0
fi

game="$(realpath "$1")" corpus="$2" seconds="${3:-1}" jobs="${4:-4}"
# Without the shared corpora (a clone elsewhere) the run is skipped, as in corpus_tests.
[ -d "$corpus" ] || { echo "no corpus at $corpus; skipped"; exit 77; }
source "$here/corpus_sandbox.sh"
check_start "$game"
corpus="$(cd "$corpus" && pwd)"
sample=("$corpus"/x*.png)
for name in basn0g01 basn0g16 basn2c16 basn3p01 basn4a08 basn6a16 basi3p02 basi6a08 \
    s01n3p01 s09i3p02 s40n3p04 tbbn3p08 tp1n3p08 ch1n3p04 cs3n2c16 oi9n2c16 ps2n2c16 z09n2c08; do
    sample+=("$corpus/$name.png")
done
# Run i shows image i as the sheet, image i + 1 as the fish and image i + 2 as
# the tile set, so every image takes every role once.
n=${#sample[@]}
runs=()
for ((i = 0; i < n; ++i)); do
    for f in "${sample[i]}" "${sample[(i + 1) % n]}" "${sample[(i + 2) % n]}"; do
        [ -f "$f" ] || { echo "missing $f"; exit 1; }
        runs+=("$f")
    done
done
results=$(printf '%s\0' "${runs[@]}" | xargs -0 -P "$jobs" -n3 "$0" --one "$game" "$seconds")
echo "$n images, each in 3 roles, in $n runs of the game:"
grep '^OK' <<<"$results" | sort | uniq -c
if grep '^FAIL' <<<"$results"; then
    exit 1
fi
[ "$(grep -c '^OK' <<<"$results")" -eq $((n * 3)) ] || { echo "missing results"; exit 1; }
echo ok
