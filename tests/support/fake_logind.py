#!/usr/bin/python3
"""A fake systemd-logind on a private D-Bus, so that power actions can be tested without ever
reaching the machine's own system bus.

Usage:
  fake_logind.py [options] -- COMMAND [ARG...]
      Runs COMMAND with DBUS_SYSTEM_BUS_ADDRESS set to the private bus and exits with its status.
  fake_logind.py [options]
      Prints "DBUS_SYSTEM_BUS_ADDRESS=<address>" as its first line of output, then serves until
      its standard input closes or it receives SIGTERM or SIGINT.

Options:
  -p, --parameters JSON  start state, for example
                         '{"CanPowerOff": "challenge",
                           "Errors": {"PowerOffWithFlags": ["org.freedesktop.DBus.Error.AccessDenied", "No"]}}'
                         Keys: Can<Verb> (yes, no, na, challenge) for PowerOff, Reboot, Halt, Suspend,
                         Hibernate; Errors: method -> [error name, error text].
  -l, --log FILE         the mock's log: after a few lines of its own set-up, one line per call
                         received (time, method, arguments), e.g. "1796707967.802 PowerOffWithFlags 0"
  --bus-only             a private bus with no logind on it
  --socket PATH          the bus listens on this socket, so that a bus started again there has
                         the same address (a stale socket left there is replaced)

Either way the bus and the fake end when this script ends; unless --socket names it, the bus
socket lives in a fresh temporary folder, so it is reachable from other network namespaces too. The script exits with
77 when dbus-daemon or python3-dbusmock is missing (the test runners' code for "skipped").

On the bus, besides logind's Manager methods (calls recorded; org.freedesktop.DBus.Mock.GetCalls
and ClearCalls read and clear the record, Reset restores the start state), the mock object
/org/freedesktop/login1 offers on org.freedesktop.DBus.Mock:
  SetCanAnswer(s method, s answer)          e.g. ("CanHalt", "no")
  SetError(s method, s name, s text)        the method then fails with this D-Bus error
  SetDelay(s method, d seconds)             the method answers only after this delay
  AddInhibitor(s what, s who, s why, s mode, u uid, u pid)
GetSessionByPID answers with the one session "c1" of the mock's own user.
"""

# This file is also the dbusmock template of the fake: dbusmock loads it by path and calls load().

import json
import os
import shutil
import signal
import subprocess
import sys
import tempfile
import time

BUS_NAME = 'org.freedesktop.login1'
MAIN_OBJ = '/org/freedesktop/login1'
MAIN_IFACE = 'org.freedesktop.login1.Manager'
SYSTEM_BUS = True

SKIP = 77
VERBS = ['PowerOff', 'Reboot', 'Halt', 'Suspend', 'Hibernate']
SESSION_ID = 'c1'

# ---------------------------------------------------------------------------------------------
# The template, run inside dbusmock.

if __name__ != '__main__':
    import dbus
    import dbus.service
    from dbusmock import MOCK_IFACE, mockobject
    from dbusmock.templates import logind as base

    # dbusmock attaches the D-Bus methods it finds in the template's namespace: take the
    # stock template's ones (ListInhibitors, AddSession, ...) along.
    globals().update({name: fn for name, fn in vars(base).items() if hasattr(fn, '_dbus_interface')})

    def _misbehave(mock, method):
        delay = mock.fake_delays.get(method, 0)
        if delay:
            time.sleep(delay)
        if method in mock.fake_errors:
            name, text = mock.fake_errors[method]
            raise dbus.exceptions.DBusException(text, name=name)

    def _action(method):
        def run(mock, *_args):
            _misbehave(mock, method)
        return run

    def _can(method):
        def run(mock):
            _misbehave(mock, method)
            return mock.fake_answers[method]
        return run

    def _get_session_by_pid(mock, pid):
        _misbehave(mock, 'GetSessionByPID')
        for path in mockobject.objects:
            if '/session/' in path:
                return dbus.ObjectPath(path)
        raise dbus.exceptions.DBusException(f'PID {pid} does not belong to any known session',
                                            name='org.freedesktop.login1.NoSessionForPID')

    def load(mock, parameters):
        base.load(mock, parameters)
        mock.fake_answers = {'Can' + v: parameters.get('Can' + v, 'yes') for v in VERBS}
        mock.fake_errors = {k: tuple(v) for k, v in parameters.get('Errors', {}).items()}
        mock.fake_delays = {}
        mockobject.inhibitors = []
        methods = []
        for verb in VERBS:
            methods.append((verb, 'b', '', _action(verb)))
            methods.append((verb + 'WithFlags', 't', '', _action(verb + 'WithFlags')))
            methods.append(('Can' + verb, '', 's', _can('Can' + verb)))
        methods.append(('TerminateSession', 's', '', _action('TerminateSession')))
        methods.append(('GetSessionByPID', 'u', 'o', _get_session_by_pid))
        mock.AddMethods(MAIN_IFACE, methods)
        mock.AddSession(SESSION_ID, 'seat0', dbus.UInt32(os.getuid()), 'tarnix', True)
        # The session set-up is not part of what a test watches.
        mock.call_log = []

    def _unrecorded(mock):
        # dbusmock records every call of a template method, settings included; the record is
        # meant to show what logind was asked, so a setting takes its own entry back out.
        mock.call_log.pop()

    @dbus.service.method(MOCK_IFACE, in_signature='ss', out_signature='')
    def SetCanAnswer(self, method, answer):
        _unrecorded(self)
        self.fake_answers[str(method)] = str(answer)

    @dbus.service.method(MOCK_IFACE, in_signature='sss', out_signature='')
    def SetError(self, method, name, text):
        _unrecorded(self)
        self.fake_errors[str(method)] = (str(name), str(text))

    @dbus.service.method(MOCK_IFACE, in_signature='sd', out_signature='')
    def SetDelay(self, method, seconds):
        _unrecorded(self)
        self.fake_delays[str(method)] = float(seconds)

    @dbus.service.method(MOCK_IFACE, in_signature='ssssuu', out_signature='')
    def AddInhibitor(self, what, who, why, mode, uid, pid):  # pylint: disable=too-many-arguments
        _unrecorded(self)
        mockobject.inhibitors.append((what, who, why, mode, dbus.UInt32(uid), dbus.UInt32(pid)))

