#!/usr/bin/env bash
# The real game binary with each of its seven assets missing, and truncated
# to half its length, in turn: 14 runs, each with its expected outcome below,
# and a run without the Assets directory.
# Never a signal, a hang or a sanitizer report.
#
# bad_assets.sh <game> [jobs]
set -u
here="$(cd "$(dirname "$0")" && pwd)"
source "$here/corpus_sandbox.sh"

esc=$'\e'
red() { printf '%s[0;31m%s%s[0m' "$esc" "$1" "$esc"; }
level_line() { red "LEVEL: Could not load level file ./Assets/level1.json: $1"; }
# The start of a red line, for matching as a prefix.
red_start() { printf '%s[0;31m%s*' "$esc" "$1"; }
image_line() { red "GL TEXTURE2D: Could not load image file: ./Assets/$1"; }

# case | asset | how | expected end (255 or "runs") | lines that must be on stderr
# (a line ending in * is matched as a prefix; one starting with ! must not be
# there at all)
cases=(
    "level missing|level1.json|missing|255|$(level_line "cannot open: No such file or directory")"
    "level truncated|level1.json|half|255|$(red_start "LEVEL: Could not load level file ./Assets/level1.json: [json.exception.parse_error.101] parse error at ")"
    # The stages compile from nothing or from a cut-off source; the program
    # links without the uniforms, and the first frame's upload is fatal.
    "shader missing|Shaders/basic.shader|missing|255|$(red "SHADER: Could not open shader file: ./Assets/Shaders/basic.shader")|$(red "SHADER: Uniform u_ViewProjection does not exist")"
    "shader truncated|Shaders/basic.shader|half|255|GL SHADER: vertex shader compile status: 0|$(red "SHADER: Uniform u_ViewProjection does not exist")"
    # Images warn and draw nothing: the boat and the tiles have no cells.
    "boat sheet missing|boat-sheet.png|missing|runs|$(image_line boat-sheet.png)|$(red "ANIMATION: Sheet of 0x0 pixels holds no whole 64x64 frame; nothing is drawn")"
    "boat sheet truncated|boat-sheet.png|half|runs|$(image_line boat-sheet.png)|$(red "ANIMATION: Sheet of 0x0 pixels holds no whole 64x64 frame; nothing is drawn")"
    "fish missing|fish.png|missing|runs|$(image_line fish.png)"
    "fish truncated|fish.png|half|runs|$(image_line fish.png)"
    "tile set missing|tiles.png|missing|runs|$(image_line tiles.png)|$(red "TILEMAP: Sheet of 0x0 pixels holds no whole 64x64 tile; nothing is drawn")"
    "tile set truncated|tiles.png|half|runs|$(image_line tiles.png)|$(red "TILEMAP: Sheet of 0x0 pixels holds no whole 64x64 tile; nothing is drawn")"
    # No face, so no atlas and no text; the game runs on.
    "font missing|SGK100.ttf|missing|runs|FT ERROR: \"cannot open resource\" in function FT_New_Face*"
    "font truncated|SGK100.ttf|half|runs|FT ERROR: \"unknown file format\" in function FT_New_Face*"
    "music missing|piano2.wav|missing|runs|Could not open audio file: Couldn't open ./Assets/piano2.wav"
    # SDL reads the whole sample frames present: the first half plays, looping.
    "music truncated|piano2.wav|half|runs|!Could not open audio file*"
    # Started from the wrong directory: every asset is missing, and the level,
    # read last, ends the game.
    "no Assets directory|Assets|none|255|FT ERROR: \"cannot open resource\" in function FT_New_Face*|$(red "SHADER: Could not open shader file: ./Assets/Shaders/basic.shader")|$(image_line boat-sheet.png)|$(image_line fish.png)|Could not open audio file: Couldn't open ./Assets/piano2.wav|$(level_line "cannot open: No such file or directory")"
)

run_case() {
    local entry="$1" name asset how expect dir size line
    IFS='|' read -r name asset how expect _ <<<"$entry"
    dir=$(mktemp -d)
    [ "$how" = none ] || sandbox "$dir" "$asset"
    if [ "$how" = half ]; then
        size=$(stat -c %s "$ASSETS/$asset")
        mkdir -p "$(dirname "$dir/Assets/$asset")"
        head -c $((size / 2)) "$ASSETS/$asset" >"$dir/Assets/$asset"
    fi
    if [ "$expect" = runs ]; then
        run_game "$game" "$dir" 120 "$settle"
    else
        run_game "$game" "$dir" 120
    fi
    local problem=""
    report=$(sanitizer_report "$dir/err")
    if [ -n "$report" ]; then
        problem="$report"
    elif [ "$expect" = runs ]; then
        problem=$(ran_problem)
        if [ -z "$problem" ] && ! grep -qx 'WINDOW: Window created!' "$dir/err"; then
            problem="no window"
        fi
    elif [ "$status" != "$expect" ]; then
        problem="status $status, expected $expect"
    fi
    # The expected lines, in order of the fields after the fourth.
    IFS='|' read -r -a fields <<<"$entry"
    for line in "${fields[@]:4}"; do
        if [[ "$line" == '!'* ]]; then
            line=${line#!}
            ! grep -qF -- "${line%'*'}" "$dir/err" || problem+=" unexpected line '${line%'*'}...'"
        elif [[ "$line" == *'*' ]]; then
            grep -qF -- "${line%'*'}" "$dir/err" || problem+=" missing line '${line%'*'}...'"
        else
            grep -qxF -- "$line" "$dir/err" || problem+=" missing line '$line'"
        fi
    done
    if [ "$expect" = 255 ] && [ -z "$problem" ]; then
        # The fatal line is the last thing the game says.
        last=$(tail -n1 "$dir/err")
        [[ "$last" == *"${fields[-1]%'*'}"* ]] || problem="last line is '$last'"
    fi
    if [ -n "$problem" ]; then
        echo "FAIL $name:$problem"
        echo "--- stderr"
        cat "$dir/err"
    else
        echo "ok   $name: $([ "$expect" = runs ] && echo "runs, ends 0 on SIGTERM" || echo "ends $status")"
    fi
    rm -rf "$dir"
}

if [ "${1:-}" = --one ]; then
    game="$2" settle="$3"
    run_case "$4"
    exit 0
fi

game="$(realpath "$1")" jobs="${2:-4}" settle=2
check_start "$game"
results=$(printf '%s\0' "${cases[@]}" | xargs -0 -P "$jobs" -n1 "$0" --one "$game" "$settle")
echo "$results"
if grep -q '^FAIL' <<<"$results"; then
    exit 1
fi
[ "$(grep -c '^ok' <<<"$results")" -eq "${#cases[@]}" ] || { echo "missing results"; exit 1; }
