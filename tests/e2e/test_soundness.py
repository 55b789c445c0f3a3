"""The monitor stays sound when it is ended at an awkward moment (Windows
ending the session included), when another
process sends it records, when the server's answers are cut, endless or
name another user, and when someone has put DLLs beside it: it ends with
exit code 0 at once, acts on nothing foreign, loads nothing from its own
folder, and never stalls. The built program is hardened on purpose and
carries its manifest. (The
notice process's own ends are in test_notice, an endless answer in
test_hostile.)"""
import datetime
import os
import re
import shutil
import struct
import sys
import time
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import harness  # noqa: E402
from harness import wait_for  # noqa: E402

FULL_CONVERSATION = b'admin\nqalvexor\nshow summary\nlink 7\nshow auth\nexit\n'
RECORD_TYPES = (10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20, 21, 22, 23, 24, 25, 99, 100)
# Ending at once: the worker is stopped, not waited out (its receive waits
# 2 s); the bound leaves room for a busy machine.
PROMPT_END = 2.5
FILE_NAME_ID = 0x47C  # the file dialog's file name box

# Windows takes these from its system folder whatever the program's folder
# holds (KnownDLLs): the only imports lumaro.exe may have.
KNOWN_DLLS = {'advapi32.dll', 'comdlg32.dll', 'gdi32.dll', 'kernel32.dll', 'msvcrt.dll', 'shell32.dll', 'user32.dll',
              'ws2_32.dll'}
# IMAGE_DLLCHARACTERISTICS_
HIGH_ENTROPY_VA, DYNAMIC_BASE, NX_COMPAT, NO_SEH = 0x0020, 0x0040, 0x0100, 0x0400
LUMARO_X64_EXE = os.path.join(harness.SOURCE, 'build-x64', 'lumaro.exe')
MAX_EXE_SIZE = 700 * 1024
PROVIDERS = r'HKLM\Software\Microsoft\Cryptography\Defaults\Provider'

setUpModule = harness.setup_monitor_module
tearDownModule = harness.teardown_monitor_module


class Case(harness.MonitorCase):

    def kill(self):
        rc, _ = self.wine.run_lumaro('kill', cwd=self.session.home(), timeout=30)
        self.assertEqual(rc, 1, '"kill" itself ends with exit code 1')
        return time.monotonic()

    def dismiss_reminder(self):
        reminder = wait_for(lambda: self.wine.find(harness.USAGE_TITLE), 15)
        self.assertTrue(reminder, 'the reminder did not appear')
        self.wine.command('hwnd=0x%x' % reminder.hwnd, harness.IDOK)
        self.assertTrue(wait_for(lambda: not self.wine.find(harness.USAGE_TITLE), 10), 'the reminder stayed')

    def ended_within(self, monitor, started, limit, what):
        self.assertTrue(wait_for(lambda: monitor.proc.poll() is not None, 30, 0.05), '%s: the monitor did not end' % what)
        took = time.monotonic() - started
        self.assertEqual(monitor.proc.returncode, 0, '%s: exit code' % what)
        self.assertLess(took, limit, '%s: took %.2f s to end' % (what, took))
        harness.measure('%s -> process ended: %.2f s' % (what, took))
        return took


