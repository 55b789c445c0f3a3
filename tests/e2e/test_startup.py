"""The monitor as the user meets it before any admin server has answered: the
command line, one monitor at a time, the hidden main window with its labels,
the tray icon, its tooltip and its menu, and the log export. The VPN adapter
names 127.0.0.1 as the admin server and nothing listens there, so every
monitor here gives up after four connection attempts."""
import datetime
import getpass
import os
import re
import shutil
import subprocess
import sys
import time
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import harness  # noqa: E402
from harness import wait_for  # noqa: E402


WM_LBUTTONDOWN, WM_LBUTTONUP = 0x0201, 0x0202
SC_MINIMIZE = 0xF020
MINIMIZED_SIZE = (160, 24)  # SM_CXMINIMIZED, SM_CYMINIMIZED under Wine
FILE_NAME_ID = 0x47C  # the file dialog's file name box (cmb13)
IDYES, IDNO = 6, 7
WM_TIMER, WM_LBUTTONDOWN = 0x113, 0x201
RETRIES_GIVEN_UP = 'Admin서버에 재접속(4) 시도중... '
CONNECTING = 'Admin서버에 접속 시도중...'
TRAY_RESTART = 0x8000 + 1  # trayhost: WM_APP+1, its window goes and a new one comes
# What the shell sends after NIM_SETVERSION 3: Enter on an icon the mouse
# selected (and after every click), Enter or Space on the icon, and Shift+F10
# or the menu key (and after every right click).
NIN_SELECT, NIN_KEYSELECT, WM_CONTEXTMENU = 0x400, 0x401, 0x7B
NOTIFYICON_VERSION = 3
TIP_PERIOD = 3.0  # the tooltip timer


setUpModule = harness.setup_monitor_module
tearDownModule = harness.teardown_monitor_module


