#!/usr/bin/env bash
# The package on a real systemd: installs it for the first time in a booted Debian 12 container
# and runs tests/system/checks.sh against it. Usage: system-test.sh PACKAGE.deb
# Needs root, debootstrap and systemd-container. The root is made once under build-system/ and
# reused; each run boots a fresh copy of it.
set -uo pipefail
HERE=$(cd "$(dirname "$0")" && pwd)
SOURCE=$(cd "$HERE/../.." && pwd)
WORK=$SOURCE/build-system
BASE=$WORK/base
RUN_ROOT=$WORK/run

. "$HERE/root.sh"
. "$HERE/container.sh"
. "$SOURCE/tests/system/checks.sh"

cleanup() {
    stop_container
    unmount_chroot
}

main() {
    local deb=$1 started=$SECONDS
    if [ "$(id -u)" -ne 0 ]; then
        echo "The system test needs root (debootstrap, chroot, systemd-nspawn)" >&2
        return 2
    fi
    mkdir -p "$WORK"
    make_base_root "$BASE" || return 1
    echo "Fetching the package's dependencies into the root's apt cache"
    download_package_dependencies "$BASE" "$deb" || return 1
    copy_root "$BASE" "$RUN_ROOT"

    echo "Booting the container (console in $WORK/console.log)"
    boot_container "$RUN_ROOT" "$WORK/console.log"
    if ! wait_for_container_init 30 || ! wait_until_booted 120; then
        echo "The container did not boot; the end of its console:" >&2
        tail -n 30 "$WORK/console.log" >&2
        return 1
    fi
    echo "Booted after $((SECONDS - started)) s"

    run_checks "/root/$(basename "$deb")"
    echo "$PASSED passed, $FAILED failed"
    echo "The system test took $((SECONDS - started)) s; the container's journal stays in $RUN_ROOT/var/log/journal"
    [ "$FAILED" -eq 0 ]
}

if [ $# -ne 1 ] || [ ! -f "$1" ]; then
    echo "usage: $0 PACKAGE.deb" >&2
    exit 2
fi
trap cleanup EXIT
trap 'exit 130' INT TERM
main "$(cd "$(dirname "$1")" && pwd)/$(basename "$1")"
