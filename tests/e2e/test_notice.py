"""End to end: `lumaro.exe notice ADDRESS` under Wine against the stand-in
notice server in a namespace of its own: the request on the wire, the hidden
dialog and the notice it finally shows, the once-a-day choice in the registry,
the quiet ends of a failed fetch, and a notice process beside a monitor.

One display and one namespace with its wineserver serve every test; each test
starts its own notice server on 127.0.0.1:80 and its own lumaro.exe, and ends
what it started. LUMARO_SHOTS=1 runs them on Wine's own desktop, which frames
the windows as Windows does, and saves docs/notice.png.
"""
import contextlib
import datetime
import os
import subprocess
import sys
import time
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import harness  # noqa: E402

TITLE = '공지사항'
CLOSE_BUTTON = 1
CHECK_DAY = 1012
NOTICE_EDIT = 1013

REG_KEY = r'HKLM\Software\Pelmor'
REG_VALUE = 'date'

WM_SYSCOMMAND = 0x0112
SC_CLOSE = 0xF060
VK_ESCAPE = 0x1B

DEFAULT_NOTICE = ('[공지사항]\r\n'
                  '오늘 22시부터 24시까지 VPN 서버 점검이 있습니다.\r\n'
                  '점검 중에는 접속이 끊어질 수 있습니다.\r\n'
                  '감사합니다.\r\n')

REQUEST = (b'GET /notice HTTP/1.1\r\n'
           b'Accept: image/gif, image/jpeg, image/pjpeg, image/pjpeg, application/x-shockwave-flash, '
           b'application/vnd.ms-excel, application/vnd.ms-powerpoint, application/msword, */*\r\n'
           b'Accept-Language: ko\r\n'
           b'User-Agent: Mozilla/4.0 (compatible; MSIE 8.0; Windows NT 5.1; Trident/4.0; Mozilla/4.0 '
           b'(compatible; MSIE 6.0; Windows NT 5.1; SV1) ; .NET CLR 2.0.50727; .NET CLR 1.1.4322; InfoPath.2)\r\n'
           b'Accept-Encoding: gzip, deflate\r\n'
           b'Host: 127.0.0.1\r\n'
           b'Connection: Keep-Alive\r\n\r\n')

# the receive time-out after which a silent server is given up
RECEIVE_TIMEOUT = 10

# Reads as eagerly as it can and tells how the request came in: one send of
# the client arrives as one piece on loopback, several sends as several.
PIECE_SERVER = r'''
import socket, sys, time
server = socket.socket()
server.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
server.bind(("127.0.0.1", 80))
server.listen(1)
print("listening", flush=True)
conn, _ = server.accept()
conn.settimeout(20)
pieces = []
while not b"".join(pieces).endswith(b"\r\n\r\n"):
    data = conn.recv(65536)
    if not data:
        break
    pieces.append(data)
conn.sendall(b"HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\n")
time.sleep(0.3)
conn.sendall(b"ok")
print(repr(pieces), flush=True)
time.sleep(2)
'''

SHOTS = os.environ.get('LUMARO_SHOTS') == '1'
SHOT_PATH = os.path.join(harness.SOURCE, 'docs', 'notice.png')

DISPLAY = None
SESSION = None


def setUpModule():
    global DISPLAY, SESSION
    DISPLAY = harness.setup_module(harness.LUMARO_EXE)
    DISPLAY.desktop = SHOTS
    try:
        # with a PPP adapter, so that a monitor can run beside the notice
        SESSION = harness.Session(DISPLAY, ppp=True).__enter__()
    except Exception:
        harness.teardown_module(DISPLAY)
        raise


def tearDownModule():
    if SESSION:
        # a date of today left behind would silence the notice for every later run in this prefix
        SESSION.wine.run(['reg', 'delete', REG_KEY, '/v', REG_VALUE, '/f'])
        SESSION.close()
    harness.teardown_module(DISPLAY)


def today_texts():
    """The date text of today, and of tomorrow too just before midnight."""
    now = datetime.datetime.now()
    return {(now + datetime.timedelta(seconds=s)).strftime('%Y-%m-%d') for s in (0, 120)}