class EndingTest(Case):

    def test_KillWhileTheWorkerWaitsOnTheServer_EndsAtOnceWithExitZero(self):
        for name, args, reached in (('silent server', ('--silent',), 'connect succ'),
                                    ('summary held back', ('--slow', '600'), 'summary정보 수신 중 ...')):
            with self.subTest(server=name):
                server = self.admin_server(*args)
                m = self.start_monitor()
                self.assertTrue(m.wait_log(reached, 30), '%s: not reached:\n%s' % (reached, m.log()[-1500:]))
                self.ended_within(m, self.kill(), PROMPT_END, 'kill, %s' % name)
                self.assertEqual(m.entries(level='ERROR'), [], 'a stopped worker reports no failure')
                server.stop()

    def test_KillOnAConnectionHeldOpenAfterExit_SummaryThenPromptEnd(self):
        self.admin_server('--hold-after-exit')
        m = self.start_monitor()
        self.assertTrue(m.wait_log('rTime[3600]', 30), 'session did not complete:\n%s' % m.log()[-1500:])
        self.dismiss_reminder()
        self.kill()
        summary = wait_for(lambda: self.wine.find(harness.USAGE_TITLE), 10, 0.05)
        self.assertTrue(summary, 'no closing summary')
        self.assertTrue(self.wine.command('hwnd=0x%x' % summary.hwnd, harness.IDOK), 'OK on the summary')
        self.assertTrue(wait_for(lambda: not self.wine.find('hwnd=0x%x' % summary.hwnd), 20, 0.05),
                        'the summary did not close on OK')
        self.ended_within(m, time.monotonic(), PROMPT_END, 'closing summary gone')
        self.assertFalse(m.entries('close event'), 'the server never closed: the worker was stopped')

    def test_SessionEnd_DuringTheConversationOrUnderTheReminder_EndsAtOnceSayingWhy(self):
        for name, args, reached, why, reason in (
                ('conversation', ('--slow', '600'), 'summary정보 수신 중 ...', 0, 'shutdown or restart'),
                ('reminder open', (), 'rTime[3600]', 0x80000000, 'log off')):  # ENDSESSION_LOGOFF
            with self.subTest(moment=name):
                server = self.admin_server(*args)
                m = self.start_monitor()
                self.assertTrue(m.wait_log(reached, 30), '%s: not reached:\n%s' % (reached, m.log()[-1500:]))
                self.assertTrue(args or wait_for(lambda: self.wine.find(harness.USAGE_TITLE), 15), 'no reminder')
                started = time.monotonic()
                rc, out = self.wine.driver('end-session', m.target, hex(why))
                self.assertEqual(rc, 0, 'a window of the monitor held the session up:\n%s' % out)
                # Windows lists a program that holds the end up after 5 s
                self.ended_within(m, started, 5.0, 'session end, %s' % name)
                self.assertEqual(m.entries()[-1].text, 'The Windows session ends (%s): the monitor ends' % reason)
                self.assertTrue(self.tray.wait_for_command('delete', 5, owner=m.hwnd), 'the icon stayed in the tray')
                server.stop()

    def open_export_box(self, m):
        """The log export up to its closing message box, left open."""
        self.assertTrue(self.wine.command(m.target, harness.ID_SAVE_LOG))

        def file_dialog():
            return next((w for w in m.windows() if any(c.id == FILE_NAME_ID for c in w.children)), None)
        dialog = wait_for(file_dialog, 20)
        self.assertTrue(dialog, 'the file dialog did not appear')
        target = 'hwnd=0x%x' % dialog.hwnd
        self.wine.set_text(target, FILE_NAME_ID, harness.winpath(os.path.join(m.home, 'copy.log')))
        self.wine.command(target, harness.IDOK)
        box = self.wine.msgbox(wait=20, press=False)
        self.assertIsNotNone(box, 'no box after the export')
        self.assertEqual(box[0], 'lumaro', 'the box is captioned like the program file, in lower case')

    def test_WhileTheExportBoxIsOpen_KillAndHandOverFindTheMonitorItself(self):
        m = self.start_monitor()
        self.assertTrue(m.wait_log('connect failed. retry_count=3', 30), 'retries not over')
        self.open_export_box(m)
        self.ended_within(m, self.kill(), PROMPT_END, 'kill with the export box open')

        m = self.start_monitor()
        self.open_export_box(m)
        started = time.monotonic()
        newer = self.wine.start_lumaro('user01', 'VPN', cwd=self.session.home())
        self.addCleanup(lambda: newer.poll() is None and (newer.kill(), newer.wait()))
        # One post and a second's wait; ten would mean the box was found instead.
        self.ended_within(m, started, 8.0, 'a newer monitor started with the export box open')
        found = wait_for(lambda: self.wine.find(harness.LUMARO_TITLE), 20)
        self.assertTrue(found and found.pid != m.pid, 'the newer monitor runs')
        harness.Monitor(self.wine, m.home, newer, found).stop()

    def test_AdapterGoneWhileTheAuthAnswerKeepsFailing_NoticedWithinTheWatchPeriod(self):
        staging = self.session.home()
        exe = harness.stage_program(harness.LUMARO_EXE, os.path.join(staging, 'bin'))
        table = os.path.join(staging, 'adapters.txt')
        harness.write_adapters(table, [harness.adapter_line(dns=('127.0.0.1',))])
        self.admin_server('--no-value')
        m = self.start_monitor(exe=exe, env=harness.fake_adapter_env(table),
                               dll_overrides=harness.FAKE_IPHLPAPI_OVERRIDE)
        failures = m.wait_log('잔여시간 파싱 실패', 30, count=3, level='ERROR')
        self.assertEqual(len(failures), 3, 'the auth parse should keep failing:\n%s' % m.log()[-1500:])
        harness.write_adapters(table, [])
        emptied = datetime.datetime.now()
        self.assertTrue(wait_for(lambda: m.proc.poll() is not None, 20, 0.05), 'the monitor did not end')
        self.assertEqual(m.proc.returncode, 0, 'exit code')
        # On the program's own clock: the first failing run of the watch
        # comes within its 3 s period, which the failing answers did not
        # push away.
        gone = m.entries('No Network Adapters Found on System-2.', level='ERROR')
        self.assertEqual(len(gone), 1, 'the watch noticed the loss once and ended the monitor')
        noticed_after = (gone[0].time - emptied).total_seconds()
        self.assertLess(noticed_after, 6.0, 'noticed %.2f s after the adapter went' % noticed_after)
        # The watch starts with the first auth answer, then runs every 3 s.
        started = failures[0].time
        runs = [started] + [e.time for e in m.entries('m_nCount=1') if e.time > started] + [gone[0].time]
        periods = [(b - a).total_seconds() for a, b in zip(runs, runs[1:])]
        # Answers failing every 2 s must not push the 3-s watch away, which
        # would leave a gap as long as the failures go on.
        self.assertTrue(periods and max(periods) < 6.0, 'watch runs keep their 3 s period: %r' % periods)
        harness.measure('adapter gone during auth parse failures -> noticed (log time): %.2f s' % noticed_after)


