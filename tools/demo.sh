#!/usr/bin/env bash
# A master and a slave on this one computer, talking over loopback. Both run with
# "-InhibitShutdown", so an expired countdown is only simulated, and "-AllowMulti", so the two
# may share the computer. With a display both windows show; without one they run off screen
# and their log lines are printed as they come.
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
BIN=$ROOT/build/bin
DEMO=$(mktemp -d /tmp/tarnix-demo-XXXXXX)
PIDS=()

stop_all() {
    for pid in "${PIDS[@]}"; do kill "$pid" 2>/dev/null || true; done
    wait 2>/dev/null || true
}
trap 'stop_all; echo; echo "Demo stopped. Its folders stay in $DEMO."' EXIT
trap 'exit 130' INT TERM

# One configuration line ends in CR LF, as the programs write them.
line() { printf '%s\r\n' "$1"; }

write_master() {
    line "# Tarnix Version 4.2"; line "# Configuration File"; line "# demo"; line ""
    line "[Comms]"; line "DName=1"; line "CName0=Demo master"; line "CName1=Demo slave"
    line "CName2="; line "CName3="; line "CName4="
    line "IPAdd1=127.0.0.1"; line "IPAdd2="; line "IPAdd3="; line "IPAdd4="
    line "Port1=10000"; line "Port2=10001"; line ""
    line "[Run]"; line "CPUDelay=60"; line "LogLevel=3"; line "LogName=TarnixM.log"; line 'LogPath=Log\'
    line "RunOnTop=1"; line "StartDelay=2"; line "StartMin=1"; line ""
    line "[Shutdown]"; line "ShutTime=60"; line "ShutType=1"; line ""
}

write_slave() {
    line "# Tarnix Slave Version 4.2"; line "# Configuration File"; line "# demo"; line ""
    line "[Comms]"; line "DName=1"; line "IPAdd=127.0.0.1"; line "Port1=10001"; line "Port2=10000"; line ""
    line "[Run]"; line "CPUDelay=60"; line "LogLevel=3"; line "LogName=TarnixS.log"; line 'LogPath=Log\'
    line "RunOnTop=1"; line "StartDelay=2"; line "StartMin=1"; line ""
    line "[Shutdown]"; line "ShutTime=60"; line "ShutType=1"; line ""
}

for side in master slave; do mkdir -p "$DEMO/$side/Data" "$DEMO/$side/Log"; done
write_master > "$DEMO/master/Data/TarnixM.ini"
write_slave > "$DEMO/slave/Data/TarnixS.ini"

if [ -z "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
    export QT_QPA_PLATFORM=offscreen
    HEADLESS=1
else
    HEADLESS=0
fi

start() { # side binary
    (cd "$DEMO/$1" && exec "$BIN/$2" -InhibitShutdown -AllowMulti) 2>/dev/null &
    PIDS+=($!)
}

cat <<TXT
Tarnix demo: a master and a slave on loopback (master sends to port 10000, slave answers to 10001).
Program folders: $DEMO/master and $DEMO/slave. Nothing is powered off: both run with -InhibitShutdown,
which also shortens the loss delay and the countdown to 6 seconds each.
TXT

start master TarnixM
MASTER=${PIDS[0]}
start slave TarnixS
SLAVE=${PIDS[1]}

if [ "$HEADLESS" = 0 ]; then
    echo "Both windows are open. Close them (Exit), or press Ctrl+C here to stop both."
    wait
    exit 0
fi

# Off screen: print both logs as they grow, and tell the story in between.
tail -n +1 -F "$DEMO/master/Log/TarnixM.log" 2>/dev/null | sed -u 's/^/[master] /' &
PIDS+=($!)
tail -n +1 -F "$DEMO/slave/Log/TarnixS.log" 2>/dev/null | sed -u 's/^/[slave]  /' &
PIDS+=($!)

sleep 10
echo
echo ">>> The pair is connected (master: \"Comms: 2, 0, 0, 0\"; slave: \"Comms: -OK-\"). Stopping the slave now."
echo
kill "$SLAVE"
sleep 9
echo
echo ">>> The master lost its only slave: after 6 silent seconds it counts down (6 seconds, simulated)."
echo
sleep 7
cat <<TXT

>>> Demo over: the master's countdown expired and was simulated ("Power Off / Simulate").

To run a real pair on two computers:
  1. ./run package, then install the package it prints on both computers
     (sudo apt install ./build/package/tarnix_....deb) and add each user who runs Tarnix to the
     group tarnix (sudo adduser USER tarnix, then log in again).
  2. Start "Tarnix" (tarnix-master) on one computer and "Tarnix Slave" (tarnix-slave) on the
     other, from the System menu. Each starts asking to be set up: click Configure.
  3. Master: this computer's name, the slave's name and IP address. Slave: the master's IP
     address. The shipped ports pair the master with its first slave; a second slave needs
     TX port 10002 (a third 10003, ...). Save, then Close: supervision starts at once.
  4. When the link is lost for the set number of seconds, the configured action runs after its
     countdown. tarnix-master --help tells where the files are.
TXT
