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
  1. ./run build on both, then copy build/bin/TarnixM (or TarnixS), dist/Data and dist/Log into a
     program folder on each computer, and start the program from that folder.
  2. Master, Data/TarnixM.ini: CName0 = this computer's name, CName1 = the slave's name,
     IPAdd1 = the slave's IP address; Port1=10000, Port2=10001 as shipped.
  3. Slave, Data/TarnixS.ini: IPAdd = the master's IP address; Port1=10001, Port2=10000 as shipped.
     A second slave answers to Port2 + 1 of the master: give it Port1=10002 (a third 10003, ...).
  4. Start both without -InhibitShutdown: when the link is lost for CPUDelay seconds, the
     configured action (ShutType) runs after ShutTime seconds of countdown.
TXT
