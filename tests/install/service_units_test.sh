#!/bin/sh
# The system services' units: systemd parses both without a complaint (a copy of each, started
# from a stand-in program, as verify wants the program to exist), the two say the same but for
# the role, and their exposure stays low. Only parsing: no systemd is asked for anything.
set -eu
packaging=$1
if ! command -v systemd-analyze >/dev/null 2>&1; then
    echo "SKIP: systemd-analyze is not installed, the units cannot be checked here"
    exit 77
fi
. "$(dirname "$0")/common.sh"

printf '#!/bin/sh\nexit 0\n' >"$tmp/tarnixd"
chmod +x "$tmp/tarnixd"
for role in master slave; do
    unit=$packaging/tarnix-$role.service
    grep -qx "ExecStart=/usr/lib/tarnix/tarnixd --$role" "$unit" || fail "tarnix-$role does not start tarnixd --$role"
    sed "s|^ExecStart=/usr/lib/tarnix/tarnixd |ExecStart=$tmp/tarnixd |" "$unit" >"$tmp/tarnix-$role.service"
done
# verify reports unknown or misspelt settings on its error output and still exits with 0.
if ! systemd-analyze verify "$tmp/tarnix-master.service" "$tmp/tarnix-slave.service" >"$tmp/verify" 2>&1 ||
    [ -s "$tmp/verify" ]; then
    cat "$tmp/verify" >&2
    fail "systemd-analyze verify"
fi

# Hardening changed in one unit only is a fault: with both roles' names blotted out they read the
# same, and each excludes the other.
for role in master slave; do
    sed 's/[Mm]aster/@role@/g; s/[Ss]lave/@role@/g; s/Tarnix[MS]\.ini/@file@/g' "$packaging/tarnix-$role.service" >"$tmp/$role"
done
diff -u "$tmp/master" "$tmp/slave" || fail "the units differ beyond their roles"
grep -qx "Conflicts=tarnix-slave.service" "$packaging/tarnix-master.service" || fail "the master does not exclude the slave"
grep -qx "Conflicts=tarnix-master.service" "$packaging/tarnix-slave.service" || fail "the slave does not exclude the master"

# The exposure systemd computes from the unit alone (0 best, 10 worst), with 2.5 the most allowed.
for role in master slave; do
    systemd-analyze security --offline=yes --threshold=25 "$tmp/tarnix-$role.service" >"$tmp/security" 2>&1 || {
        cat "$tmp/security" >&2
        fail "tarnix-$role exposure above 2.5"
    }
    grep "Overall exposure level" "$tmp/security"
done
