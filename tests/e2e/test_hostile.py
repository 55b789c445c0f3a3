"""Hostile servers: the monitor against an admin server that says nothing,
hangs up at every stage of the conversation, floods it with telnet commands,
leaves a subnegotiation open, doubles IACs, sends a megabyte without a line
end, an answer without end or a megabyte of the user's rows, stops reading,
or shares result with a scanner; and the notice process against a server
that sends 10 MB.

Each case checks the outcome the conversation should have (its log lines,
the status in the tray tooltip, what was parsed) and that the program lived
through it: the process still runs, its main window gives its labels and
answers a round trip every 50 ms within ANSWER_LIMIT_MS all along (timed
inside one driver process, so a busy machine's slow process starts do not
count), its peak memory (VmHWM of the Linux process running the exe) stays
under RSS_LIMIT_KB and admin.log never grows past its 5 MiB limit plus one
dump block. One Session (namespace and wineserver) per class; each case
starts a monitor in a new home folder and its own server.
"""
import contextlib
import os
import re
import subprocess
import sys
import threading
import time
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import harness  # noqa: E402
from harness import wait_for  # noqa: E402


IAC, SB, SE = 0xFF, 0xFA, 0xF0
WILL, WONT, DO, DONT = 0xFB, 0xFC, 0xFD, 0xFE
ECHO, SUPPRESS_GO_AHEAD = 1, 3

# The log empties itself once it is past 5 MiB, at its next text line; a dump
# written just before may carry it past by one block.
LOG_LIMIT = 5 * 1024 * 1024 + 20583
RSS_LIMIT_KB = 100 * 1024
# A window that answers stays in milliseconds (tens on a busy machine, a few
# hundred while it parses a megabyte there); one stuck behind the network or
# a 2-second receive would take seconds.
ANSWER_LIMIT_MS = 1000
PING_WINDOW_S = 2
READOUTS = (1003, 1005, 1007, 1009)

CONNECTING = 'Admin서버에 접속 시도중...'
SUMMARY_REQUESTED = '#show summary 요청 성공'
SUMMARY_ARRIVING = 'show summary 정보 수신중...'
AUTH_ARRIVING = 'show auth 정보 수신중...'
TIME_LEFT = re.compile(r'^\[남은시간\] 00일 00:59:\d\d$')

FULL_CONVERSATION = b'admin\nqalvexor\nshow summary\nlink 7\nshow auth\nexit\n'
NOTICE_TITLE = '공지사항'
NOTICE_BUFFER = 10240
NOTICE_PAYLOAD_LIMIT = 4096


setUpModule = harness.setup_monitor_module
tearDownModule = harness.teardown_monitor_module


def split_client_bytes(data):
    """What a client sent, taken apart: ([(verb, option)] of its option
    commands, [parameters] of its subnegotiations, the data bytes)."""
    options, subnegotiations, text = [], [], bytearray()
    i = 0
    while i < len(data):
        b = data[i]
        if b != IAC or i + 1 >= len(data):
            text.append(b)
            i += 1
        elif data[i + 1] in (WILL, WONT, DO, DONT) and i + 2 < len(data):
            options.append((data[i + 1], data[i + 2]))
            i += 3
        elif data[i + 1] == SB:
            end = data.find(bytes([IAC, SE]), i + 2)
            end = len(data) if end < 0 else end
            subnegotiations.append(bytes(data[i + 2:end]))
            i = end + 2
        elif data[i + 1] == IAC:
            text.append(IAC)
            i += 2
        else:
            i += 2
    return options, subnegotiations, bytes(text)


def lumaro_pids(home, prefix=harness.PREFIX):
    """Linux pids of the lumaro.exe processes of this prefix running in home:
    other sessions beside this one run their own monitors."""
    out = subprocess.run(['pgrep', '-f', 'lumaro.exe'], stdout=subprocess.PIPE,
                         stderr=subprocess.DEVNULL).stdout.decode()
    found = []
    for word in out.split():
        pid = int(word)
        try:
            environ = harness.read_bytes('/proc/%d/environ' % pid).split(b'\0')
            if os.readlink('/proc/%d/cwd' % pid) == os.path.realpath(home) and \
                    ('WINEPREFIX=' + prefix).encode() in environ:
                found.append(pid)
        except OSError:
            pass
    return found


