"""Wine: the prefix the tests use, its environment, and Wine, which runs
Windows programs of that prefix inside a namespace on a display (on Wine's
own desktop when the display asks for it) and reads and pokes their windows
through tools/driver."""
import os
import shutil
import subprocess
from collections import namedtuple

import runs
from basics import (ADAPTERS_EXE, DRIVER_EXE, FAKE_IPHLPAPI_DLL, LUMARO_EXE, PLANTED_DLLS, PREFIX, SOURCE,
                    TRAYHOST_EXE, WINDOWS_DELIVERY_EXE, WINE, WINESERVER, dies_with_harness, run_quiet, unescape,
                    winpath)
from network import parse_adapters
from observe import TrayLog, WindowWatch, wait_for


_wine_env_cache = {}

# The virtual desktop of a display with desktop=True. Wine's explorer gives a
# virtual desktop its taskbar and notification area when the registry asks
# for them (HKCU\Software\Wine\Explorer\Desktops\NAME, EnableShell) or the
# desktop is named "shell": the name leaves the shared prefix as it is.
DESKTOP = 'shell'

# Wine draws the buttons of the captions it frames with Marlett glyphs
# (fonts-wine). Debian's Wine never looks in that package's folder, and the
# package's other fonts would replace the Korean font of windows that keep
# the system font: Marlett alone goes into the prefix's Fonts folder.
MARLETT = '/usr/share/wine/fonts/marlett.ttf'


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
    """Makes the prefix ready (scripts/wine-prefix): created once, outside any
    namespace (about 10 s), with unmanaged windows. Holds the prefix meanwhile."""
    runs.hold_prefix(prefix)
    try:
        env = dict(wine_environment(prefix), LUMARO_PREFIX_LOCKED=prefix)
        rc = subprocess.run([os.path.join(SOURCE, 'scripts', 'wine-prefix'), prefix], env=env,
                            stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, timeout=600)
        if rc.returncode != 0:
            raise RuntimeError('Wine prefix %s not ready: %s' % (prefix, rc.stderr.decode(errors='replace').strip()))
    finally:
        runs.release_prefix(prefix)


def set_log_pixels(prefix, dpi):
    """Sets Windows' display scale `dpi` (96 is 100 %) for every program of a
    prefix of their own: Wine reads HKCU\\Control Panel\\Desktop LogPixels
    as a program starts. The registry reaches user.reg as the server ends."""
    ensure_prefix(prefix)
    runs.hold_prefix(prefix)
    env = wine_environment(prefix)
    run_quiet([WINE, 'reg', 'add', r'HKCU\Control Panel\Desktop', '/v', 'LogPixels', '/t', 'REG_DWORD',
               '/d', str(dpi), '/f'], env=env, timeout=120)
    Wine._kill_server(env)
    runs.release_prefix(prefix)


def system_folder(prefix):
    """The system folder of a 32-bit program in the prefix."""
    return os.path.join(prefix, 'drive_c', 'windows', 'syswow64')


def _iphlpapi_paths(prefix):
    """The IP helper of the system folder, and where Wine's own file waits
    while the stand-in takes its place."""
    path = os.path.join(system_folder(prefix), 'iphlpapi.dll')
    return path, path + '.wine'


def install_fake_iphlpapi(prefix):
    """Puts the stand-in iphlpapi.dll where lumaro.exe looks for its IP
    helper, the system folder, as long as the run holds the prefix. Wine
    still uses its own there unless FAKE_IPHLPAPI_OVERRIDE says otherwise."""
    path, kept = _iphlpapi_paths(prefix)
    # A run killed outright leaves the stand-in in place and Wine's file kept.
    if not os.path.exists(kept):
        shutil.copy2(path, kept)
    shutil.copy2(FAKE_IPHLPAPI_DLL, path)


def restore_wine_iphlpapi(prefix):
    path, kept = _iphlpapi_paths(prefix)
    if os.path.exists(kept):
        os.replace(kept, path)


Found = namedtuple('Found', 'hwnd visible cls pid')
Window = namedtuple('Window', 'hwnd visible pid cls title rect children')
Control = namedtuple('Control', 'id visible cls text')


