# What an administrator relies on once the package is installed on a computer that runs
# systemd: each check drives the booted test container from outside, through ct (a command run
# in it as root) from tools/systemtest/container.sh. The last one powers the container off.
# Sourced by tools/systemtest/system-test.sh, not run.

PASSED=0
FAILED=0
DEB_IN_CONTAINER=
SLAVE_INI=/etc/tarnix/TarnixS.ini
MASTER_INI=/etc/tarnix/TarnixM.ini
PEER=/root/peer
GOOD_SLAVE_INI=/root/TarnixS.good.ini

pass() {
    echo "ok - $1"
    PASSED=$((PASSED + 1))
}

fail() {
    echo "not ok - $1: $2"
    FAILED=$((FAILED + 1))
}

# The end of a check that gathers its faults in the caller's array `problems`: not ok with all of
# them, or ok, with what it measured after the name.
report() {
    if [ ${#problems[@]} -gt 0 ]; then
        fail "$1" "$(
            IFS=';'
            echo "${problems[*]}"
        )"
    else
        pass "$1${2:+ ($2)}"
    fi
}

# wait_until SECONDS COMMAND...: true as soon as the command is.
wait_until() {
    local seconds=$1 i
    shift
    for ((i = 0; i < seconds * 2; i++)); do
        if "$@"; then return 0; fi
        sleep 0.5
    done
    return 1
}

unit_property() { ct systemctl show --property="$2" --value "$1"; }
unit_state() { echo "$(unit_property "$1" ActiveState)/$(unit_property "$1" SubState)"; }
unit_active() { [ "$(unit_property "$1" ActiveState)" = active ]; }
main_pid() { unit_property "$1" MainPID; }

# A field of `tarnixctl --slave status` as printed ("Phase", "Time left").
slave_status_field() {
    ct tarnixctl --slave status 2>/dev/null | awk -v field="$1" 'index($0, field) == 1 { print $NF }'
}
slave_phase_is() { [ "$(slave_status_field Phase)" = "$1" ]; }

# Without procps there is no kill program, only the shell's.
send_signal() { ct sh -c 'kill -s "$1" "$2"' kill "$1" "$2"; }

as_user() {
    local user=$1
    shift
    ct setpriv --reuid="$user" --regid="$user" --init-groups --reset-env "$@"
}

# Entries are read from a cursor on, so that each check sees only what happened since it began.
# Filtered here, not by journalctl: this journalctl skips the first entry that matches a field
# after a cursor.
journal_cursor() { ct journalctl -q -n 1 -o export | sed -n 's/^__CURSOR=//p'; }
journal_since() { ct journalctl -q --no-pager --after-cursor="$1" -o json; }
# What the service itself wrote since the cursor, one JSON entry a line; not systemd's lines
# about the unit, which it files under UNIT.
service_journal() { journal_since "$2" | grep -F "\"_SYSTEMD_UNIT\":\"$1\""; }
systemd_about_unit() { journal_since "$2" | grep -F "\"UNIT\":\"$1\""; }
service_said() { service_journal "$1" "$2" | grep -Eiq "$3"; }
message_of() { sed -n 's/.*"MESSAGE":"\(\([^"\\]\|\\.\)*\)".*/\1/p'; }

# set_ini FILE KEY=VALUE...: the configuration files end their lines in CR LF, which stays.
set_ini() {
    local file=$1 pair
    shift
    local edits=()
    for pair in "$@"; do edits+=(-e "s/^${pair%%=*}=[^\r]*/${pair%%=*}=${pair#*=}/"); done
    ct sed -i "${edits[@]}" "$file"
}

name_owned() {
    ct busctl --system call org.freedesktop.DBus /org/freedesktop/DBus org.freedesktop.DBus NameHasOwner \
        s "$1" 2>/dev/null | grep -q '^b true'
}

# The slave's master: a second tarnixd by hand in a program folder of its own, on loopback with
# the shipped pairing of ports. It only closes itself should its own link ever be lost long,
# and stays off the bus, where the master service's name belongs to the service.
prepare_peer() {
    ct mkdir -p "$PEER/Data" "$PEER/Log"
    ct cp /usr/share/tarnix/template/Data/TarnixM.ini "$PEER/Data/TarnixM.ini"
    set_ini "$PEER/Data/TarnixM.ini" CName0=peer CName1=slave IPAdd1=127.0.0.1 Port1=10000 Port2=10001 \
        StartDelay=1 CPUDelay=600 ShutTime=600 ShutType=4
}

start_peer() {
    ct systemd-run --quiet --collect --unit=tarnix-peer --property=WorkingDirectory="$PEER" \
        --setenv=DBUS_SYSTEM_BUS_ADDRESS=unix:path=/nonexistent /usr/lib/tarnix/tarnixd --master -AllowMulti
}

stop_peer() { ct systemctl stop tarnix-peer 2>/dev/null || true; }

# The slave hears the peer at once, loses it 5 seconds after the peer stops, and then counts a
# minute down before it would power the container off: long enough to look and press Reset.
configure_services() {
    set_ini "$SLAVE_INI" IPAdd=127.0.0.1 StartDelay=1 CPUDelay=5 ShutTime=60 ShutType=1
    ct cp "$SLAVE_INI" "$GOOD_SLAVE_INI"
    # The master service only takes part in switching roles: its one remote computer answers
    # nobody, on ports apart from the peer's, and a lost link would only close it, after 20 minutes.
    set_ini "$MASTER_INI" CName0=service CName1=nobody IPAdd1=127.0.0.9 Port1=11000 Port2=11001 \
        StartDelay=1 CPUDelay=600 ShutTime=600 ShutType=4
}

check_install() {
    local name=$1
    if ct getent passwd tarnix >/dev/null; then
        fail "$name" "the user tarnix exists before the package is installed"
        return
    fi
    local out
    if ! out=$(ct_timeout 300 apt-get install -y -q --no-install-recommends "$DEB_IN_CONTAINER" 2>&1); then
        fail "$name" "apt-get install failed: $(echo "$out" | tail -n 3 | tr '\n' ' ')"
        return
    fi
    if [ "$(ct dpkg-query -W -f='${Status}' tarnix 2>/dev/null)" != "install ok installed" ]; then
        fail "$name" "apt-get install left tarnix not installed"
        return
    fi
    pass "$name"
}

setup_users_and_peer() {
    ct useradd --create-home --shell /bin/bash member
    ct adduser --quiet member tarnix
    ct useradd --create-home --shell /bin/bash outsider
    configure_services
    prepare_peer
    start_peer
}

check_bus_policy_on_first_install() {
    local name=$1 cursor
    cursor=$(journal_cursor)
    if ! ct systemctl start tarnix-slave; then
        fail "$name" "systemctl start failed: $(unit_state tarnix-slave)"
        return
    fi
    if ! wait_until 10 name_owned io.tarnix.Watchdog.Slave; then
        fail "$name" "nobody owns io.tarnix.Watchdog.Slave; $(service_journal tarnix-slave.service "$cursor" | message_of |
            grep -i 'system bus' | head -n 1)"
        return
    fi
    if ! ct tarnixctl --slave status >/dev/null; then
        fail "$name" "tarnixctl --slave status failed"
        return
    fi
    pass "$name"
}