def memory_kb(pid, field='VmRSS'):
    """A memory figure of /proc/PID/status in kB: VmRSS now, VmHWM its peak
    since the process started (which no sampling can miss)."""
    try:
        with open('/proc/%d/status' % pid) as f:
            for line in f:
                if line.startswith(field + ':'):
                    return int(line.split()[1])
    except OSError:
        pass
    return None


def frame_lengths(monitor):
    """(bytes received, text length) of every frame the client logged."""
    return [(int(a), int(b)) for a, b in
            re.findall(r'CSockTelnet::RecvFrame\(\), recv_len=(\d+), length=(\d+)', monitor.log())]


class Watch:
    """Watches one lumaro.exe process while a case runs: its peak VmRSS and
    the size of its admin.log every 0.1 s on a thread of its own, the slowest
    answer of its window to round trips every 50 ms on another, and whether
    the driver can read the window's labels, each time it is asked."""

    def __init__(self, wine, home, target=None, read_ids=READOUTS):
        self.wine = wine
        self.home = home
        self.target = target
        self.read_ids = read_ids
        self.log_path = os.path.join(home, 'admin.log')
        self.pid = None
        self.peak_rss_kb = 0
        self.peak_log = 0
        self.reads = []
        self.failed_reads = 0
        self.worst_answer_ms = 0.0
        self.round_trips = 0
        self._stop = threading.Event()
        self._thread = threading.Thread(target=self._sample, daemon=True)
        self._pinger = threading.Thread(target=self._ping, daemon=True)

    def start(self):
        self.pid = wait_for(lambda: (lumaro_pids(self.home) or [None])[0], 10, 0.1)
        if self.pid is None:
            raise AssertionError('no lumaro.exe process found for home %s' % self.home)
        self._thread.start()
        if self.target:
            self._pinger.start()
        return self

    def _ping(self):
        while not self._stop.is_set():
            rc, out = self.wine.driver('ping', self.target, PING_WINDOW_S, 50, timeout=PING_WINDOW_S + 60)
            figures = dict(line.split(' ', 1) for line in out.splitlines() if ' ' in line)
            if rc == 0 and 'worst_ms' in figures:
                self.worst_answer_ms = max(self.worst_answer_ms, float(figures['worst_ms']))
                self.round_trips += int(figures.get('count', 0))

    def _sample(self):
        while not self._stop.is_set():
            peak = memory_kb(self.pid, 'VmHWM')
            if peak:
                self.peak_rss_kb = max(self.peak_rss_kb, peak)
            try:
                self.peak_log = max(self.peak_log, os.path.getsize(self.log_path))
            except OSError:
                pass
            self._stop.wait(0.1)

    def stop(self):
        self._stop.set()
        for thread in (self._thread, self._pinger):
            if thread.is_alive():
                thread.join(PING_WINDOW_S + 60)

    def read_labels(self):
        """The labels' texts, timing the driver's read."""
        started = time.monotonic()
        texts = self.wine.text(self.target, *self.read_ids)
        self.reads.append(time.monotonic() - started)
        if sorted(texts) != sorted(self.read_ids):
            self.failed_reads += 1
        return texts

    def until(self, predicate, timeout, interval=0.3):
        """Reads the labels again and again until predicate() is true or the
        time is up; returns predicate's last value."""
        deadline = time.monotonic() + timeout
        while True:
            self.read_labels()
            value = predicate()
            if value or time.monotonic() >= deadline:
                return value
            time.sleep(interval)

    def observe(self, seconds):
        self.until(lambda: False, seconds)

    def summary(self):
        return ('labels read %d times; %d round trips, slowest answer %.1f ms; peak VmRSS %.1f MB; '
                'largest admin.log seen %d bytes' % (len(self.reads), self.round_trips, self.worst_answer_ms,
                                                     self.peak_rss_kb / 1024.0, self.peak_log))