class CommandLineTest(harness.MonitorCase):

    def test_EmptyCommandLine_ShowsMissingParametersAndExitsZero(self):
        home = self.session.home()
        proc = self.wine.start_lumaro(cwd=home)
        self.addCleanup(lambda: proc.poll() is None and (proc.kill(), proc.wait()))
        box = self.wine.msgbox(wait=20)
        self.assertIsNotNone(box, 'no message box for an empty command line')
        self.assertEqual(box[1], '매개변수(user_name adt_name) 없음', 'message box text')
        self.assertEqual(proc.wait(20), 0, 'exit code after the message box')
        self.assertEqual(os.listdir(home), [], 'an empty command line must not start a log')
        self.assertIsNone(self.wine.find(harness.LUMARO_TITLE), 'no main window for an empty command line')

    def test_Kill_WithoutMonitor_ExitsOneAndDoesNothingElse(self):
        self.assertIsNone(self.wine.find(harness.LUMARO_TITLE), 'precondition: no monitor runs')
        # "kill" alone, as a whole word; "killjoy VPN" would be a monitor for killjoy
        for args in (['kill'], ['kill', 'now']):
            with self.subTest(args=args):
                home = self.session.home()
                tray_before = self.tray.records()
                windows_before = {w.hwnd for w in self.wine.dialogs(all_windows=True)}
                rc, _ = self.wine.run_lumaro(*args, cwd=home, timeout=30)
                self.assertEqual(rc, 1, 'exit code of "%s" without a monitor' % ' '.join(args))
                self.assertEqual(os.listdir(home), [], '"kill" must not start a log')
                self.assertEqual(self.tray.records(), tray_before, '"kill" must not touch the tray')
                new = [w for w in self.wine.dialogs(all_windows=True) if w.hwnd not in windows_before]
                self.assertEqual(new, [], '"kill" left windows behind')

    def test_Kill_WithRunningMonitor_EndsItWithExitZeroAndNoSummary(self):
        monitor = self.start_monitor()
        self.assertTrue(self.tray.wait_for_command('add', 10, owner=monitor.hwnd), 'monitor showed no tray icon')
        rc, _ = self.wine.run_lumaro('kill', cwd=self.session.home(), timeout=30)
        self.assertEqual(rc, 1, '"kill" itself ends with exit code 1')
        summaries = self.wait_ended(monitor)
        self.assertEqual(monitor.proc.returncode, 0, 'exit code of the monitor ended by "kill"')
        self.assertEqual(summaries, [], 'no closing summary without a known session time')
        self.assertTrue(self.tray.wait_for_command('delete', 10, owner=monitor.hwnd),
                        'the ended monitor should remove its tray icon')

    def test_SecondMonitor_RetiresFirstWhichLeavesIcon136(self):
        first = self.start_monitor()
        added = self.tray.wait_for_command('add', 10, owner=first.hwnd)
        self.assertTrue(added, 'first monitor showed no tray icon')
        # WM_USER+2 from any program is a dialog's DM_REPOSITION, not a hand-over
        self.assertTrue(self.wine.post(first.target, harness.WM_INSTANCE_QUIT))
        self.assertFalse(wait_for(lambda: first.proc.poll() is not None, 2), 'DM_REPOSITION ended the monitor')

        home = self.session.home()
        started = time.monotonic()
        proc = self.wine.start_lumaro('user01', 'VPN', cwd=home)
        self.addCleanup(lambda: proc.poll() is None and (proc.kill(), proc.wait()))
        self.assertTrue(wait_for(lambda: first.proc.poll() is not None, 10, 0.05), 'first monitor was not retired')
        retired_after = time.monotonic() - started
        self.assertEqual(first.proc.returncode, 0, 'exit code of the retired monitor')
        self.assertEqual(first.entries()[-1].text, 'A newer monitor takes over: the monitor ends')
        # One post and a second's wait retire it; a monitor that did not listen
        # would hold the new one for ten such attempts. The margin covers the
        # new process's start on a busy machine.
        self.assertLess(retired_after, 8.0, 'the first monitor should end within about 2 s of the second start')

        def second_window():
            found = self.wine.find(harness.LUMARO_TITLE)
            return found if found and found.pid != first.pid else None
        found = wait_for(second_window, 20)
        self.assertTrue(found, 'second monitor has no main window')
        second = harness.Monitor(self.wine, home, proc, found)
        self.addCleanup(second.stop)

        mine = [r for r in self.tray.records() if r.owner == first.hwnd]
        switched = [r for r in mine[1:] if r.cmd == 'modify' and r.flags & harness.NIF_ICON]
        self.assertEqual(len(switched), 1, 'retired monitor should switch its icon once: %r' % mine)
        self.assertNotEqual(switched[0].icon, added.icon, 'icon 136 should differ from icon 128')
        self.assertNotIn('delete', [r.cmd for r in mine], 'a retired monitor leaves its icon for the shell')
        self.assertEqual(self.tray.icons()[(first.hwnd, harness.TRAY_ICON_ID)].icon, switched[0].icon)

        second_add = self.tray.wait_for_command('add', 10, owner=second.hwnd)
        self.assertTrue(second_add, 'second monitor showed no tray icon')
        self.assertEqual(second_add.icon, added.icon, 'the new monitor shows icon 128')
        self.assertTrue(second.wait_log('version 1.0.3.1', 10), 'second monitor did not start its log')
        self.assertTrue(second.alive(), 'second monitor should run on')
        harness.measure('second monitor started -> first one retired: %.2f s' % retired_after)

    def test_TrayMenuEndProgram_EndsMonitor(self):
        for how in ('tray menu', 'IDOK command'):
            with self.subTest(how=how):
                monitor = self.start_monitor()
                self.assertTrue(self.tray.wait_for_command('add', 10, owner=monitor.hwnd), 'no tray icon')
                if how == 'tray menu':
                    self.assertTrue(self.wine.tray_event(monitor.target, harness.TRAY_ICON_ID, harness.WM_RBUTTONUP))
                    self.assertTrue(wait_for(lambda: self.wine.driver('menu')[0] == 0, 10), 'tray menu did not open')
                    # items: show clock, save log, (separator), end program
                    self.assertTrue(self.wine.menu_pick(2))
                else:
                    self.assertTrue(self.wine.command(monitor.target, harness.IDOK))
                summaries = self.wait_ended(monitor)
                self.assertEqual(monitor.proc.returncode, 0, 'exit code after "프로그램 종료"')
                self.assertEqual(summaries, [], 'no closing summary without a known session time')
                self.assertTrue(self.tray.wait_for_command('delete', 10, owner=monitor.hwnd), 'icon not removed')


