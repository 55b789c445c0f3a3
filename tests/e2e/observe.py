"""Waiting and reading what the programs leave: wait_for, the monitor's
admin.log, trayhost's log of the tray calls, and Monitor, a running lumaro.exe
with its window and log."""
import datetime
import os
import re
import select
import subprocess
import sys
import time
from collections import namedtuple

from basics import IDCANCEL, LUMARO_TITLE, VK_ESCAPE, WM_CLOSE, WM_COMMAND, read_log, unescape, winpath


def wait_for(predicate, timeout=10.0, interval=0.2):
    """Calls predicate until it returns something truthy and returns that;
    at the timeout returns the last (falsy) value."""
    deadline = time.monotonic() + timeout
    while True:
        value = predicate()
        if value or time.monotonic() >= deadline:
            return value
        time.sleep(interval)


WatchEvent = namedtuple('WatchEvent', 'kind time value')


class WindowWatch:
    """driver's `watch` of one window, started before the window is due: when
    it was shown, each text of one of its items, when it went, all on the
    local clock that admin.log's time stamps use."""

    def __init__(self, proc):
        self.proc = proc
        self._fd = proc.stdout.fileno()
        self._pending = b''
        self._lines = []
        self._ended = False

    def _next_line(self, deadline):
        """The next line the watch prints, or b'' at its end or the deadline."""
        while b'\n' not in self._pending and not self._ended:
            left = deadline - time.monotonic()
            if left <= 0 or not select.select([self._fd], [], [], left)[0]:
                return b''
            chunk = os.read(self._fd, 4096)
            self._ended = not chunk
            self._pending += chunk
        line, sep, self._pending = self._pending.partition(b'\n')
        if sep:
            self._lines.append(line)
        return line

    def ready(self, timeout=30):
        """True once the watch is looking: what follows is seen from the start."""
        return self._next_line(time.monotonic() + timeout).startswith(b'watching')

    def shown(self, timeout=30):
        """True once the window has been seen, after ready()."""
        return self._next_line(time.monotonic() + timeout).startswith(b'shown')

    def events(self, timeout):
        """Waits for the watch to end; [WatchEvent(kind, datetime, value)]."""
        deadline = time.monotonic() + timeout
        while not self._ended and time.monotonic() < deadline:
            self._next_line(deadline)
        if self.proc.poll() is None:
            self.proc.kill()
        self.proc.wait()
        return self._parsed()

    def events_so_far(self, wait=0.3):
        """The events printed until now; the watch goes on."""
        deadline = time.monotonic() + wait
        while self._next_line(deadline):
            pass
        return self._parsed()

    def _parsed(self):
        found = []
        for line in self._lines:
            kind, _, rest = line.decode('utf-8', errors='replace').partition(' ')
            stamp, value = rest[:23], rest[24:]
            try:
                found.append(WatchEvent(kind, datetime.datetime.strptime(stamp, '%Y-%m-%d %H:%M:%S.%f'),
                                        unescape(value)))
            except ValueError:
                continue
        return found

    def foreground_went_to(self, hwnd):
        """Whether hold-foreground has seen the foreground go to this window."""
        return any(e.kind == 'foreground' and e.value.split(' ')[0] == '%x' % hwnd for e in self.events_so_far())

    @staticmethod
    def first(events, kind):
        return next((e for e in events if e.kind == kind), None)


# Where windows_delivery.dll notes, in a monitor's home folder, what it copied.
COPYDATA_LOG = 'copydata.log'


def copied_records(path):
    """The record types windows_delivery.dll copied for a program (the
    lines of the file named by its LUMARO_COPYDATA_LOG), or None when it
    did not patch the program."""
    text = read_log(path) if os.path.exists(path) else ''
    if not re.search(r'^patched ', text, re.M):
        return None
    return [int(t) for t in re.findall(r'^copied \d+ type=(\d+)', text, re.M)]


def measure(text):
    """A measurement for the test log."""
    sys.stderr.write('\nMEASURE %s\n' % text)
    sys.stderr.flush()


def seconds(duration):
    """Seconds of a "%02d일 %02d:%02d:%02d" text, or None."""
    m = re.match(r'^(\d+)일 (\d\d):(\d\d):(\d\d)$', duration or '')
    if not m:
        return None
    d, h, mi, s = (int(v) for v in m.groups())
    return ((d * 24 + h) * 60 + mi) * 60 + s


# ---- the notification-area log ----

TrayRecord = namedtuple('TrayRecord', 't_ms cmd owner id flags callback icon ok tip info_flags timeout info_title info',
                        defaults=(0, 0, '', ''))

NIF_MESSAGE, NIF_ICON, NIF_TIP, NIF_INFO = 1, 2, 4, 0x10
NIIF_INFO, NIIF_WARNING, NIIF_RESPECT_QUIET_TIME = 1, 2, 0x80


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
        return bool(self.ready_times())

    def ready_times(self):
        """When each tray window came (unix ms), the first and each restart."""
        return [int(f[0]) for f in (line.split('\t') for line in self._lines()) if f[1:2] == ['ready']]

    def records(self):
        out = []
        for line in self._lines():
            f = line.split('\t')
            if len(f) < 13:
                continue
            out.append(TrayRecord(int(f[0]), f[1], int(f[2], 16), int(f[3]), int(f[4], 16), int(f[5], 16), f[6],
                                  f[7] == '1', unescape(f[8]), int(f[9], 16), int(f[10]), unescape(f[11]),
                                  unescape(f[12])))
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



# ---- the monitor's log ----

LogEntry = namedtuple('LogEntry', 'time level text')
# What the VPN watch writes every 3 seconds, whatever the conversation does.
WATCH_LINES = ('m_nCount=', ' [idx=', 'ppp DNS(m_ip) = ')


def conversation(entries):
    """The entries without the VPN watch's."""
    return [e for e in entries if not e.text.startswith(WATCH_LINES)]

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
        env = dict(env or {}, LUMARO_COPYDATA_LOG=winpath(os.path.join(home, COPYDATA_LOG)))
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

    def copied_records(self):
        """The types of the worker's records that reached the window as
        Windows delivers them (a copy), in order; None when the program was
        not running with that delivery."""
        return copied_records(os.path.join(self.home, COPYDATA_LOG))

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