class HostileCase(harness.MonitorCase):
    """Cases of a table share the class's Session: each runs in case(), which
    ends its monitor and server before the next one starts."""

    @contextlib.contextmanager
    def case(self):
        try:
            yield
        finally:
            self.doCleanups()

    def start_watched(self, *server_args):
        """A server with these options, a monitor in a new home and a Watch on it."""
        server = self.admin_server(*server_args)
        monitor = self.start_monitor()
        watch = Watch(self.wine, monitor.home, monitor.target).start()
        self.addCleanup(watch.stop)
        return server, monitor, watch

    def assertSurvived(self, monitor, watch, what):
        """The program lived through it: running, answering, bounded."""
        watch.read_labels()
        watch.stop()
        harness.measure('%s: %s; tooltip %r' % (what, watch.summary(), self.tray.last_tip(owner=monitor.hwnd)))
        self.assertIsNone(monitor.proc.poll(), '%s: the monitor ended (exit %s)' % (what, monitor.proc.poll()))
        self.assertEqual(watch.failed_reads, 0, '%s: the main window did not give its labels %d times'
                         % (what, watch.failed_reads))
        self.assertGreater(watch.round_trips, 0, '%s: no round trip was timed' % what)
        self.assertLess(watch.worst_answer_ms, ANSWER_LIMIT_MS, '%s: the main window answered slowly: %.1f ms'
                        % (what, watch.worst_answer_ms))
        self.assertLess(watch.peak_rss_kb, RSS_LIMIT_KB, '%s: VmRSS reached %d kB' % (what, watch.peak_rss_kb))
        self.assertLessEqual(watch.peak_log, LOG_LIMIT, '%s: admin.log reached %d bytes' % (what, watch.peak_log))
        self.assertEqual(self.wine.msgbox(press=False), None, '%s: a message box is up' % what)

    def assertStatusStays(self, monitor, watch, status, what):
        """The tooltip reaches status and the next tooltip the monitor sets
        (3 s later) still shows it."""
        match = status if callable(status) else (lambda tip: tip == status)
        self.assertTrue(watch.until(lambda: match(self.tray.last_tip(owner=monitor.hwnd) or ''), 7),
                        '%s: tooltip %r, expected %r' % (what, self.tray.last_tip(owner=monitor.hwnd), status))
        reached = len(self.tray.tips(owner=monitor.hwnd))
        self.assertTrue(watch.until(lambda: len(self.tray.tips(owner=monitor.hwnd)) > reached, 10, 0.1),
                        '%s: no tooltip after %r' % (what, status))
        self.assertTrue(match(self.tray.last_tip(owner=monitor.hwnd) or ''), '%s: tooltip moved on to %r'
                        % (what, self.tray.last_tip(owner=monitor.hwnd)))

    def assertCommands(self, server, expected, what):
        _, _, data = split_client_bytes(server.received())
        self.assertEqual(data, expected, '%s: commands on the wire; server log:\n%s' % (what, server.log()[-1500:]))

    def wait_session_done(self, monitor, watch, what, timeout=40):
        """Waits for the auth parse and the close that follows "exit"."""
        done = watch.until(lambda: monitor.entries('rTime[3600]') and monitor.entries('close event'), timeout)
        self.assertTrue(done, '%s: the session did not complete within %d s:\n%s'
                        % (what, timeout, monitor.log()[-2500:]))

    def flow(self, monitor):
        return [e.text for e in harness.conversation(monitor.entries(level='FLOW'))]


