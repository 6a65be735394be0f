# Sourced by the scripts that run the real game on substituted content.
#
# sandbox <dir> <asset>...: makes <dir>/Assets mirror the repository's Assets
# through symbolic links, leaving out the named assets (paths below Assets/),
# so the caller can put its own file in their place.
sandbox() {
    local dir="$1" skip a rel
    shift
    mkdir -p "$dir/Assets"
    while IFS= read -r a; do
        rel="${a#"$ASSETS"/}"
        for skip in "$@"; do
            [ "$rel" = "$skip" ] && continue 2
        done
        mkdir -p "$dir/Assets/$(dirname "$rel")"
        ln -s "$a" "$dir/Assets/$rel"
    done < <(find "$ASSETS" -type f)
}

# run_game <game> <dir> <seconds>: runs the game in <dir> for at most
# <seconds>, stdout and stderr to <dir>/out and <dir>/err. Sets status to the
# exit status, or to "running" when the game was still up at the end; it is
# then ended with SIGTERM and term_status is its status, or "hung" when it
# had to be killed ten seconds later.
run_game() {
    local game="$1" dir="$2" seconds="$3" pid i
    (cd "$dir" && exec "$game" >out 2>err) &
    pid=$!
    for ((i = 0; i < seconds * 10; ++i)); do
        kill -0 "$pid" 2>/dev/null || break
        sleep 0.1
    done
    if kill -0 "$pid" 2>/dev/null; then
        status=running
        kill -TERM "$pid"
        for ((i = 0; i < 100; ++i)); do
            kill -0 "$pid" 2>/dev/null || break
            sleep 0.1
        done
        if kill -0 "$pid" 2>/dev/null; then
            kill -KILL "$pid"
            wait "$pid"
            term_status=hung
        else
            wait "$pid"
            term_status=$?
        fi
    else
        wait "$pid"
        status=$?
    fi
}

# sanitizer_report <file>: prints the first line of any sanitizer report.
sanitizer_report() {
    grep -m1 -E 'ERROR: (Address|Leak)Sanitizer|runtime error:|SUMMARY: (Address|Undefined)' "$1"
}

ASSETS="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)/Assets"
export SDL_AUDIODRIVER="${SDL_AUDIODRIVER:-dummy}"
# Leaks inside system libraries (D-Bus, the GL driver) are not the game's.
supp="$(dirname "$ASSETS")/tests/lsan.supp"
if [ -z "${LSAN_OPTIONS:-}" ] && [ -s "$supp" ]; then
    export LSAN_OPTIONS="suppressions=$supp:print_suppressions=0"
fi
