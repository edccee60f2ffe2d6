#!/bin/sh
# The launchers in the build tree, with a temporary HOME: the first start makes the program
# folder from the shipped files and starts the program in it, later starts keep what the user
# changed, the autostart switch adds and removes the login entry, and without a usable home
# nothing is made anywhere.
set -eu
launchers=$1
dist=$2
. "$(dirname "$0")/common.sh"
export HOME="$tmp/home"
unset XDG_DATA_HOME XDG_CONFIG_HOME
mkdir -p "$HOME"

# Starts a launcher with the test switches, waits for the program's log, then ends the program.
# The unconfigured program only writes its log and waits for the user.
start_until_log() {
    launcher=$1 log=$2
    "$launchers/$launcher" -InhibitShutdown -AllowMulti &
    pid=$!
    i=0
    while [ ! -s "$log" ]; do
        kill -0 "$pid" 2>/dev/null || fail "$launcher ended before writing $log"
        i=$((i + 1))
        [ "$i" -le 300 ] || fail "$launcher wrote no $log within 30 s"
        sleep 0.1
    done
    kill -TERM "$pid" 2>/dev/null || true
    i=0
    while kill -0 "$pid" 2>/dev/null && [ "$i" -lt 50 ]; do
        sleep 0.1
        i=$((i + 1))
    done
    kill -KILL "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
    pid=
}

master=$HOME/.local/share/tarnix/master
slave=$HOME/.local/share/tarnix/slave

# Folders: the XDG default, a set XDG_DATA_HOME, and a relative one, which the standard rejects.
[ "$("$launchers/tarnix-master" --folder)" = "$master" ] || fail "master folder"
[ "$("$launchers/tarnix-slave" --folder)" = "$slave" ] || fail "slave folder"
[ "$(XDG_DATA_HOME=/srv/data "$launchers/tarnix-master" --folder)" = /srv/data/tarnix/master ] ||
    fail "XDG_DATA_HOME ignored"
[ "$(XDG_DATA_HOME=data "$launchers/tarnix-master" --folder)" = "$master" ] || fail "relative XDG_DATA_HOME used"
[ ! -e "$master" ] || fail "--folder made the folder"
"$launchers/tarnix-master" --help | grep -q -- "--autostart on" || fail "--help"
if "$launchers/tarnix-master" --autostart maybe >/dev/null 2>&1; then fail "--autostart maybe accepted"; fi
ln -s tarnix-master "$tmp/tarnix-other"
if "$tmp/tarnix-other" --folder >/dev/null 2>&1; then fail "an unknown launcher name started"; fi

# No usable home (HOME unset, empty, relative): --help works, all else stops with 2, names the
# variable to set, and makes nothing, here or at the root. No programs in TARNIX_LIBDIR, so a wrong
# start ends at once.
at_root() { for made in /.local /.config; do [ ! -e "$made" ] || echo "$made"; done; }
mkdir "$tmp/here"
before=$(at_root)
for home in - '' home; do
    while read -r status says args; do
        case $home in -) set -- env -u HOME ;; *) set -- env HOME="$home" ;; esac
        got=0
        # shellcheck disable=SC2086 # the table's arguments, split on purpose
        (cd "$tmp/here" && "$@" TARNIX_LIBDIR="$tmp/nolib" "$launchers/tarnix-master" $args) \
            >"$tmp/out" 2>"$tmp/err" || got=$?
        where=" for HOME '$home' and '$args'"
        [ "$got" = "$status" ] || fail "status $got$where: $(cat "$tmp/err")"
        grep -q -- "$says" "$tmp/out" "$tmp/err" || fail "output$where: $(cat "$tmp/out" "$tmp/err")"
        [ -z "$(ls -A "$tmp/here")" ] || fail "made $(ls -A "$tmp/here")$where"
        [ "$(at_root)" = "$before" ] || fail "wrote at the root$where"
    done <<CASES
