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

# game_settings <dir>: the game run from here on keeps its settings and data
# below <dir>, never in the machine's home nor where another run left them.
game_settings() {
    export XDG_CONFIG_HOME="$1/config" XDG_DATA_HOME="$1/data"
}

# terminate <pid> <seconds>: SIGTERM to a child of this shell, and SIGKILL if
# it has not ended <seconds> later; sets ended to its exit status, or "hung"
# when it had to be killed.
terminate() {
    local pid="$1" deadline=$((SECONDS + $2))
    kill -TERM "$pid" 2>/dev/null
    while ((SECONDS < deadline)); do
        kill -0 "$pid" 2>/dev/null || break
        sleep 0.1
    done
    if kill -0 "$pid" 2>/dev/null; then
        kill -KILL "$pid"
        wait "$pid" 2>/dev/null
        ended=hung
    else
        wait "$pid"
        ended=$?
    fi
}

# run_game <game> <dir> <seconds> [settle]: runs the game in <dir>, stdout and
# stderr to <dir>/out and <dir>/err, its settings below <dir> (game_settings),
# and sets status to its exit status. The game draws at most 30 frames a
# second: these runs only need it up, and drawing as fast as it can would
# take the processor from the tests beside them.
# Without settle, the game has <seconds> to end by itself. With settle, it has
# <seconds> to show its window, and then runs settle seconds more; one that
# shows none in that time gets status "nowindow". A game still up at the end
# is sent SIGTERM: status is then "running" (or "nowindow") and term_status
# the status it ends with, or "hung" when it had to be killed a minute later.
# Slow builds on a busy machine take their time to start and to end (the leak
# check at exit), hence the generous limits.
run_game() {
    local game="$1" dir="$2" seconds="$3" settle="${4:-}" pid deadline shown=""
    window_wait="$seconds"
    (cd "$dir" && game_settings "$dir" && mkdir -p "$XDG_CONFIG_HOME/sailhop" &&
        echo '{"max_fps": 30}' >"$XDG_CONFIG_HOME/sailhop/settings.json" &&
        exec "$game" >out 2>err) &
    pid=$!
    deadline=$((SECONDS + seconds))
    while ((SECONDS < deadline)); do
        kill -0 "$pid" 2>/dev/null || break
        # xdotool waits as long as the display does not answer.
        if [ -n "$settle" ] && timeout -k 1 5 xdotool search --pid "$pid" --name '^Game$' >/dev/null 2>&1; then
            shown=1
            sleep "$settle"
            break
        fi
        sleep 0.1
    done
    if kill -0 "$pid" 2>/dev/null; then
        status=running
        [ -z "$settle" ] || [ -n "$shown" ] || status=nowindow
        terminate "$pid" 60
        term_status="$ended"
    else
        wait "$pid"
        status=$?
    fi
}

# ran_problem: after run_game with a settle time, what went wrong with a game
# that had to show its window, run until SIGTERM and end with 0; nothing
# when all went well.
ran_problem() {
    if [ "$status" = nowindow ]; then
        echo "no window titled Game within $window_wait s"
    elif [ "$status" != running ]; then
        echo "ended with status $status; last line '$(tail -n1 "$dir/err")'"
    elif [ "$term_status" != 0 ]; then
        echo "status $term_status after SIGTERM"
    fi
}

# check_start <game>: the game on the repository's own assets must show its
# window within 30 s and end on SIGTERM, or the script fails at once with the
# game's stderr: a build that cannot start would otherwise have every run
# wait out its own limits, for many minutes in all.
check_start() {
    local dir problem=""
    dir=$(mktemp -d)
    sandbox "$dir"
    run_game "$1" "$dir" 30 1
    problem=$(ran_problem)
    if [ -n "$problem" ]; then
        echo "FAIL: the game on the repository's assets: $problem"
        echo "--- stderr"
        cat "$dir/err"
        rm -rf "$dir"
        exit 1
    fi
    rm -rf "$dir"
}

# start_xvfb <dir> <Xvfb option>...: a display of the caller's own; sets xvfb
# to the server's pid and display to its name, or fails (status 1) when it
# has not started within ten seconds. stop_xvfb ends it, within five.
start_xvfb() {
    local dir="$1"
    shift
    rm -f "$dir/display"
    Xvfb -displayfd 3 -nolisten tcp "$@" 3>"$dir/display" 2>/dev/null &
    xvfb=$!
    # It names its display once it takes connections; a busy machine is slow.
    for _ in $(seq 100); do
        [ -s "$dir/display" ] && break
        kill -0 "$xvfb" 2>/dev/null || break
        sleep 0.1
    done
    [ -s "$dir/display" ] || return 1
    display=":$(cat "$dir/display")"
}
stop_xvfb() {
    [ -n "${xvfb:-}" ] || return 0
    kill "$xvfb" 2>/dev/null
    for _ in $(seq 50); do
        kill -0 "$xvfb" 2>/dev/null || break
        sleep 0.1
    done
    kill -KILL "$xvfb" 2>/dev/null
    wait "$xvfb" 2>/dev/null
    xvfb=""
}

# sanitizer_report <file>: prints the first line of any sanitizer report.
sanitizer_report() {
    grep -m1 -E 'ERROR: (Address|Leak)Sanitizer|Sanitizer has encountered|runtime error:|SUMMARY: (Address|Undefined)' "$1"
}

ASSETS="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)/Assets"
export SDL_AUDIODRIVER="${SDL_AUDIODRIVER:-dummy}"
# GCC 12's leak check reads a bogus range from its record of dynamic TLS
# blocks now and then and crashes in its own tracer ("Tracer caught signal
# 11", "LeakSanitizer has encountered a fatal error", status 1): about one run
# in four when the font fails to load. Not keeping that record avoids it.
case "${ASAN_OPTIONS:-}" in
*intercept_tls_get_addr*) ;;
*) export ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}intercept_tls_get_addr=0" ;;
esac
# Leaks inside system libraries (D-Bus, the GL driver) are not the game's.
supp="$(dirname "$ASSETS")/tests/support/lsan.supp"
if [ -z "${LSAN_OPTIONS:-}" ] && [ -s "$supp" ]; then
    export LSAN_OPTIONS="suppressions=$supp:print_suppressions=0"
fi
