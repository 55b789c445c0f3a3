"""Checks the end-to-end harness itself: the PPP namespace as Wine sees it,
trayhost's log of the tray calls, the driver's reads and pokes, the stand-in
iphlpapi.dll and the notice server. e2e_probe.exe plays the program."""
import ast
import os
import struct
import subprocess
import sys
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import harness  # noqa: E402

DISPLAY = None


def setUpModule():
    global DISPLAY
    DISPLAY = harness.setup_module(harness.PROBE_EXE)


def tearDownModule():
    harness.teardown_module(DISPLAY)


class PppNamespaceTest(unittest.TestCase):

    def test_PppDevice_IsListedAsPppAdapterWithNamespaceDns(self):
        with harness.Session(DISPLAY, ppp=True, dns='127.0.0.1', ppp_address='10.99.0.2') as s:
            rc, adapters = s.wine.adapters()
        self.assertEqual(rc, 0, 'GetAdaptersInfo failed in a namespace with ppp0')
        ppp = [a for a in adapters if a.type == 23]
        self.assertEqual(len(ppp), 1, 'expected one adapter of type 23 (PPP), got %r' % (adapters,))
        self.assertEqual(ppp[0].ips[0], ('10.99.0.2', '255.255.255.255'), 'PPP adapter address')
        self.assertEqual(ppp[0].dns[:1], ['127.0.0.1'], 'first DNS server should come from the namespace resolv.conf')

    def test_NamespaceWithoutPpp_HasNoPppAdapter(self):
        with harness.Session(DISPLAY, ppp=False) as s:
            rc, adapters = s.wine.adapters()
        self.assertFalse([a for a in adapters if a.type == 23],
                         'a namespace without ppp0 must not show a PPP adapter (wineserver left over from '
                         'another namespace?): %r' % (adapters,))