class ForeignRecordTest(Case):

    def test_RecordsFromAnotherProcess_ChangeNothing_ThenKillStillEnds(self):
        server = self.admin_server()
        m = self.start_monitor()
        self.assertTrue(m.wait_log('close event', 30), 'session did not complete:\n%s' % m.log()[-1500:])
        self.dismiss_reminder()
        granted = self.wine.text(m.target, 1005)
        log_before = m.entries()

        for record_type in RECORD_TYPES:
            rc, out = self.wine.driver('copydata', m.target, record_type, 'Username: forged')
            self.assertEqual(rc, 0, 'type %d: the window did not answer: %s' % (record_type, out))
        rc, _ = self.wine.driver('copydata', m.target, 100, 'x', '--length', 5000)
        self.assertEqual(rc, 0, 'an over-long record went unanswered')

        self.assertIsNone(self.wine.msgbox(wait=2, press=False), 'a foreign record raised a message box')
        self.assertEqual(server.received()[-len(FULL_CONVERSATION):], FULL_CONVERSATION,
                         'nothing more reached the server')
        self.assertEqual(server.log().count('connection from'), 1, 'no second worker connected')
        new = [e for e in harness.conversation(m.entries()) if e not in log_before]
        self.assertEqual([(e.level, e.text) for e in new],
                         [('WARN', 'OnCopyData() record from another sender ignored. type=10')],
                         'one log line for the foreign records, nothing else')
        self.assertEqual(self.wine.text(m.target, 1005), granted, 'the time granted is untouched')

        self.kill()
        summaries = self.wait_ended(m)
        self.assertTrue(summaries, 'kill should still end the monitor with its closing summary')
        self.assertEqual(m.proc.returncode, 0)


