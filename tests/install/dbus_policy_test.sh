#!/bin/sh
# The service's D-Bus policy: well-formed, only root and the user tarnix may own the watchdog's
# names, and on a private bus that loads it (the user nobody standing in for tarnix, daemon for
# anyone else) the owner gets its names, a stranger does not, and a stranger may call the
# watchdog's interfaces but nothing else of it. The system bus is never used.
set -eu
policy=$1
. "$(dirname "$0")/common.sh"

if command -v xmllint >/dev/null 2>&1; then
    xmllint --noout "$policy" || fail "policy is not well-formed XML"
fi
/usr/bin/python3 - "$policy" <<'PY' || fail "policy owners"
import sys, xml.etree.ElementTree as ET
root = ET.parse(sys.argv[1]).getroot()
faults = []
owners = {}
for policy in root.iter("policy"):
    who = policy.get("user") or policy.get("group") or policy.get("context") or policy.get("at_console")
    for rule in policy:
        for key in ("own", "own_prefix"):
            if rule.get(key) is None:
                continue
            if rule.tag == "allow":
                owners.setdefault(rule.get(key), set()).add(who)
                if policy.get("user") not in ("root", "tarnix"):
                    faults.append(f"{who} may own {rule.get(key)}")
names = {"io.tarnix.Watchdog.Master", "io.tarnix.Watchdog.Slave"}
for name in names:
    if owners.get(name) != {"root", "tarnix"}:
        faults.append(f"{name} owned by {sorted(owners.get(name, []))}")
if set(owners) - names:
    faults.append(f"further names owned: {sorted(set(owners) - names)}")
print("\n".join(faults), file=sys.stderr)
sys.exit(1 if faults else 0)
PY

if [ "$(id -u)" -ne 0 ] || ! command -v dbus-daemon >/dev/null || ! command -v setpriv >/dev/null ||
    ! /usr/bin/python3 -c "import dbus, gi" 2>/dev/null || ! getent passwd nobody daemon >/dev/null; then
    echo "SKIP: the policy's text is checked; its effect on a bus needs root, dbus-daemon, setpriv, python3-dbus and the users nobody and daemon"
    exit 77
fi
chmod 755 "$tmp"
sed 's/user="tarnix"/user="nobody"/' "$policy" >"$tmp/policy.conf"
# The system bus's own defaults, the ones the policy is written against.
cat >"$tmp/bus.conf" <<CONF
<busconfig>
  <listen>unix:path=$tmp/bus</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow user="*"/>
    <deny own="*"/>
    <deny send_type="method_call"/>
    <allow send_type="signal"/>
    <allow send_requested_reply="true" send_type="method_return"/>
    <allow send_requested_reply="true" send_type="error"/>
    <allow receive_type="method_call"/>
    <allow receive_type="method_return"/>
    <allow receive_type="error"/>
    <allow receive_type="signal"/>
    <allow send_destination="org.freedesktop.DBus" send_interface="org.freedesktop.DBus"/>
  </policy>
  <include>$tmp/policy.conf</include>
</busconfig>
CONF
dbus-daemon --config-file="$tmp/bus.conf" --nofork --nopidfile >"$tmp/daemon.log" 2>&1 &
pid=$!
bus=unix:path=$tmp/bus
i=0
while [ ! -S "$tmp/bus" ]; do
    kill -0 "$pid" 2>/dev/null || { cat "$tmp/daemon.log" >&2; fail "the private bus did not start"; }
    i=$((i + 1))
    [ "$i" -le 100 ] || fail "the private bus did not start within 10 s"
    sleep 0.1
done
! grep -qi "unknown" "$tmp/daemon.log" || { cat "$tmp/daemon.log" >&2; fail "the bus complains"; }

as() {
    user=$1
    shift
    setpriv --reuid="$user" --regid="$(id -g "$user")" --clear-groups "$@"
}
# user, destination, object, method, arguments: prints the reply or the error.
call() {
    user=$1 destination=$2
    shift 2
    as "$user" dbus-send --bus="$bus" --print-reply --reply-timeout=5000 --dest="$destination" "$@" 2>&1 || true
}
request_name() {
    call "$1" org.freedesktop.DBus /org/freedesktop/DBus org.freedesktop.DBus.RequestName \
        "string:$2" uint32:4
}

# Ownership: user, name, expected (a reply, or the error's name).
while read -r user name expected; do
    request_name "$user" "$name" | grep -q "$expected" || fail "$user owning $name: not $expected"
done <<CASES
root io.tarnix.Watchdog.Master uint32
nobody io.tarnix.Watchdog.Slave uint32
daemon io.tarnix.Watchdog.Master AccessDenied
daemon io.tarnix.Watchdog.Slave AccessDenied
CASES

# Two owners as the services would be, one name each (the bus grants a call to a connection if any
# of its names allows it), answering what they do not know with "unknown method".
for name in io.tarnix.Watchdog.Master io.tarnix.Watchdog.Slave; do
    setpriv --reuid=nobody --regid="$(id -g nobody)" --clear-groups /usr/bin/python3 -c '
import sys, dbus
from dbus.mainloop.glib import DBusGMainLoop
from gi.repository import GLib
DBusGMainLoop(set_as_default=True)
bus = dbus.bus.BusConnection(sys.argv[1])
bus.request_name(sys.argv[2], dbus.bus.NAME_FLAG_DO_NOT_QUEUE)
print("ready", flush=True)
GLib.MainLoop().run()
' "$bus" "$name" >"$tmp/$name.log" 2>&1 &
    pid="$pid $!"
    i=0
    while ! grep -q ready "$tmp/$name.log"; do
        kill -0 $! 2>/dev/null || { cat "$tmp/$name.log" >&2; fail "the stand-in owner of $name ended"; }
        i=$((i + 1))
        [ "$i" -le 100 ] || fail "the stand-in owner of $name did not start within 10 s"
        sleep 0.1
    done
done
# Calls by a stranger: name, method, expected. A call that reaches the owner gets its answer, a
# reply or "unknown method"; the bus refuses the others.
while read -r name method expected; do
    [ "$expected" != reached ] || expected="^method return\|Error.Unknown"
    call daemon "$name" /io/tarnix/Watchdog "$method" | grep -q "$expected" ||
        fail "daemon calling $method on $name: not $expected"
done <<CASES
io.tarnix.Watchdog.Master io.tarnix.Watchdog1.Status reached
io.tarnix.Watchdog.Slave io.tarnix.Watchdog1.Status reached
io.tarnix.Watchdog.Master org.freedesktop.DBus.Properties.GetAll reached
io.tarnix.Watchdog.Slave org.freedesktop.DBus.Introspectable.Introspect reached
io.tarnix.Watchdog.Master org.example.Other.Do AccessDenied
io.tarnix.Watchdog.Slave org.freedesktop.DBus.Peer.Ping AccessDenied
CASES
echo "policy: owners root and tarnix, calls to the watchdog's interfaces open to all"
