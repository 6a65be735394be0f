#!/usr/bin/env bash
# The real game binary without an audio device, and without a display.
#   no audio: SDL's audio driver does not exist; the game says "Couldn't open
#     audio: " and runs silent until SIGTERM ends it with status 0.
#   no display, x11 named: SDL cannot start its video; a clear message and 255.
#   no display, SDL left to choose: whatever video driver SDL falls back to,
#     a clear message as the last line and 255.
#   DISPLAY naming a display that does not exist: the same.
#   an X display without OpenGL (GLX): no window, no context; 255.
#   a display that comes up a moment after the game starts (as an X server
#     refuses connections while it resets): the game reaches it on a later
#     try, shows its window and ends 0 on SIGTERM.
# Never a signal or a sanitizer report.
#
# no_device.sh <game>
set -u
here="$(cd "$(dirname "$0")" && pwd)"
source "$here/corpus_sandbox.sh"
game="$(realpath "$1")"
check_start "$game"
esc=$'\e'
failed=0

check() { # <case name> <problem or empty>
    if [ -n "$2" ]; then
        echo "FAIL $1: $2"
        echo "--- stderr"
        cat "$dir/err"
        failed=1
    else
        echo "ok   $1"
    fi
}

dir=$(mktemp -d)
xvfb=""
trap '[ -z "$xvfb" ] || kill -KILL "$xvfb" 2>/dev/null; rm -rf "$dir"' EXIT
sandbox "$dir"

SDL_AUDIODRIVER=no-such-driver run_game "$game" "$dir" 120 2
problem=$(sanitizer_report "$dir/err")
if [ -z "$problem" ]; then
    problem=$(ran_problem)
    if [ -z "$problem" ] && ! grep -q "^Couldn't open audio: " "$dir/err"; then
        problem="no \"Couldn't open audio: \" line"
    fi
fi
check "no audio device: runs silent" "$problem"

# The fatal line: red, the last one written.
fatal_last() {
    local last
    last=$(tail -n1 "$dir/err")
    [[ "$last" == "${esc}[0;31m"*"${esc}[0m" ]] || echo "last line is '$last'"
}

(unset DISPLAY WAYLAND_DISPLAY; SDL_VIDEODRIVER=x11 run_game "$game" "$dir" 120; echo "$status" >"$dir/status")
status=$(cat "$dir/status")
problem=$(sanitizer_report "$dir/err")
if [ -z "$problem" ]; then
    if [ "$status" != 255 ]; then
        problem="status $status"
    elif ! grep -q '^WINDOW: SDL could not initialize! SDL Error: ' "$dir/err"; then
        problem="no WINDOW line"
    elif ! grep -qxF "${esc}[0;31mENGINE: Cannot run without a window and an OpenGL context; is a display available?${esc}[0m" "$dir/err"; then
        problem="no ENGINE line"
    else
        problem=$(fatal_last)
    fi
fi
check "no display, x11 driver: ends 255" "$problem"

(unset DISPLAY WAYLAND_DISPLAY SDL_VIDEODRIVER; run_game "$game" "$dir" 120; echo "$status" >"$dir/status")
status=$(cat "$dir/status")
problem=$(sanitizer_report "$dir/err")
if [ -z "$problem" ]; then
    if [ "$status" != 255 ]; then
        problem="status $status"
    else
        problem=$(fatal_last)
    fi
fi
check "no display, driver of SDL's choice: ends 255 with '$(tail -n1 "$dir/err" | sed "s/$esc\[[0-9;]*m//g")'" "$problem"
(unset WAYLAND_DISPLAY SDL_VIDEODRIVER; DISPLAY=:4093 run_game "$game" "$dir" 120; echo "$status" >"$dir/status")
status=$(cat "$dir/status")
problem=$(sanitizer_report "$dir/err")
[ -n "$problem" ] || [ "$status" = 255 ] || problem="status $status"
[ -n "$problem" ] || problem=$(fatal_last)
check "DISPLAY names no display: ends 255" "$problem"

if start_xvfb "$dir" -screen 0 1280x800x24 -extension GLX; then
    (unset WAYLAND_DISPLAY SDL_VIDEODRIVER; DISPLAY="$display" run_game "$game" "$dir" 120; echo "$status" >"$dir/status")
    status=$(cat "$dir/status")
    problem=$(sanitizer_report "$dir/err")
else
    : >"$dir/err"
    problem="Xvfb without GLX did not start within 10 s"
fi
stop_xvfb
if [ -z "$problem" ]; then
    if [ "$status" != 255 ]; then
        problem="status $status"
    elif ! grep -qF "${esc}[0;31mWINDOW: Could not create context: " "$dir/err"; then
        problem="no context line"
    else
        problem=$(fatal_last)
    fi
fi
check "X display without GLX: ends 255" "$problem"

# A display number nobody uses, brought up a third of a second after the game.
n=$((200 + $$ % 500))
while [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ]; do n=$((n + 1)); done
(sleep 0.3; exec Xvfb ":$n" -screen 0 1280x800x24 -nolisten tcp 2>/dev/null) &
xvfb=$!
(unset WAYLAND_DISPLAY SDL_VIDEODRIVER; DISPLAY=":$n" run_game "$game" "$dir" 60 1
 ran_problem >"$dir/status")
stop_xvfb
problem=$(sanitizer_report "$dir/err")
[ -n "$problem" ] || problem=$(cat "$dir/status")
tries=$(sed -n 's/.*reached it on try \([0-9]*\).*/\1/p' "$dir/err")
check "display up a moment after the start: shows the window (try ${tries:-1})" "$problem"
exit $failed