class AnswerTest(Case):

    def test_ShorterNameListedBeforeALongerOne_TakesItsOwnLink(self):
        server = self.admin_server('--user', 'kim', '--other-user', 'jkim:9')
        m = self.start_monitor('kim', 'VPN')
        self.assertTrue(m.wait_log('close event', 30), 'session did not complete:\n%s' % m.log()[-1500:])
        self.assertEqual([e.text for e in m.entries() if e.text.startswith('Link[')], ['Link[7]'],
                         'only the row of kim counts')
        self.assertIn(b'link 7\n', server.received())
        self.assertNotIn(b'link 9\n', server.received())

    def test_EveryByteInAReceiveOfItsOwn_CompletesTheSession(self):
        # A name of 8 characters or more fills the console's user column: no blanks in front.
        server = self.admin_server('--chunked', 'all', '--chunk-delay', '0.002', '--user', 'parkjihoon')
        m = self.start_monitor('parkjihoon', 'VPN')
        self.assertTrue(m.wait_log('close event', 90), 'session did not complete:\n%s' % m.log()[-1500:])
        self.assertTrue(m.entries('rTime[3600]'))
        self.assertTrue(server.received().endswith(FULL_CONVERSATION), 'commands on the wire: %r' % server.received())


class DllSearchTest(Case):

    def test_PlantedDlls_LoadedByAPlainSearch_NeverByTheMonitorThroughASession(self):
        home = self.session.home()
        folder = os.path.join(home, 'bin')
        exe = harness.stage_program(harness.LUMARO_EXE, folder)
        minimal = harness.stage_program(harness.MINIMAL_EXE, folder)
        for name in harness.PLANTED_DLLS:
            shutil.copy2(harness.MARKER_DLL, os.path.join(folder, name))
        loads = os.path.join(home, 'loads.txt')
        table = os.path.join(home, 'adapters.txt')
        harness.write_adapters(table, [harness.adapter_line(dns=('127.0.0.1',))])
        env = dict(self.wine.windows_dll_search_env(os.path.join(home, 'system')),
                   LUMARO_MARKER_FILE=harness.winpath(loads), **harness.fake_adapter_env(table))

        def loaded():
            return sorted({line.split('\t')[0].rsplit('\\', 1)[-1].lower()
                           for line in harness.read_log(loads).splitlines() if line})

        # Windows registers its CryptoAPI providers by plain name, Wine by
        # full path: registered as on Windows, a provider acquired before the
        # search is restricted comes from beside the program.
        provider = PROVIDERS + '\\' + self.reg_value(PROVIDERS + r' Types\Type 001', 'Name')
        self.addCleanup(self.wine.run, ['reg', 'add', provider, '/v', 'Image Path', '/d',
                                        self.reg_value(provider, 'Image Path'), '/f'])
        self.wine.run(['reg', 'add', provider, '/v', 'Image Path', '/d', 'rsaenh.dll', '/f'])

        # Under the same search, a program that loads these DLLs by plain
        # name, and rsaenh.dll as CryptoAPI's provider, gets every planted
        # copy: the marker can appear.
        names = [name for name in harness.PLANTED_DLLS if name != 'rsaenh.dll']
        control = self.wine.start([minimal, 'dlls', 'crypt'] + names, env=env,
                                  dll_overrides=harness.WINDOWS_DLL_SEARCH_OVERRIDE)
        seen = wait_for(lambda: loaded() == sorted(harness.PLANTED_DLLS), 30)
        control.kill()
        control.wait()
        self.assertTrue(seen, 'a plain search should load all planted copies, loaded: %r' % loaded())
        os.remove(loads)

        server = self.admin_server()
        try:
            m = self.start_monitor(exe=exe, env=env, dll_overrides=harness.WINDOWS_DLL_SEARCH_OVERRIDE)
        except RuntimeError as e:
            self.fail('%s; planted DLLs loaded: %r' % (e, loaded()))
        self.assertTrue(m.wait_log('close event', 30), 'session did not complete:\n%s' % m.log()[-1500:])
        self.dismiss_reminder()
        self.kill()
        self.assertTrue(self.wait_ended(m), 'no closing summary')
        self.assertEqual(server.received()[-len(FULL_CONVERSATION):], FULL_CONVERSATION, 'the whole conversation')
        self.assertEqual(loaded(), [], 'planted DLLs loaded by the monitor')
        # What the system folder's libraries gave: the version and the stand-in adapter table.
        self.assertTrue(m.entries('version 1.0.3.1'), 'version.dll of the system folder read no version')
        self.assertIn('Name={PPP-VPN}', m.log(), 'the adapters did not come from the system folder\'s IP helper')

    def reg_value(self, key, name):
        rc, out = self.wine.run(['reg', 'query', key, '/v', name])
        found = re.search(r'%s\s+REG_SZ\s+(.+)' % re.escape(name), out)
        self.assertTrue(rc == 0 and found, 'no %s in %s: %s' % (name, key, out))
        return found.group(1).strip()


