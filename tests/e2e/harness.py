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

The parts live beside this module, one concern each: basics (paths,
settings, constants, names, child processes), runs (prerequisites, the
prefix's lock, clean-up), display (Xvfb), network (namespace, adapters, the
stand-in adapter table), wine (prefix, Wine and the window driver), servers
(the stand-in servers) and observe (waiting, the logs, Monitor). This module
offers all their names and a whole scenario: Session, MonitorCase and the
set-up of a test module.

Paths come from LUMARO_BUILD (default: build/ of this work tree) and
LUMARO_SOURCE (default: this work tree). All tests share one Wine prefix,
LUMARO_E2E_PREFIX (default ~/.lumaro-wine-e2e), created on first use. A prefix
has one wineserver, and Wine lists the adapters of the namespace that
wineserver was started in, so one Session at a time runs in a prefix: a test
module holds the prefix for its whole run, and another run waits for it.
A machine that cannot run the tests fails them, naming what it lacks;
LUMARO_E2E_ALLOW_SKIP=1 skips them instead. LUMARO_E2E_KEEP=1 keeps the
temporary folders for a look after the run.
"""
import os
import sys
import unittest

import runs
from basics import (  # noqa: F401 - offered to the tests
    ADAPTERS_EXE, ADMIN_SERVER_PY, BUILD, DRIVER_EXE, ENGLISH, FAKE_IPHLPAPI_DLL, FAKE_IPHLPAPI_OVERRIDE, HERE,
    IDCANCEL, IDOK, ID_SAVE_LOG, ID_SHOW_CLOCK, KEEP, LUMARO_EXE, LUMARO_TITLE, MARKER_DLL, MINIMAL_EXE,
    NOTICE_SERVER_PY, PLANTED_DLLS, PREFIX, PROBE_EXE, SC_CLOSE, SOURCE, TRAYHOST_EXE, TRAY_ICON_ID, USAGE_TITLE,
    VK_ESCAPE, VK_RETURN, WARNING_TITLE, WINDOWS_DLL_SEARCH_OVERRIDE, WINE, WINESERVER, WM_CLOSE, WM_COMMAND,
    WM_INSTANCE_QUIT, WM_LBUTTONDBLCLK, WM_RBUTTONDOWN, WM_RBUTTONUP, WM_SYSCOMMAND, WM_TRAY_NOTIFY, WM_USER,
    end_process, make_temp_dir, read_bytes, read_log, remove_temp_dir, unescape, winpath)
from display import Display
from network import (  # noqa: F401
    Adapter, NetNs, adapter_line, cleanup_stale_namespaces, fake_adapter_env, parse_adapters, stage_program,
    write_adapters)
from observe import (  # noqa: F401
    COPYDATA_LOG, NIF_ICON, NIF_INFO, NIF_MESSAGE, NIF_TIP, NIIF_INFO, NIIF_RESPECT_QUIET_TIME, NIIF_WARNING, LogEntry,
    Monitor, TrayLog, TrayRecord, WatchEvent, WindowWatch, conversation, copied_records, measure, parse_log, seconds,
    wait_for)
from runs import can_run, monitor_cannot_run, tools_built  # noqa: F401
from servers import AdminServer, NoticeServer
from wine import Control, Found, Window, Wine, ensure_prefix, set_log_pixels, wine_environment  # noqa: F401


# ---- a whole scenario ----

class Session:
    """A display (given, or its own), a fresh namespace (with a PPP adapter
    when ppp=True) and the prefix's wineserver started inside it, with
    WM_COPYDATA delivered between threads as Windows does it. Closing
    stops every Windows program of the prefix and removes the namespace and
    the temporary folders."""

    def __init__(self, display=None, ppp=True, dns='127.0.0.1', prefix=PREFIX, ppp_address='10.99.0.2', desktop=False):
        self._own_display = display is None
        self._desktop = desktop  # for a display of its own
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
        runs.on_exit(self.close)
        try:
            if self.display is None:
                self.display = Display(desktop=self._desktop).start()
            self.netns = NetNs(ppp=self.ppp, dns=self.dns, ppp_address=self.ppp_address)
            self.wine = Wine(self.netns, self.prefix, self.display).start_server()
            self.wine.start_windows_delivery()
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
        runs.forget(self.close)
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
        for path in self._dirs:
            remove_temp_dir(path)
        self._dirs = []


class MonitorCase(unittest.TestCase):
    """Base of the monitor's end-to-end tests: one Session (namespace with a
    PPP adapter unless ppp is False, an Ethernet adapter too when lan is
    True, wineserver, tray host in `tray`) for all tests of a class. The test
    module sets `display` once for all classes."""
    display = None
    ppp = True
    lan = False
    trayhost = True  # False: the tests start their own
    program_env = None  # the monitors' extra environment: ENGLISH for an English Windows

    @classmethod
    def setUpClass(cls):
        cls.session = Session(cls.display, ppp=cls.ppp).__enter__()
        try:
            cls.wine = cls.session.wine
            if cls.lan:
                cls.session.netns.add_lan()
            cls.tray = cls.session.start_trayhost() if cls.trayhost else None
        except Exception:
            cls.session.close()
            raise

    @classmethod
    def tearDownClass(cls):
        cls.session.close()

    def start_monitor(self, *args, home=None, env=None, **kw):
        """A monitor in a new home folder (or `home`), ended when the test ends."""
        env = dict(self.program_env or {}, **(env or {}))
        monitor = Monitor.start(self.wine, home or self.session.home(), *args, env=env, **kw)
        self.addCleanup(monitor.stop)
        return monitor

    def admin_server(self, *args):
        server = self.session.admin_server(*args)
        self.addCleanup(server.stop)
        return server

    def wait_ended(self, monitor, timeout=20):
        """Waits for the monitor's end, watching for a closing summary
        meanwhile, which is closed with OK; returns the summaries seen
        (Found records)."""
        summaries = []

        def ended():
            found = self.wine.find(USAGE_TITLE)
            if found and found.hwnd not in [s.hwnd for s in summaries]:
                summaries.append(found)
                # Its countdown is the reminder's, timed where that is under test.
                self.wine.command('hwnd=0x%x' % found.hwnd, IDOK)
            return monitor.proc.poll() is not None
        self.assertTrue(wait_for(ended, timeout, 0.05), 'monitor did not end within %d s' % timeout)
        return summaries


# ---- a test module ----

def setup_module(*programs):
    """setUpModule of a test module: fails (or skips, LUMARO_E2E_ALLOW_SKIP=1)
    where this machine cannot run the tests or the programs are not built,
    takes the prefix for the module's whole run (waiting while another run
    has it) and starts one display for all its tests; returns the display."""
    runs.require(*programs)
    runs.hold_prefix(PREFIX)
    try:
        return Display().start()
    except BaseException:
        runs.release_prefix(PREFIX)
        raise


def teardown_module(display):
    if display:
        display.stop()
    runs.release_prefix(PREFIX)


def setup_monitor_module():
    """setUpModule of the monitor's test modules: setup_module for lumaro.exe,
    with the display shared by all their classes."""
    MonitorCase.display = setup_module(LUMARO_EXE)
    return MonitorCase.display


def teardown_monitor_module():
    teardown_module(MonitorCase.display)
    MonitorCase.display = None


def main():
    """Runs the calling test module. Exits 0 when it passed, 1 when it did
    not, and 77 (ctest's SKIP_RETURN_CODE) when LUMARO_E2E_ALLOW_SKIP let a
    missing prerequisite skip it."""
    result = unittest.main(module='__main__', verbosity=2, exit=False).result
    if not result.wasSuccessful():
        sys.exit(1)
    sys.exit(77 if runs.skipped else 0)