# ---------------------------------------------------------------------------------------------
# The launcher.

PYTHON = '/usr/bin/python3'
BUS_CONFIG = '''<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <listen>{listen}</listen>
  <auth>EXTERNAL</auth>
  <!-- No service folders: nothing on this bus is ever started on demand. -->
  <policy context="default">
    <allow user="*"/>
    <allow own="*"/>
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
  </policy>
</busconfig>
'''


class Unavailable(Exception):
    '''A tool the fake needs is not installed.'''


def parse_args(argv):
    import argparse
    parser = argparse.ArgumentParser(description='fake systemd-logind on a private D-Bus')
    parser.add_argument('-p', '--parameters', default='{}')
    parser.add_argument('-l', '--log')
    parser.add_argument('--bus-only', action='store_true')
    parser.add_argument('--socket')
    parser.add_argument('command', nargs=argparse.REMAINDER)
    args = parser.parse_args(argv)
    if args.command and args.command[0] == '--':
        args.command = args.command[1:]
    json.loads(args.parameters)  # fail here, not inside the mock
    return args


def die_with_us():
    '''Child processes end with this script even when it is killed outright.'''
    import ctypes
    pr_set_pdeathsig = 1
    ctypes.CDLL(None, use_errno=True).prctl(pr_set_pdeathsig, signal.SIGTERM)


def start_bus(folder, socket):
    daemon = shutil.which('dbus-daemon')
    if not daemon:
        raise Unavailable('dbus-daemon is not installed')
    config = os.path.join(folder, 'bus.conf')
    with open(config, 'w', encoding='UTF-8') as out:
        listen = 'unix:path=' + socket if socket else 'unix:dir=' + folder
        out.write(BUS_CONFIG.format(listen=listen))
    # As root the daemon complains that it may not raise its file limit; keep its chatter
    # unless it fails.
    errors = os.path.join(folder, 'bus.err')
    with open(errors, 'w', encoding='UTF-8') as err:
        bus = subprocess.Popen([daemon, '--config-file=' + config, '--nofork', '--nopidfile', '--print-address=1'],
                               stdin=subprocess.DEVNULL, stdout=subprocess.PIPE, stderr=err, text=True,
                               preexec_fn=die_with_us)
    address = bus.stdout.readline().strip()
    if not address:
        bus.wait()
        with open(errors, encoding='UTF-8') as err:
            raise RuntimeError('dbus-daemon did not start: ' + err.read())
    return bus, address


def wait_for_name(address, mock, deadline):
    import dbus
    connection = dbus.bus.BusConnection(address)
    try:
        while not connection.name_has_owner(BUS_NAME):
            if mock.poll() is not None:
                raise RuntimeError(f'the fake logind ended with status {mock.returncode}')
            if time.monotonic() > deadline:
                raise RuntimeError('the fake logind did not appear on the bus')
            time.sleep(0.02)
    finally:
        connection.close()


def start_mock(address, args):
    try:
        import dbusmock  # noqa: F401  pylint: disable=unused-import,import-outside-toplevel
    except ImportError as error:
        raise Unavailable('python3-dbusmock is not installed') from error
    env = dict(os.environ, DBUS_SYSTEM_BUS_ADDRESS=address)
    command = [PYTHON, '-m', 'dbusmock', '--system', '--template', os.path.abspath(__file__),
               '--parameters', args.parameters]
    if args.log:
        command += ['--logfile', args.log]
    mock = subprocess.Popen(command, env=env, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                            preexec_fn=die_with_us)
    wait_for_name(address, mock, time.monotonic() + 10)
    return mock


def stop(process):
    if process is None or process.poll() is not None:
        return
    process.terminate()
    try:
        process.wait(timeout=3)
    except subprocess.TimeoutExpired:
        process.kill()
        process.wait()


def serve(address, command):
    env = dict(os.environ, DBUS_SYSTEM_BUS_ADDRESS=address)
    if command:
        return subprocess.call(command, env=env)
    print('DBUS_SYSTEM_BUS_ADDRESS=' + address, flush=True)
    while sys.stdin.buffer.read(4096):
        pass
    return 0


def on_signal(number, _frame):
    raise SystemExit(128 + number)


def main(argv):
    # dbus-python and dbusmock belong to the system's interpreter, whichever one started us.
    if os.path.realpath(sys.executable) != os.path.realpath(PYTHON) and os.path.exists(PYTHON):
        os.execv(PYTHON, [PYTHON, os.path.abspath(__file__)] + argv)
    args = parse_args(argv)
    signal.signal(signal.SIGTERM, on_signal)
    signal.signal(signal.SIGINT, on_signal)
    folder = tempfile.mkdtemp(prefix='fake-logind-')
    bus = mock = None
    try:
        bus, address = start_bus(folder, args.socket)
        if not args.bus_only:
            mock = start_mock(address, args)
        return serve(address, args.command)
    except Unavailable as error:
        print('skipped: ' + str(error), file=sys.stderr)
        return SKIP
    finally:
        stop(mock)
        stop(bus)
        shutil.rmtree(folder, ignore_errors=True)


if __name__ == '__main__':
    sys.exit(main(sys.argv[1:]))
