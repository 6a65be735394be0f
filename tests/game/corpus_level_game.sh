#!/usr/bin/env bash
# The real game binary with each file of JSONTestSuite's parsing corpus as its
# level file. A file that is no level must end the game with status 255 and,
# as the last line on stderr, the red line
#   LEVEL: Could not load level file ./Assets/level1.json: <reason>
# (a valid JSON file never with a parse error as the reason); one that is a
# level must leave the game running. Never a signal, a hang or a sanitizer
# report. A few well-formed but odd levels written here (w_ files: tile
# numbers that name no tile, tiles of one pixel and tiles larger than the
# tile set, no board, a long floor, a tile-set path that is no image) must
# all run.
#
# corpus_level_game.sh <game> <corpus dir> all|<n> [jobs]
# <n> takes every n-th file of each class: every file already goes through
# the same reader in-process (LevelCorpus) in every build, so the binary needs
# only some of each outcome.
set -u
here="$(cd "$(dirname "$0")" && pwd)"

if [ "$1" = --one ]; then
    game="$2" file="$3"
    source "$here/corpus_sandbox.sh"
    dir=$(mktemp -d)
    trap 'rm -rf "$dir"' EXIT
    sandbox "$dir" level1.json
    ln -s "$file" "$dir/Assets/level1.json"
    name=$(basename "$file")
    class=${name%%_*}
    if [ "$class" = w ]; then
        run_game "$game" "$dir" 120 2
    else
        run_game "$game" "$dir" 120
    fi
    report=$(sanitizer_report "$dir/err")
    esc=$'\e'
    last=$(tail -n1 "$dir/err")
    prefix="${esc}[0;31mLEVEL: Could not load level file ./Assets/level1.json: "
    reason=${last#"$prefix"}
    reason=${reason%"${esc}[0m"}
    if [ -n "$report" ]; then
        echo "FAIL $class $name: $report"
    elif [ "$status" = running ]; then
        if [ "$term_status" = 0 ]; then
            echo "OK $class runs $name"
        else
            echo "FAIL $class $name: status $term_status after SIGTERM"
        fi
    elif [ "$status" = nowindow ]; then
        echo "FAIL $class $name: no window titled Game within 120 s"
    elif [ "$class" = w ]; then
        echo "FAIL $class $name: status $status; last line '$last'"
    elif [ "$status" -ne 255 ]; then
        echo "FAIL $class $name: status $status"
    elif [ "$reason" = "$last" ] || [ "$last" != "$prefix$reason${esc}[0m" ] || [ -z "$reason" ]; then
        echo "FAIL $class $name: last line is '$last'"
    elif [ "$class" = y ] && [[ "$reason" == *parse_error* ]]; then
        echo "FAIL $class $name: valid JSON reported as malformed: $reason"
    else
        # The kind of reason: the library's error id, or our own wording.
        if [[ "$reason" =~ ^\[json\.exception\.([a-z_]+\.[0-9]+)\] ]]; then
            kind=${BASH_REMATCH[1]}
        else
            kind=$(sed -E 's/-?[0-9]+/N/g' <<<"$reason")
        fi
        echo "OK $class fails: $kind"
    fi
    exit 0
fi

game="$(realpath "$1")" corpus="$2" mode="$3" jobs="${4:-8}"
# Without the shared corpora (a clone elsewhere) the run is skipped, as in corpus_tests.
[ -d "$corpus" ] || { echo "no corpus at $corpus; skipped"; exit 77; }
source "$here/corpus_sandbox.sh"
check_start "$game"
mapfile -t files < <(find "$(cd "$corpus" && pwd)" -name '*.json' | sort)
if [ "$mode" != all ]; then
    picked=()
    declare -A seen=()
    for f in "${files[@]}"; do
        c=$(basename "$f")
        c=${c%%_*}
        n=${seen[$c]:-0}
        seen[$c]=$((n + 1))
        if [ $((n % mode)) -eq 0 ]; then
            picked+=("$f")
        fi
    done
    files=("${picked[@]}")
fi

# Well-formed levels that the game must play.
odd=$(mktemp -d)
trap 'rm -rf "$odd"' EXIT
level() { # <name> <tile set> <tile w> <tile h> <board>
    printf '{"tilemap_path": "%s", "tile_w": %s, "tile_h": %s, "board": %s}\n' "$2" "$3" "$4" "$5" \
        >"$odd/w_$1.json"
    files+=("$odd/w_$1.json")
}
floor="[-1, -1, -1, -1, -1, 2]"
long="$floor"
for ((i = 0; i < 2000; ++i)); do long+=", $floor"; done
level no_such_tiles ./Assets/tiles.png 64 64 "[[99, -7, 2147483647, -2147483648], [0, 1, 2], [], [-1]]"
level one_pixel_tiles ./Assets/tiles.png 1 1 "[[0, 1, 2, 3], [4, 5, 6, 7, 8, 9, 10, 11, 12]]"
level tiles_larger_than_the_set ./Assets/tiles.png 4096 4096 "[[0, 0], [1], $floor]"
level cut_tile_size ./Assets/tiles.png 64.9 64.2 "[$floor, $floor]"
level no_board ./Assets/tiles.png 64 64 "[]"
level long_floor ./Assets/tiles.png 64 64 "[$long]"
level tile_set_is_a_directory ./Assets 64 64 "[$floor]"
level tile_set_is_the_level ./Assets/level1.json 64 64 "[$floor]"
level no_tile_set "" 64 64 "[$floor]"

results=$(printf '%s\0' "${files[@]}" | xargs -0 -P "$jobs" -n1 "$0" --one "$game")
echo "${#files[@]} files:"
sed -E 's/^OK ([a-z]) (fails|runs).*/\1_ \2/' <<<"$(grep '^OK' <<<"$results")" | sort | uniq -c
echo "reasons:"
grep '^OK . fails' <<<"$results" | sed 's/^OK . fails: //' | sort | uniq -c
if grep '^FAIL' <<<"$results"; then
    exit 1
fi
[ "$(grep -c '^OK' <<<"$results")" -eq "${#files[@]}" ] || { echo "missing results"; exit 1; }
echo ok