def date_text(days_from_today):
    return (datetime.date.today() + datetime.timedelta(days=days_from_today)).strftime('%Y-%m-%d')


class NoticeTestCase(unittest.TestCase):
    """Starts notice servers and notice processes and ends them after the test."""

    def setUp(self):
        self.wine = SESSION.wine
        # a notice window of an earlier test may take a moment to go with its process
        self.assertTrue(harness.wait_for(lambda: not self.wine.find(TITLE), 15),
                        'a notice window of an earlier test is still there')

    @contextlib.contextmanager
    def each_case(self):
        """One case of a table: what it started is ended when it is done, pass or fail."""
        try:
            yield
        finally:
            self.doCleanups()
            harness.wait_for(lambda: not self.wine.find(TITLE), 15)

    # ---- servers and processes ----

    def serve(self, *options):
        server = SESSION.notice_server(*options)
        self.addCleanup(server.stop)
        return server

    def body_file(self, data):
        path = os.path.join(SESSION.home(), 'notice.bin')
        with open(path, 'wb') as f:
            f.write(data)
        return path

    def start_notice(self, *words, env=None):
        """Starts `lumaro.exe notice 127.0.0.1` (or the given words), with `env` besides."""
        home = SESSION.home()
        env = dict(env or {}, LUMARO_COPYDATA_LOG=harness.winpath(os.path.join(home, harness.COPYDATA_LOG)))
        proc = self.wine.start_lumaro(*(words or ('notice', '127.0.0.1')), cwd=home, env=env)
        proc.copied_records = lambda: harness.copied_records(os.path.join(home, harness.COPYDATA_LOG))
        self.addCleanup(self.end_process, proc)
        return proc

    @staticmethod
    def end_process(proc):
        if proc.poll() is None:
            proc.kill()
            proc.wait(30)

    def exit_code(self, proc, timeout, what):
        try:
            return proc.wait(timeout)
        except subprocess.TimeoutExpired:
            self.fail('%s: the notice process was still running after %d s' % (what, timeout))

    def wait_shown(self, timeout=20):
        shown = harness.wait_for(lambda: self.wine.visible(TITLE), timeout)
        self.assertTrue(shown, 'the notice dialog "%s" never became visible (window: %r)'
                        % (TITLE, self.wine.find(TITLE)))

    def shown_bytes(self):
        return self.wine.edit_text(TITLE, NOTICE_EDIT, raw=True)

    def show_and_read(self, *server_options):
        """Serves a notice, waits for the dialog and returns the raw text of edit 1013."""
        self.serve(*server_options)
        self.start_notice()
        self.wait_shown()
        return self.shown_bytes()

    def assert_nothing_shown(self, what):
        found = self.wine.find(TITLE)
        self.assertFalse(found and found.visible, '%s: the notice dialog was shown' % what)
        self.assertIsNone(self.wine.msgbox(press=False), '%s: a message box was shown' % what)

    def close_with_button(self, proc, tick):
        self.assertEqual(self.wine.check(TITLE, CHECK_DAY, int(tick)), int(tick),
                         'check box 1012 did not take %d' % tick)
        self.assertTrue(self.wine.command(TITLE, CLOSE_BUTTON), 'could not press the close button')
        self.assertEqual(self.exit_code(proc, 20, 'close button'), 0, 'exit code after the close button')

    # ---- the registry value, in the 32-bit view the program sees ----

    def reg_read(self):
        """(type, data) of the value "date", or None when there is none."""
        rc, out = self.wine.run(['reg', 'query', REG_KEY, '/v', REG_VALUE])
        if rc != 0:
            return None
        for line in out.splitlines():
            fields = line.strip().split(None, 2)
            if len(fields) >= 2 and fields[0] == REG_VALUE and fields[1].startswith('REG_'):
                return fields[1], (fields[2] if len(fields) > 2 else '')
        self.fail('cannot read reg query output: %r' % out)

    def reg_write(self, data, kind='REG_SZ'):
        rc, out = self.wine.run(['reg', 'add', REG_KEY, '/v', REG_VALUE, '/t', kind, '/d', data, '/f'])
        self.assertEqual(rc, 0, 'reg add failed: %r' % out)

    def reg_clear(self, whole_key=False):
        if whole_key:
            self.wine.run(['reg', 'delete', REG_KEY, '/f'])
        else:
            self.wine.run(['reg', 'delete', REG_KEY, '/v', REG_VALUE, '/f'])
        self.assertIsNone(self.reg_read(), 'the value "date" could not be removed')