class Wine:
    """Runs Windows programs of one prefix inside a network namespace, on a
    display. start_server() must come first: it takes the prefix (waiting
    while another run has it) and starts the prefix's wineserver inside the
    namespace, so Wine sees that namespace's adapters. close() gives it up.

    On a display with desktop=True, start_server() also starts Wine's virtual
    desktop, and every program and driver command runs on it: `desktop` names
    it once it is up. A trayhost started there takes the notification area's
    place for the programs' tray icons (Shell_NotifyIcon finds the newest
    Shell_TrayWnd first), so tests read the same tray records as elsewhere."""

    def __init__(self, netns=None, prefix=PREFIX, display=None):
        self.netns = netns
        self.prefix = prefix
        self.display = display
        self.procs = []
        self.server_started = False
        self.desktop = None

    # environment and command lines

    def env(self, extra=None, dll_overrides=None):
        env = wine_environment(self.prefix)
        if self.display is not None:
            env['DISPLAY'] = getattr(self.display, 'name', self.display)
        if dll_overrides:
            base = env.get('WINEDLLOVERRIDES', '')
            env['WINEDLLOVERRIDES'] = ';'.join(x for x in (base, dll_overrides) if x)
        if extra:
            env.update(extra)
        return env

    def windows_dll_search_env(self, folder):
        """With WINDOWS_DLL_SEARCH_OVERRIDE, the environment under which the
        DLLs of PLANTED_DLLS are found as Windows finds them. Wine's own
        user32 and comdlg32 import version.dll and comctl32.dll; under the
        override Wine would take those from beside the program, where Windows
        serves its KnownDLLs' imports from the system folder. Wine takes what
        its own DLLs import from WINESYSTEMDLLPATH first: `folder` gets the
        system folder's copies of these DLLs, and only these (Wine's other
        DLLs taken from there misbehave: a dialog's caption comes out in the
        wrong code page)."""
        os.makedirs(folder, exist_ok=True)
        for name in PLANTED_DLLS:
            if os.path.exists(os.path.join(system_folder(self.prefix), name)):  # Wine has no cryptbase.dll
                shutil.copy2(os.path.join(system_folder(self.prefix), name), folder)
        return {'WINESYSTEMDLLPATH': winpath(folder)}

    def command_line(self, args):
        args = [str(a) for a in args]
        return self._in_netns([WINE] + (self._on_desktop(args) if self.desktop else args))

    def _in_netns(self, cmd):
        return self.netns.exec_args(cmd) if self.netns else cmd

    def _on_desktop(self, args):
        # A driver command switches its own thread to the desktop; any other
        # program is started there by the driver, which waits for it, passes
        # its exit code on and takes it along when it is ended.
        if args[0] == DRIVER_EXE:
            return [DRIVER_EXE, 'desktop', self.desktop] + args[1:]
        program = winpath(args[0]) if os.path.isabs(args[0]) else args[0]
        return [DRIVER_EXE, 'run-on', self.desktop, program] + args[1:]

    # the wineserver

    def start_server(self):
        runs.hold_prefix(self.prefix)
        self.server_started = True
        try:
            env = self.env()
            # a server of this prefix left in another namespace would answer instead
            self._kill_server(env)
            ensure_prefix(self.prefix)
            install_fake_iphlpapi(self.prefix)
            server = [WINESERVER, '-p']
            run_quiet(self.netns.exec_args(server) if self.netns else server, env=env)
            # the first program of a session starts Wine's services and desktop (seconds)
            self.run([DRIVER_EXE, 'find', '__warm_up__'], timeout=120)
            if getattr(self.display, 'desktop', False):
                self._start_desktop()
        except BaseException:
            self.close()
            raise
        return self

    def _start_desktop(self, timeout=60):
        """Wine's virtual desktop over the whole display; returns once its
        notification area is there, ready for the programs' tray icons."""
        fonts = os.path.join(self.prefix, 'drive_c', 'windows', 'Fonts')
        if os.path.exists(MARLETT) and not os.path.exists(os.path.join(fonts, 'marlett.ttf')):
            os.makedirs(fonts, exist_ok=True)
            shutil.copy(MARLETT, fonts)
        self._spawn(self._in_netns([WINE, 'explorer', '/desktop=%s,%s' % (DESKTOP, self.display.resolution)]))

        # Wine closes a desktop once no thread but its window's is left on
        # it: a driver stays there until the server ends.
        def hold():
            proc = self._spawn(self._in_netns([WINE, DRIVER_EXE, 'desktop', DESKTOP]), stdout=subprocess.PIPE)
            said = proc.stdout.readline()
            proc.stdout.close()
            if said.startswith(b'on desktop'):
                return proc
            proc.wait()
            return None
        if not wait_for(hold, timeout, 0.2):
            raise RuntimeError('Wine desktop %s did not start' % DESKTOP)
        self.desktop = DESKTOP
        if not wait_for(lambda: any(w.cls == 'Shell_TrayWnd' for w in self.dialogs()), timeout):
            raise RuntimeError('Wine desktop %s shows no notification area' % DESKTOP)

    @staticmethod
    def _kill_server(env):
        # Only the holder of the prefix may end its server: it is the holder's.
        run_quiet([WINESERVER, '-k'], env=env)
        run_quiet([WINESERVER, '-w'], env=env, timeout=60)

    def stop_server(self):
        if not self.server_started:
            return
        self._kill_server(self.env())
        self.server_started = False
        self.desktop = None
        for proc in self.procs:
            try:
                proc.wait(10)
            except subprocess.TimeoutExpired:
                proc.kill()
                proc.wait()
        self.procs = []
        restore_wine_iphlpapi(self.prefix)
        runs.release_prefix(self.prefix)

    # programs

    def start(self, args, cwd=None, env=None, dll_overrides=None, stdout=subprocess.DEVNULL,
              stderr=subprocess.DEVNULL):
        """Starts a Windows program (args[0] is its Unix path); returns its Popen.
        The exit code of the Popen is the program's exit code."""
        return self._spawn(self.command_line(args), cwd, self.env(env, dll_overrides), stdout, stderr)

    def _spawn(self, cmd, cwd=None, env=None, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL):
        proc = subprocess.Popen(cmd, cwd=cwd or None, env=env or self.env(), stdin=subprocess.DEVNULL,
                                stdout=stdout, stderr=stderr, preexec_fn=dies_with_harness())
        self.procs.append(runs.track(proc))
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

    def start_windows_delivery(self):
        """Makes WM_COPYDATA between the threads of one lumaro.exe arrive as
        Windows delivers it, a copy at another address (Wine passes the
        sender's pointer): tools/windows_delivery's global hook patches every
        lumaro.exe started from now on. Returns the host's Popen."""
        proc = self.start([WINDOWS_DELIVERY_EXE], stdout=subprocess.PIPE)
        line = proc.stdout.readline().decode(errors='replace').strip()
        if line != 'ready':
            raise RuntimeError('windows_delivery_host did not start: %r (exit %s)' % (line, proc.poll()))
        return proc

    # the driver

    def watch(self, title, seconds, item=None):
        """A WindowWatch on the window with this title for up to `seconds`,
        looking by the time this returns; start it before the window is due."""
        args = [DRIVER_EXE, 'watch', title, int(seconds)] + ([item] if item is not None else [])
        watch = WindowWatch(self.start([str(a) for a in args], stdout=subprocess.PIPE))
        if not watch.ready():
            raise RuntimeError('driver watch did not start')
        return watch

    def hold_foreground(self, seconds):
        """A driver window in the foreground, as the user's program; its
        WindowWatch has a 'foreground' event per change."""
        watch = WindowWatch(self.start([DRIVER_EXE, 'hold-foreground', int(seconds)], stdout=subprocess.PIPE))
        if not watch.ready():
            raise RuntimeError('the driver did not get the foreground')
        return watch

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

    def styles(self, title):
        """(style, extended style) of the window, or None."""
        rc, out = self.driver('styles', title)
        return tuple(int(v, 16) for v in out.split()) if rc == 0 else None

    def client(self, title):
        """(width, height, x, y) of the window's client area, x and y on the
        screen; None without the window."""
        rc, out = self.driver('client', title)
        return tuple(int(v) for v in out.split()) if rc == 0 else None

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

    # STATE_SYSTEM_FOCUSED, _READONLY, _INVISIBLE; Wine calls every control focusable.
    FOCUSED, READONLY, INVISIBLE = 0x4, 0x40, 0x8000

    def accessible(self, title):
        """[(id, name, states, value)] of the window (id 0) and its controls, as read aloud."""
        lines = [c.split('\t') for c in self.driver('accessible', title)[1].splitlines()]
        return [(int(c[0]), unescape(c[1]), int(c[2], 16) & (self.FOCUSED | self.READONLY | self.INVISIBLE),
                 unescape(c[3])) for c in lines]

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