class SilentAndClosingServerTest(HostileCase):

    def test_SilentServer_StaysConnectingAndKeepsAnswering(self):
        server, m, watch = self.start_watched('--silent')
        self.assertTrue(watch.until(lambda: m.entries('connect succ'), 10), 'no connect:\n%s' % m.log())
        watch.observe(5)
        self.assertEqual(self.flow(m)[-1], 'connect succ', 'nothing may follow the connect:\n%s' % m.log()[-1500:])
        self.assertEqual(m.entries(level='ERROR'), [], 'error lines')
        self.assertEqual(set(self.tray.tips(owner=m.hwnd)), {CONNECTING}, 'the status stays "connecting"')
        self.assertEqual(server.received(), b'', 'a client must not speak before the server does')
        self.assertSurvived(m, watch, 'silent server')

    def test_ServerClosingAtEachStage_LogsOneCloseEventAndKeepsLastStatus(self):
        # stage, status left in the tooltip, commands the server got, FLOW steps that must and must not be there
        cases = [
            ('before-username', CONNECTING, b'', ['connect succ'], ['ID send succ']),
            ('after-username', CONNECTING, b'admin\n', ['ID send succ'], ['PW send succ']),
            ('after-welcome', SUMMARY_REQUESTED, b'admin\nqalvexor\nshow summary\n',
             ['Login OK !!!', 'cmd[show summary] send succ'], ['summary정보 수신 중 ...']),
            ('mid-summary', SUMMARY_ARRIVING, b'admin\nqalvexor\nshow summary\n',
             ['summary정보 수신 중 ...'], ['summary 해당 user 검색 성공']),
            ('mid-auth', AUTH_ARRIVING, b'admin\nqalvexor\nshow summary\nlink 7\nshow auth\n',
             ['Link [7] succ', 'cmd[show auth] send succ', 'auth정보 수신 중 ...'],
             ['Session-Timeout 검색 성공']),
        ]
        for stage, status, commands, present, absent in cases:
            with self.subTest(stage=stage), self.case():
                what = 'close at ' + stage
                server, m, watch = self.start_watched('--close-at', stage)
                self.assertTrue(watch.until(lambda: m.entries('close event'), 20),
                                '%s: no close event:\n%s' % (what, m.log()[-2000:]))
                self.assertStatusStays(m, watch, status, what)
                flow = self.flow(m)
                self.assertEqual(flow[-1], 'close event', '%s: the close must be the last event' % what)
                self.assertEqual(flow.count('close event'), 1, '%s: one close event' % what)
                self.assertEqual(flow.count('connect succ'), 1, '%s: a close is not retried' % what)
                for step in present:
                    self.assertIn(step, flow, '%s: missing step' % what)
                for step in absent:
                    self.assertNotIn(step, flow, '%s: step after the close' % what)
                self.assertFalse([e for e in m.entries() if e.text.startswith('rTime[')], '%s: no time' % what)
                self.assertEqual(m.entries(level='ERROR'), [], '%s: error lines' % what)
                self.assertCommands(server, commands, what)
                self.assertSurvived(m, watch, what)