class RunningMonitorTest(harness.MonitorCase):
    """One monitor that has given up connecting, for the checks that leave it running."""

    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        try:
            cls.monitor = harness.Monitor.start(cls.wine, cls.session.home())
            cls.monitor.wait_log('connect failed. retry_count=3', 30)
        except Exception:
            cls.session.close()
            raise

    @classmethod
    def tearDownClass(cls):
        cls.monitor.stop()
        super().tearDownClass()

    def setUp(self):
        self.assertTrue(self.monitor.alive(), 'the shared monitor has ended')

    def test_Log_BannerAdapterBlockThenFourConnectFailuresASecondApart(self):
        m = self.monitor
        failures = m.wait_log('connect failed. retry_count=3', 20)
        self.assertTrue(failures, 'fourth connect failure not logged: %s' % m.log()[-800:])
        # only four attempts in a monitor's life: a fifth would follow the
        # fourth within its 1 s pause, so nothing more 2.5 s after it settles it
        quiet = 2.5 - (datetime.datetime.now() - failures[0].time).total_seconds()
        time.sleep(max(0.0, quiet))
        entries = m.entries()
        texts = [e.text for e in entries]
        self.assertEqual(texts[:3], ['Log START .........', 'home_path=[%s]' % harness.winpath(m.home),
                                     'version 1.0.3.1'], 'start banner')
        self.assertEqual([e.level for e in entries[:3]], ['MOST'] * 3, 'banner level')
        self.assertEqual(texts[3], 'm_nCount=1', 'one adapter in the namespace')
        self.assertRegex(texts[4], r'^ \[idx=0\]\n Name=\{[0-9A-F-]+\}\n Description=ppp0\n Type=23, PPP\n'
                                   r' IP=10\.99\.0\.2\n DNS=127\.0\.0\.1$', 'adapter block')
        self.assertEqual(texts[5], 'ppp DNS(m_ip) = 127.0.0.1')
        self.assertEqual([e.level for e in entries[3:6]], ['FLOW'] * 3)
        tail = harness.conversation(entries[6:])
        self.assertEqual([(e.level, e.text) for e in tail],
                         [('ERROR', 'connect failed. retry_count=%d' % n) for n in range(4)],
                         'after the adapter only the four connect failures')
        gaps = [(b.time - a.time).total_seconds() for a, b in zip(tail, tail[1:])]
        for gap in gaps:
            # the 1 s pause, then a new worker's connect; the log's own clock
            self.assertTrue(0.9 <= gap <= 2.5, 'retries should be about a second apart: %r' % gaps)

    def test_Tray_IconAddedWithCallbackThenTooltipOfGivenUpRetries(self):
        m = self.monitor
        self.assertTrue(self.tray.wait_for_tip(RETRIES_GIVEN_UP, 10, owner=m.hwnd),
                        'tooltip after four failures never set: %r' % self.tray.tips(owner=m.hwnd))
        mine = [r for r in self.tray.records() if r.owner == m.hwnd]
        add = mine[0]
        self.assertEqual((add.cmd, add.id, add.flags, add.callback),
                         ('add', harness.TRAY_ICON_ID, harness.NIF_ICON | harness.NIF_MESSAGE, harness.WM_TRAY_NOTIFY),
                         'first call: add with icon and callback message')
        self.assertRegex(add.icon, r'^16x16x32:', 'the icon at the small icon size of 100 %')
        self.assertEqual((mine[1].cmd, mine[1].timeout), ('setversion', NOTIFYICON_VERSION),
                         'version 3 right after the add, for the keyboard\'s notifications')
        self.assertTrue(all(r.ok for r in mine), 'a tray call was refused: %r' % mine)
        tips = self.tray.tips(owner=m.hwnd)
        self.assertEqual(tips[0], CONNECTING, 'tooltip at start')
        given_up = tips.index(RETRIES_GIVEN_UP)
        self.assertEqual(set(tips[given_up:]), {RETRIES_GIVEN_UP}, 'the tooltip stays once the retries are over')
        self.assertTrue(all(r.flags == harness.NIF_TIP for r in mine[2:] if r.cmd == 'modify'),
                        'tooltip updates carry the tip alone')

    def test_Labels_CaptionsConnectTimeZeroDurationsAndVersion(self):
        m = self.monitor
        texts = self.wine.text(m.target, *range(1002, 1011))
        connect = texts.pop(1003, None)
        self.assertEqual(texts, {
            1002: '접속시간:', 1004: '할당시간:', 1005: '00일 00:00:00', 1006: '경과시간:',
            1007: '00일 00:00:00', 1008: '남은시간:', 1009: '00일 00:00:00', 1010: 'version 1.0.3.1'})
        match = re.match(r'^(\d\d)월(\d\d)일 (\d\d):(\d\d):(\d\d)$', connect or '')
        self.assertTrue(match, 'connect time format: %r' % connect)
        log_start = m.entries('Log START .........')[0].time
        month, day, hour, minute, second = (int(v) for v in match.groups())
        shown = datetime.datetime(log_start.year, month, day, hour, minute, second)
        lead = (log_start - shown).total_seconds()
        self.assertTrue(-1 < lead < 5, 'connect time %s should be the start, just before the log began (%s)'
                        % (connect, log_start))

    def test_MainWindow_HiddenUntilAsked_KeysKeepIt_CloseBoxHidesIt(self):
        m = self.monitor
        wine = self.wine
        self.assertIs(wine.visible(m.target), False, 'the main window starts hidden')
        # a single click and a right press on the icon do nothing
        for event in (WM_LBUTTONDOWN, WM_LBUTTONUP, harness.WM_RBUTTONDOWN):
            self.assertTrue(wine.tray_event(m.target, harness.TRAY_ICON_ID, event))
        self.assertTrue(wine.command(m.target, harness.ID_SHOW_CLOCK))
        self.assertTrue(wait_for(lambda: wine.visible(m.target), 10), 'ID_SHOW_CLOCK should show the window')
        self.assertNotEqual(wine.driver('menu')[0], 0, 'a click or a right press must not open the tray menu')

        # the keys are posted before the close box, so they are handled first
        self.assertTrue(wine.key(m.target, harness.VK_ESCAPE, harness.VK_RETURN))
        self.assertTrue(wine.post(m.target, harness.WM_SYSCOMMAND, harness.SC_CLOSE))
        self.assertTrue(wait_for(lambda: wine.visible(m.target) is False, 10), 'the close box should hide it')

        # showing it again proves the dialog's loop still runs
        self.assertTrue(wine.tray_event(m.target, harness.TRAY_ICON_ID, harness.WM_LBUTTONDBLCLK))
        shown = wait_for(lambda: wine.visible(m.target), 10)
        self.assertTrue(m.alive(), 'Escape, Enter or the close box ended the monitor')
        self.assertTrue(shown, 'a double click should show the window')

        # open but covered by the user's program: a double click brings it to the front
        holder = wine.hold_foreground(60)
        self.addCleanup(holder.events, 0)
        self.assertTrue(wine.tray_event(m.target, harness.TRAY_ICON_ID, harness.WM_LBUTTONDBLCLK))
        self.assertTrue(wait_for(lambda: holder.foreground_went_to(m.hwnd), 10),
                        'a double click should bring the covered clock to the front')

        self.assertTrue(wine.post(m.target, harness.WM_SYSCOMMAND, SC_MINIMIZE))
        self.assertTrue(wait_for(self.minimized, 10), 'minimize had no effect: %r' % (self.window_rect(),))
        self.assertTrue(wine.command(m.target, harness.ID_SHOW_CLOCK))
        self.assertTrue(wait_for(lambda: not self.minimized(), 10),
                        'a later ID_SHOW_CLOCK should restore the minimized window: %r' % (self.window_rect(),))

        self.assertTrue(wine.post(m.target, harness.WM_SYSCOMMAND, harness.SC_CLOSE))
        self.assertTrue(wait_for(lambda: wine.visible(m.target) is False, 10), 'hidden again')
        self.assertTrue(m.alive())

    def test_Keyboard_EnterOrSpaceOpensTheClock_TheMenuKeyTheMenu_NotWhatTheShellAddsToAClick(self):
        m, wine = self.monitor, self.wine
        self.assertTrue(wine.post(m.target, harness.WM_SYSCOMMAND, harness.SC_CLOSE))
        self.assertTrue(wait_for(lambda: wine.visible(m.target) is False, 10), 'the clock should start hidden')
        # handled in this order: the menu is open only once NIN_SELECT is through
        for event in (WM_LBUTTONUP, NIN_SELECT, WM_CONTEXTMENU):
            self.assertTrue(wine.tray_event(m.target, harness.TRAY_ICON_ID, event))
        self.assertTrue(wait_for(lambda: wine.driver('menu')[0] == 0, 10), 'Shift+F10 should open the menu')
        self.assertIs(wine.visible(m.target), False, 'the NIN_SELECT that follows a click opened the clock')
        self.assertTrue(wine.key(m.target, harness.VK_ESCAPE))
        self.assertTrue(self.tray.wait_for_command('setfocus', 10, owner=m.hwnd), 'Escape left the tray without focus')
        self.assertTrue(wine.tray_event(m.target, harness.TRAY_ICON_ID, NIN_KEYSELECT))
        self.assertTrue(wait_for(lambda: wine.visible(m.target), 10), 'Enter or Space should show the clock')
        self.assertTrue(wine.post(m.target, harness.WM_SYSCOMMAND, harness.SC_CLOSE))
        self.assertTrue(wait_for(lambda: wine.visible(m.target) is False, 10))

    def window_rect(self):
        return next((w.rect for w in self.wine.dialogs(all_windows=True) if w.hwnd == self.monitor.hwnd), None)

    def minimized(self):
        # Windows parks a minimized window at -32000; Wine, which draws the
        # test prefix's unmanaged windows itself, shrinks it to a bar of the
        # minimized size at the bottom-left of the screen instead
        rect = self.window_rect()
        return rect is not None and (rect[0] <= -32000 or (rect[2] - rect[0], rect[3] - rect[1]) == MINIMIZED_SIZE)

    def save_log_as(self, path, replace=None):
        """Chooses the log export from the tray menu, names path in the file
        dialog and confirms; for an existing file answers the dialog's
        question whether to replace it (replace: True or False), cancelling
        the dialog after a No. Returns the text of the message box that
        follows the export (None after a No)."""
        m = self.monitor
        wine = self.wine
        self.assertTrue(wine.tray_event(m.target, harness.TRAY_ICON_ID, harness.WM_RBUTTONUP))
        self.assertTrue(wait_for(lambda: wine.driver('menu')[0] == 0, 10), 'tray menu did not open')
        self.assertTrue(wine.menu_pick(1), 'could not choose "로그파일 저장"')

        def file_dialog():
            return next((w for w in m.windows() if any(c.id == FILE_NAME_ID for c in w.children)), None)
        dialog = wait_for(file_dialog, 20)
        self.assertTrue(dialog, 'the file dialog did not appear')
        target = 'hwnd=0x%x' % dialog.hwnd
        self.assertTrue(wine.set_text(target, FILE_NAME_ID, harness.winpath(path)), 'file name not typed')
        self.assertTrue(wine.command(target, harness.IDOK), 'file dialog not confirmed')
        result = None
        if replace is not None:
            asked = wine.msgbox(wait=20, button=IDYES if replace else IDNO)
            self.assertIsNotNone(asked, 'the file dialog did not ask before replacing %s' % path)
            if not replace:
                self.assertTrue(wine.command(target, harness.IDCANCEL), 'file dialog not cancelled')
        if replace is not False:
            box = wine.msgbox(wait=20)
            self.assertIsNotNone(box, 'no message box after the export; windows: %r' % m.windows())
            result = box[1]
        # the next export of this shared monitor starts with neither left open
        self.assertTrue(wait_for(lambda: not [w for w in wine.dialogs(all_windows=True)
                                              if w.pid == m.pid and w.cls == '#32770' and w.hwnd != m.hwnd], 20),
                        'file dialog or message box left behind')
        return result

    def test_SaveLog_CopiesLogToChosenFile_AskingBeforeItReplacesOne(self):
        # a name CP949 lacks: the path goes as it is into the file, the box and back
        path = os.path.join(self.session.home(), 'Ђорђе😀.log')
        self.assertEqual(self.save_log_as(path), '로그파일 저장 성공 파일위치[%s]' % harness.winpath(path),
                         'message after the export')
        self.assertCopyOfLog(path, 'the exported file should hold the whole log')
        with open(path, 'wb') as f:
            f.write(b'kept')
        self.assertIsNone(self.save_log_as(path, replace=False))
        self.assertEqual(harness.read_bytes(path), b'kept', 'a No keeps the existing file')
        self.save_log_as(path, replace=True)
        self.assertCopyOfLog(path, 'a Yes replaces it')

    def assertCopyOfLog(self, path, what):
        # The VPN watch may have added its lines since.
        copy = harness.read_bytes(path)
        self.assertTrue(copy and harness.read_bytes(self.monitor.log_path).startswith(copy), what)

    def conversation_log(self):
        return harness.conversation(self.monitor.entries())

    def test_SaveLog_UnwritableDestination_ReportsMinus20(self):
        cases = [
            ('folder that does not exist', os.path.join(self.session.home(), 'missing', 'x.log')),
            ('the log itself, held against other writers', self.monitor.log_path),
        ]
        for name, path in cases:
            with self.subTest(destination=name):
                before = self.conversation_log()
                replace = True if os.path.exists(path) else None
                self.assertEqual(self.save_log_as(path, replace), '로그파일 저장 실패 rc=-20')
                self.assertEqual(self.conversation_log(), before, 'a failed export changes the log')
        self.assertFalse(os.path.exists(os.path.join(self.session.home(), 'missing')))


    def test_Log_ReadByAnotherProgramWhileTheMonitorWritesIt(self):
        rc, out = self.wine.driver('read-file', harness.winpath(self.monitor.log_path))
        # The monitor writes on (the VPN watch every 3 s): what the viewer read
        # is the log as it was then, which the log still begins with.
        self.assertEqual(rc, 0, 'a viewer should be let in: %s' % out)
        self.assertIn('Log START', out, 'the viewer read the log')
        self.assertTrue(self.monitor.log().startswith(out), 'a viewer should read the whole log as it stood')