check_ready_and_user() {
    local name=$1 type pid user
    type=$(unit_property tarnix-slave Type)
    if [ "$type" != notify ]; then
        fail "$name" "Type=$type"
        return
    fi
    # systemctl returns once the unit is active; a service that reported ready before its bus
    # name was taken would fail the status asked at once.
    if ! ct systemctl restart tarnix-slave || ! ct tarnixctl --slave status >/dev/null 2>&1; then
        fail "$name" "no status right after the restart returned ($(unit_state tarnix-slave))"
        return
    fi
    if [ "$(unit_state tarnix-slave)" != active/running ]; then
        fail "$name" "state $(unit_state tarnix-slave)"
        return
    fi
    pid=$(main_pid tarnix-slave)
    user=$(ct stat -c %U "/proc/$pid")
    if [ "$user" != tarnix ]; then
        fail "$name" "MainPID $pid runs as $user"
        return
    fi
    pass "$name"
}

check_who_may_press() {
    local name=$1 problems=()
    ct tarnixctl --slave status >/dev/null 2>&1 || problems+=("root's status failed")
    as_user member tarnixctl --slave status >/dev/null 2>&1 || problems+=("member's status failed")
    as_user outsider tarnixctl --slave status >/dev/null 2>&1 || problems+=("outsider's status failed")
    ct tarnixctl --slave reset >/dev/null 2>&1 || problems+=("root's reset failed")
    as_user member tarnixctl --slave reset >/dev/null 2>&1 || problems+=("member's reset failed")
    local status=0
    as_user outsider tarnixctl --slave reset >/dev/null 2>&1 || status=$?
    [ "$status" -eq 1 ] || problems+=("outsider's reset ended with $status, not 1")
    report "$name"
}