class TelnetAbuseTest(HostileCase):
    """Telnet commands the server is not expected to send: the client takes
    them out of the text, answers what it must, and the session completes."""

    def test_TenThousandOptionCommands_AreAnsweredAndTheSessionCompletes(self):
        server, m, watch = self.start_watched('--flood-options', '10000')
        self.wait_session_done(m, watch, 'option flood', 60)
        options, _, data = split_client_bytes(server.received())
        self.assertEqual(data, FULL_CONVERSATION, 'commands after the flood')
        # Commands cut in two by the 1024-byte receive are dropped unanswered:
        # at most one per receive of the 30,000-byte flood.
        harness.measure('option flood: %d option answers from the client' % len(options))
        self.assertTrue(10000 - 40 <= len(options) <= 10000 + 20,
                        'the client should answer every whole option command: %d answers' % len(options))
        agreed = {(verb, option) for verb, option in options if verb in (DO, WILL)}
        self.assertTrue(all(option in (ECHO, SUPPRESS_GO_AHEAD) for _, option in agreed),
                        'the client agreed to options other than ECHO and SGA: %r' % sorted(agreed))
        self.assertEqual(m.entries(level='ERROR'), [], 'error lines')
        self.assertStatusStays(m, watch, TIME_LEFT.match, 'option flood')
        self.assertSurvived(m, watch, 'option flood')

    def test_UnfinishedSubnegotiationDoubledIacAndGarbage_DoNotStopTheSession(self):
        cases = [
            ('--sb-without-se',),
            ('--double-iac',),
            ('--garbage',),
        ]
        for options in cases:
            with self.subTest(options=options), self.case():
                what = ' '.join(options)
                server, m, watch = self.start_watched(*options)
                self.wait_session_done(m, watch, what)
                self.assertCommands(server, FULL_CONVERSATION, what)
                self.assertIn('Link[7]', self.flow(m), '%s: link of the user' % what)
                self.assertEqual(m.entries(level='ERROR'), [], '%s: error lines' % what)
                result = harness.read_bytes(os.path.join(m.home, 'result'))
                self.assertNotIn(b'\xff\xff', result, '%s: a doubled IAC must reach the capture as one byte' % what)
                if options == ('--double-iac',):
                    self.assertIn(b'Framed-IP-Address : 10.0.0.5 \xff\r\n', result,
                                  'the auth answer with its data byte 255: %r' % result)
                answers, subnegotiations, _ = split_client_bytes(server.received())
                self.assertEqual(answers[:3], [(DO, ECHO), (DO, SUPPRESS_GO_AHEAD), (WILL, SUPPRESS_GO_AHEAD)],
                                 '%s: answers to the negotiation' % what)
                if options == ('--garbage',):
                    # The 20 bytes from a NUL to its line end are received but not
                    # captured: usually a frame of their own, "recv_len=20, length=0".
                    self.assertTrue([f for f in frame_lengths(m) if f[0] - f[1] >= 20],
                                    'no frame was cut at its NUL:\n%s' % m.log()[-3000:])
                    self.assertEqual(subnegotiations, [bytes([ECHO]) + b'0'], 'answer to the ECHO subnegotiation')
                else:
                    self.assertEqual(subnegotiations, [], '%s: no subnegotiation is answered' % what)
                self.assertStatusStays(m, watch, TIME_LEFT.match, what)
                self.assertSurvived(m, watch, what)