class HomeFolderTest(harness.MonitorCase):

    def test_UnusableCurrentDirectory_FallsBackToLocalAppDataSayingWhyAndLeavesItAlone(self):
        user = getpass.getuser()
        fallback = os.path.join(harness.PREFIX, 'drive_c', 'users', user, 'AppData', 'Local', 'Lumaro')
        victim = os.path.join(self.session.home(), 'victim.txt')

        def deep(home):
            # 252 characters in all, past the 247 that leave room for
            # "\\admin.log.1", in folders of at most 80 (240 bytes in UTF-8)
            left = 252 - len(harness.winpath(home))
            path = home
            while left > 0:
                name = '가' * max(1, min(80, left - 1))
                path = os.path.join(path, name)
                left -= len(name) + 1
            os.makedirs(path)
            return path

        def immutable(home):  # root writes anywhere else, as a standard user in Program Files cannot
            subprocess.run(['chattr', '+i', home], check=True)
            self.addCleanup(subprocess.run, ['chattr', '-i', home])
            return home

        def shared(home):  # Wine reports the mode's write for others as Everyone's
            os.chmod(home, 0o777)
            return home

        def planted(home):
            with open(victim, 'wb') as f:
                f.write(b'the user\'s own file')
            os.link(victim, os.path.join(home, 'admin.log'))
            return home
        cases = [
            (deep, 'WARN', r'current directory of 25\d characters, longer than 247'),
            (immutable, 'WARN', r'admin\.log cannot be opened in \[Z:\\.*\], rc=5'),
            (planted, 'ERROR', r'\[Z:\\.*\\admin\.log\] refused, 2 links'),
            (shared, 'WARN', r'\[Z:\\.*\] may be written by S-1-1-0'),
            # a task without a start folder; root under Wine could write there. A 32-bit
            # program's system32 is syswow64, the folder it really opens
            (lambda home: os.path.join(harness.PREFIX, 'drive_c', 'windows', 'system32'), 'WARN',
             r'\[C:\\windows\\syswow64\] is a system folder, in \[C:\\windows\]'),
        ]
        for prepare, level, why in cases:
            with self.subTest(why=why):
                try:
                    shutil.rmtree(fallback, ignore_errors=True)
                    self.addCleanup(shutil.rmtree, fallback, True)
                    cwd = prepare(self.session.home())
                    before = sorted(os.listdir(cwd))
                    copies = os.path.join(cwd, harness.COPYDATA_LOG)  # the harness's own
                    self.addCleanup(lambda: os.path.exists(copies) and os.remove(copies))
                    m = harness.Monitor.start(self.wine, cwd)
                    self.addCleanup(m.stop)
                    m.log_path = os.path.join(fallback, 'admin.log')
                    self.assertTrue(m.wait_log('m_nCount=1', 20), 'no log in %s' % fallback)
                    entries = m.entries()[:4]
                    self.assertEqual([e.text for e in entries[:3]], ['Log START .........',
                                     'home_path=[C:\\users\\%s\\AppData\\Local\\Lumaro]' % user, 'version 1.0.3.1'])
                    self.assertEqual(entries[3].level, level)
                    self.assertRegex(entries[3].text, '^home folder falls back: %s$' % why)
                    self.assertEqual([f for f in sorted(os.listdir(cwd)) if f != harness.COPYDATA_LOG], before,
                                     'the current directory must stay as it was')
                finally:
                    self.doCleanups()
        self.assertEqual(harness.read_bytes(victim), b'the user\'s own file', 'written through the planted link')


