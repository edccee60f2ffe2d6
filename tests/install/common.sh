# What the install tests share: a temporary folder removed at the end, with any program still
# running in it (pid holds one or more process ids), and a failure that says what went wrong.
# Sourced, not run.
tmp=$(mktemp -d)
pid=
cleanup() {
    for p in $pid; do kill -KILL "$p" 2>/dev/null || true; done
    rm -rf "$tmp"
}
trap cleanup EXIT
fail() {
    echo "FAIL: $*" >&2
    exit 1
}
