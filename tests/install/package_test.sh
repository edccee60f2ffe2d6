#!/bin/sh
# The Debian package, made by cpack from the programs already built: its files, its
# dependencies, its menu entries, its maintainer scripts (run in a throw-away copy of /etc where
# this machine allows one), the system services' files, and a start of the launcher it ships.
set -eu
build=$1
source=$2
for tool in dpkg-deb dpkg-shlibdeps cpack; do
    if ! command -v "$tool" >/dev/null 2>&1; then
        echo "SKIP: $tool is missing, no Debian package can be built here (./run installs dpkg-dev)"
        exit 77
    fi
done
. "$(dirname "$0")/common.sh"

cpack --config "$build/CPackConfig.cmake" -B "$tmp/out" >"$tmp/cpack.log" 2>&1 || {
    cat "$tmp/cpack.log"
    fail "cpack"
}
deb=$(ls "$tmp"/out/*.deb)
[ "$(basename "$deb")" = "tarnix_4.2-1_$(dpkg --print-architecture).deb" ] || fail "package name $(basename "$deb")"

# Files: where the file-system conventions put them, read-only for users, nothing in their homes.
dpkg-deb -c "$deb" >"$tmp/list"
for path in usr/lib/tarnix/TarnixM usr/lib/tarnix/TarnixS usr/bin/tarnix-master usr/bin/tarnix-slave \
    usr/share/tarnix/template/Data/TarnixM.ini usr/share/tarnix/template/Data/TarnixS.ini \
    usr/share/tarnix/template/Log/ usr/share/applications/tarnix-master.desktop \
    usr/share/applications/tarnix-slave.desktop usr/share/polkit-1/rules.d/60-tarnix.rules \
    usr/share/polkit-1/actions/io.tarnix.watchdog.policy \
    lib/systemd/system/tarnix-master.service lib/systemd/system/tarnix-slave.service \
    lib/systemd/system/tarnix-metrics.service lib/systemd/system/tarnix-metrics.timer \
    lib/systemd/system-preset/50-tarnix.preset \
    usr/share/dbus-1/system.d/io.tarnix.Watchdog.conf etc/tarnix/TarnixM.ini etc/tarnix/TarnixS.ini \
    etc/xdg/autostart/tarnix-service-window.desktop \
    usr/sbin/tarnix-key; do
    grep -q " \./$path\( \|$\)" "$tmp/list" || fail "$path missing from the package"
done
for side in 16 22 24 32 48 64 128 256; do
    grep -q " \./usr/share/icons/hicolor/${side}x$side/apps/tarnix.png$" "$tmp/list" || fail "icon ${side}x$side missing"
done
grep -q " \./usr/bin/tarnix-slave -> tarnix-master$" "$tmp/list" || fail "tarnix-slave is no link to the launcher"
# The services' folders link their Data/ and Log/ to the administrator's places.
for role in master slave; do
    for link in "Data -> /etc/tarnix" "Log -> /var/log/tarnix"; do
        grep -q " \./usr/share/tarnix/service/$role/$link$" "$tmp/list" || fail "service/$role/$link missing"
    done
done
# Outside /usr only the units where Debian 12's systemd looks, and the configuration files.
outside=$(awk '{print $6}' "$tmp/list" | grep -v '^\./usr/' | grep -v '^\./$' |
    grep -vx '\./lib/\|\./lib/systemd/\|\./lib/systemd/system/\|\./lib/systemd/system/tarnix-[a-z]*\.\(service\|timer\)' |
    grep -vx '\./lib/systemd/system-preset/\|\./lib/systemd/system-preset/50-tarnix\.preset' |
    grep -vx '\./etc/\|\./etc/tarnix/\|\./etc/tarnix/Tarnix[MS]\.ini' |
    grep -vx '\./etc/xdg/\|\./etc/xdg/autostart/\|\./etc/xdg/autostart/tarnix-service-window\.desktop' || true)
[ -z "$outside" ] || fail "files outside /usr: $outside"
bad=$(awk '{print $1, $2, $6}' "$tmp/list" |
    grep -v '^[-d]rwxr-xr-x root/root \|^-rw-r--r-- root/root \|^lrwxrwxrwx root/root ' || true)
[ -z "$bad" ] || fail "not root's or writable by others: $bad"

# Control: version, dependencies computed from the programs, the group made on installation.
[ "$(dpkg-deb -f "$deb" Version)" = 4.2-1 ] || fail "version $(dpkg-deb -f "$deb" Version)"
depends=$(dpkg-deb -f "$deb" Depends)
for lib in libqt6core6 libqt6gui6 libqt6widgets6 libqt6network6 libqt6dbus6 libsodium23 libc6 libstdc++6 adduser procps; do
    echo "$depends" | grep -q "\(^\|, \)$lib\( \|,\|$\)" || fail "Depends lacks $lib: $depends"
done
dpkg-deb -e "$deb" "$tmp/control"
for script in postinst postrm; do
    [ -x "$tmp/control/$script" ] || fail "$script not executable"
    sh -n "$tmp/control/$script"
done
[ ! -e "$tmp/control/prerm" ] || fail "prerm present"
# Every file under /etc, and nothing else, is a conffile: an upgrade keeps what the administrator
# changed there.
awk '{print $6}' "$tmp/list" | grep '^\./etc/.*[^/]$' | sed 's/^\.//' | sort >"$tmp/etc-files"
sort "$tmp/control/conffiles" | diff -u "$tmp/etc-files" - || fail "conffiles are not the files under /etc"

dpkg-deb -x "$deb" "$tmp/root"
sh -n "$tmp/root/usr/sbin/tarnix-key"
if [ "$(id -u)" -eq 0 ] && command -v adduser >/dev/null && unshare --mount --propagation private true 2>/dev/null; then
    mkdir -p "$tmp/sandbox/etc"
    cp -a /etc/. "$tmp/sandbox/etc/"
    unshare --mount --propagation private sh "$(dirname "$0")/maintainer_scripts.sh" "$tmp/control" "$tmp/sandbox" \
        "$tmp/root/usr/sbin/tarnix-key" || fail "maintainer scripts"
else
    echo "maintainer scripts and tarnix-key only checked for syntax: running them in a throw-away /etc needs root, adduser and unshare"
fi

if command -v desktop-file-validate >/dev/null 2>&1; then
    desktop-file-validate "$tmp"/root/usr/share/applications/*.desktop \
        "$tmp"/root/etc/xdg/autostart/tarnix-service-window.desktop || fail "invalid menu or autostart entry"
else
    echo "desktop-file-validate is missing (package desktop-file-utils): menu entries not validated"
fi
grep -qx "Name=Tarnix" "$tmp/root/usr/share/applications/tarnix-master.desktop" || fail "master Name"
grep -qx "Name=Tarnix Slave" "$tmp/root/usr/share/applications/tarnix-slave.desktop" || fail "slave Name"
# The session's autostart runs the installed program, which shows the service's window or ends.
grep -qx "Exec=/usr/lib/tarnix/TarnixS -ServiceWindow" "$tmp/root/etc/xdg/autostart/tarnix-service-window.desktop" ||
    fail "autostart entry does not start the service's window"
cmp "$source/dist/Data/TarnixM.ini" "$tmp/root/usr/share/tarnix/template/Data/TarnixM.ini" || fail "template differs"
for file in TarnixM.ini TarnixS.ini; do
    cmp "$source/dist/Data/$file" "$tmp/root/etc/tarnix/$file" || fail "/etc/tarnix/$file differs from dist/"
done
for role in master slave; do
    grep -qx "WorkingDirectory=/usr/share/tarnix/service/$role" "$tmp/root/lib/systemd/system/tarnix-$role.service" ||
        fail "tarnix-$role does not run in the folder the package lays out"
done
cmp "$source/packaging/60-tarnix.rules" "$tmp/root/usr/share/polkit-1/rules.d/60-tarnix.rules" || fail "rule differs"
cmp "$source/packaging/io.tarnix.watchdog.policy" "$tmp/root/usr/share/polkit-1/actions/io.tarnix.watchdog.policy" ||
    fail "polkit action differs"
file "$tmp/root/usr/lib/tarnix/TarnixM" | grep -q ", stripped" || fail "TarnixM not stripped"

# The shipped launcher knows the installed places; pointed at the unpacked tree it starts the
# stripped program there.
grep -q "^libdir=\${TARNIX_LIBDIR:-/usr/lib/tarnix}$" "$tmp/root/usr/bin/tarnix-master" || fail "launcher libdir"
grep -q "^template=\${TARNIX_TEMPLATE:-/usr/share/tarnix/template}$" "$tmp/root/usr/bin/tarnix-master" ||
    fail "launcher template"
export HOME="$tmp/home" TARNIX_LIBDIR="$tmp/root/usr/lib/tarnix" TARNIX_TEMPLATE="$tmp/root/usr/share/tarnix/template"
unset XDG_DATA_HOME XDG_CONFIG_HOME
"$tmp/root/usr/bin/tarnix-slave" -InhibitShutdown -AllowMulti &
pid=$!
log=$HOME/.local/share/tarnix/slave/Log/TarnixS.log
i=0
while [ ! -s "$log" ]; do
    kill -0 "$pid" 2>/dev/null || fail "the packaged slave ended before writing its log"
    i=$((i + 1))
    [ "$i" -le 300 ] || fail "the packaged slave wrote no log within 30 s"
    sleep 0.1
done
kill -KILL "$pid"
wait "$pid" 2>/dev/null || true
pid=
echo "package: $(basename "$deb"), $(du -k "$deb" | cut -f1) KiB, Depends: $depends"