0 --autostart --help
2 HOME.*XDG_DATA_HOME -InhibitShutdown -AllowMulti
2 HOME.*XDG_DATA_HOME --folder
2 HOME.*XDG_CONFIG_HOME --autostart on
2 HOME.*XDG_CONFIG_HOME --autostart off
2 HOME.*XDG_DATA_HOME --new-key
CASES
done
[ "$(env -u HOME XDG_DATA_HOME="$tmp/data" "$launchers/tarnix-master" --folder)" = "$tmp/data/tarnix/master" ] ||
    fail "XDG_DATA_HOME without HOME"
env -u HOME XDG_CONFIG_HOME="$tmp/config" "$launchers/tarnix-master" --autostart on >/dev/null
[ -f "$tmp/config/autostart/tarnix-master.desktop" ] || fail "XDG_CONFIG_HOME without HOME"
rm "$tmp/config/autostart/tarnix-master.desktop"

# First start: the folder is made from the shipped file, byte for byte, and the program logs there.
start_until_log tarnix-master "$master/Log/TarnixM.log"
cmp "$dist/Data/TarnixM.ini" "$master/Data/TarnixM.ini" || fail "master configuration differs from the shipped one"
[ -w "$master/Data/TarnixM.ini" ] || fail "master configuration not writable"
[ ! -e "$master/Data/TarnixS.ini" ] || fail "the slave's file in the master's folder"
start_until_log tarnix-slave "$slave/Log/TarnixS.log"
cmp "$dist/Data/TarnixS.ini" "$slave/Data/TarnixS.ini" || fail "slave configuration differs from the shipped one"

# Keys: a fresh one is 64 lowercase hexadecimal digits on one line, readable by its owner only,
# and an existing key file is never replaced without --replace.
is_key_file() {
    [ "$(stat -c %a "$1")" = 600 ] || fail "$1 has mode $(stat -c %a "$1")"
    if [ "$(wc -c <"$1")" -ne 65 ] || ! grep -qx '[0-9a-f]\{64\}' "$1"; then fail "$1 holds no key: $(cat "$1")"; fi
}
key=$master/Data/TarnixM.key
[ "$("$launchers/tarnix-master" --new-key)" = "$key" ] || fail "--new-key printed no path"
is_key_file "$key"
cp "$key" "$tmp/first.key"
got=0
"$launchers/tarnix-master" --new-key >/dev/null 2>"$tmp/err" || got=$?
[ "$got" = 1 ] || fail "--new-key over a key: status $got"
grep -q -- --replace "$tmp/err" || fail "--new-key over a key does not say how to replace it: $(cat "$tmp/err")"
cmp -s "$tmp/first.key" "$key" || fail "--new-key replaced a key without --replace"
"$launchers/tarnix-master" --new-key --replace >/dev/null
is_key_file "$key"
if cmp -s "$tmp/first.key" "$key"; then fail "--replace kept the old key"; fi
[ "$("$launchers/tarnix-master" --new-key 4)" = "$master/Data/TarnixM4.key" ] || fail "--new-key 4"
is_key_file "$master/Data/TarnixM4.key"
for args in "--new-key 5" "--new-key 1 2" "--set-key x" "--new-key --force"; do
    got=0
    # shellcheck disable=SC2086 # the arguments, split on purpose
    "$launchers/tarnix-master" $args </dev/null >/dev/null 2>&1 || got=$?
    [ "$got" = 2 ] || fail "tarnix-master $args: status $got"
done
got=0
"$launchers/tarnix-slave" --new-key 1 >/dev/null 2>&1 || got=$?
[ "$got" = 2 ] || fail "a slave took a computer's number: status $got"

