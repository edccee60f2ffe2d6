#!/bin/sh
# The system services' units: systemd parses them without a complaint (a copy of each, started
# from a stand-in program, as verify wants the program to exist), the two watchdogs say the same
# but for the role, the figures' unit may write where it writes, and their exposure stays low.
# Only parsing: no systemd is asked for anything.
set -eu
packaging=$1
if ! command -v systemd-analyze >/dev/null 2>&1; then
    echo "SKIP: systemd-analyze is not installed, the units cannot be checked here"
    exit 77
fi
. "$(dirname "$0")/common.sh"

printf '#!/bin/sh\nexit 0\n' >"$tmp/tarnixd"
chmod +x "$tmp/tarnixd"
cp "$tmp/tarnixd" "$tmp/tarnixctl"
for role in master slave; do
    unit=$packaging/tarnix-$role.service
    grep -qx "ExecStart=/usr/lib/tarnix/tarnixd --$role" "$unit" || fail "tarnix-$role does not start tarnixd --$role"
    sed "s|^ExecStart=/usr/lib/tarnix/tarnixd |ExecStart=$tmp/tarnixd |" "$unit" >"$tmp/tarnix-$role.service"
done
metrics=$packaging/tarnix-metrics.service
sed "s|^ExecStart=/usr/bin/tarnixctl |ExecStart=$tmp/tarnixctl |" "$metrics" >"$tmp/tarnix-metrics.service"
cp "$packaging/tarnix-metrics.timer" "$tmp/"
# verify reports unknown or misspelt settings on its error output and still exits with 0.
if ! systemd-analyze verify "$tmp/tarnix-master.service" "$tmp/tarnix-slave.service" "$tmp/tarnix-metrics.service" \
    "$tmp/tarnix-metrics.timer" >"$tmp/verify" 2>&1 || [ -s "$tmp/verify" ]; then
    cat "$tmp/verify" >&2
    fail "systemd-analyze verify"
fi

# Hardening changed in one unit only is a fault: with both roles' names blotted out they read the
# same but for the one ordering between them (and its comment), and each excludes the other. Without that ordering
# starting one role while the other runs fails: the old one's stop removes the runtime folder
# under the new one's start.
ordering='^After=tarnix-slave\.service$'
for role in master slave; do
    grep -v "$ordering" "$packaging/tarnix-$role.service" | grep -v '^#' |
        sed 's/[Mm]aster/@role@/g; s/[Ss]lave/@role@/g; s/Tarnix[MS]\.ini/@file@/g' >"$tmp/$role"
done
diff -u "$tmp/master" "$tmp/slave" || fail "the units differ beyond their roles"
grep -qx "Conflicts=tarnix-slave.service" "$packaging/tarnix-master.service" || fail "the master does not exclude the slave"
grep -qx "Conflicts=tarnix-master.service" "$packaging/tarnix-slave.service" || fail "the slave does not exclude the master"
grep -q "$ordering" "$packaging/tarnix-master.service" || fail "the roles' stop and start are not ordered"

# A configuration error is not restarted; anything else that ends the service with a failure is.
for role in master slave; do
    unit=$packaging/tarnix-$role.service
    grep -qx "Restart=on-failure" "$unit" && grep -qx "RestartPreventExitStatus=6" "$unit" ||
        fail "tarnix-$role restarts a configuration error, or nothing"
done

# The figures' file is written in the one folder the unit may write to, and only where it is.
output=$(sed -n 's|^ExecStart=/usr/bin/tarnixctl metrics --output \(/.*\)/[^/]*\.prom$|\1|p' "$metrics")
[ -n "$output" ] || fail "tarnix-metrics does not write a .prom file with tarnixctl metrics --output"
grep -qx "ReadWritePaths=$output" "$metrics" || fail "tarnix-metrics may not write to $output"
grep -qx "ConditionPathIsDirectory=$output" "$metrics" || fail "tarnix-metrics runs where $output is missing"

# The package's preset leaves both units disabled, even where the distribution's presets enable
# every unit not named (as Debian's do): preset-all must never enable two conflicting watchdogs.
root=$tmp/root
mkdir -p "$root/lib/systemd/system" "$root/lib/systemd/system-preset" "$root/etc/systemd/system"
cp "$tmp/tarnix-master.service" "$tmp/tarnix-slave.service" "$tmp/tarnix-metrics.service" "$tmp/tarnix-metrics.timer" \
    "$root/lib/systemd/system/"
cp "$packaging/50-tarnix.preset" "$root/lib/systemd/system-preset/"
echo "enable *" >"$root/lib/systemd/system-preset/90-systemd.preset"
systemctl --root="$root" preset tarnix-master.service tarnix-slave.service tarnix-metrics.timer >"$tmp/preset" 2>&1 || {
    cat "$tmp/preset" >&2
    fail "systemctl preset"
}
enabled=$(find "$root/etc/systemd/system" -name 'tarnix-*')
[ -z "$enabled" ] || fail "the presets enable $enabled"

# The exposure systemd computes from the unit alone (0 best, 10 worst), with 2.5 the most allowed.
for role in master slave metrics; do
    systemd-analyze security --offline=yes --threshold=25 "$tmp/tarnix-$role.service" >"$tmp/security" 2>&1 || {
        cat "$tmp/security" >&2
        fail "tarnix-$role exposure above 2.5"
    }
    grep "Overall exposure level" "$tmp/security"
done
