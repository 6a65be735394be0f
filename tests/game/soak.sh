#!/usr/bin/env bash
# Soaks the real game binary under the current X display: random keys from
# a fixed-seed schedule, sent with xdotool to the game's window for the given
# time (runs of holding A or D, with or without SPACE, other keys between
# them, and storms of presses and releases). Then SIGTERM must end it with
# status 0 and nothing from the sanitizers, and its resident memory must not
# have grown between the first and the last part of the run (VmRSS sampled
# once a second; the first and the last minute, or quarter of a shorter run;
# the first ten seconds of start-up are left out).
#
# soak.sh <game> [seconds] [seed]
set -u
game="$(realpath "$1")" seconds="${2:-60}" seed="${3:-1}"
here="$(cd "$(dirname "$0")" && pwd)"
source "$here/game_run.sh"

cd "$(dirname "$(dirname "$here")")"
"$game" >"$out/out" 2>"$out/err" &
pid=$!
wait_for_window "$pid"
alive "its window was focused"
bounded xdotool windowactivate --sync "$wid" 2>/dev/null || bounded xdotool windowfocus --sync "$wid"

RANDOM=$seed
player=(a d space)
others=(w s Left Return Escape Shift_L q F1)
held=(0 0 0)
sent=0
actions=()
send() {
    ((${#actions[@]})) || return 0
    # Keys go to the focused window, whether or not the game is still there;
    # only a display that stopped answering makes xdotool wait.
    bounded xdotool "${actions[@]}" 2>/dev/null
    case $? in 124 | 137) fail "xdotool took over 10 s to send $((${#actions[@]} / 2)) key events" ;; esac
    sent=$((sent + ${#actions[@]} / 2))
    actions=()
}
: >"$out/rss"
start=$SECONDS
next_run=0
next_sample=0
while ((SECONDS - start < seconds)); do
    kill -0 "$pid" 2>/dev/null || break
    now=$(($(date +%s%N) / 1000000 - start * 1000))
    if ((SECONDS - start >= next_sample)); then
        echo "$((SECONDS - start)) $(awk '/^VmRSS:/ {print $2}' "/proc/$pid/status")" >>"$out/rss"
        next_sample=$((SECONDS - start + 1))
    fi
    if ((now >= next_run)); then
        # A new run: left (2 in 5), right (2 in 5) or neither, jumping or not.
        way=$((RANDOM % 5)) jump=$((RANDOM % 2))
        want=($((way < 2)) $((way == 2 || way == 3)) "$jump")
        for k in 0 1 2; do
            if ((want[k])); then
                actions+=(keydown "${player[k]}") # pressed again while held: a repeat
            elif ((held[k])); then
                actions+=(keyup "${player[k]}")
            fi
        done
        held=("${want[@]}")
        next_run=$((now + 50 + RANDOM % 2950))
    fi
    r=$((RANDOM % 100))
    if ((r < 15)); then
        key=${others[RANDOM % ${#others[@]}]}
        actions+=(keydown "$key" keyup "$key")
    elif ((r < 17)); then
        all=("${player[@]}" "${others[@]}")
        for ((i = 0; i < 100; ++i)); do
            ((RANDOM % 2)) && what=keydown || what=keyup
            actions+=("$what" "${all[RANDOM % ${#all[@]}]}")
        done
        # After the storm the player's keys are in some state; the next run
        # presses or releases each of them.
        held=(1 1 1)
    fi
    send
    sleep 0.05
done
send
for k in "${player[@]}" "${others[@]}"; do
    actions+=(keyup "$k")
done
send
alive=1
kill -0 "$pid" 2>/dev/null || alive=0
# The leak check at exit takes its time after a long run.
end_game 60

samples=$(wc -l <"$out/rss")
window=$(((samples - 10) / 4))
((window > 60)) && window=60
((window < 1)) && window=1
read -r first last < <(awk -v w="$window" '
    { t[NR] = $1; v[NR] = $2 }
    END {
        for (i = 11; i < 11 + w && i <= NR; ++i) { a += v[i]; na++ }
        for (i = NR - w + 1; i <= NR; ++i) if (i > 10) { b += v[i]; nb++ }
        printf "%d %d\n", na ? a / na : 0, nb ? b / nb : 0
    }' "$out/rss")
echo "soak: ${seconds} s, seed $seed, $sent key events sent"
echo "VmRSS KiB each minute: $(awk '$1 % 60 == 0 { printf "%s%d", n++ ? " " : "", $2 }' "$out/rss")"
echo "VmRSS KiB: at start $(head -n1 "$out/rss" | cut -d' ' -f2), average of ${window} s after start-up $first, of the last ${window} s $last, at end $(tail -n1 "$out/rss" | cut -d' ' -f2)"

[ "$alive" -eq 1 ] || fail "the game ended during the soak with status $status"
report=$(sanitizer_report "$out/err")
[ -z "$report" ] || fail "$report"
[ "$status" != hung ] || fail "still running 60 s after SIGTERM; killed"
[ "$status" -eq 0 ] || fail "status $status after SIGTERM"
# Flat: within 5 % (allocator and driver caches settle in the first minutes).
[ "$last" -le $((first + first / 20)) ] || fail "resident memory grew from $first KiB to $last KiB"
echo ok
