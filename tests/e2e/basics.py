"""Settings, names and small helpers that every part of the end-to-end harness
uses: where the build, the sources and the Wine prefix are, the program's
messages and captions, the names of the things a run creates, and the
processes it starts.

Paths come from LUMARO_BUILD (default: build/ of the work tree holding this
file) and LUMARO_SOURCE (default: that work tree). All tests share one Wine
prefix, LUMARO_E2E_PREFIX (default ~/.lumaro-wine-e2e), created on first
use. Temporary folders go to LUMARO_E2E_TMP (default: the system's temporary
folder); LUMARO_E2E_KEEP=1 keeps them for a look after the run.
"""
import ctypes
import os
import re
import shutil
import signal
import subprocess
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
TOP = os.path.dirname(os.path.dirname(HERE))
BUILD = os.environ.get('LUMARO_BUILD') or os.path.join(TOP, 'build')
SOURCE = os.environ.get('LUMARO_SOURCE') or TOP
PREFIX = os.environ.get('LUMARO_E2E_PREFIX') or os.path.join(os.path.expanduser('~'), '.lumaro-wine-e2e')
TMP = os.environ.get('LUMARO_E2E_TMP') or tempfile.gettempdir()
KEEP = os.environ.get('LUMARO_E2E_KEEP') == '1'

WINE = '/usr/lib/wine/wine'
WINESERVER = '/usr/lib/wine/wineserver'

LUMARO_EXE = os.path.join(BUILD, 'lumaro.exe')
DRIVER_EXE = os.path.join(BUILD, 'tools', 'driver', 'driver.exe')
TRAYHOST_EXE = os.path.join(BUILD, 'tools', 'trayhost', 'trayhost.exe')
WINDOWS_DELIVERY_EXE = os.path.join(BUILD, 'tools', 'windows_delivery', 'windows_delivery_host.exe')
ADAPTERS_EXE = os.path.join(BUILD, 'tools', 'adapters', 'adapters.exe')
FAKE_IPHLPAPI_DLL = os.path.join(BUILD, 'tools', 'fake_iphlpapi', 'iphlpapi.dll')
MARKER_DLL = os.path.join(BUILD, 'tools', 'marker_dll', 'marker.dll')
MINIMAL_EXE = os.path.join(BUILD, 'tools', 'minimal', 'minimal.exe')
PROBE_EXE = os.path.join(BUILD, 'tests', 'e2e', 'e2e_probe.exe')
NOTICE_SERVER_PY = os.path.join(SOURCE, 'tools', 'notice_server.py')
ADMIN_SERVER_PY = os.path.join(SOURCE, 'tools', 'admin_server.py')

# The stand-in iphlpapi.dll sits in the prefix's system folder while a run
# holds the prefix (wine.py); Wine takes it there in place of its own only
# with this override.
FAKE_IPHLPAPI_OVERRIDE = 'iphlpapi=n'

# Windows' DLL search as lumaro.exe meets it there: a DLL that is no KnownDLL
# is looked for beside the program first (Wine prefers its builtin unless
# told otherwise); with Wine.windows_dll_search_env, what the system's own
# DLLs import comes from the system folder, as for KnownDLLs. The last four
# are what random sources bring in on Windows (BCrypt, CryptoAPI, RtlGenRandom).
PLANTED_DLLS = ('version.dll', 'iphlpapi.dll', 'winmm.dll', 'comctl32.dll', 'bcrypt.dll', 'cryptsp.dll',
                'rsaenh.dll', 'cryptbase.dll')
WINDOWS_DLL_SEARCH_OVERRIDE = ','.join(name[:-len('.dll')] for name in PLANTED_DLLS) + '=n,b'

WM_USER = 0x0400
WM_TRAY_NOTIFY = 0x8000 + 0x10  # WM_APP+0x10
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

# A Windows whose "language for non-Unicode programs" is English (ANSI code
# page 1252) instead of Korean (949). Wine takes the code page of each process
# from that process's own locale, not from the wineserver's or the prefix's
# (measured: with the server started under ko_KR, a process started with this
# environment gets 1252 and the next one without it 949 again), so a test
# runs a program on such a Windows by starting it with this environment; the
# prefix, its server and every other program stay Korean. Each process
# rewrites the user's HKCU\Control Panel\International for its locale, which
# nothing of the program reads.
ENGLISH = {'LANG': 'en_US.UTF-8', 'LC_ALL': 'en_US.UTF-8'}

# Captions of the monitor's windows.
LUMARO_TITLE = 'Lumaro'
USAGE_TITLE = '사용시간 및 잔여시간을 확인 바랍니다'
WARNING_TITLE = '잔여시간 경고창'

# Every namespace and temporary folder of a run is named NAME_PREFIX + the
# pid of the harness process that made it, so that whatever a killed run
# leaves behind can be told from what a live one uses. Kept folders carry a
# name of their own, so that no clean-up takes them.
NAME_PREFIX = 'lme2e-'
KEPT_PREFIX = NAME_PREFIX + 'kept-'

# Every process a harness starts, and every process those start (Wine's own
# included), carries the harness's pid in this variable: the trace by which
# the processes of a run that died are found.
RUN_MARK = 'LUMARO_E2E_RUN'
os.environ[RUN_MARK] = str(os.getpid())

_counter = [0]


def unique(kind):
    _counter[0] += 1
    return '%s%d-%s%d' % (NAME_PREFIX, os.getpid(), kind, _counter[0])


def make_temp_dir(kind='home'):
    name = unique(kind) + '-'
    if KEEP:
        name = KEPT_PREFIX + name[len(NAME_PREFIX):]
    return tempfile.mkdtemp(prefix=name, dir=TMP)


def remove_temp_dir(path):
    if not KEEP:
        shutil.rmtree(path, ignore_errors=True)


# ---- paths and files ----

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


# ---- processes ----

_PR_SET_PDEATHSIG = 1
_libc = ctypes.CDLL(None, use_errno=True)


def dies_with_harness():
    """A preexec_fn for a child that must not outlive the harness: the kernel
    sends it SIGTERM when the harness's process dies, however it dies."""
    parent = os.getpid()
    prctl = _libc.prctl

    def setup():
        prctl(_PR_SET_PDEATHSIG, signal.SIGTERM, 0, 0, 0)
        if os.getppid() != parent:
            # the harness died before the request took effect
            os._exit(1)
    return setup


def run_quiet(args, timeout=30, **kw):
    return subprocess.run(args, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                          timeout=timeout, **kw).returncode


def pid_alive(pid):
    """True while the process runs; a zombie that only waits to be reaped counts as gone."""
    try:
        with open('/proc/%d/stat' % pid) as f:
            return f.read().rsplit(')', 1)[1].split()[0] != 'Z'
    except (OSError, IndexError):
        return False


def end_process(proc, grace=10):
    """Asks a process to end, and kills it when it has not after grace seconds."""
    if proc.poll() is None:
        proc.terminate()
        try:
            proc.wait(grace)
        except subprocess.TimeoutExpired:
            proc.kill()
            proc.wait()


def ip(*args, check=True):
    rc = subprocess.run(['ip'] + list(args), stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                        stderr=subprocess.PIPE, timeout=30)
    if check and rc.returncode != 0:
        raise RuntimeError('ip %s: %s' % (' '.join(args), rc.stderr.decode(errors='replace').strip()))
    return rc


def remove_namespace(name):
    ip('-n', name, 'tuntap', 'del', 'dev', 'ppp0', 'mode', 'tun', check=False)
    ip('netns', 'del', name, check=False)
    shutil.rmtree('/etc/netns/' + name, ignore_errors=True)