class TrayAndDriverTest(unittest.TestCase):
    """One namespace and Wine session for all driver checks: the probe is
    started afresh by each test."""

    @classmethod
    def setUpClass(cls):
        cls.session = harness.Session(DISPLAY, ppp=False).__enter__()
        cls.wine = cls.session.wine
        cls.tray = cls.session.start_trayhost()

    @classmethod
    def tearDownClass(cls):
        cls.session.close()

    def start_probe(self, *options, title='Probe'):
        proc = self.wine.start([harness.PROBE_EXE, '--title', title] + list(options), cwd=self.session.home())
        self.addCleanup(lambda: proc.poll() is None and (proc.kill(), proc.wait()))
        found = harness.wait_for(lambda: self.wine.find(title), 20)
        self.assertTrue(found, 'probe window "%s" did not appear' % title)
        return proc, found

    def test_TrayHost_LogsAddModifyDeleteWithKoreanTooltip(self):
        proc, found = self.start_probe('--tray', '--exit-code', '5', title='TrayProbe')
        tip = self.tray.wait_for_tip('[남은시간] 00일 01:58:20', 10, owner=found.hwnd)
        self.assertTrue(tip, 'second tooltip never arrived; log: %r' % self.tray.records())
        mine = [r for r in self.tray.records() if r.owner == found.hwnd]
        self.assertEqual([r.cmd for r in mine], ['add', 'modify', 'modify'], 'calls as logged: %r' % mine)
        add = mine[0]
        self.assertEqual((add.id, add.callback), (1090, harness.WM_TRAY_NOTIFY),
                         'icon id and callback message of the add')
        self.assertTrue(add.icon.startswith('32x32x'), 'icon bits should be recovered, got %r' % add.icon)
        self.assertEqual(mine[1].tip, 'Admin서버에 접속 시도중...', 'CP949 tooltip should arrive as UTF-8 text')
        self.assertTrue(all(r.ok for r in mine), 'trayhost refused a call: %r' % mine)

        shot = os.path.join(self.session.home(), 'tray.png')
        self.assertTrue(DISPLAY.screenshot(shot), 'screenshot failed')
        with open(shot, 'rb') as png:  # the size stands in the PNG header, bytes 16 to 24
            self.assertEqual('%dx%d' % struct.unpack('>II', png.read(24)[16:]), DISPLAY.resolution,
                             'the screenshot should hold the whole screen')
        self.assertTrue(self.wine.close_window('TrayProbe'))
        self.assertEqual(proc.wait(20), 5, 'exit code of the Windows program should reach the Popen')
        self.assertTrue(self.tray.wait_for_command('delete', 10, owner=found.hwnd), 'no delete logged when the probe closed')
        self.assertNotIn((found.hwnd, 1090), self.tray.icons(), 'icon should be gone from the tray')

    def test_Driver_ReadsLabelsAndRawEditText(self):
        self.start_probe()
        texts = self.wine.text('Probe', 1003, 1004)
        self.assertEqual(texts, {1003: '접속시간:', 1004: '00일 00:00:00'}, 'labels read across processes')
        self.assertEqual(self.wine.edit_text('Probe', 1013, raw=True), '첫째 줄\r\n둘째 줄'.encode('cp949'),
                         'raw edit text should keep CP949 bytes and CR LF')
        self.assertEqual(self.wine.edit_text('Probe', 1013), '첫째 줄\r\n둘째 줄')
        self.assertEqual(self.wine.text('Probe', 4242), {}, 'a missing item gives no text')

    def test_Driver_ClicksCheckBoxWithNotification(self):
        self.start_probe()
        self.assertEqual(self.wine.check('Probe', 1012), 0)
        self.assertEqual(self.wine.check('Probe', 1012, 1), 1, 'check box should be ticked')
        self.assertEqual(self.wine.text('Probe', 1005)[1005], 'checkbox clicked',
                         'ticking must go through a click so the dialog is notified')

    def test_Driver_PostsTrayEventsCommandsAndKeys(self):
        self.start_probe('--hidden', '--tray', title='Hidden')
        self.assertIs(self.wine.visible('Hidden'), False, 'probe started hidden')
        self.assertTrue(self.wine.tray_event('Hidden', 1090, harness.WM_LBUTTONDBLCLK))
        self.assertTrue(harness.wait_for(lambda: self.wine.text('Hidden', 1005).get(1005) == 'tray 1090 203', 5),
                        'tray event not received')
        self.assertTrue(self.wine.command('Hidden', harness.ID_SHOW_CLOCK))
        self.assertTrue(harness.wait_for(lambda: self.wine.visible('Hidden'), 5), 'ID_SHOW_CLOCK should show it')
        self.assertTrue(self.wine.key('Hidden', 0x1B))
        self.assertTrue(harness.wait_for(lambda: self.wine.text('Hidden', 1005).get(1005) == 'key escape', 5),
                        'posted Escape not seen by the message loop')

    def test_Driver_ChoosesTrayMenuItem(self):
        self.start_probe('--hidden', '--tray', title='MenuProbe')
        self.assertTrue(self.wine.tray_event('MenuProbe', 1090, harness.WM_RBUTTONUP))
        self.assertTrue(harness.wait_for(lambda: self.wine.driver('menu')[0] == 0, 5), 'popup menu did not open')
        self.assertTrue(self.wine.menu_pick(1))
        self.assertTrue(harness.wait_for(
            lambda: self.wine.text('MenuProbe', 1005).get(1005) == 'command %d' % harness.ID_SAVE_LOG, 5),
            'second menu item (save log) should have been chosen')

    def test_Driver_ReadsAndPressesMessageBox(self):
        self.start_probe('--msgbox', title='BoxProbe')
        box = self.wine.msgbox('BoxProbe', wait=10)
        self.assertEqual(box, ('BoxProbe', '로그파일 저장 성공 파일위치[C:\\x.log]'), 'message box caption and text')
        self.assertTrue(harness.wait_for(lambda: self.wine.text('BoxProbe', 1005).get(1005) == 'msgbox 1', 5),
                        'OK (1) should have closed the message box')
        self.assertIsNone(self.wine.msgbox('BoxProbe'), 'no message box should be left')

    def test_Driver_ListsWindowsWithTheirControls(self):
        self.start_probe(title='공지사항 목록')
        windows = {w.title: w for w in self.wine.dialogs()}
        self.assertIn('공지사항 목록', windows, 'Korean title should survive the command line and the listing')
        self.assertIn('Tray', windows, 'trayhost window should be visible')
        controls = {c.id: c.text for c in windows['공지사항 목록'].children}
        self.assertEqual(controls.get(1012), '오늘 이 창을 다시 열지 않음')

    def test_Driver_ClicksWithTheMouse(self):
        self.start_probe(title='MouseProbe')
        rc, out = self.wine.driver('hover', 'MouseProbe', 1012)
        self.assertEqual(rc, 0, 'hover over the check box failed')
        x, y = (int(v) for v in out.split())
        # the box itself sits at the left end of the control
        self.assertEqual(self.wine.driver('click', x - 120, y)[0], 0)
        self.assertTrue(harness.wait_for(lambda: self.wine.check('MouseProbe', 1012) == 1, 5),
                        'a click on the check box should tick it')