class BulkTest(HostileCase):
    """Much more output than a console ever gives: a megabyte without a line
    end, an answer that does not end, a notice of ten megabytes."""

    def test_MegabyteLineBeforeLogin_EndsTheLoginAndLeavesTheLogItsStart(self):
        server, m, watch = self.start_watched('--huge-line', 'login', '--huge-mb', '1')
        self.assertTrue(watch.until(lambda: m.entries('close event'), 60), 'the login did not end:\n%s' % m.log()[-2000:])
        errors = [e.text for e in m.entries(level='ERROR')]
        self.assertEqual(len(errors), 1, 'one line says why: %r' % errors)
        self.assertRegex(errors[0], r'^no login prompt in \d+ bytes and \d+ s from the console: the connection ends$')
        self.assertCommands(server, b'', 'huge line before the login')
        log = m.log()
        self.assertIn('Log START', log, 'the log keeps its start')
        self.assertEqual(len([e for e in m.entries(level='WARN') if 'left out' in e.text]), 1,
                         'one line for what the connection could not log')
        self.assertLess(len(log.encode('cp949', errors='replace')), 200 * 1024, 'admin.log size')
        self.assertEqual(server.log().count('connection from'), 1, 'no new attempt')
        self.assertSurvived(m, watch, 'huge line before the login')

    def test_LongLineInSummary_IsCapturedAndTheUsersRowStillFound(self):
        # 0.9 MB: the line and the rows after it stay inside the capture's 1 MiB.
        server, m, watch = self.start_watched('--huge-line', 'summary', '--huge-mb', '0.9')
        self.wait_session_done(m, watch, 'huge line in the summary', 90)
        self.assertCommands(server, FULL_CONVERSATION, 'huge line in the summary')
        self.assertEqual(self.flow(m).count('summary 해당 user 검색 성공'), 1, 'the user row, once')
        self.assertIn('Link[7]', self.flow(m), 'link of the user')
        self.assertEqual(m.entries(level='ERROR'), [], 'error lines')
        self.assertStatusStays(m, watch, TIME_LEFT.match, 'huge line in the summary')
        self.assertSurvived(m, watch, 'huge line in the summary')

    def test_AnswerThatNeverEnds_IsCutAtItsBoundAndFailed30sAfterItsLastNewLine(self):
        # Rows without end and without a pause: new lines up to the answer's
        # 1 MiB, which the capture keeps; then nothing new, and nothing more
        # of it costs a record, a log line or memory.
        server, m, watch = self.start_watched('--endless-answer')
        self.assertTrue(watch.until(lambda: m.entries('cmd[show summary] send succ'), 20), 'no login:\n%s' % m.log())
        before = memory_kb(watch.pid, 'VmHWM')
        over = 'answer over 1048576 bytes; the rest of it is dropped'
        self.assertTrue(watch.until(lambda: m.entries(over), 30), 'no bound reached:\n%s' % m.log()[-2000:])
        bound = m.entries(over)[0].time
        ended = watch.until(lambda: m.entries('answer still arriving after 30 s: taken as failed'), 60)
        self.assertTrue(ended, 'the endless answer was not ended:\n%s' % m.log()[-2000:])
        self.assertGreaterEqual((ended[0].time - bound).total_seconds(), 29, 'cut before 30 s without a new line')
        grown = memory_kb(watch.pid, 'VmHWM') - before
        harness.measure('endless answer: peak VmRSS grew by %d kB over the stream and the parse' % grown)
        self.assertLessEqual(os.path.getsize(os.path.join(m.home, 'result')), 1048576, 'the capture stops at 1 MiB')
        self.assertLess(len(frame_lengths(m)), 1100, 'frames past the bound are dropped without a log line each')
        self.assertTrue(wait_for(lambda: 'connection ended' in server.log(), 10), 'the connection should end')
        # a new attempt would follow within the retry's second
        watch.observe(2)
        errors = [e.text for e in m.entries(level='ERROR')]
        self.assertEqual(errors.count(over), 1, 'the bound, once')
        self.assertEqual(errors.count('해당 user[user01\t]의 Link 정보를 찾을 수 없음'), 1, 'the failure, once')
        self.assertEqual(server.log().count('connection from'), 1, 'no new attempt')
        self.assertSurvived(m, watch, 'endless answer')
        self.assertLess(grown, 2048, 'an endless answer raised the peak VmRSS by %d kB' % grown)

    def test_TenMegabyteNotice_IsRefusedAsTooLongAndTheProcessEnds(self):
        # a date of today in the registry would end the process before it fetches
        self.wine.run(['reg', 'delete', r'HKLM\Software\Pelmor', '/v', 'date', '/f'])
        for mode in ('one-send', 'two-sends'):
            with self.subTest(mode=mode), self.case():
                what = 'notice of 10 MB, ' + mode
                server = self.session.notice_server('--mode', mode, '--big', '10')
                self.addCleanup(server.stop)
                home = self.session.home()
                proc = self.wine.start_lumaro('notice', '127.0.0.1', cwd=home)
                self.addCleanup(lambda: proc.poll() is None and (proc.kill(), proc.wait()))
                self.assertTrue(wait_for(lambda: self.wine.find(NOTICE_TITLE), 20), '%s: no notice dialog' % what)
                watch = Watch(self.wine, home, NOTICE_TITLE, read_ids=(1013,)).start()
                self.addCleanup(watch.stop)
                box = watch.until(lambda: self.wine.msgbox(press=False), 25)
                self.assertTrue(box, '%s: no message box; dialog visible: %r' % (what, self.wine.visible(NOTICE_TITLE)))
                size = re.match(r'^OnCopyData\(\)  data_len failed\. type\[100\] len\[(\d+)\]$', box[1])
                self.assertTrue(size, '%s: message box text %r' % (what, box[1]))
                # one receive of the notice is at most the 10,240-byte buffer
                self.assertTrue(NOTICE_PAYLOAD_LIMIT < int(size.group(1)) <= NOTICE_BUFFER,
                                '%s: refused payload of %s bytes' % (what, size.group(1)))
                harness.measure('%s: message box %r' % (what, box[1]))
                watch.stop()
                harness.measure('%s: %s' % (what, watch.summary()))
                self.assertEqual(watch.failed_reads, 0, '%s: the hidden dialog did not give its text' % what)
                self.assertLess(watch.worst_answer_ms, ANSWER_LIMIT_MS, '%s: slow answers: %.1f ms'
                                % (what, watch.worst_answer_ms))
                self.assertLess(watch.peak_rss_kb, RSS_LIMIT_KB, '%s: VmRSS reached %d kB' % (what, watch.peak_rss_kb))
                self.assertIsNotNone(self.wine.msgbox(press=True), '%s: could not press OK' % what)
                # no notice can follow the refused one: the process ends, showing nothing
                self.assertTrue(wait_for(lambda: proc.poll() is not None, 20), '%s: the process lingers' % what)
                self.assertEqual(proc.returncode, 0, '%s: exit code' % what)
                self.assertFalse(os.path.exists(os.path.join(home, 'admin.log')), 'the notice process has no log')


