# Booting the test root with systemd-nspawn and running commands inside it with nsenter.
# This machine's own systemd, logind and system bus are never involved: PID 1 here is not
# systemd, and the container registers with no machine manager. Sourced, not run.

NSPAWN_PID=
CONTAINER_PID=
NSPAWN_STATUS=

# The host mounts a hybrid cgroup hierarchy, on which the container's systemd does not boot
# unless nspawn gives it the unified one.
boot_container() {
    local root=$1 console_log=$2
    SYSTEMD_NSPAWN_UNIFIED_HIERARCHY=1 systemd-nspawn --quiet --boot --private-network --register=no --keep-unit \
        --console=read-only --machine=tarnix-systest --directory="$root" >"$console_log" 2>&1 </dev/null &
    NSPAWN_PID=$!
}

nspawn_running() {
    [ -n "$NSPAWN_PID" ] && kill -0 "$NSPAWN_PID" 2>/dev/null
}

# The container's init is the child of nspawn that is process 1 in its own pid namespace.
find_container_init() {
    local child
    for child in $(cat /proc/"$NSPAWN_PID"/task/*/children 2>/dev/null); do
        if awk '$1 == "NSpid:" && $NF == 1 { found = 1 } END { exit !found }' /proc/"$child"/status 2>/dev/null; then
            echo "$child"
            return 0
        fi
    done
    return 1
}

wait_for_container_init() {
    local seconds=$1 i
    for ((i = 0; i < seconds * 5; i++)); do
        if ! nspawn_running; then return 1; fi
        if CONTAINER_PID=$(find_container_init); then return 0; fi
        sleep 0.2
    done
    return 1
}

container_running() {
    nspawn_running && [ -n "$CONTAINER_PID" ] && [ -e "/proc/$CONTAINER_PID/ns/pid" ]
}

# Runs a command in the container, as root, with a clean environment. The timeout runs inside,
# so that it ends the command itself and not only nsenter; the outer one is a backstop should
# the container stop answering.
ct_timeout() {
    local seconds=$1
    shift
    container_running || return 125
    timeout --kill-after=5 $((seconds + 10)) nsenter --target "$CONTAINER_PID" --mount --uts --ipc --net --pid --cgroup \
        env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin LANG=C.UTF-8 HOME=/root TERM=dumb SYSTEMD_PAGER= \
        timeout --kill-after=5 "$seconds" "$@"
}

ct() {
    ct_timeout 60 "$@"
}

# "degraded" will do: a minimal root in a container usually has a unit or two that fail there.
wait_until_booted() {
    local seconds=$1 state
    state=$(ct_timeout "$seconds" systemctl is-system-running --wait 2>/dev/null) || true
    echo "System state: ${state:-unknown}"
    [ "$state" = running ] || [ "$state" = degraded ]
}

# Returns 0 when nspawn has ended within the given seconds; its exit status is kept.
wait_for_nspawn_exit() {
    local seconds=$1 i
    for ((i = 0; i < seconds * 5; i++)); do
        if ! nspawn_running; then
            NSPAWN_STATUS=0
            wait "$NSPAWN_PID" || NSPAWN_STATUS=$?
            NSPAWN_PID=
            return 0
        fi
        sleep 0.2
    done
    return 1
}

# nspawn turns SIGTERM into an orderly power-off of the container; a container that does not
# finish in time is killed.
stop_container() {
    if ! nspawn_running; then return 0; fi
    kill -TERM "$NSPAWN_PID" 2>/dev/null || true
    if ! wait_for_nspawn_exit 30; then
        kill -KILL "$NSPAWN_PID" 2>/dev/null || true
        wait_for_nspawn_exit 10 || true
    fi
}