# Brings the slave into its countdown by stopping the peer; true once there.
lose_link() {
    stop_peer
    wait_until 30 slave_phase_is Countdown
}

restore_link() {
    start_peer
    ct tarnixctl --slave reset >/dev/null 2>&1 || true
    wait_until 20 slave_phase_is Run
}

check_journal_priorities() {
    local name=$1 cursor json problems=()
    cursor=$(journal_cursor)
    lose_link || problems+=("no countdown after the peer stopped")
    ct tarnixctl --slave reset >/dev/null 2>&1 || true
    json=$(ct journalctl -q --no-pager -u tarnix-slave -o json)
    echo "$json" | grep '"PRIORITY":"4"' | grep -q 'Communications with the master lost' ||
        problems+=("no warning (4) for the countdown")
    echo "$json" | grep '"PRIORITY":"6"' | grep -q '"MESSAGE":"Run: ' || problems+=("no info (6) for Run")
    echo "$json" | grep '"PRIORITY":"5"' | grep -q '"MESSAGE":"Reset: ' || problems+=("no notice (5) for Reset")
    if service_journal tarnix-slave.service "$cursor" | message_of | grep -q '^<[0-9]>'; then
        problems+=("a priority prefix left in the text")
    fi
    restore_link || problems+=("not back in Run after the peer returned")
    report "$name"
}

check_pid_file_readable() {
    local name=$1 mode
    mode=$(ct stat -c %a /run/tarnix/tarnixd.pid 2>&1)
    if [ "$mode" != 644 ]; then
        fail "$name" "mode $mode"
        return
    fi
    if ! as_user outsider cat /run/tarnix/tarnixd.pid >/dev/null 2>&1; then
        fail "$name" "outsider cannot read it"
        return
    fi
    pass "$name"
}

main_pid_replaced() { # old pid
    local pid
    pid=$(main_pid tarnix-slave)
    [ -n "$pid" ] && [ "$pid" != 0 ] && [ "$pid" != "$1" ] && unit_active tarnix-slave
}

check_systemd_watchdog() {
    local name=$1 pid start took
    pid=$(main_pid tarnix-slave)
    start=$SECONDS
    send_signal STOP "$pid"
    if ! wait_until 30 main_pid_replaced "$pid"; then
        send_signal KILL "$pid" 2>/dev/null || true
        fail "$name" "MainPID still $pid after 30 s ($(unit_state tarnix-slave))"
        return
    fi
    took=$((SECONDS - start))
    if [ "$took" -gt 20 ]; then
        fail "$name" "restarted only after ${took} s"
        return
    fi
    wait_until 20 slave_phase_is Run || true
    pass "$name (${took} s)"
}

# Starting one role stops the other, at the first attempt, and the started one stays up.
switch_to() { # role other
    local started=tarnix-$1 stopped=tarnix-$2 pid
    ct systemctl start "$started" || {
        echo "systemctl start $started failed"
        return 1
    }
    if [ "$(unit_state "$started")" != active/running ] || unit_active "$stopped"; then
        echo "$started $(unit_state "$started"), $stopped $(unit_state "$stopped")"
        return 1
    fi
    pid=$(main_pid "$started")
    sleep 2
    if [ "$(unit_state "$started")" != active/running ] || [ "$(main_pid "$started")" != "$pid" ]; then
        echo "$started did not stay up: $(unit_state "$started"), MainPID $pid then $(main_pid "$started")"
        return 1
    fi
}

check_switching_roles() {
    local name=$1 round why
    for round in 1 2 3; do
        if ! why=$(switch_to master slave) || ! why=$(switch_to slave master); then
            fail "$name" "round $round: $why"
            ct systemctl start tarnix-slave 2>/dev/null || true
            return
        fi
    done
    pass "$name (3 rounds)"
}

check_presets() {
    local name=$1 listing preset unit
    listing=$(ct systemctl list-unit-files --no-legend 'tarnix-*')
    for unit in tarnix-master.service tarnix-slave.service; do
        preset=$(echo "$listing" | awk -v unit="$unit" '$1 == unit { print $3 }')
        if [ "$preset" != disabled ]; then
            fail "$name" "$unit preset ${preset:-missing}: $(echo "$listing" | tr '\n' ' ')"
            return
        fi
    done
    pass "$name"
}

