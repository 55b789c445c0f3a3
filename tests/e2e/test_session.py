"""The monitor's conversation with the stand-in admin server on 127.0.0.1:5005
(the DNS server of the namespace's PPP adapter): the commands on the wire,
the log of each step, the clock and tooltip it drives, the answers it cannot
use, and the end of the monitor when the VPN adapter goes away."""
import datetime
import os
import re
import sys
import time
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import harness  # noqa: E402
from harness import wait_for  # noqa: E402


IAC = 0xFF
TELNET_VERBS = (0xFB, 0xFC, 0xFD, 0xFE)  # WILL, WONT, DO, DONT
ZERO = '00일 00:00:00'
FULL_CONVERSATION = b'admin\nqalvexor\nshow summary\nlink 7\nshow auth\nexit\n'
# The FLOW steps of a session that goes right, in order.
SESSION_STEPS = [
    'connect succ', 'ID send succ', 'PW send succ', 'Login OK !!!', 'cmd[show summary] send succ',
    'summary정보 수신 중 ...', 'summary 해당 user 검색 성공', 'Link[7]', 'Link [7] succ', 'cmd[show auth] send succ',
    'auth정보 수신 중 ...', 'Session-Timeout 검색 성공', 'rTime[3600]', 'close event',
]
MISSING_LINK = '해당 user[user01\t]의 Link 정보를 찾을 수 없음'


setUpModule = harness.setup_monitor_module
tearDownModule = harness.teardown_monitor_module


def split_telnet_answers(data):
    """(the option answers the client sent first, the rest)."""
    i = 0
    while i + 2 < len(data) and data[i] == IAC and data[i + 1] in TELNET_VERBS:
        i += 3
    return data[:i], data[i:]