class ShellTest(harness.MonitorCase):
    """Explorer restarting, or coming after the monitor: each test its own tray."""
    trayhost = False
    WHOLE = harness.NIF_ICON | harness.NIF_MESSAGE | harness.NIF_TIP

    def start_tray(self, *options):
        proc, tray = self.wine.start_trayhost(os.path.join(self.session.home(), 'tray.log'), *options)
        self.addCleanup(lambda: proc.poll() is None and (proc.kill(), proc.wait()))
        return tray

    def first_call(self, tray, m, after_ms, ok=(True, False)):
        return wait_for(lambda: next((r for r in tray.records() if r.owner == m.hwnd and r.t_ms >= after_ms
                                      and r.ok in ok), None), 2 * TIP_PERIOD)

    def test_TrayRestarted_IconBackAtTheBroadcastWithCurrentTooltip(self):
        tray = self.start_tray()
        m = self.start_monitor()
        self.assertTrue(tray.wait_for_tip(RETRIES_GIVEN_UP, 20, owner=m.hwnd), 'tooltip never settled')
        # no gap: only the broadcast, not a refused tooltip, can tell the monitor
        self.assertTrue(self.wine.post('Tray', TRAY_RESTART, 0))
        self.assertTrue(wait_for(lambda: len(tray.ready_times()) == 2, 10), 'trayhost did not restart')
        again = self.first_call(tray, m, tray.ready_times()[1])
        self.assertEqual(again and (again.cmd, again.ok, again.flags, again.callback, again.tip, again.icon),
                         ('add', True, self.WHOLE, harness.WM_TRAY_NOTIFY, RETRIES_GIVEN_UP, tray.records()[0].icon),
                         'the new tray should first get the whole icon again')
        after = [(r.cmd, r.timeout) for r in tray.records() if r.owner == m.hwnd and r.t_ms >= again.t_ms]
        self.assertEqual(after[1:2], [('setversion', NOTIFYICON_VERSION)], 'the version again with the icon')
        delay = (again.t_ms - tray.ready_times()[1]) / 1000
        self.assertLessEqual(delay, TIP_PERIOD, 'icon back later than one tooltip period')
        harness.measure('tray restarted -> icon added again: %.3f s' % delay)

    def test_ShellAfterTheMonitor_GetsTheIconWithinOneTooltipPeriod(self):
        # a tray that refuses everything is no shell at all, until it takes icons
        refuse = os.path.join(self.session.home(), 'no-shell')
        open(refuse, 'w').close()
        tray = self.start_tray('--refuse-file', harness.winpath(refuse))
        m = self.start_monitor()
        time.sleep(max(0.0, m.entries('Log START .........')[0].time.timestamp() + 5 - time.time()))
        os.remove(refuse)
        opened = time.time() * 1000
        self.assertEqual(self.first_call(tray, m, 0).cmd, 'add', 'no add tried while there was no shell')
        added = self.first_call(tray, m, opened, ok=(True,))
        self.assertEqual(added and (added.cmd, added.flags, added.tip[:7]), ('add', self.WHOLE, 'Admin서버'),
                         'the whole icon with the current tooltip should follow')
        # a busy machine may delay the tick a little
        delay = (added.t_ms - opened) / 1000
        self.assertLessEqual(delay, TIP_PERIOD + 1.0, 'icon later than one tooltip period')
        harness.measure('shell there -> icon added: %.3f s' % delay)


