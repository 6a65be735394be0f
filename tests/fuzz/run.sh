#!/usr/bin/env bash
# run.sh BUILD_DIR [TARGET...]: runs each fuzz target of BUILD_DIR (a GAME_FUZZ
# build) for FUZZ_SECONDS seconds (default 60), FUZZ_JOBS at once (default as
# many as there are cores). Seeds come from tests/fuzz/seeds, Assets/ and ../shared/testdata;
# what a run finds stays in BUILD_DIR/fuzz-work/corpus for the next run.
# Exits non-zero if any target crashed, leaked, hung or ran out of memory;
# the input that did it is left in BUILD_DIR/fuzz-work/artifacts/TARGET/.
set -uo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
build="$(cd "$1" && pwd)"
shift
targets=("$@")
[ ${#targets[@]} -eq 0 ] && targets=(level shader clip image tiled)
seconds="${FUZZ_SECONDS:-60}"
shared="$root/../shared/testdata"
work="$build/fuzz-work"

# Seed directories of a target, one a line; single files are copied into one.
seeds() {
    local name="$1" extra="$work/extra/$1"
    rm -rf "$extra" && mkdir -p "$extra"
    echo "$root/tests/fuzz/seeds/$name"
    case "$name" in
    level)
        cp "$root/Assets/level1.json" "$extra/"
        [ -d "$shared/jsontestsuite/test_parsing" ] && echo "$shared/jsontestsuite/test_parsing" ;;
    shader)
        cp "$root"/Assets/Shaders/*.shader "$extra/" ;;
    clip)
        # The music's head: a real header and the first samples.
        head -c 8192 "$root/Assets/piano2.wav" >"$extra/piano2-head.wav"
        # Short Ogg Vorbis files of Debian's sound-theme-freedesktop.
        for f in audio-volume-change dialog-information phone-outgoing-calling; do
            cp "/usr/share/sounds/freedesktop/stereo/$f.oga" "$extra/" 2>/dev/null
        done ;;
    image)
        cp "$root"/Assets/*.png "$extra/"
        [ -d "$shared/pngsuite/png" ] && echo "$shared/pngsuite/png" ;;
    tiled)
        # The hand-written maps and tile sets the tests read.
        echo "$root/tests/tiled/data" ;;
    esac
    echo "$extra"
}

max_len() {
    case "$1" in
    level) echo 65536 ;;
    shader) echo 4096 ;;
    clip) echo 16384 ;;
    image) echo 131072 ;;
    tiled) echo 65536 ;;
    esac
}

run_one() {
    local name="$1" bin="$build/tests/fuzz/fuzz_$1"
    local corpus="$work/corpus/$name" artifacts="$work/artifacts/$name/" log="$work/$name.log"
    mkdir -p "$corpus" "$artifacts"
    mapfile -t dirs < <(seeds "$name")
    "$bin" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -max_len="$(max_len "$name")" \
        -dict="$root/tests/fuzz/dict/$name.dict" -artifact_prefix="$artifacts" \
        -print_final_stats=1 "$corpus" "${dirs[@]}" >"$log" 2>&1
    echo $? >"$work/$name.rc"
}

# SDL's WAV loader and the PNG decoder reserve a chunk's declared size (up to
# 4 GiB) before reading it, then fail or keep what the file really holds.
# Refusing allocations over 256 MiB takes their out-of-memory path instead,
# which must be as clean, and spares poisoning gigabytes of shadow per run.
# Later settings win, so these hold whatever the caller set.
export ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=1:max_allocation_size_mb=256:allocator_may_return_null=1"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:+$UBSAN_OPTIONS:}halt_on_error=1:print_stacktrace=1"
export LSAN_OPTIONS="${LSAN_OPTIONS:+$LSAN_OPTIONS:}suppressions=$root/tests/support/lsan.supp:print_suppressions=0"
export SDL_AUDIODRIVER=dummy

mkdir -p "$work"
parallel="${FUZZ_JOBS:-$(nproc)}"
running=0
for name in "${targets[@]}"; do
    rm -f "$work/$name.rc"
    [ -x "$build/tests/fuzz/fuzz_$name" ] || continue
    if [ "$running" -ge "$parallel" ]; then
        wait -n
        running=$((running - 1))
    fi
    run_one "$name" &
    running=$((running + 1))
done
wait

failed=0
for name in "${targets[@]}"; do
    log="$work/$name.log"
    rc="$(cat "$work/$name.rc" 2>/dev/null || echo "no binary")"
    runs="$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" 2>/dev/null | tail -1)"
    found="$(find "$work/corpus/$name" -type f 2>/dev/null | wc -l)"
    if [ "$rc" = 0 ]; then
        echo "fuzz $name: ${runs:-?} runs in ${seconds} s, $found inputs in its corpus, no failure"
    else
        failed=1
        echo "fuzz $name: FAILED ($rc) after ${runs:-?} runs; the input is in $work/artifacts/$name/" >&2
        grep -v '^Could not open audio file\|^INFO\|^#' "$log" 2>/dev/null | tail -60 >&2
    fi
done
exit "$failed"