class TransportTest(HostileCase):
    """Other parties reaching into the conversation's transport: a program
    that holds result, a console that stops reading, an answer that would
    fill the log."""

    def test_ProgramReopeningTheCapture_StallsNothing(self):
        server = self.admin_server()
        home = self.session.home()
        # The last run's answer is there, and the scanner holds it from the start.
        with open(os.path.join(home, 'result'), 'wb') as f:
            f.write(b'  Session-Timeout : 7200\r\n')
        scanner = self.wine.start([harness.DRIVER_EXE, 'scan-file', harness.winpath(os.path.join(home, 'result')),
                                   '80', '40'], stdout=subprocess.PIPE)
        self.addCleanup(scanner.stdout.close)
        self.addCleanup(lambda: scanner.poll() is None and (scanner.kill(), scanner.wait()))
        self.assertEqual(scanner.stdout.readline(), b'scanning\n', 'the scanner did not start')
        m = self.start_monitor(home=home)
        watch = Watch(self.wine, m.home, m.target).start()
        self.addCleanup(watch.stop)
        self.wait_session_done(m, watch, 'result held by a scanner', 60)
        self.assertCommands(server, FULL_CONVERSATION, 'result held by a scanner')
        held = [e.text for e in m.entries(level='ERROR')]
        self.assertTrue(held and all(re.match(r'^result file in use, path=\[.*result\], rc=\d+, \d+ ms: '
                                              r'(deleted|emptied in place, through a handle shared with its holder)$', t)
                                     for t in held), 'what was done, once per emptying: %r' % held)
        self.assertLessEqual(len(held), 2, 'one line per emptying of the capture: %r' % held)
        self.assertIn(b'Session-Timeout : 3600', harness.read_bytes(os.path.join(m.home, 'result')),
                      'result keeps the last answer')
        watch.stop()
        harness.measure('result held by a scanner: %s; %r' % (watch.summary(), held))
        # The emptying waits at most 2 s for the scanner, on the window's thread.
        self.assertLess(watch.worst_answer_ms, 2000 + 2 * ANSWER_LIMIT_MS, "the window answered slowly")
        self.assertIsNone(self.wine.msgbox(press=False), 'a message box is up')

    def test_ConsoleThatNeverReads_GetsThreeAnswersAndTheWindowStaysFree(self):
        server, m, watch = self.start_watched('--never-read')
        failed = 'login failed: Password: asked for more than 3 times on this connection; the connection ends'
        self.assertTrue(watch.until(lambda: m.entries(failed), 30), 'the login did not end:\n%s' % m.log()[-2000:])
        self.assertTrue(wait_for(lambda: 'connection ended' in server.log(), 10), 'the connection should end')
        # a new attempt would follow within the retry's second
        watch.observe(2)
        self.assertEqual(len(m.entries(failed)), 1, 'said once')
        self.assertEqual(len([e for e in m.entries() if e.text.startswith('PW send')]), 3, 'three answers')
        self.assertEqual(server.log().count('connection from'), 1, 'no new attempt')
        self.assertSurvived(m, watch, 'console that never reads')

    def test_MegabyteSummaryOfTheUsersRows_TheLastDecidesAndTheLogKeepsItsStart(self):
        server, m, watch = self.start_watched('--summary-lines', '15000', '--all-rows-user')
        self.wait_session_done(m, watch, '1 MiB of the user\'s rows', 90)
        self.assertIn('Link [7] succ', self.flow(m), 'the last row decides')
        log = m.log()
        for start in ('Log START', 'home_path=', 'm_nCount='):
            self.assertIn(start, log, 'the log keeps its start')
        self.assertEqual(len([e for e in m.entries(level='WARN') if 'left out' in e.text]), 1,
                         'one line for what the connection could not log')
        size = len(log.encode('cp949', errors='replace'))
        harness.measure('1 MiB summary of the user\'s rows: admin.log %d bytes' % size)
        self.assertLess(size, 200 * 1024, 'admin.log size')
        self.assertSurvived(m, watch, '1 MiB summary of the user\'s rows')