class FakeIphlpapiTest(unittest.TestCase):

    def test_StandIn_SwitchesFromPppAdapterToNoneWhilePolled(self):
        with harness.Session(DISPLAY, ppp=False) as s:
            folder = s.home()
            exe = harness.stage_program(harness.ADAPTERS_EXE, os.path.join(folder, 'bin'))
            table = os.path.join(folder, 'adapters.txt')
            calls = os.path.join(folder, 'calls.log')
            harness.write_adapters(table, [
                harness.adapter_line(dns=('192.168.7.1', '8.8.8.8')),
                harness.adapter_line(name='{LAN}', description='랜카드', index=3, type=6, ips=('10.0.0.5',),
                                     masks=('255.0.0.0',), dns=()),
            ])
            out_path = os.path.join(folder, 'poll.txt')
            with open(out_path, 'wb') as out:
                proc = s.wine.start([exe, '--poll', '200', '60'], env=harness.fake_adapter_env(table, calls),
                                    dll_overrides=harness.FAKE_IPHLPAPI_OVERRIDE, stdout=out)
                seen_ppp = harness.wait_for(lambda: 'count=2' in harness.read_bytes(out_path).decode(), 20)
                harness.write_adapters(table, [])
                seen_none = harness.wait_for(lambda: 'rc=232 count=0' in harness.read_bytes(out_path).decode(), 10)
                proc.kill()
                proc.wait()
            report = harness.read_bytes(out_path).decode()
            call_log = harness.read_log(calls)
            rc, real = s.wine.adapters(exe=exe)
        self.assertTrue(seen_ppp, 'stand-in table never reported: %s' % report[:500])
        first = harness.parse_adapters(report.split('count=2', 1)[1].split('count=', 1)[0])[1]
        self.assertEqual([(a.type, a.name, a.dns) for a in first],
                         [(23, '{PPP-VPN}', ['192.168.7.1', '8.8.8.8']), (6, '{LAN}', [])])
        self.assertEqual(first[1].description, '랜카드', 'CP949 description')
        self.assertTrue(seen_none, 'emptying the table should give ERROR_NO_DATA (232): %s' % report[-500:])
        self.assertIn('GetAdaptersInfo', call_log, 'call log of the stand-in')
        self.assertFalse([a for a in real if a.name == '{PPP-VPN}'],
                         'without the override Wine\'s own iphlpapi must be used')


class NoticeServerTest(unittest.TestCase):

    CLIENT = r'''
import socket, sys
s = socket.create_connection(("127.0.0.1", int(sys.argv[1])))
s.sendall(b"GET /notice HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n")
s.settimeout(1.5)
blocks = []
try:
    while True:
        d = s.recv(1 << 20)
        if not d:
            break
        blocks.append(d)
except socket.timeout:
    pass
except ConnectionError:
    pass
sys.stdout.write(repr(blocks))
'''

    def exchange(self, netns, *options):
        """The blocks a client receives after its request, and the request as recorded."""
        server = harness.NoticeServer(netns, '--port', '0', '--hold', '3', *options)
        try:
            client = [sys.executable, '-c', self.CLIENT, str(server.port)]
            if netns:
                out = netns.run(client)[1]
            else:
                out = subprocess.run(client, stdout=subprocess.PIPE, timeout=30).stdout.decode()
            return ast.literal_eval(out), server.request()
        finally:
            server.stop()

    def test_TwoSends_InTheNamespace_HeadAndBodyArriveAsTwoBlocks(self):
        with harness.NetNs(ppp=False) as ns:
            blocks, request = self.exchange(ns, '--mode', 'two-sends', '--body-size', '4096')
        self.assertEqual(len(blocks), 2, 'head and body should arrive as two blocks, got %r' % blocks)
        self.assertTrue(blocks[0].startswith(b'HTTP/1.1 200 OK\r\n'), 'first block is the head')
        self.assertEqual(len(blocks[1]), 4096, 'body of exactly --body-size bytes')
        self.assertTrue(request.startswith(b'GET /notice HTTP/1.1\r\n'), 'recorded request: %r' % request)

    def test_Modes_CutTheAnswerAsTold(self):
        cases = [
            # mode, blocks the client receives, whether the request is recorded
            ('one-send', 1, True),
            ('silent', 0, True),
            ('close', 0, False),
        ]
        for mode, block_count, recorded in cases:
            with self.subTest(mode=mode):
                blocks, request = self.exchange(None, '--mode', mode)
                self.assertEqual(len(blocks), block_count, 'blocks received: %r' % blocks)
                if blocks:
                    self.assertIn('감사합니다.'.encode('cp949'), blocks[0], 'default notice in the one block')
                self.assertEqual(request.startswith(b'GET /notice'), recorded, 'request recorded: %r' % request)

    def test_BodyOptions_ShapeTheBody(self):
        cases = [
            (['--body', '첫 줄\n둘째 줄'], '첫 줄\r\n둘째 줄'.encode('cp949')),
            (['--body', 'a\nb', '--lf-only'], b'a\nb'),
            (['--body-size', '10', '--nul'], None),
        ]
        for options, expected in cases:
            with self.subTest(options=options):
                blocks, _ = self.exchange(None, '--mode', 'two-sends', *options)
                self.assertEqual(len(blocks), 2, 'head and body expected: %r' % blocks)
                if expected is not None:
                    self.assertEqual(blocks[1], expected)
                else:
                    self.assertEqual(len(blocks[1]), 10, '--nul keeps the size')
                    self.assertEqual(blocks[1][5:6], b'\0', 'NUL in the middle')


if __name__ == '__main__':
    harness.main()