class NoticeFetchTest(NoticeTestCase):
    """What goes out, and what is shown of what comes back."""

    def setUp(self):
        super().setUp()
        self.reg_clear()

    def test_Request_IsTheSevenLines_AndDialogStaysHiddenUntilTheNoticeArrives(self):
        server = self.serve('--mode', 'two-sends', '--pause', '4')
        proc = self.start_notice()
        self.assertTrue(harness.wait_for(lambda: server.request().endswith(b'\r\n\r\n'), 20),
                        'no complete request reached the server: %r' % server.request())
        found = self.wine.find(TITLE)
        self.assertTrue(found, 'the notice dialog should exist while the notice is on its way')
        self.assertFalse(found.visible, 'the dialog must stay hidden until the notice has arrived')
        self.assertEqual(server.request(), REQUEST, 'request bytes')
        self.wait_shown(10)
        self.assertEqual(self.shown_bytes(), DEFAULT_NOTICE.encode('cp949'), 'notice text in edit 1013')
        self.assertEqual(server.request(), REQUEST, 'nothing may follow the request')
        self.assertIsNone(proc.poll(), 'the process ended while its dialog was shown')
        self.assertEqual(proc.copied_records(), [10, 100], 'the worker\'s records, delivered as Windows copies them')

    def test_Request_ArrivesAsOnePiece(self):
        server = SESSION.netns.popen([sys.executable, '-c', PIECE_SERVER], stdout=subprocess.PIPE)
        self.addCleanup(self.end_process, server)
        self.addCleanup(server.stdout.close)
        self.assertEqual(server.stdout.readline(), b'listening\n', 'piece server did not start')
        self.start_notice()
        self.wait_shown()
        self.assertEqual(self.shown_bytes(), b'ok', 'notice of the piece server')
        pieces = server.stdout.readline().decode()
        self.assertEqual(pieces.strip(), repr([REQUEST]), 'the request should come in one piece')

    def test_HeadAndBody_ShowTheBodyWhetherSentApartOrInOneBlock(self):
        cases = [
            # server options, the bytes edit 1013 must hold
            (['--mode', 'two-sends'], DEFAULT_NOTICE.encode('cp949')),
            (['--mode', 'one-send'], DEFAULT_NOTICE.encode('cp949')),
            (['--mode', 'two-sends', '--body-size', '4096'], None),
            (['--mode', 'one-send', '--body-size', '4096'], None),
        ]
        for options, expected in cases:
            with self.subTest(options=options), self.each_case():
                shown = self.show_and_read(*options)
                if expected is None:
                    self.assertEqual(len(shown), 4096, 'a notice of exactly 4096 bytes must be shown whole')
                    self.assertTrue(shown.startswith(b'line 00001 ABCDEF'), 'filler text: %r' % shown[:40])
                else:
                    self.assertEqual(shown, expected, 'shown notice')

    def test_Text_ShowsBytesAsSent_LineBreaksOnlyWhereCrLfAndCutAtNul(self):
        cases = [
            # body sent, bytes edit 1013 must hold
            (b'first\r\nsecond\nthird\r\n\r\nlast\n', b'first\r\nsecond\nthird\r\n\r\nlast\n'),
            ('앞부분'.encode('cp949') + b'\0' + '뒷부분'.encode('cp949'), '앞부분'.encode('cp949')),
            ('한글 공지\r\n둘째 줄 ★'.encode('cp949'), '한글 공지\r\n둘째 줄 ★'.encode('cp949')),
        ]
        for body, expected in cases:
            with self.subTest(body=body), self.each_case():
                shown = self.show_and_read('--mode', 'two-sends', '--body-file', self.body_file(body))
                self.assertEqual(shown, expected, 'edit 1013 should hold the body as sent, up to a NUL')

    def test_KoreanNotice_IsReadableInTheDialogAndReadAloudFirst(self):
        self.serve('--mode', 'two-sends')
        self.start_notice()
        self.wait_shown()
        windows = [w for w in self.wine.dialogs() if w.title == TITLE]
        self.assertEqual(len(windows), 1, 'one visible notice dialog expected: %r' % windows)
        controls = {c.id: c for c in windows[0].children}
        self.assertEqual(controls[NOTICE_EDIT].text, DEFAULT_NOTICE, 'Korean notice as the edit shows it')
        self.assertEqual(controls[CHECK_DAY].text, '오늘 이 창을 다시 열지 않음', 'check box text')
        self.assertEqual(controls[CLOSE_BUTTON].text, 'close', 'close button text')
        self.assertEqual(self.wine.check(TITLE, CHECK_DAY), 0, 'the box starts clear')
        self.assertEqual(self.wine.accessible(TITLE)[1:], [
            (1014, '공지 내용:', harness.Wine.INVISIBLE, ''),
            (NOTICE_EDIT, '공지 내용:', harness.Wine.FOCUSED | harness.Wine.READONLY, DEFAULT_NOTICE),
            (CHECK_DAY, controls[CHECK_DAY].text, 0, ''), (CLOSE_BUTTON, 'close', 0, '')], 'read aloud: the notice first')
        if SHOTS:
            time.sleep(1)
            os.makedirs(os.path.dirname(SHOT_PATH), exist_ok=True)
            self.assertTrue(DISPLAY.screenshot(SHOT_PATH, windows[0].rect), 'screenshot of the notice dialog failed')

    def test_NoticeOver4096Bytes_IsRefusedWithMessageBoxThenTheProcessEnds(self):
        for mode in ('two-sends', 'one-send'):
            with self.subTest(mode=mode), self.each_case():
                self.serve('--mode', mode, '--body-size', '4097')
                proc = self.start_notice()
                box = self.wine.msgbox(wait=20, press=False)
                self.assertIsNotNone(box, 'no message box for a notice of 4097 bytes')
                self.assertEqual(box[1], 'OnCopyData()  data_len failed. type[100] len[4097]', 'message box text')
                self.assertFalse(self.wine.visible(TITLE), 'the dialog must stay hidden behind the message box')
                self.assertIsNotNone(self.wine.msgbox(press=True), 'could not press OK')
                # no other notice can follow the refused one
                self.assertEqual(self.exit_code(proc, 20, 'refused notice'), 0, 'exit code after the refused notice')
                self.assert_nothing_shown('refused notice')


