# Sourced by the scripts that run the real game binary: a scratch directory
# removed on exit, which also holds the game's settings, a failure report with
# the game's stderr, the wait for the game's own window (other programs may
# have windows on the display), and limits on the waits that follow: import
# and xdotool wait forever on a window that is gone, so a game that dies or
# hangs must fail the test in seconds instead of stalling it.
source "$(dirname "${BASH_SOURCE[0]}")/corpus_sandbox.sh"

out=$(mktemp -d)
game_settings "$out"
game_pid=""
trap 'end_game 5; rm -rf "$out"' EXIT

# fail <message>: stops the game if it still runs, so that its stderr is
# whole, or says how it ended, and exits 1.
fail() {
    local how=""
    if [ -n "$game_pid" ]; then
        if kill -0 "$game_pid" 2>/dev/null; then
            end_game 10
        else
            wait "$game_pid"
            how=" (the game had ended by itself with status $?)"
            game_pid=""
        fi
    fi
    echo "FAIL: $*$how"
    echo "--- stderr"
    cat "$out/err"
    exit 1
}

# end_game <seconds>: SIGTERM to the game, and SIGKILL if it has not ended
# <seconds> later; sets status to its exit status, or "hung" when it had to be
# killed.
end_game() {
    [ -n "$game_pid" ] || return 0
    terminate "$game_pid" "$1"
    status="$ended"
    game_pid=""
}

# stop_cleanly [what]: the game must still run, and end within 30 s of SIGTERM
# (a sanitizer build checks for leaks at exit) with status 0; <what> names the
# run in the messages.
stop_cleanly() {
    local what="${1:+$1: }"
    alive "SIGTERM${1:+ ($1)}"
    end_game 30
    [ "$status" != hung ] || fail "${what}still running 30 s after SIGTERM; killed"
    [ "$status" -eq 0 ] || fail "${what}exit status $status after SIGTERM"
}

# alive <what>: fails at once when the game has ended before <what>.
alive() {
    kill -0 "$game_pid" 2>/dev/null || fail "the game ended before $1"
}

# bounded <command>...: the command, killed if it takes over ten seconds.
bounded() {
    timeout -k 2 10 "$@"
}

# on_window <what> <command>...: a command on the game's window, once the game
# is known to be up; fails when the command fails or hangs.
on_window() {
    local what="$1"
    shift
    alive "$what"
    bounded "$@" || fail "$what: '$1' failed or took over 10 s"
}

# wait_for_window <pid>: sets wid to the id of the window titled Game that
# the process shows; fails at once when the process ends first, or after
# twenty seconds (a sanitizer build starts slowly on a busy machine). The
# process is the game that fail and end_game then stop.
wait_for_window() {
    local deadline=$((SECONDS + 20))
    game_pid="$1"
    wid=""
    while ((SECONDS < deadline)); do
        kill -0 "$1" 2>/dev/null || fail "no window titled Game"
        wid=$(bounded xdotool search --pid "$1" --name '^Game$' 2>/dev/null | head -n1)
        [ -n "$wid" ] && return 0
        sleep 0.2
    done
    fail "no window titled Game within 20 s"
}