class AdminSessionTest(harness.MonitorCase):

    def assertConversation(self, server, expected):
        # the last command may still be on its way when the log has its line
        wait_for(lambda: split_telnet_answers(server.received())[1] == expected, 5)
        answers, commands = split_telnet_answers(server.received())
        self.assertTrue(answers, 'the client should answer the option negotiation first: %r' % server.received())
        self.assertEqual(commands, expected, 'commands on the wire (LF only, in order); server log:\n%s'
                         % server.log()[-1500:])

    def assertNoErrors(self, monitor):
        self.assertEqual([e.text for e in monitor.entries(level='ERROR')], [], 'error lines in the log')

    def test_FullSession_SendsCommandsInOrderLogsEachStepAndCountsDown(self):
        # A console without pauses: the time is known as soon as its line has come.
        server = self.admin_server('--prompt-pause', '0')
        m = self.start_monitor()
        self.assertTrue(m.wait_log('close event', 30), 'session did not complete:\n%s' % m.log()[-2000:])
        self.assertConversation(server, FULL_CONVERSATION)
        copied = m.copied_records() or []
        self.assertTrue(copied[:4] == [10, 14, 15, 16] and copied[-1] == 20,
                        'every record should reach the window as Windows delivers it, a copy: %r' % copied)
        steps = [e.text for e in m.entries(level='FLOW') if e.text in SESSION_STEPS]
        self.assertEqual(steps, SESSION_STEPS, 'FLOW steps of the session, each once and in order')
        self.assertNoErrors(m)

        self.assertTrue(wait_for(lambda: self.wine.text(m.target, 1005).get(1005) == '00일 01:00:00', 10),
                        'time granted: %r' % self.wine.text(m.target, 1005))
        first = self.wine.text(m.target, 1007, 1009)
        elapsed, left = harness.seconds(first.get(1007)), harness.seconds(first.get(1009))
        self.assertTrue(elapsed and left, 'elapsed and left read-outs: %r' % first)
        self.assertTrue(abs(elapsed + left - 3600) <= 1, 'elapsed + left should be the time granted: %r' % first)
        self.assertTrue(wait_for(lambda: (harness.seconds(self.wine.text(m.target, 1009).get(1009)) or left) < left, 10),
                        'time left should count down from %r' % first)
        tip = self.tray.wait_for_tip(lambda t: re.match(r'^\[남은시간\] 00일 00:59:5\d$', t), 10, owner=m.hwnd)
        self.assertTrue(tip, 'tooltip with the time left: %r' % self.tray.tips(owner=m.hwnd))

        connect = m.entries('connect succ')[0].time
        known = m.entries('rTime[3600]')[0].time
        took = (known - connect).total_seconds()
        self.assertLess(took, 1.0, 'the session time should be known without waiting for silences')
        harness.measure('connect -> rTime known (log time stamps): %.3f s' % took)

    def test_UserMissingFromSummary_ReportsMissingLinkEveryTwoSeconds(self):
        server = self.admin_server('--missing-user')
        m = self.start_monitor()
        errors = m.wait_log(MISSING_LINK, 30, count=3, level='ERROR')
        self.assertEqual(len(errors), 3, 'the parse should repeat with its ERROR line:\n%s' % m.log()[-2000:])
        gaps = [(b.time - a.time).total_seconds() for a, b in zip(errors, errors[1:])]
        for gap in gaps:
            self.assertTrue(1.5 <= gap <= 3.5, 'repeats should be about 2 s apart: %r' % gaps)
        self.assertFalse(m.entries('summary 해당 user 검색 성공'), 'no line should match the user')
        self.assertConversation(server, b'admin\nqalvexor\nshow summary\n')
        self.assertEqual(self.tray.last_tip(owner=m.hwnd), 'show summary 정보 수신중...', 'tooltip stays in state 21')

    def test_AuthAnswerWithoutValue_RepeatsParseFailureAndKnowsNoTime(self):
        server = self.admin_server('--no-value')
        m = self.start_monitor()
        errors = m.wait_log('잔여시간 파싱 실패', 30, count=2, level='ERROR')
        self.assertEqual(len(errors), 2, 'the auth parse should fail again and again:\n%s' % m.log()[-2000:])
        self.assertEqual([e.text for e in m.entries() if e.text.startswith('rTime[')], [], 'no session time')
        self.assertTrue(m.entries('Session-Timeout 검색 성공'), 'the Session-Timeout line itself was found')
        self.assertConversation(server, b'admin\nqalvexor\nshow summary\nlink 7\nshow auth\n')
        self.assertEqual(self.wine.text(m.target, 1005, 1007, 1009), {1005: ZERO, 1007: ZERO, 1009: ZERO},
                         'the clock stays at zero')
        self.assertEqual(self.tray.last_tip(owner=m.hwnd), 'show auth 정보 수신중...', 'tooltip stays in state 31')
        self.assertIsNone(self.wine.find(harness.USAGE_TITLE), 'no reminder without a session time')

    def test_SummaryRowByRowWithAStaleLink_SelectsTheLastRowAtThePrompt(self):
        # Over a slow VPN each row arrives on its own; a stale link of the
        # user's is listed before the new one, and the last row decides.
        server = self.admin_server('--row-pause', '0.3', '--stale-link', '4')
        m = self.start_monitor()
        self.assertTrue(m.wait_log('rTime[3600]', 30), 'session did not complete:\n%s' % m.log()[-2000:])
        self.assertConversation(server, FULL_CONVERSATION)
        self.assertEqual([e.text for e in m.entries() if e.text.startswith('Link[')], ['Link[4]', 'Link[7]'])
        # The prompt's frame decides, not the 2-s silence after it: the link
        # goes before the answer could have fallen silent.
        link = m.entries('Link [7] succ')[0].time
        last = [e.time for e in m.entries() if e.text.startswith('CSockTelnet::RecvFrame()') and e.time <= link][-1]
        took = (link - last).total_seconds()
        self.assertLess(took, 2.0, 'the link should follow the frame with the prompt, not a silence: %.2f s' % took)
        harness.measure('last summary frame -> link sent, rows 0.3 s apart: %.2f s' % took)

    def test_NoConsoleAtAll_TheMonitorStillEndsWithItsVpn(self):
        # Nothing listens on 5005: the attempts run out, and the VPN watch
        # must still end the monitor once the adapter goes.
        staging = self.session.home()
        exe = harness.stage_program(harness.LUMARO_EXE, os.path.join(staging, 'bin'))
        table = os.path.join(staging, 'adapters.txt')
        harness.write_adapters(table, [harness.adapter_line(dns=('127.0.0.1',))])
        m = self.start_monitor(exe=exe, env=harness.fake_adapter_env(table),
                               dll_overrides=harness.FAKE_IPHLPAPI_OVERRIDE)
        self.assertTrue(m.wait_log('connect failed. retry_count=3', 20), 'four attempts:\n%s' % m.log()[-2000:])
        harness.write_adapters(table, [])
        self.assertEqual(self.wait_ended(m, 10), [], 'no summary without a session time')
        self.assertEqual(m.proc.returncode, 0, 'exit code')

    def test_PppAdapterGone_ShowsClosingSummaryThenEnds(self):
        staging = self.session.home()
        exe = harness.stage_program(harness.LUMARO_EXE, os.path.join(staging, 'bin'))
        table = os.path.join(staging, 'adapters.txt')
        harness.write_adapters(table, [harness.adapter_line(dns=('127.0.0.1',))])
        server = self.admin_server()
        m = self.start_monitor(exe=exe, env=harness.fake_adapter_env(table),
                               dll_overrides=harness.FAKE_IPHLPAPI_OVERRIDE)
        self.assertTrue(m.wait_log('rTime[3600]', 30), 'session did not complete:\n%s' % m.log()[-2000:])
        self.assertTrue(m.entries('ppp DNS(m_ip) = 127.0.0.1'))
        self.assertIn('Name={PPP-VPN}', m.log(), 'the stand-in adapter table should be in use')
        self.assertConversation(server, FULL_CONVERSATION)

        # the reminder comes first; out of the way with OK
        reminder = wait_for(lambda: self.wine.find(harness.USAGE_TITLE), 10)
        self.assertTrue(reminder, 'reminder did not appear')
        self.assertTrue(self.wine.command('hwnd=0x%x' % reminder.hwnd, harness.IDOK))
        self.assertTrue(wait_for(lambda: not self.wine.find('hwnd=0x%x' % reminder.hwnd), 10), 'reminder stayed')

        harness.write_adapters(table, [])
        emptied = datetime.datetime.now()
        summary = wait_for(lambda: self.wine.find(harness.USAGE_TITLE), 15, 0.05)
        self.assertTrue(summary, 'no closing summary after the adapter went:\n%s' % m.log()[-1000:])
        # Measured on the program's own clock: the watch's failing run, at
        # most one 3-second period after the table emptied.
        noticed = m.entries('No Network Adapters Found on System-2.', level='ERROR')
        self.assertTrue(noticed, 'adapter watch failure not logged')
        noticed_after = (noticed[0].time - emptied).total_seconds()
        # One 3-s period, and room for a busy machine: a watch that never ran would take for ever.
        self.assertLess(noticed_after, 6.0, 'the adapter watch runs every 3 s: noticed after %.2f s' % noticed_after)
        texts = self.wine.text(harness.USAGE_TITLE, 1000, 1001)
        used = re.match(r'^소요시간: (.+)$', texts.get(1000, ''))
        left = re.match(r'^잔여시간: (.+)$', texts.get(1001, ''))
        self.assertTrue(used and left, 'closing summary lines: %r' % texts)
        self.assertEqual(harness.seconds(used.group(1)) + harness.seconds(left.group(1)), 3600, 'used + left: %r' % texts)
        self.assertTrue(self.wine.command(harness.USAGE_TITLE, harness.IDOK), 'OK on the summary')

        self.assertTrue(wait_for(lambda: m.proc.poll() is not None, 25), 'the monitor did not end after the summary')
        self.assertEqual(m.proc.returncode, 0, 'exit code')
        harness.measure('adapter table emptied -> watch noticed (log time): %.2f s' % noticed_after)
        dropped = m.log()
        ended = m.entries('The VPN connection has gone (no PPP adapter): the monitor ends', level='MOST')
        self.assertEqual(len(ended), 1, 'one MOST line says why the monitor ended')

        # the VPN reconnects: the connect-time task starts a monitor in the same folder
        harness.write_adapters(table, [harness.adapter_line(dns=('127.0.0.1',))])
        again = self.start_monitor(exe=exe, env=harness.fake_adapter_env(table), home=m.home,
                                   dll_overrides=harness.FAKE_IPHLPAPI_OVERRIDE)
        self.assertTrue(again.wait_log('version 1.0.3.1', 20), 'the new run has no log')
        self.assertEqual(harness.read_log(m.log_path + '.1'), dropped, 'admin.log.1 should be the dropped run\'s log')