class NoticeFailureTest(NoticeTestCase):
    """A fetch that fails ends the process with exit code 0 and shows nothing."""

    def setUp(self):
        super().setUp()
        self.reg_clear()

    def test_NoServer_EndsAtOnceWithExitCode0(self):
        proc = self.start_notice()
        self.assertEqual(self.exit_code(proc, 20, 'refused connection'), 0, 'exit code after a refused connection')
        self.assert_nothing_shown('refused connection')

    def test_NoAddress_EndsQuietlyWithExitCode0(self):
        # a server on 80 would take a connection to this machine, which an empty host must not make
        server = self.serve('--mode', 'two-sends')
        proc = self.start_notice('notice')
        self.assertEqual(self.exit_code(proc, 20, '"notice" alone'), 0, 'exit code of "notice" without an address')
        self.assert_nothing_shown('"notice" alone')
        self.assertEqual(server.request(), b'', '"notice" alone must not connect anywhere')

    def test_SilentServer_EndsAfterTheReceiveTimeoutWithExitCode0(self):
        server = self.serve('--mode', 'silent')
        started = time.monotonic()
        proc = self.start_notice()
        self.assertTrue(harness.wait_for(lambda: server.request() == REQUEST, 20), 'request never arrived')
        self.assertIs(self.wine.visible(TITLE), False, 'hidden dialog expected while waiting')
        code = self.exit_code(proc, RECEIVE_TIMEOUT + 20, 'silent server')
        elapsed = time.monotonic() - started
        self.assertEqual(code, 0, 'exit code after the receive time-out')
        self.assertGreaterEqual(elapsed, RECEIVE_TIMEOUT - 0.5, 'ended before the receive time-out')
        self.assertFalse(self.wine.find(TITLE), 'no dialog may be left')

    def test_ServerClosingAtOnce_EndsWithExitCode0(self):
        # Whether the FIN (a closed connection) or a reset (a failed receive)
        # reaches the worker first, no notice can come any more.
        self.serve('--mode', 'close')
        proc = self.start_notice()
        self.assertEqual(self.exit_code(proc, 20, 'server closing at once'), 0, 'exit code when the server closes')
        self.assert_nothing_shown('server closing at once')


