# Sourced by the package tests.

# die <message> [log]: fails with the log's last lines.
die() {
    echo "FAIL: $1"
    if [ -n "${2:-}" ] && [ -f "$2" ]; then
        echo "--- $2"
        tail -n 40 "$2"
    fi
    exit 1
}

# needs <tool>...: an X display and every tool named, or a failure saying
# which is missing.
needs() {
    [ -n "${DISPLAY:-}" ] || die "DISPLAY is not set: run under an X display (xvfb-run)"
    local tool
    for tool in "$@"; do
        command -v "$tool" >/dev/null || die "$tool not found: install scripts/deps.sh's packages"
    done
}