check_reload() {
    local name=$1 pid cursor problems=()
    pid=$(main_pid tarnix-slave)
    cursor=$(journal_cursor)
    set_ini "$SLAVE_INI" CPUDelay=6
    ct cp "$SLAVE_INI" "$GOOD_SLAVE_INI"
    if ! ct systemctl reload tarnix-slave 2>/dev/null; then
        problems+=("systemctl reload failed: $(systemd_about_unit tarnix-slave.service "$cursor" | message_of |
            grep -i fail | head -n 1)")
    else
        wait_until 10 service_said tarnix-slave.service "$cursor" 'read again|reloaded|re-?read' ||
            problems+=("the journal does not say the configuration was read again")
        wait_until 10 service_said tarnix-slave.service "$cursor" 'lost for over 6 seconds' ||
            problems+=("the new lost-comms limit is not in force")
    fi
    unit_active tarnix-slave && [ "$(main_pid tarnix-slave)" = "$pid" ] ||
        problems+=("after the reload $(unit_state tarnix-slave), MainPID $pid then $(main_pid tarnix-slave)")

    cursor=$(journal_cursor)
    set_ini "$SLAVE_INI" ShutTime=9999
    ct systemctl reload tarnix-slave 2>/dev/null || true
    wait_until 10 service_said tarnix-slave.service "$cursor" 'ShutTime' ||
        problems+=("no journal line names ShutTime after a broken reload")
    sleep 1
    unit_active tarnix-slave && [ "$(main_pid tarnix-slave)" = "$pid" ] ||
        problems+=("after the broken reload $(unit_state tarnix-slave), MainPID $pid then $(main_pid tarnix-slave)")
    ct cp "$GOOD_SLAVE_INI" "$SLAVE_INI"
    report "$name"
}

check_configuration_error_fails_unit() {
    local name=$1 cursor restarts problems=()
    cursor=$(journal_cursor)
    set_ini "$SLAVE_INI" ShutTime=9999
    ct systemctl restart tarnix-slave 2>/dev/null || true
    sleep 2
    restarts=$(unit_property tarnix-slave NRestarts)
    sleep 10
    local state status
    state=$(unit_property tarnix-slave ActiveState)
    status=$(unit_property tarnix-slave ExecMainStatus)
    [ "$state" = failed ] || problems+=("state $(unit_state tarnix-slave)")
    [ "$(unit_property tarnix-slave NRestarts)" = "$restarts" ] ||
        problems+=("restarted: NRestarts $restarts then $(unit_property tarnix-slave NRestarts)")
    [ "$status" = 6 ] || problems+=("ExecMainStatus=$status")
    service_said tarnix-slave.service "$cursor" 'ShutTime' ||
        problems+=("no journal line names ShutTime")

    ct cp "$GOOD_SLAVE_INI" "$SLAVE_INI"
    ct systemctl reset-failed tarnix-slave 2>/dev/null || true
    ct systemctl start tarnix-slave || problems+=("no start with the file restored")
    wait_until 20 slave_phase_is Run || problems+=("not in Run with the file restored")
    report "$name"
}

check_countdown_resumes() {
    local name=$1 pid left phase after cursor problems=()
    if ! lose_link; then
        fail "$name" "no countdown after the peer stopped ($(slave_status_field Phase))"
        restore_link || true
        return
    fi
    sleep 3
    cursor=$(journal_cursor)
    pid=$(main_pid tarnix-slave)
    left=$(slave_status_field 'Time left')
    send_signal KILL "$pid"
    if ! wait_until 20 main_pid_replaced "$pid"; then
        problems+=("not restarted ($(unit_state tarnix-slave))")
    else
        wait_until 5 ct tarnixctl --slave status >/dev/null 2>&1 || true
        phase=$(slave_status_field Phase)
        after=$(slave_status_field 'Time left')
        if [ "$phase" != Countdown ]; then
            problems+=("phase $phase after the restart")
        elif ! [ "$after" -lt "$left" ] 2>/dev/null; then
            problems+=("time left $left before, $after after")
        fi
        wait_until 5 service_said tarnix-slave.service "$cursor" 'resum' || problems+=("the journal says nothing of resuming")
    fi
    ct tarnixctl --slave reset >/dev/null 2>&1 || problems+=("reset failed")
    restore_link || problems+=("not back in Run after the peer returned")
    report "$name" "${left} s left before, ${after} s after"
}