class NoticeDayChoiceTest(NoticeTestCase):
    """The check box, the close paths and the date under HKLM\\Software\\Pelmor."""

    def test_TickedCloseButton_StoresToday_AndLaterStartThatDayMakesNoConnection(self):
        self.reg_clear(whole_key=True)
        self.serve('--mode', 'two-sends')
        proc = self.start_notice()
        self.wait_shown()
        self.close_with_button(proc, tick=True)
        stored = self.reg_read()
        self.assertIsNotNone(stored, 'ticked close stored nothing (the key had to be created)')
        self.assertEqual(stored[0], 'REG_SZ', 'type of the value "date"')
        self.assertIn(stored[1], today_texts(), 'the stored date should be today')
        self.doCleanups()

        server = self.serve('--mode', 'two-sends')
        started = time.monotonic()
        proc = self.start_notice()
        self.assertEqual(self.exit_code(proc, 20, 'second start of the day'), 0, 'exit code of the second start')
        self.assertLess(time.monotonic() - started, RECEIVE_TIMEOUT, 'the second start should end at once')
        self.assertEqual(server.request(), b'', 'the second start of the day must make no connection')
        self.assert_nothing_shown('second start of the day')
        self.assertEqual(self.reg_read(), stored, 'the stored date must stay')

    def test_OtherCloses_StoreNothingEvenWithTheBoxTicked(self):
        closers = [
            ('Escape', lambda: self.wine.key(TITLE, VK_ESCAPE)),
            ('WM_CLOSE', lambda: self.wine.close_window(TITLE)),
            ('SC_CLOSE', lambda: self.wine.post(TITLE, WM_SYSCOMMAND, SC_CLOSE, 0)),
        ]
        for name, close in closers:
            with self.subTest(close=name), self.each_case():
                self.reg_clear()
                self.serve('--mode', 'two-sends')
                proc = self.start_notice()
                self.wait_shown()
                self.assertEqual(self.wine.check(TITLE, CHECK_DAY, 1), 1, 'could not tick the box')
                self.assertTrue(close(), 'could not send %s' % name)
                self.assertEqual(self.exit_code(proc, 20, name), 0, 'exit code after %s' % name)
                self.assertIsNone(self.reg_read(), '%s with the box ticked must store nothing' % name)

    def test_ClearBox_StoresNothingAndKeepsAnExistingValue(self):
        for before in (None, date_text(-1)):
            with self.subTest(stored_before=before), self.each_case():
                if before is None:
                    self.reg_clear()
                else:
                    self.reg_write(before)
                self.serve('--mode', 'two-sends')
                proc = self.start_notice()
                self.wait_shown()
                self.close_with_button(proc, tick=False)
                expected = None if before is None else ('REG_SZ', before)
                self.assertEqual(self.reg_read(), expected, 'closing with the box clear changed the value')

    def test_StoredValueOtherThanToday_LetsTheNoticeThrough(self):
        today = datetime.date.today()
        cases = [
            # what is stored, its type
            (date_text(-1), 'REG_SZ'),
            (date_text(1), 'REG_SZ'),
            (today.strftime('%Y/%m/%d'), 'REG_SZ'),
            (today.strftime('%y-%m-%d'), 'REG_SZ'),
            (today.strftime('%Y-%m-%d') + ' 09:00', 'REG_SZ'),
            (today.strftime('%Y%m%d'), 'REG_DWORD'),
            # longer than the 200 bytes the program reads: an unreadable value
            (today.strftime('%Y-%m-%d') * 25, 'REG_SZ'),
        ]
        for value, kind in cases:
            with self.subTest(value=value[:20], kind=kind), self.each_case():
                self.reg_write(value, kind)
                stored = self.reg_read()
                shown = self.show_and_read('--mode', 'two-sends')
                self.assertEqual(shown, DEFAULT_NOTICE.encode('cp949'), 'notice not shown for %r' % value)
                self.assertEqual(self.reg_read(), stored, 'showing the notice changed the stored value')
        self.reg_clear()


