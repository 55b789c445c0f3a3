"""Harness for Lumaro's end-to-end tests: the real lumaro.exe under Wine, in a
network namespace of its own with a PPP adapter, on a virtual display.

Runs as root (ip netns, /dev/net/tun). Standard library only.

    import harness
    with harness.Session(ppp=True) as s:          # Xvfb, namespace, wineserver
        tray = s.start_trayhost()                  # the notification area
        home = s.home()                            # the monitor's current directory
        lumaro = s.wine.start_lumaro('kim', 'vpn', cwd=home)
        harness.wait_for(lambda: s.wine.find('Lumaro'), 20)
        labels = s.wine.text('Lumaro', 1003, 1005, 1010)
        tray.wait_for_tip(lambda tip: tip.startswith('[남은시간]'), 30)
        s.wine.close_window('Lumaro')
        lumaro.wait(20)

Paths come from LUMARO_BUILD (default /work/main/build) and LUMARO_SOURCE
(default: the work tree holding this file). All tests of a run share one
Wine prefix, LUMARO_E2E_PREFIX (default /root/.lumaro-wine-e2e), created on
first use. A prefix has one wineserver, and Wine lists the adapters of the
namespace that wineserver was started in, so only one Session runs at a time.
LUMARO_E2E_KEEP=1 keeps the temporary folders for a look after the run.
"""
import datetime
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time
import unittest
from collections import namedtuple

HERE = os.path.dirname(os.path.abspath(__file__))
BUILD = os.environ.get('LUMARO_BUILD', '/work/main/build')
SOURCE = os.environ.get('LUMARO_SOURCE', os.path.dirname(os.path.dirname(HERE)))
PREFIX = os.environ.get('LUMARO_E2E_PREFIX', '/root/.lumaro-wine-e2e')
KEEP = os.environ.get('LUMARO_E2E_KEEP') == '1'

WINE = '/usr/lib/wine/wine'
WINESERVER = '/usr/lib/wine/wineserver'

LUMARO_EXE = os.path.join(BUILD, 'lumaro.exe')
DRIVER_EXE = os.path.join(BUILD, 'tools', 'driver', 'driver.exe')
TRAYHOST_EXE = os.path.join(BUILD, 'tools', 'trayhost', 'trayhost.exe')
ADAPTERS_EXE = os.path.join(BUILD, 'tools', 'adapters', 'adapters.exe')
FAKE_IPHLPAPI_DLL = os.path.join(BUILD, 'tools', 'fake_iphlpapi', 'iphlpapi.dll')
PROBE_EXE = os.path.join(BUILD, 'tests', 'e2e', 'e2e_probe.exe')
NOTICE_SERVER_PY = os.path.join(SOURCE, 'tools', 'notice_server.py')
ADMIN_SERVER_PY = os.path.join(SOURCE, 'tools', 'admin_server.py')

# The stand-in iphlpapi.dll is taken from the program's folder only with this override.
FAKE_IPHLPAPI_OVERRIDE = 'iphlpapi=n'

WM_USER = 0x0400
WM_TRAY_NOTIFY = WM_USER + 1
WM_INSTANCE_QUIT = WM_USER + 2
WM_LBUTTONDBLCLK = 0x0203
WM_RBUTTONDOWN = 0x0204
WM_RBUTTONUP = 0x0205
ID_SHOW_CLOCK = 32771
ID_SAVE_LOG = 32773
TRAY_ICON_ID = 1090
WM_CLOSE = 0x0010
WM_COMMAND = 0x0111
WM_SYSCOMMAND = 0x0112
SC_CLOSE = 0xF060
IDOK, IDCANCEL = 1, 2
VK_RETURN, VK_ESCAPE = 0x0D, 0x1B

# Captions of the monitor's windows.
LUMARO_TITLE = 'Lumaro'
USAGE_TITLE = '사용시간 및 잔여시간을 확인 바랍니다'
WARNING_TITLE = '잔여시간 경고창'

_NAME_PREFIX = 'lme2e-'
_counter = [0]


def _unique(kind):
    _counter[0] += 1
    return '%s%d-%s%d' % (_NAME_PREFIX, os.getpid(), kind, _counter[0])


# ---- small helpers ----

def wait_for(predicate, timeout=10.0, interval=0.2):
    """Calls predicate until it returns something truthy and returns that;
    at the timeout returns the last (falsy) value."""
    deadline = time.monotonic() + timeout
    while True:
        value = predicate()
        if value or time.monotonic() >= deadline:
            return value
        time.sleep(interval)


def winpath(path):
    """The Windows view of an absolute Unix path: drive Z: is Wine's '/'."""
    return 'Z:' + os.path.abspath(path).replace('/', '\\')


def read_log(path):
    """A file the program wrote, decoded from CP949; '' when it does not exist."""
    try:
        with open(path, 'rb') as f:
            return f.read().decode('cp949', errors='replace')
    except FileNotFoundError:
        return ''


def read_bytes(path):
    try:
        with open(path, 'rb') as f:
            return f.read()
    except FileNotFoundError:
        return b''


def unescape(text):
    """Undoes the escapes with which driver and trayhost keep a text on one line."""
    return re.sub(r'\\(.)', lambda m: {'t': '\t', 'r': '\r', 'n': '\n'}.get(m.group(1), m.group(1)), text)