class NoticeStatusTest(HostileCase):

    def test_AnswerOtherThan200_IsAFailedFetchNamedOnceOnTheDebuggerChannel(self):
        self.wine.run(['reg', 'delete', r'HKLM\Software\Pelmor', '/v', 'date', '/f'])
        cases = [
            # server options (a status line, a body) and the status line as the debugger channel shows it
            (['--status-line', 'HTTP/1.1 404 Not Found', '--body', '<h1>404</h1> no notice'], 'HTTP/1.1 404 Not Found'),
            (['--status-line', 'HTTP/1.1 500 Internal Server Error'], 'HTTP/1.1 500 Internal Server Error'),
            (['--status-line', 'SSH-2.0-OpenSSH_9.2 \x1b[2J'], 'SSH-2.0-OpenSSH_9.2 \\x1b[2J'),
        ]
        for options, status in cases:
            with self.subTest(status=status), self.case():
                self.addCleanup(self.session.notice_server('--mode', 'one-send', *options).stop)
                # what DebugView shows on Windows: the notice process keeps no log
                channel = self.wine.start([harness.DRIVER_EXE, 'debug-strings', '30'], stdout=subprocess.PIPE)
                # Ended before its pipe is closed: the reader below holds the pipe until then.
                self.addCleanup(channel.stdout.close)
                self.addCleanup(lambda: channel.poll() is None and (channel.kill(), channel.wait()))
                self.assertEqual(channel.stdout.readline(), b'listening\n', 'the debugger channel did not open')
                lines = []
                threading.Thread(target=lambda: lines.extend(channel.stdout), daemon=True).start()
                proc = self.wine.start_lumaro('notice', '127.0.0.1', cwd=self.session.home())
                self.addCleanup(lambda: proc.poll() is None and (proc.kill(), proc.wait()))
                self.assertTrue(wait_for(lambda: proc.poll() is not None, 20), 'the process lingers')
                self.assertEqual(proc.returncode, 0, 'exit code')
                self.assertFalse(self.wine.visible(NOTICE_TITLE), 'the notice dialog was shown')
                self.assertIsNone(self.wine.msgbox(press=False), 'a message box was shown')
                time.sleep(1)  # room for the line, and for a second one, which must not come
                said = [harness.unescape(line.decode().split('\t', 1)[1].rstrip('\n')) for line in lines]
                self.assertEqual([t for t in said if t.startswith('lumaro notice')],
                                 ['lumaro notice: not shown, status line [%s]' % status])


if __name__ == '__main__':
    harness.main()