class NoticeOnEnglishWindowsTest(NoticeTestCase):
    """The notice on a Windows whose language for non-Unicode programs is
    English (code page 1252): the server's CP949 text and the dialog's own
    read back as under Korean, and the day is kept as under Korean."""

    def test_Notice_ShowsTheSameKoreanAndKeepsTheSameDate(self):
        self.reg_clear()
        self.serve('--mode', 'two-sends')
        proc = self.start_notice(env=harness.ENGLISH)
        self.wait_shown()
        window = next((w for w in self.wine.dialogs() if w.title == TITLE), None)
        self.assertTrue(window, 'no visible window captioned "%s"' % TITLE)
        controls = {c.id: c.text for c in window.children}
        self.assertEqual((controls.get(NOTICE_EDIT), controls.get(CHECK_DAY), controls.get(CLOSE_BUTTON)),
                         (DEFAULT_NOTICE, '오늘 이 창을 다시 열지 않음', 'close'), 'the notice, the box, the button')
        self.assertEqual(self.shown_bytes(), DEFAULT_NOTICE.encode('cp949'), 'edit 1013 as CP949')
        self.close_with_button(proc, tick=True)
        stored = self.reg_read()
        self.assertTrue(stored and stored[0] == 'REG_SZ' and stored[1] in today_texts(), 'date kept: %r' % (stored,))


class NoticeBesideMonitorTest(NoticeTestCase):

    def test_NoticeAndMonitor_RunSideBySideWithoutDisturbingEachOther(self):
        self.reg_clear()
        SESSION.start_trayhost()
        # no admin server listens: the monitor keeps trying in the background
        monitor = self.wine.start_lumaro('user01', 'VPN', cwd=SESSION.home())
        self.addCleanup(self.end_process, monitor)
        main = harness.wait_for(lambda: self.wine.find('Lumaro'), 20)
        self.assertTrue(main, 'the monitor window "Lumaro" did not appear')

        self.serve('--mode', 'two-sends')
        proc = self.start_notice()
        self.wait_shown()
        self.assertEqual(self.shown_bytes(), DEFAULT_NOTICE.encode('cp949'), 'notice beside a monitor')
        windows = self.wine.dialogs(all_windows=True)
        monitors = [(w.hwnd, w.pid) for w in windows if w.title == 'Lumaro']
        notices = [(w.hwnd, w.pid) for w in windows if w.title == TITLE]
        self.assertEqual(monitors, [(main.hwnd, main.pid)], 'the monitor window should be there unchanged')
        self.assertEqual(len(notices), 1, 'one notice window expected: %r' % notices)
        self.assertNotEqual(notices[0][1], main.pid, 'the notice should run in a process of its own')
        self.assertIsNone(monitor.poll(), 'the notice process retired the monitor')

        self.close_with_button(proc, tick=False)
        # the notice process has ended: a second is room for anything it did
        # to reach the monitor, which answers its own messages in milliseconds
        time.sleep(1)
        self.assertIsNone(monitor.poll(), 'closing the notice ended the monitor')
        after = self.wine.find('Lumaro')
        self.assertEqual((after.hwnd, after.pid) if after else None, (main.hwnd, main.pid),
                         'the monitor window changed when the notice closed')


if __name__ == '__main__':
    harness.main()