def pe_facts(path):
    """(bits, DllCharacteristics, size of the base relocations, {imported DLL
    in lower case: the functions taken from it by name}, the entry point and
    the TLS callbacks as addresses, the manifest: resource 1 of type 24)
    from a PE file's headers."""
    with open(path, 'rb') as f:
        data = f.read()
    pe = struct.unpack_from('<I', data, 0x3C)[0]
    assert data[pe:pe + 4] == b'PE\0\0', '%s is no PE file' % path
    sections_at = pe + 24 + struct.unpack_from('<H', data, pe + 20)[0]
    sections = [struct.unpack_from('<8xIIII', data, sections_at + 40 * i)
                for i in range(struct.unpack_from('<H', data, pe + 6)[0])]

    def offset(rva):
        return next(rva - va + raw for size, va, raw_size, raw in sections if va <= rva < va + max(size, raw_size))

    def text(at):
        return data[at:data.index(b'\0', at)].decode()
    optional = pe + 24
    bits = {0x10B: 32, 0x20B: 64}[struct.unpack_from('<H', data, optional)[0]]
    word, size = ('<I', 4) if bits == 32 else ('<Q', 8)

    def pointers(at):
        while struct.unpack_from(word, data, at)[0]:
            yield struct.unpack_from(word, data, at)[0]
            at += size
    base = struct.unpack_from(word, data, optional + (28 if bits == 32 else 24))[0]
    characteristics = struct.unpack_from('<H', data, optional + 70)[0]
    directories = optional + (96 if bits == 32 else 112)
    import_rva = struct.unpack_from('<I', data, directories + 8 * 1)[0]
    reloc_size = struct.unpack_from('<I', data, directories + 8 * 5 + 4)[0]
    tls_rva = struct.unpack_from('<I', data, directories + 8 * 9)[0]
    imports = {}
    at = offset(import_rva)
    while any(struct.unpack_from('<5I', data, at)):
        lookup, _, _, name = struct.unpack_from('<4I', data, at)
        imports[text(offset(name)).lower()] = [text(offset(t & 0x7FFFFFFF) + 2) for t in pointers(offset(lookup))
                                               if not t >> (bits - 1)]
        at += 20
    callbacks = list(pointers(offset(struct.unpack_from(word, data, offset(tls_rva) + 3 * size)[0] - base))
                     ) if tls_rva else []

    def entry(table, wanted=None):
        """Offset from the resource root of entry `wanted` (else the first) of a resource table; 0 when absent."""
        count = sum(struct.unpack_from('<HH', data, table + 12))
        found = [struct.unpack_from('<II', data, table + 16 + 8 * i) for i in range(count)]
        return next((at & 0x7FFFFFFF for key, at in found if wanted in (None, key)), 0)
    root = offset(struct.unpack_from('<I', data, directories + 8 * 2)[0])
    kind = entry(root, 24)
    name = kind and entry(root + kind, 1)
    language = name and entry(root + name)
    manifest_rva, manifest_size = struct.unpack_from('<II', data, root + language) if language else (0, 0)
    manifest = data[offset(manifest_rva):offset(manifest_rva) + manifest_size] if manifest_size else None
    return (bits, characteristics, reloc_size, imports, base + struct.unpack_from('<I', data, optional + 16)[0],
            callbacks, manifest)


