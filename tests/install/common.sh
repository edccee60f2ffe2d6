# What the install tests share: a temporary folder removed at the end, with any program still
# running in it, and a failure that says what went wrong. Sourced, not run.
tmp=$(mktemp -d)
pid=
cleanup() {
    if [ -n "$pid" ]; then kill -KILL "$pid" 2>/dev/null || true; fi
    rm -rf "$tmp"
}
trap cleanup EXIT
fail() {
    echo "FAIL: $*" >&2
    exit 1
}