class NoSessionCase(harness.MonitorCase):
    ppp = False

    def check_no_session(self, monitor, expected_errors):
        """The window stays with its icon and no connection is tried."""
        # timer 2 sets the tooltip again after 3 s: by then a session would have begun
        self.assertTrue(wait_for(lambda: len(self.tray.tips(owner=monitor.hwnd)) >= 2, 10), 'tooltip timer not running')
        entries = monitor.entries()
        self.assertEqual([e.text for e in entries if e.level == 'ERROR'], expected_errors, 'error lines')
        self.assertFalse([e for e in entries if 'connect' in e.text], 'no connection may be tried')
        self.assertEqual(set(self.tray.tips(owner=monitor.hwnd)), {CONNECTING}, 'the tooltip stays at "connecting"')
        self.assertTrue(monitor.alive(), 'the monitor lives on without a session')
        self.assertIs(self.wine.visible(monitor.target), False, 'its window stays, hidden')
        return entries


class NoAdapterTest(NoSessionCase):
    """A namespace with loopback only: Wine lists no adapter at all."""

    def test_NoAdapters_StartsNoSession_AndPostedTimersOrALabelClickChangeNothing(self):
        monitor = self.start_monitor()
        self.check_no_session(monitor, ['No Network Adapters Found on System-2.',
                                        'ppp DNS Get failed. rc=-20, SvcName[VPN]'])
        before = monitor.log()
        # the retry pause (a new worker), the VPN watch (no PPP adapter here:
        # it would close the monitor), the reminder and the warning
        for timer in (300, 200, 3, 30):
            self.assertTrue(self.wine.post(monitor.target, WM_TIMER, timer), 'WM_TIMER %d not posted' % timer)
        # a label's text made a program, then clicked
        probe = harness.winpath(harness.PROBE_EXE)
        self.assertTrue(self.wine.set_text(monitor.target, 1003, probe), 'label text not set')
        self.assertEqual(self.wine.driver('post', monitor.target, hex(WM_LBUTTONDOWN), 1, 0, '--item', 1003)[0], 0)
        self.assertFalse(wait_for(lambda: self.wine.find('Probe'), 5), 'the label launched its text')
        self.assertTrue(monitor.alive(), 'a posted WM_TIMER 200 closed the monitor')
        self.assertEqual(monitor.log(), before, 'no connection, no watch run, nothing logged')