# --set-key takes one line of 64 hexadecimal digits, as a key file holds it, and nothing else.
good=0123456789abcdef0123456789ABCDEF0123456789abcdef0123456789abcdef
for bad in "" "${good%?}" "${good}0" "${good%?}g" " $good" "$good $good"; do
    got=0
    printf '%s\n' "$bad" | "$launchers/tarnix-slave" --set-key >/dev/null 2>&1 || got=$?
    [ "$got" = 1 ] || fail "--set-key of '$bad': status $got"
done
got=0
"$launchers/tarnix-slave" --set-key </dev/null >/dev/null 2>&1 || got=$?
[ "$got" = 1 ] || fail "--set-key without input: status $got"
[ ! -e "$slave/Data/TarnixS.key" ] || fail "--set-key wrote a refused key"
printf '%s\r\n' "$good" | "$launchers/tarnix-slave" --set-key >/dev/null
is_key_file "$slave/Data/TarnixS.key"
[ "$(cat "$slave/Data/TarnixS.key")" = "$(echo "$good" | tr A-F a-f)" ] || fail "--set-key wrote another key"
# The master's key given to the slave, as its owner would: only with --replace over the one there.
if "$launchers/tarnix-slave" --set-key <"$key" >/dev/null 2>&1; then fail "--set-key replaced a key"; fi
"$launchers/tarnix-slave" --set-key --replace <"$key" >/dev/null
cmp "$key" "$slave/Data/TarnixS.key" || fail "the slave has not the master's key"
left=$(find "$master/Data" "$slave/Data" -name '.*')
[ -z "$left" ] || fail "temporary files left: $left"

# A later start: what the user changed stays, what went missing comes back, and the program takes
# the keys made above (a key it refused would end it before it logs).
sed -i 's/^# Configuration File/# Configuration File, edited/' "$master/Data/TarnixM.ini"
if cmp -s "$dist/Data/TarnixM.ini" "$master/Data/TarnixM.ini"; then fail "the edit changed nothing"; fi
cp "$master/Data/TarnixM.ini" "$tmp/edited.ini"
rm -rf "$master/Log"
start_until_log tarnix-master "$master/Log/TarnixM.log"
cmp "$tmp/edited.ini" "$master/Data/TarnixM.ini" || fail "the launcher replaced an edited configuration"

# Autostart, in XDG_CONFIG_HOME when it is set.
entry=$HOME/.config/autostart/tarnix-master.desktop
"$launchers/tarnix-master" --autostart on >/dev/null
[ -f "$entry" ] || fail "no autostart entry"
grep -qx "Exec=\"$(cd "$launchers" && pwd -P)/tarnix-master\"" "$entry" || fail "autostart Exec: $(grep Exec "$entry")"
grep -qx "Name=Tarnix" "$entry" || fail "autostart Name"
if command -v desktop-file-validate >/dev/null 2>&1; then desktop-file-validate "$entry" || fail "invalid autostart entry"; fi
"$launchers/tarnix-master" --autostart on >/dev/null # again: still one entry, no error
[ "$(ls "$HOME/.config/autostart")" = tarnix-master.desktop ] || fail "autostart folder: $(ls "$HOME/.config/autostart")"
"$launchers/tarnix-master" --autostart off >/dev/null
[ ! -e "$entry" ] || fail "autostart entry left after off"
"$launchers/tarnix-master" --autostart off >/dev/null || fail "off without an entry failed"
XDG_CONFIG_HOME=$tmp/config "$launchers/tarnix-slave" --autostart on >/dev/null
grep -qx "Name=Tarnix Slave" "$tmp/config/autostart/tarnix-slave.desktop" || fail "slave autostart in XDG_CONFIG_HOME"

# On the PATH the entry names the launcher, not where it lies.
PATH=$launchers:$PATH XDG_CONFIG_HOME=$tmp/config tarnix-slave --autostart on >/dev/null
grep -qx "Exec=tarnix-slave" "$tmp/config/autostart/tarnix-slave.desktop" || fail "PATH launcher autostart Exec"
echo "launcher: folders, no home, first and later starts, keys, autostart on and off"
