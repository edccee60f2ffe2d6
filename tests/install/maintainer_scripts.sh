#!/bin/sh
# Runs the package's postinst and postrm in a private mount namespace over a throw-away copy of
# /etc, an empty /run and an empty /var/log, with a stand-in systemctl that only records its
# arguments: users, groups and units of the machine itself are never touched. Run by
# package_test.sh as: unshare --mount --propagation private sh maintainer_scripts.sh CONTROL SANDBOX
set -eu
control=$1
sandbox=$2
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
[ "$(cat "$sandbox/systemctl.log")" = "--system daemon-reload" ] ||
    fail "systemctl called as: $(cat "$sandbox/systemctl.log")"

# Again, as a reinstallation does: nothing changes, nothing fails; never enable or start a unit.
sh "$control/postinst" configure "4.2-1" >/dev/null
user_is_right "reinstallation"
! grep -q "enable\|start" "$sandbox/systemctl.log" || fail "units enabled or started"

# Removal keeps the services' log, purging drops it; the user stays either way.
mkdir -p /var/log/tarnix && echo line >/var/log/tarnix/TarnixS.log
sh "$control/postrm" remove
[ -s /var/log/tarnix/TarnixS.log ] || fail "removal dropped the log"
sh "$control/postrm" purge
[ ! -e /var/log/tarnix ] || fail "purge left /var/log/tarnix"
getent passwd tarnix >/dev/null || fail "purge dropped the user"
echo "maintainer scripts: user tarnix made once, log kept on removal and dropped on purge"