# Named in Serbian with an emoji: CP949 has the Russian letters but not Ђ, ђ
# or the emoji, which the log's lines show as one '?' for each UTF-16 unit.
HOME_OUTSIDE_CP949 = 'Ђорђе😀'
KOREAN_USER = '김철수'
FRAME_LINE = 'CSockTelnet::RecvFrame(), recv_len='
CAPTIONS = {1002: '접속시간:', 1004: '할당시간:', 1006: '경과시간:', 1008: '남은시간:', 1010: 'version 1.0.3.1'}


class EnglishWindowsTest(harness.MonitorCase):
    """The same session on a Windows whose language for non-Unicode programs
    is English (code page 1252), for a Korean user whose home folder has a
    name CP949 lacks: the same Korean on screen, the same bytes in the log."""

    def run_session(self, env):
        """A whole session for KOREAN_USER in a home folder named
        HOME_OUTSIDE_CP949; returns (monitor, its log's conversation as
        (level, text) with the home's path as HOME, the clock's texts)."""
        home = os.path.join(self.session.home(), HOME_OUTSIDE_CP949)
        os.makedirs(home)
        m = self.start_monitor(KOREAN_USER, 'VPN', home=home, env=env)
        self.assertTrue(m.wait_log('close event', 30), 'session did not complete:\n%s' % m.log()[-2000:])
        self.assertTrue(wait_for(lambda: self.wine.text(m.target, 1005).get(1005) == '00일 01:00:00', 10),
                        'time granted: %r' % self.wine.text(m.target, 1005))
        texts = self.wine.text(m.target, *range(1002, 1011))
        # how the answers were cut into frames is up to the network
        entries = [e for e in harness.conversation(m.entries()) if not e.text.startswith(FRAME_LINE)]
        upto = next(i for i, e in enumerate(entries) if e.text == 'close event') + 1
        base = harness.winpath(os.path.dirname(home))
        logged = [(e.level, e.text.replace(base, 'HOME')) for e in entries[:upto]]
        m.stop()
        return m, logged, texts

    def test_FullSession_ShowsAndLogsWhatItDoesUnderKorean(self):
        rc, out = self.wine.run([harness.DRIVER_EXE, 'codepage'], env=harness.ENGLISH)
        self.assertEqual((rc, out.split()[:1]), (0, ['1252']), 'an English Windows has the ANSI code page 1252')
        self.admin_server('--prompt-pause', '0', '--user', KOREAN_USER)
        _, korean, korean_texts = self.run_session({})
        m, english, texts = self.run_session(harness.ENGLISH)

        fixed = dict(CAPTIONS)
        fixed[1005] = '00일 01:00:00'
        self.assertEqual({i: texts.get(i) for i in fixed}, fixed, 'the clock\'s captions, time granted and version')
        self.assertEqual({i: korean_texts.get(i) for i in fixed}, fixed, 'the same under Korean')
        self.assertRegex(texts.get(1003, ''), r'^\d\d월\d\d일 \d\d:\d\d:\d\d$', 'start time')
        for item in (1007, 1009):
            self.assertIsNotNone(harness.seconds(texts.get(item)), 'elapsed and left: %r' % texts)
        self.assertIn(('MOST', 'home_path=[HOME\\?ор?е??]'), english,
                      'the log stays in a home folder CP949 lacks, named with a "?" for each unit it lacks')
        self.assertTrue(os.path.exists(m.log_path), 'admin.log should be in that home folder itself')
        self.assertIn(('FLOW', 'summary 해당 user 검색 성공'), english, 'the Korean user name reached the console')
        self.assertIn(('FLOW', 'rTime[3600]'), english, 'the answers were captured in that home folder')
        self.assertEqual(english, korean, 'the log should hold the same lines as under Korean')
        harness.measure('log lines compared under Korean and English: %d' % len(english))

    def test_TooltipAndBalloon_SayTheSameKorean(self):
        self.admin_server('--prompt-pause', '0')
        m = self.start_monitor(env=harness.ENGLISH)
        self.assertTrue(m.wait_log('rTime[3600]', 30), 'session did not complete:\n%s' % m.log()[-2000:])
        tip = self.tray.wait_for_tip(lambda t: re.match(r'^\[남은시간\] 00일 00:59:5\d$', t), 10, owner=m.hwnd)
        self.assertTrue(tip, 'tooltip with the time left: %r' % self.tray.tips(owner=m.hwnd))
        balloons = [r.info for r in self.tray.records() if r.owner == m.hwnd and r.flags & harness.NIF_INFO]
        self.assertIn('잔여시간: 00일 01:00:00', balloons, 'the reminder\'s balloon')


if __name__ == '__main__':
    harness.main()