class NoPppAdapterTest(NoSessionCase):
    """An Ethernet adapter but no PPP adapter."""
    lan = True

    def test_NoPppAdapter_LogsPppNotFoundAndStartsNoSession(self):
        monitor = self.start_monitor()
        entries = self.check_no_session(monitor, ['ppp not found', 'ppp DNS Get failed. rc=-30, SvcName[VPN]'])
        texts = [e.text for e in entries]
        self.assertEqual(texts[3], 'm_nCount=1')
        self.assertRegex(texts[4], r'^ \[idx=0\]\n Name=\{[0-9A-F-]+\}\n Description=eth0\n Type=6, Ethernet\n'
                                   r' IP=10\.98\.0\.2\n DNS=127\.0\.0\.1$', 'adapter block of the Ethernet adapter')

    def test_IpHelperMissing_TakenAsNoAdapters(self):
        # iphlpapi.dll cannot be loaded (Wine's is switched off): the adapter is
        # not seen, and the monitor lives on as on a machine without adapters.
        monitor = self.start_monitor(dll_overrides='iphlpapi=')
        self.check_no_session(monitor, ['No Network Adapters Found on System-2.',
                                        'ppp DNS Get failed. rc=-20, SvcName[VPN]'])


if __name__ == '__main__':
    harness.main()