def link_map(exe):
    """From the linker's map beside exe: the address of each symbol it lists,
    {symbol: the file that defines it, then the files that use it}, and the
    files that add code the loader or the C runtime runs before WinMain (TLS
    callbacks, C and C++ initializers, constructors)."""
    with open(os.path.join(os.path.dirname(exe), 'lumaro.map')) as f:
        body, _, cross_reference = f.read().partition('\nCross Reference Table')
    addresses = {name.split('@')[0]: int(at, 16) for at, name in re.findall(r'^ +0x(\w+) +(\S+)$', body, re.M)}
    start_up = set(re.findall(r'^ (?:\.ctors|\.CRT\$X[LCI])\S*\s+0x\w+\s+0x\w+\s+(\S+)$', body, re.M))
    users = {}
    for line in cross_reference.splitlines()[3:]:
        if line and not line[0].isspace():
            symbol, line = line.rsplit(None, 1)
            users[symbol.strip()] = []
        users[symbol.strip()].append(line.strip())
    return addresses, users, start_up


class BinaryTest(unittest.TestCase):

    def test_Executable_HardenedOnPurpose_NothingOfItsOwnBeforeTheDllSearchIsRestricted_CarriesTheManifest(self):
        builds = [harness.LUMARO_EXE] + [p for p in (LUMARO_X64_EXE,) if os.path.exists(p)]
        for path in builds:
            with self.subTest(exe=path):
                bits, characteristics, relocations, imports, entry, callbacks, manifest = pe_facts(path)
                wanted = {'--dynamicbase': DYNAMIC_BASE, '--nxcompat': NX_COMPAT}
                wanted.update({'--no-seh': NO_SEH} if bits == 32 else {'--high-entropy-va': HIGH_ENTROPY_VA})
                missing = [flag for flag, bit in wanted.items() if not characteristics & bit]
                self.assertEqual(missing, [], 'DllCharacteristics 0x%04x lacks these' % characteristics)
                self.assertGreater(relocations, 0, 'no base relocations: ASLR could not move the image')
                self.assertEqual(sorted(set(imports) - KNOWN_DLLS), [],
                                 'imports that Windows would look for beside the program first')
                self.assertEqual([f for names in imports.values() for f in names if f.startswith('Crypt')], [],
                                 'CryptoAPI imports, which Windows serves from cryptsp.dll')
                self.assertLess(os.path.getsize(path), MAX_EXE_SIZE, 'program size')
                addresses, users, start_up = link_map(path)
                self.assertEqual(callbacks[:1], [addresses.get('LumaroRestrictDllSearchAtLoad')],
                                 'the first TLS callback is not the restriction of the DLL search')
                self.assertEqual(entry, addresses.get('LumaroStartup'), 'the entry point is not the canary\'s seed')
                for symbol in ('__stack_chk_guard', '__stack_chk_fail'):
                    self.assertIn('StackGuard', users[symbol][0], '%s is not the program\'s own' % symbol)
                self.assertGreater(len(users['__stack_chk_guard']), 10, 'hardly any code checks the canary')
                loading = {f for symbol, files in users.items() if re.match(r'_?_imp_+(LoadLibrary|Crypt)', symbol)
                           for f in files[1:]}
                self.assertEqual(sorted(loading & start_up), [], 'start-up code in files that load DLLs')
                self.assertEqual(manifest, harness.read_bytes(os.path.join(harness.SOURCE, 'res', 'lumaro.manifest')),
                                 'res/lumaro.manifest is not the manifest Windows reads (resource 1 of type 24)')


if __name__ == '__main__':
    harness.main()