def make_temp_dir(kind='home'):
    return tempfile.mkdtemp(prefix=_unique(kind) + '-', dir=os.environ.get('LUMARO_E2E_TMP', '/tmp'))


def _run_quiet(args, timeout=30, **kw):
    return subprocess.run(args, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                          timeout=timeout, **kw).returncode


def _pid_alive(pid):
    try:
        os.kill(pid, 0)
        return True
    except ProcessLookupError:
        return False
    except PermissionError:
        return True


# ---- display ----

class Display:
    """A virtual X display (Xvfb) for the Wine windows. Reached from inside the
    network namespaces through its socket file in /tmp/.X11-unix."""

    def __init__(self, size='1024x768x24', first=91):
        self.size = size
        self.first = first
        self.number = None
        self.proc = None

    @property
    def name(self):
        return ':%d' % self.number

    def start(self, timeout=10):
        for n in range(self.first, self.first + 100):
            if os.path.exists('/tmp/.X%d-lock' % n) or os.path.exists('/tmp/.X11-unix/X%d' % n):
                continue
            proc = subprocess.Popen(['Xvfb', ':%d' % n, '-screen', '0', self.size, '-nolisten', 'tcp', '-ac'],
                                    stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            if wait_for(lambda: os.path.exists('/tmp/.X11-unix/X%d' % n) or proc.poll() is not None, timeout, 0.05) \
                    and proc.poll() is None:
                self.number, self.proc = n, proc
                return self
            proc.kill()
            proc.wait()
        raise RuntimeError('no free X display found for Xvfb')

    def screenshot(self, path):
        """Saves the whole screen as an image (format from the file name)."""
        return _run_quiet(['import', '-window', 'root', path], env=dict(os.environ, DISPLAY=self.name)) == 0

    def stop(self):
        if self.proc:
            end_process(self.proc)
            self.proc = None

    def __enter__(self):
        return self.start()

    def __exit__(self, *exc):
        self.stop()


# ---- network namespace ----

_TUNSETIFF = 0x400454ca
_TUNSETPERSIST = 0x400454cb
_TUNSETLINK = 0x400454cd
_IFF_TUN = 0x0001
_IFF_NO_PI = 0x1000
_ARPHRD_PPP = 512

# Runs inside the namespace: a persistent TUN device with the PPP link type,
# which Wine reports as an adapter of type 23 (PPP).
_MAKE_PPP = '''
import fcntl, os, struct, sys
fd = os.open('/dev/net/tun', os.O_RDWR)
fcntl.ioctl(fd, %d, struct.pack('16sH', sys.argv[1].encode(), %d))
fcntl.ioctl(fd, %d, %d)
fcntl.ioctl(fd, %d, 1)
os.close(fd)
''' % (_TUNSETIFF, _IFF_TUN | _IFF_NO_PI, _TUNSETLINK, _ARPHRD_PPP, _TUNSETPERSIST)

_IFF_TAP = 0x0002

# A persistent TAP device: Wine reports it as an Ethernet adapter (type 6).
_MAKE_TAP = '''
import fcntl, os, struct, sys
fd = os.open('/dev/net/tun', os.O_RDWR)
fcntl.ioctl(fd, %d, struct.pack('16sH', sys.argv[1].encode(), %d))
fcntl.ioctl(fd, %d, 1)
os.close(fd)
''' % (_TUNSETIFF, _IFF_TAP | _IFF_NO_PI, _TUNSETPERSIST)


def _ip(*args, check=True):
    rc = subprocess.run(['ip'] + list(args), stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                        stderr=subprocess.PIPE, timeout=30)
    if check and rc.returncode != 0:
        raise RuntimeError('ip %s: %s' % (' '.join(args), rc.stderr.decode(errors='replace').strip()))
    return rc


def cleanup_stale_namespaces():
    """Removes namespaces left by harness runs whose process has died."""
    listing = _ip('netns', 'list', check=False).stdout.decode(errors='replace')
    for line in listing.splitlines():
        name = line.split()[0] if line.split() else ''
        m = re.match(re.escape(_NAME_PREFIX) + r'(\d+)-', name)
        if m and not _pid_alive(int(m.group(1))):
            _remove_namespace(name)


def _remove_namespace(name):
    _ip('-n', name, 'tuntap', 'del', 'dev', 'ppp0', 'mode', 'tun', check=False)
    _ip('netns', 'del', name, check=False)
    shutil.rmtree('/etc/netns/' + name, ignore_errors=True)


class NetNs:
    """A network namespace: lo up, /etc/resolv.conf naming `dns` (ip netns
    exec binds /etc/netns/NAME/resolv.conf over it, and Wine reports it as the
    DNS server of every adapter), and with ppp=True a PPP device ppp0 with
    address `ppp_address`. Stand-in servers listen inside on loopback."""

    def __init__(self, name=None, ppp=True, dns='127.0.0.1', ppp_address='10.99.0.2'):
        cleanup_stale_namespaces()
        self.name = name or _unique('ns')
        self.devices = []
        self.lan_devices = []
        _remove_namespace(self.name)
        _ip('netns', 'add', self.name)
        try:
            _ip('-n', self.name, 'link', 'set', 'lo', 'up')
            os.makedirs('/etc/netns/' + self.name, exist_ok=True)
            with open('/etc/netns/%s/resolv.conf' % self.name, 'w') as f:
                f.write('nameserver %s\n' % dns if dns else '')
            if ppp:
                self.add_ppp('ppp0', ppp_address)
        except Exception:
            self.close()
            raise

    def exec_args(self, args):
        """The command line that runs args inside the namespace."""
        return ['ip', 'netns', 'exec', self.name] + list(args)

    def add_ppp(self, device='ppp0', address='10.99.0.2'):
        subprocess.run(self.exec_args([sys.executable, '-c', _MAKE_PPP, device]), check=True, timeout=30)
        _ip('-n', self.name, 'addr', 'add', address + '/32', 'dev', device)
        _ip('-n', self.name, 'link', 'set', device, 'up')
        self.devices.append(device)

    def add_lan(self, device='eth0', address='10.98.0.2/24'):
        """An Ethernet adapter (a TAP device), for a machine whose only
        adapters are not PPP. Wine lists it at once, no server restart needed."""
        subprocess.run(self.exec_args([sys.executable, '-c', _MAKE_TAP, device]), check=True, timeout=30)
        self.lan_devices.append(device)
        _ip('-n', self.name, 'addr', 'add', address, 'dev', device)
        _ip('-n', self.name, 'link', 'set', device, 'up')

    def remove_ppp(self, device='ppp0'):
        """Deletes the device. Note that Wine keeps listing it until its
        wineserver restarts: a vanishing adapter needs the stand-in iphlpapi."""
        _ip('-n', self.name, 'tuntap', 'del', 'dev', device, 'mode', 'tun', check=False)
        if device in self.devices:
            self.devices.remove(device)

    def popen(self, args, **kw):
        kw.setdefault('stdin', subprocess.DEVNULL)
        return subprocess.Popen(self.exec_args(args), **kw)

    def run(self, args, timeout=30):
        """(exit code, stdout text) of a Linux command run in the namespace."""
        rc = subprocess.run(self.exec_args(args), stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                            stderr=subprocess.STDOUT, timeout=timeout)
        return rc.returncode, rc.stdout.decode(errors='replace')

    def close(self):
        for device in list(self.devices):
            self.remove_ppp(device)
        for device in self.lan_devices:
            _ip('-n', self.name, 'tuntap', 'del', 'dev', device, 'mode', 'tap', check=False)
        self.lan_devices = []
        _remove_namespace(self.name)

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()


# ---- Wine ----

_wine_env_cache = {}


def wine_environment(prefix):
    """The environment of scripts/wine-env (Korean locale for code page 949,
    WINEDEBUG=-all, ...) for the given prefix."""
    if prefix not in _wine_env_cache:
        env = dict(os.environ, WINEPREFIX=prefix)
        env.pop('WINEDLLOVERRIDES', None)
        script = os.path.join(SOURCE, 'scripts', 'wine-env')
        out = subprocess.run(['bash', '-c', 'source "$0" && env -0', script], env=env, stdout=subprocess.PIPE,
                             check=True, timeout=30).stdout
        sourced = dict(item.split('=', 1) for item in out.decode().split('\0') if '=' in item)
        sourced['WINEPREFIX'] = prefix
        _wine_env_cache[prefix] = sourced
    return dict(_wine_env_cache[prefix])


def ensure_prefix(prefix=PREFIX):
    """Creates the Wine prefix once (outside any namespace), about 10 s."""
    if os.path.exists(os.path.join(prefix, 'system.reg')):
        return
    env = wine_environment(prefix)
    subprocess.run([WINE, 'wineboot', '-i'], env=env, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                   stderr=subprocess.DEVNULL, timeout=300, check=True)
    _run_quiet([WINESERVER, '-k'], env=env)
    _run_quiet([WINESERVER, '-w'], env=env, timeout=60)


Found = namedtuple('Found', 'hwnd visible cls pid')
Window = namedtuple('Window', 'hwnd visible pid cls title rect children')
Control = namedtuple('Control', 'id visible cls text')


class Wine:
    """Runs Windows programs of one prefix inside a network namespace, on a
    display. start_server() must come first: it starts the prefix's
    wineserver inside the namespace, so Wine sees that namespace's adapters."""

    def __init__(self, netns=None, prefix=PREFIX, display=None):
        self.netns = netns
        self.prefix = prefix
        self.display = display
        self.procs = []
        self.server_started = False

    # environment and command lines

    def env(self, extra=None, dll_overrides=None):
        env = wine_environment(self.prefix)
        if self.display is not None:
            env['DISPLAY'] = self.display.name if isinstance(self.display, Display) else self.display
        if dll_overrides:
            base = env.get('WINEDLLOVERRIDES', '')
            env['WINEDLLOVERRIDES'] = ';'.join(x for x in (base, dll_overrides) if x)
        if extra:
            env.update(extra)
        return env

    def command_line(self, args):
        cmd = [WINE] + [str(a) for a in args]
        return self.netns.exec_args(cmd) if self.netns else cmd

    # the wineserver

    def start_server(self):
        ensure_prefix(self.prefix)
        env = self.env()
        # a server of this prefix left in another namespace would answer instead
        _run_quiet([WINESERVER, '-k'], env=env)
        _run_quiet([WINESERVER, '-w'], env=env, timeout=60)
        server = [WINESERVER, '-p']
        _run_quiet(self.netns.exec_args(server) if self.netns else server, env=env)
        self.server_started = True
        # the first program of a session starts Wine's services and desktop (seconds)
        self.run([DRIVER_EXE, 'find', '__warm_up__'], timeout=120)
        return self

    def stop_server(self):
        env = self.env()
        _run_quiet([WINESERVER, '-k'], env=env)
        _run_quiet([WINESERVER, '-w'], env=env, timeout=60)
        self.server_started = False
        for proc in self.procs:
            try:
                proc.wait(10)
            except subprocess.TimeoutExpired:
                proc.kill()
                proc.wait()
        self.procs = []

    # programs

    def start(self, args, cwd=None, env=None, dll_overrides=None, stdout=subprocess.DEVNULL,
              stderr=subprocess.DEVNULL):
        """Starts a Windows program (args[0] is its Unix path); returns its Popen.
        The exit code of the Popen is the program's exit code."""
        proc = subprocess.Popen(self.command_line(args), cwd=cwd or None, env=self.env(env, dll_overrides),
                                stdin=subprocess.DEVNULL, stdout=stdout, stderr=stderr)
        self.procs.append(proc)
        return proc

    def run(self, args, timeout=60, cwd=None, env=None, dll_overrides=None):
        """Runs a Windows program to its end: (exit code, stdout as UTF-8 text)."""
        proc = subprocess.run(self.command_line(args), cwd=cwd or None, env=self.env(env, dll_overrides),
                              stdin=subprocess.DEVNULL, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
                              timeout=timeout)
        return proc.returncode, proc.stdout.decode('utf-8', errors='replace')

    def start_lumaro(self, *args, cwd=None, exe=None, env=None, dll_overrides=None):
        """Starts lumaro.exe (or a staged copy, see stage_program) with the
        given command-line words, in the home folder cwd."""
        return self.start([exe or LUMARO_EXE] + list(args), cwd=cwd, env=env, dll_overrides=dll_overrides)

    def run_lumaro(self, *args, cwd=None, exe=None, timeout=60, env=None, dll_overrides=None):
        return self.run([exe or LUMARO_EXE] + list(args), timeout=timeout, cwd=cwd, env=env,
                        dll_overrides=dll_overrides)

    def start_trayhost(self, logpath, *options):
        """Starts the notification-area stand-in writing to logpath; returns
        (Popen, TrayLog) once its window exists. Start it before the program
        under test: Shell_NotifyIcon fails while there is no tray window."""
        log = TrayLog(logpath)
        proc = self.start([TRAYHOST_EXE, winpath(logpath)] + list(options), cwd=os.path.dirname(logpath))
        if not wait_for(lambda: log.ready() or proc.poll() is not None, 30) or proc.poll() is not None:
            raise RuntimeError('trayhost did not start (exit %s)' % proc.poll())
        return proc, log

    # the driver

    def driver(self, *args, timeout=30):
        """(exit code, stdout) of one driver.exe command."""
        return self.run([DRIVER_EXE] + [str(a) for a in args], timeout=timeout)

    def find(self, title):
        """Found(hwnd, visible, cls, pid) of the window with that title, or None."""
        rc, out = self.driver('find', title)
        if rc != 0 or not out.strip():
            return None
        hwnd, visible, cls, pid = out.rstrip('\n').split('\t')
        return Found(int(hwnd, 16), visible == '1', cls, int(pid))

    def visible(self, title):
        """True or False, or None when there is no such window."""
        rc, _ = self.driver('visible', title)
        return {0: True, 2: False}.get(rc)

    def text(self, title, *ids):
        """{id: text} of the window's dialog items (labels, buttons, edits)."""
        rc, out = self.driver('text', title, *ids)
        texts = {}
        for line in out.splitlines():
            if '\t' in line:
                key, value = line.split('\t', 1)
                texts[int(key)] = unescape(value)
        return texts

    def edit_text(self, title, item, raw=False):
        """The whole text of an edit control; raw=True gives the CP949 bytes."""
        rc, out = self.driver('edit-text', title, item, *(['--raw'] if raw else []))
        if rc != 0:
            return None
        line = out.rstrip('\n')
        return bytes.fromhex(line) if raw else unescape(line)

    def set_text(self, title, item, text):
        return self.driver('settext', title, item, text)[0] == 0

    def command(self, title, command_id):
        return self.driver('command', title, command_id)[0] == 0

    def close_window(self, title):
        return self.driver('close', title)[0] == 0

    def post(self, title, msg, wparam=0, lparam=0):
        return self.driver('post', title, hex(msg), hex(wparam), hex(lparam))[0] == 0

    def tray_event(self, title, icon_id, event):
        return self.driver('tray-event', title, icon_id, hex(event))[0] == 0

    def check(self, title, item, value=None):
        """The state of a check box; with a value, clicks it into that state first."""
        rc, out = self.driver('check', title, item, *([] if value is None else [int(value)]))
        return int(out.strip()) if out.strip().isdigit() else None

    def key(self, title, *vks):
        return self.driver('key', title, *[hex(vk) for vk in vks])[0] == 0

    def msgbox(self, title=None, wait=0, press=True, button=None):
        """(caption, text) of a visible message box, pressing OK (or `button`)
        unless press is False; None when none appears within `wait` seconds."""
        args = ['msgbox-wait', int(wait)] if wait else ['msgbox']
        if title is not None:
            args.append(title)
        if button is not None:
            args += ['--button', button]
        if not press:
            args.append('--no-press')
        rc, out = self.driver(*args, timeout=wait + 30)
        if rc != 0 or '\t' not in out:
            return None
        caption, text = out.rstrip('\n').split('\t', 1)
        return caption, unescape(text)

    def dialogs(self, all_windows=False):
        """Every (visible) top-level window with its controls."""
        rc, out = self.driver('dialogs', *(['--all'] if all_windows else []))
        windows = []
        for line in out.splitlines():
            if line.startswith('  '):
                cid, vis, cls, text = (line[2:].split('\t', 3) + [''])[:4]
                windows[-1].children.append(Control(int(cid), vis == '1', cls, unescape(text)))
            elif line:
                hwnd, vis, pid, cls, title, rect = (line.split('\t') + [''] * 6)[:6]
                windows.append(Window(int(hwnd, 16), vis == '1', int(pid), cls, unescape(title),
                                      tuple(int(v) for v in rect.split(',')) if rect else None, []))
        return windows

    def menu_pick(self, index):
        """Chooses item `index` (separators not counted) of the open popup menu."""
        return self.driver('menu-pick', index)[0] == 0

    def adapters(self, exe=None, dll_overrides=None, env=None):
        """What GetAdaptersInfo reports: (rc, [Adapter...])."""
        rc, out = self.run([exe or ADAPTERS_EXE], env=env, dll_overrides=dll_overrides)
        return parse_adapters(out)

    def close(self):
        if self.server_started:
            self.stop_server()
        for proc in self.procs:
            if proc.poll() is None:
                proc.kill()
                proc.wait()
        self.procs = []


Adapter = namedtuple('Adapter', 'index type name ips dns description')


def parse_adapters(out):
    """Parses adapters.exe's report: (GetAdaptersInfo result, [Adapter...])."""
    rc = None
    found = []
    for line in out.splitlines():
        m = re.search(r'rc=(\d+) count=(\d+)', line)
        if m:
            rc = int(m.group(1))
            continue
        if 'adapter\t' in line:
            parts = line.split('adapter\t', 1)[1].split('\t')
            parts += [''] * (6 - len(parts))
            ips = [tuple(x.split('/', 1)) for x in parts[3].split(',') if x]
            dns = [x for x in parts[4].split(',') if x]
            found.append(Adapter(int(parts[0]), int(parts[1]), parts[2], ips, dns, parts[5]))
    return rc, found


# ---- stand-in adapter table ----

def adapter_line(name='{PPP-VPN}', description='WAN Miniport (PPTP)', index=7, type=23,
                 ips=('10.99.0.2',), masks=('255.255.255.255',), dns=('127.0.0.1',)):
    """One line of the stand-in iphlpapi's table."""
    return '|'.join([name, description, str(index), str(type), ','.join(ips), ','.join(masks), ','.join(dns)])


def write_adapters(path, lines):
    """Replaces the table at once (rename), so a reading program never sees half a file."""
    tmp = path + '.tmp'
    with open(tmp, 'wb') as f:
        f.write(''.join(line + '\r\n' for line in lines).encode('cp949'))
    os.replace(tmp, path)


def stage_program(exe, folder, fake_iphlpapi=True):
    """Copies a program (and the stand-in iphlpapi.dll) into folder: Wine
    loads a native iphlpapi only from the program's own folder. Run the copy
    with dll_overrides=FAKE_IPHLPAPI_OVERRIDE and env
    {'LUMARO_FAKE_ADAPTERS': table path}. Returns the copy's path."""
    os.makedirs(folder, exist_ok=True)
    target = os.path.join(folder, os.path.basename(exe))
    shutil.copy2(exe, target)
    if fake_iphlpapi:
        shutil.copy2(FAKE_IPHLPAPI_DLL, os.path.join(folder, 'iphlpapi.dll'))
    return target


def fake_adapter_env(table_path, call_log=None):
    env = {'LUMARO_FAKE_ADAPTERS': table_path}
    if call_log:
        env['LUMARO_FAKE_ADAPTERS_LOG'] = call_log
    return env


# ---- the notification-area log ----

TrayRecord = namedtuple('TrayRecord', 't_ms cmd owner id flags callback icon ok tip')

NIF_MESSAGE, NIF_ICON, NIF_TIP = 1, 2, 4


class TrayLog:
    """Reads trayhost's log: one TrayRecord per Shell_NotifyIcon call."""

    def __init__(self, path):
        self.path = path

    def _lines(self):
        try:
            with open(self.path, 'rb') as f:
                data = f.read().decode('utf-8', errors='replace')
        except FileNotFoundError:
            return []
        return [line for line in data.split('\n') if line]

    def ready(self):
        return any(line.split('\t')[1:2] == ['ready'] for line in self._lines())

    def records(self):
        out = []
        for line in self._lines():
            f = line.split('\t', 8)
            if len(f) < 9:
                continue
            out.append(TrayRecord(int(f[0]), f[1], int(f[2], 16), int(f[3]), int(f[4], 16), int(f[5], 16), f[6],
                                  f[7] == '1', unescape(f[8])))
        return out

    def _mine(self, icon_id=None, owner=None):
        return [r for r in self.records()
                if (icon_id is None or r.id == icon_id) and (owner is None or r.owner == owner)]

    def tips(self, icon_id=None, owner=None):
        """Tooltips in the order they were set (calls with NIF_TIP), of one
        icon id and owner window when given."""
        return [r.tip for r in self._mine(icon_id, owner) if r.flags & NIF_TIP]

    def last_tip(self, icon_id=None, owner=None):
        tips = self.tips(icon_id, owner)
        return tips[-1] if tips else None

    def commands(self, icon_id=None, owner=None):
        return [r.cmd for r in self._mine(icon_id, owner)]

    def icons(self):
        """The icons shown now, as the shell would hold them: {(owner, id): TrayRecord
        with the latest tip and icon}."""
        shown = {}
        for r in self.records():
            if not r.ok:
                continue
            key = (r.owner, r.id)
            if r.cmd == 'delete':
                shown.pop(key, None)
            elif r.cmd in ('add', 'modify'):
                old = shown.get(key)
                tip = r.tip if r.flags & NIF_TIP else (old.tip if old else '')
                icon = r.icon if r.flags & NIF_ICON else (old.icon if old else '-')
                shown[key] = r._replace(tip=tip, icon=icon)
        return shown

    def wait_for_tip(self, expected, timeout=10, icon_id=None, owner=None):
        """Waits until a tooltip equal to expected (a text) or accepted by it (a
        function) has been set; returns that tooltip or None."""
        match = expected if callable(expected) else (lambda tip: tip == expected)
        return wait_for(lambda: next((t for t in self.tips(icon_id, owner) if match(t)), None), timeout) or None

    def wait_for_command(self, cmd, timeout=10, icon_id=None, owner=None):
        """Waits for a call (add, modify, delete); returns its TrayRecord or None."""
        return wait_for(lambda: next((r for r in self._mine(icon_id, owner) if r.cmd == cmd), None), timeout) or None


def end_process(proc, grace=10):
    """Asks a process to end, and kills it when it has not after grace seconds."""
    if proc.poll() is None:
        proc.terminate()
        try:
            proc.wait(grace)
        except subprocess.TimeoutExpired:
            proc.kill()
            proc.wait()


# ---- the notice server ----

class NoticeServer:
    """tools/notice_server.py inside a namespace (netns None: on the host);
    `args` are its options (e.g. '--mode', 'one-send'). Listens on
    127.0.0.1:80 unless told otherwise; `port` is the port it listens on."""

    def __init__(self, netns, *args, host='127.0.0.1', port=80, record=None):
        self._own_dir = None if record else make_temp_dir('notice')
        self.record = record or os.path.join(self._own_dir, 'request.bin')
        cmd = [sys.executable, NOTICE_SERVER_PY, '--host', host, '--port', str(port), '--record', self.record]
        cmd += [str(a) for a in args]
        if netns is None:
            self.proc = subprocess.Popen(cmd, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                                         stderr=subprocess.DEVNULL)
        else:
            self.proc = netns.popen(cmd, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
        line = self.proc.stdout.readline().decode(errors='replace')
        if not line.startswith('listening'):
            self.stop()
            raise RuntimeError('notice server did not start: %r' % line)
        self.port = int(line.split()[-1].rsplit(':', 1)[1])

    def request(self):
        """The bytes the server has received so far."""
        return read_bytes(self.record)

    def stop(self):
        end_process(self.proc)
        if self.proc.stdout:
            self.proc.stdout.close()
        if self._own_dir and not KEEP:
            shutil.rmtree(self._own_dir, ignore_errors=True)
            self._own_dir = None


# ---- the admin server ----

class AdminServer:
    """tools/admin_server.py inside a namespace, on 127.0.0.1:5005 unless
    told otherwise; `args` are its scenario options (e.g. '--no-value').
    Every byte it receives goes to `record`, its own log to `log_path`."""

    def __init__(self, netns, *args, host='127.0.0.1', port=5005, record=None):
        self._own_dir = make_temp_dir('admin')
        self.record = record or os.path.join(self._own_dir, 'received.bin')
        self.log_path = os.path.join(self._own_dir, 'server.log')
        cmd = [sys.executable, ADMIN_SERVER_PY, '--host', host, '--port', str(port), '--record', self.record]
        cmd += [str(a) for a in args]
        self._log_file = open(self.log_path, 'wb')
        if netns is None:
            self.proc = subprocess.Popen(cmd, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                         stderr=self._log_file)
        else:
            self.proc = netns.popen(cmd, stdout=subprocess.DEVNULL, stderr=self._log_file)
        if not wait_for(lambda: 'listening on' in self.log() or self.proc.poll() is not None, 15, 0.05) \
                or self.proc.poll() is not None:
            text = self.log()
            self.stop()
            raise RuntimeError('admin server did not start: %r' % text[-500:])

    def received(self):
        """The bytes the server has received so far, from every client."""
        return read_bytes(self.record)

    def log(self):
        return read_bytes(self.log_path).decode('utf-8', errors='replace')

    def stop(self):
        end_process(self.proc)
        self._log_file.close()
        if not KEEP:
            shutil.rmtree(self._own_dir, ignore_errors=True)


# ---- the monitor's log ----

LogEntry = namedtuple('LogEntry', 'time level text')

# A text line of admin.log; the adapter block spans several lines ending in LF
# alone, so an entry runs to the CR LF. Dump blocks carry no level tag.
_LOG_LINE = re.compile(r'^(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3})   '
                       r'(\[MOST\] |\[FLOW\] |\[WARN\] |\[ERROR\]|\[XXX\]  ) ([^\r]*)\r\n', re.M)


def parse_log(text):
    """The text lines of admin.log as LogEntry(time as datetime, level tag
    without brackets, text), in file order; traffic dumps are left out."""
    entries = []
    for m in _LOG_LINE.finditer(text):
        stamp = datetime.datetime.strptime(m.group(1), '%Y-%m-%d %H:%M:%S.%f')
        entries.append(LogEntry(stamp, m.group(2).strip(' []'), m.group(3)))
    return entries


class Monitor:
    """A lumaro.exe session monitor started by start(): its Popen, its main
    window (hwnd, Wine pid) and its home folder with admin.log."""

    def __init__(self, wine, home, proc, window):
        self.wine = wine
        self.home = home
        self.proc = proc
        self.hwnd = window.hwnd
        self.pid = window.pid
        self.log_path = os.path.join(home, 'admin.log')

    @property
    def target(self):
        """The driver's name for the main window, exact even while another
        window carries the same caption."""
        return 'hwnd=0x%x' % self.hwnd

    @classmethod
    def start(cls, wine, home, *args, timeout=30, exe=None, env=None, dll_overrides=None, other_than=()):
        """Starts a monitor (default command line user01 VPN) and waits for
        its main window; other_than: Wine pids of older monitors to ignore."""
        proc = wine.start_lumaro(*(args or ('user01', 'VPN')), cwd=home, exe=exe, env=env,
                                 dll_overrides=dll_overrides)

        def window():
            found = wine.find(LUMARO_TITLE)
            return found if found and found.pid not in other_than else None
        found = wait_for(lambda: window() or proc.poll() is not None, timeout)
        if not found or proc.poll() is not None:
            if proc.poll() is None:
                proc.kill()
                proc.wait()
            raise RuntimeError('monitor window did not appear (exit %s)' % proc.poll())
        return cls(wine, home, proc, found)

    def log(self):
        return read_log(self.log_path)

    def entries(self, text=None, level=None):
        """Log entries whose text equals `text` (or all), of one level if given."""
        return [e for e in parse_log(self.log())
                if (text is None or e.text == text) and (level is None or e.level == level)]

    def wait_log(self, text, timeout=20, count=1, level=None):
        """Waits until the log holds `count` entries with exactly this text;
        returns them (fewer at the timeout)."""
        def enough():
            found = self.entries(text, level)
            return found if len(found) >= count else None
        return wait_for(enough, timeout) or self.entries(text, level)

    def windows(self):
        """Every visible top-level window of the monitor but its main window."""
        return [w for w in self.wine.dialogs() if w.pid == self.pid and w.hwnd != self.hwnd]

    def alive(self):
        return self.proc.poll() is None

    def stop(self, timeout=40):
        """Ends the monitor for a test's clean-up: WM_CLOSE to its main
        window, Cancel to every dialog it shows (closing summary, message
        box, file dialog); kills it when it does not end. Returns the exit code."""
        deadline = time.monotonic() + timeout
        closed_at = None
        while self.proc.poll() is None and time.monotonic() < deadline:
            if closed_at is None or time.monotonic() - closed_at > 5:
                self.wine.post(self.target, WM_CLOSE)
                closed_at = time.monotonic()
            if self.wine.driver('menu')[0] == 0:
                self.wine.driver('key', self.target, hex(VK_ESCAPE))
            for w in self.windows():
                self.wine.post('hwnd=0x%x' % w.hwnd, WM_COMMAND, IDCANCEL)
            try:
                self.proc.wait(0.5)
            except subprocess.TimeoutExpired:
                pass
        if self.proc.poll() is None:
            self.proc.kill()
            self.proc.wait()
        return self.proc.returncode


# ---- a whole scenario ----

class Session:
    """A display (given, or its own), a fresh namespace (with a PPP adapter
    when ppp=True) and the prefix's wineserver started inside it. Closing
    stops every Windows program of the prefix and removes the namespace and
    the temporary folders."""

    def __init__(self, display=None, ppp=True, dns='127.0.0.1', prefix=PREFIX, ppp_address='10.99.0.2'):
        self._own_display = display is None
        self.display = display
        self.ppp = ppp
        self.dns = dns
        self.prefix = prefix
        self.ppp_address = ppp_address
        self.netns = None
        self.wine = None
        self._dirs = []
        self._servers = []

    def __enter__(self):
        try:
            if self.display is None:
                self.display = Display().start()
            self.netns = NetNs(ppp=self.ppp, dns=self.dns, ppp_address=self.ppp_address)
            self.wine = Wine(self.netns, self.prefix, self.display).start_server()
        except Exception:
            self.close()
            raise
        return self

    def __exit__(self, *exc):
        self.close()

    def home(self):
        """A new empty folder for the program's current directory."""
        path = make_temp_dir('home')
        self._dirs.append(path)
        return path

    def start_trayhost(self, *options):
        """Starts trayhost with a log in a folder of its own; returns its TrayLog."""
        folder = make_temp_dir('tray')
        self._dirs.append(folder)
        _, log = self.wine.start_trayhost(os.path.join(folder, 'tray.log'), *options)
        return log

    def notice_server(self, *args, **kw):
        server = NoticeServer(self.netns, *args, **kw)
        self._servers.append(server)
        return server

    def admin_server(self, *args, **kw):
        server = AdminServer(self.netns, *args, **kw)
        self._servers.append(server)
        return server

    def screenshot(self, path):
        return self.display.screenshot(path)

    def close(self):
        for server in self._servers:
            server.stop()
        self._servers = []
        if self.wine:
            self.wine.close()
            self.wine = None
        if self.netns:
            self.netns.close()
            self.netns = None
        if self._own_display and self.display:
            self.display.stop()
            self.display = None
        if not KEEP:
            for path in self._dirs:
                shutil.rmtree(path, ignore_errors=True)
        self._dirs = []


class MonitorCase(unittest.TestCase):
    """Base of the monitor's end-to-end tests: one Session (namespace with a
    PPP adapter unless ppp is False, an Ethernet adapter too when lan is
    True, wineserver, tray host in `tray`) for all tests of a class. The test
    module sets `display` once for all classes."""
    display = None
    ppp = True
    lan = False

    @classmethod
    def setUpClass(cls):
        cls.session = Session(cls.display, ppp=cls.ppp).__enter__()
        try:
            cls.wine = cls.session.wine
            if cls.lan:
                cls.session.netns.add_lan()
            cls.tray = cls.session.start_trayhost()
        except Exception:
            cls.session.close()
            raise

    @classmethod
    def tearDownClass(cls):
        cls.session.close()

    def start_monitor(self, *args, **kw):
        """A monitor in a new home folder, ended when the test ends."""
        monitor = Monitor.start(self.wine, self.session.home(), *args, **kw)
        self.addCleanup(monitor.stop)
        return monitor

    def admin_server(self, *args):
        server = self.session.admin_server(*args)
        self.addCleanup(server.stop)
        return server

    def wait_ended(self, monitor, timeout=20):
        """Waits for the monitor's end, watching for a closing summary
        meanwhile; returns the summaries seen (Found records)."""
        summaries = []

        def ended():
            found = self.wine.find(USAGE_TITLE)
            if found:
                summaries.append(found)
            return monitor.proc.poll() is not None
        self.assertTrue(wait_for(ended, timeout, 0.05), 'monitor did not end within %d s' % timeout)
        return summaries


def monitor_cannot_run():
    """Why the monitor's end-to-end tests cannot run here, or ''."""
    return can_run() or ('' if os.path.exists(LUMARO_EXE) else 'not built: ' + LUMARO_EXE)


def measure(text):
    """A measurement for the test log."""
    sys.stderr.write('\nMEASURE %s\n' % text)
    sys.stderr.flush()


def tools_built():
    """The names of the harness's programs that are missing from the build."""
    return [p for p in (DRIVER_EXE, TRAYHOST_EXE, ADAPTERS_EXE, FAKE_IPHLPAPI_DLL) if not os.path.exists(p)]


def can_run():
    """Why this machine cannot run the end-to-end tests, or '' when it can."""
    if os.geteuid() != 0:
        return 'needs root (ip netns, /dev/net/tun)'
    for tool in ('ip', 'Xvfb', WINE, WINESERVER):
        if not shutil.which(tool):
            return 'missing ' + tool
    if not os.path.exists('/dev/net/tun'):
        return 'missing /dev/net/tun'
    missing = tools_built()
    if missing:
        return 'not built: ' + ', '.join(missing)
    return ''


def seconds(duration):
    """Seconds of a "%02d일 %02d:%02d:%02d" text, or None."""
    m = re.match(r'^(\d+)일 (\d\d):(\d\d):(\d\d)$', duration or '')
    if not m:
        return None
    d, h, mi, s = (int(v) for v in m.groups())
    return ((d * 24 + h) * 60 + mi) * 60 + s


def setup_monitor_module():
    """setUpModule of the monitor's test modules: skips them where this machine
    cannot run them, else starts one display for all their classes."""
    reason = monitor_cannot_run()
    if reason:
        raise unittest.SkipTest(reason)
    MonitorCase.display = Display().start()
    return MonitorCase.display


def teardown_monitor_module():
    if MonitorCase.display:
        MonitorCase.display.stop()
        MonitorCase.display = None
