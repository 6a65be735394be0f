# Sourced by the scripts that run the real game binary: a scratch directory
# removed on exit, a failure report with the game's stderr, and the wait for
# the game's own window (other programs may have windows on the display).
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
fail() { echo "FAIL: $*"; echo "--- stderr"; cat "$out/err"; exit 1; }

# wait_for_window <pid>: sets wid to the id of the window titled Game that
# the process shows, or fails after ten seconds.
wait_for_window() {
    wid=""
    for _ in $(seq 50); do
        wid=$(xdotool search --pid "$1" --name '^Game$' 2>/dev/null | head -n1)
        [ -n "$wid" ] && return 0
        sleep 0.2
    done
    fail "no window titled Game"
}
