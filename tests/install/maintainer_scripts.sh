#!/bin/sh
# Runs the package's postinst and postrm, and its tarnix-key, in a private mount namespace over a
# throw-away copy of /etc, an empty /run and an empty /var/log, with a stand-in systemctl that
# only records its arguments: users, groups and units of the machine itself are never touched.
# Run by package_test.sh as:
#   unshare --mount --propagation private sh maintainer_scripts.sh CONTROL SANDBOX TARNIX-KEY
set -eu
control=$1
sandbox=$2
tarnix_key=$3
fail() {
    echo "FAIL: $*" >&2
    exit 1
}
mount --bind "$sandbox/etc" /etc
mount -t tmpfs tmpfs /run
mount -t tmpfs tmpfs /var/log
mkdir -p "$sandbox/bin"
printf '#!/bin/sh\necho "$*" >>"%s/systemctl.log"\n' "$sandbox" >"$sandbox/bin/systemctl"
chmod +x "$sandbox/bin/systemctl"
PATH=$sandbox/bin:$PATH
: >"$sandbox/systemctl.log"

user_is_right() {
    entry=$(getent passwd tarnix) || fail "$1: no user tarnix"
    [ "$(getent passwd | grep -c '^tarnix:')" -eq 1 ] || fail "$1: tarnix listed twice"
    IFS=: read -r _ _ uid gid _ home shell <<ENTRY
$entry
ENTRY
    [ "$uid" -lt 1000 ] || fail "$1: uid $uid is no system user's"
    [ "$gid" = "$(getent group tarnix | cut -d: -f3)" ] || fail "$1: primary group is not tarnix"
    [ "$home" = /nonexistent ] && [ ! -e /nonexistent ] || fail "$1: home $home"
    [ "$shell" = /usr/sbin/nologin ] || fail "$1: shell $shell"
}

# A fresh installation, on a computer without a running systemd: nothing to reload.
getent group tarnix >/dev/null && fail "the copy of /etc already has a group tarnix"
sh "$control/postinst" configure >/dev/null
user_is_right "fresh installation"
[ ! -s "$sandbox/systemctl.log" ] || fail "systemctl called without a running systemd"

# An upgrade from a package that made only the group, now with systemd running.
deluser --quiet --system tarnix >/dev/null 2>&1
getent group tarnix >/dev/null || addgroup --quiet --system tarnix
mkdir -p /run/systemd/system
sh "$control/postinst" configure "4.1-1" >/dev/null
user_is_right "upgrade keeping the group"
# The bus policy names the user just made: the running bus must read it again.
printf '%s\n' "--system daemon-reload" "--system --quiet is-active dbus.service" "--system reload dbus.service" |
    diff -u - "$sandbox/systemctl.log" || fail "systemctl not called to reload units and the bus policy"

# Again, as a reinstallation does: nothing changes, nothing fails; never enable or start a unit.
sh "$control/postinst" configure "4.2-1" >/dev/null
user_is_right "reinstallation"
! grep -q "enable\|start" "$sandbox/systemctl.log" || fail "units enabled or started"

# The services' keys: owned by the user tarnix, readable by it alone, written by root only, and
# never replaced without --replace.
rm -rf /etc/tarnix
mkdir /etc/tarnix
owned_key() {
    [ "$(stat -c '%U:%G %a' "$1")" = "tarnix:tarnix 600" ] || fail "$1: $(stat -c '%U:%G %a' "$1")"
    grep -qx '[0-9a-f]\{64\}' "$1" || fail "$1 holds no key"
}
[ "$(sh "$tarnix_key" new master 2)" = /etc/tarnix/TarnixM2.key ] || fail "tarnix-key new master 2"
owned_key /etc/tarnix/TarnixM2.key
sh "$tarnix_key" set slave </etc/tarnix/TarnixM2.key >/dev/null
owned_key /etc/tarnix/TarnixS.key
cmp /etc/tarnix/TarnixM2.key /etc/tarnix/TarnixS.key || fail "tarnix-key set slave wrote another key"
cp /etc/tarnix/TarnixS.key "$sandbox/kept.key"
if echo 0123 | sh "$tarnix_key" set slave --replace >/dev/null 2>&1; then fail "tarnix-key set took a bad key"; fi
if sh "$tarnix_key" new slave >/dev/null 2>&1; then fail "tarnix-key replaced a key without --replace"; fi
cmp -s "$sandbox/kept.key" /etc/tarnix/TarnixS.key || fail "a refused key changed the file"
cp "$tarnix_key" /run/tarnix-key
chmod 755 /run/tarnix-key
got=0
setpriv --reuid=nobody --regid=nogroup --clear-groups sh /run/tarnix-key new master >/dev/null 2>"$sandbox/err" ||
    got=$?
[ "$got" = 1 ] || fail "tarnix-key as nobody: status $got, $(cat "$sandbox/err")"
grep -q "only root" "$sandbox/err" || fail "tarnix-key as nobody: $(cat "$sandbox/err")"
[ ! -e /etc/tarnix/TarnixM.key ] || fail "tarnix-key wrote a key for a user other than root"

# Removal keeps the services' log and keys, purging drops them; the user stays either way.
mkdir -p /var/log/tarnix && echo line >/var/log/tarnix/TarnixS.log
sh "$control/postrm" remove
[ -s /var/log/tarnix/TarnixS.log ] || fail "removal dropped the log"
[ -e /etc/tarnix/TarnixS.key ] || fail "removal dropped a key"
sh "$control/postrm" purge
[ ! -e /var/log/tarnix ] || fail "purge left /var/log/tarnix"
[ ! -e /etc/tarnix ] || fail "purge left /etc/tarnix: $(ls -A /etc/tarnix)"
getent passwd tarnix >/dev/null || fail "purge dropped the user"
echo "maintainer scripts: user tarnix made once, log and keys kept on removal and dropped on purge; tarnix-key"
