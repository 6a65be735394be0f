#!/usr/bin/env bash
# The API reference: Doxygen over the public headers with docs/Doxyfile, whose
# warnings (a public class or function without a line, a comment Doxygen
# cannot read) fail the run.
set -u
repo="$(cd "$(dirname "$0")/../.." && pwd)"
command -v doxygen >/dev/null || { echo "FAIL: doxygen not found: install scripts/deps.sh's packages"; exit 1; }
command -v dot >/dev/null || { echo "FAIL: dot not found (graphviz)"; exit 1; }
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
cd "$repo" || exit 1
# Later settings win; the Doxyfile's own WARN_AS_ERROR stays.
{
    cat docs/Doxyfile
    echo "OUTPUT_DIRECTORY = $out"
} | timeout -k 5 120 doxygen - >"$out/log" 2>&1
status=$?
if [ "$status" -ne 0 ] || grep -q 'warning:' "$out/log"; then
    echo "FAIL: doxygen: status $status"
    grep -E 'warning|error' "$out/log" | sed "s|$repo/||" | head -n 60
    exit 1
fi
[ -f "$out/html/index.html" ] && [ -f "$out/html/classEngine_1_1Engine.html" ] ||
    { echo "FAIL: no index or no page for Engine::Engine"; exit 1; }
echo "ok: the reference has no warnings ($(ls "$out/html" | grep -c '^class.*[^s]\.html$') class pages)"