# A hook in /etc/tarnix/hooks.d under the unit's real hardening: it runs as tarnix, may write
# only where the service may, and tells a test run's events apart (TARNIX_TEST=1). polkit knows the package's
# action, which the person at the computer may take.
check_hooks_and_polkit_action() {
    local name=$1 problems=() hooklog=/var/log/tarnix/hooks.log
    ct pkaction --verbose --action-id io.tarnix.watchdog.control 2>/dev/null | grep -q 'implicit active: *yes' ||
        problems+=("pkaction does not show the action allowed to the active session")
    ct sh -c 'mkdir -p /etc/tarnix/hooks.d && printf "%s\n" "#!/bin/sh" \
        "echo \"\$TARNIX_EVENT \${TARNIX_TEST:-0} \$(id -un)\" >>/var/log/tarnix/hooks.log" \
        >/etc/tarnix/hooks.d/10-record && chmod 0755 /etc/tarnix/hooks.d/10-record'
    ct systemctl reload tarnix-slave # the folder is read again with the configuration
    sleep 2
    ct tarnixctl --slave test >/dev/null 2>&1 || problems+=("tarnixctl test failed")
    wait_until 15 ct grep -q "^test-start 1 tarnix$" "$hooklog" ||
        problems+=("no test-start by tarnix in the hook's file: $(ct cat "$hooklog" 2>&1 | tr '\n' '|')")
    ct tarnixctl --slave reset >/dev/null 2>&1 || problems+=("tarnixctl reset failed") # the peer answers: no end of its own
    ct rm -rf /etc/tarnix/hooks.d
    ct systemctl reload tarnix-slave
    report "$name"
}

# The last check: the real power action, through logind and the package's polkit rule.
check_lost_link_powers_off() {
    local name=$1 start took lost_limit=5 shut_time=5
    set_ini "$SLAVE_INI" CPUDelay=$lost_limit ShutTime=$shut_time ShutType=1
    ct systemctl restart tarnix-slave
    if ! wait_until 20 slave_phase_is Run; then
        fail "$name" "the slave is not in Run ($(slave_status_field Phase))"
        return
    fi
    stop_peer
    start=$SECONDS
    local expected=$((lost_limit + shut_time))
    if ! wait_for_nspawn_exit $((expected + 60)); then
        fail "$name" "still running $((expected + 60)) s after the link was lost"
        return
    fi
    took=$((SECONDS - start))
    if [ "$NSPAWN_STATUS" -ne 0 ]; then
        fail "$name" "nspawn ended with $NSPAWN_STATUS after ${took} s (not a power-off)"
    elif [ "$took" -lt $((expected - 2)) ] || [ "$took" -gt $((expected + 30)) ]; then
        fail "$name" "powered off after ${took} s, expected about ${expected} s"
    else
        pass "$name (after ${took} s, expected about ${expected} s)"
    fi
}

# A check on a container that is gone says so instead of failing in its own words.
run_check() { # name function
    if ! container_running; then
        fail "$1" "the container is no longer running"
        return
    fi
    "$2" "$1"
}

run_checks() {
    DEB_IN_CONTAINER=$1
    run_check "first install from the apt cache" check_install
    if [ "$FAILED" -ne 0 ]; then return; fi
    setup_users_and_peer
    run_check "a: the slave service owns its bus name after a first install" check_bus_policy_on_first_install
    run_check "b: active only once ready, running as tarnix" check_ready_and_user
    run_check "c: status for everyone, reset for root and the group tarnix only" check_who_may_press
    run_check "d: the journal keeps the service's priorities" check_journal_priorities
    run_check "e: /run/tarnix/tarnixd.pid is readable by everyone" check_pid_file_readable
    run_check "f: a hung service is restarted by systemd's watchdog" check_systemd_watchdog
    run_check "g: starting one role stops the other" check_switching_roles
    run_check "h: both units are preset disabled" check_presets
    run_check "i: reload reads the configuration again, refuses a broken one" check_reload
    run_check "j: a broken configuration at start leaves the unit failed" check_configuration_error_fails_unit
    run_check "k: a restart during a countdown resumes it" check_countdown_resumes
    run_check "m: a hook runs under the unit's hardening; polkit knows the action" check_hooks_and_polkit_action
    run_check "l: a lost link powers the container off" check_lost_link_powers_off
}
