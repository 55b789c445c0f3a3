"""lumaro.msi under Wine's own msiexec: install, upgrade in place, an older
package refused, uninstall; and its signature. What Wine's installer and
Task Scheduler do not model: docs/windows-fidelity.md."""
import os
import re
import subprocess
import sys
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import harness  # noqa: E402

MSI = os.path.join(harness.BUILD, 'lumaro.msi')
UNINSTALL = r'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall'
DISPLAY = None


def setUpModule():
    global DISPLAY
    DISPLAY = harness.setup_module(MSI)


def tearDownModule():
    harness.teardown_module(DISPLAY)


class PackageTest(unittest.TestCase):
    """One Wine session for all; every test starts and ends with Lumaro removed."""

    @classmethod
    def setUpClass(cls):
        cls.session = harness.Session(DISPLAY, ppp=False).__enter__()
        cls.wine = cls.session.wine
        cls.folder = cls.session.home()
        drive_c = os.path.join(cls.session.prefix, 'drive_c')
        cls.program = os.path.join(drive_c, 'Program Files (x86)', 'Lumaro')
        cls.task = os.path.join(drive_c, 'windows', 'system32', 'tasks', 'Lumaro')
        # The newer package: the built one's version with the minor field raised.
        properties = subprocess.run(['msiinfo', 'export', MSI, 'Property'], check=True, stdout=subprocess.PIPE).stdout
        major, minor = map(int, re.search(rb'\nProductVersion\t(\d+)\.(\d+)\.', properties).groups())
        cls.newer_version = '%d.%d.0' % (major, minor + 1)
        cls.newer = os.path.join(cls.folder, 'newer.msi')
        subprocess.run([os.path.join(harness.SOURCE, 'scripts', 'package'), harness.BUILD, cls.newer,
                        '--version', cls.newer_version], check=True, stdout=subprocess.DEVNULL)

    @classmethod
    def tearDownClass(cls):
        cls.session.close()

    def setUp(self):
        self.remove_all()
        self.addCleanup(self.remove_all)

    def remove_all(self):
        for code in self.entries():
            self.msiexec('/x', code)

    def msiexec(self, *args):
        """(exit code, cut to its low byte by the wine loader; verbose log)"""
        log = os.path.join(self.folder, 'msiexec.log')
        rc, _ = self.wine.run(['msiexec'] + list(args) + ['/qn', '/l*v', harness.winpath(log)], timeout=300)
        return rc, harness.read_log(log)

    def entries(self):
        """{product code: {value: data}} of the entries named Lumaro, either registry view."""
        found = {}
        for view in ('/reg:32', '/reg:64'):
            key = None
            for line in self.wine.run(['reg', 'query', UNINSTALL, '/s', view])[1].splitlines():
                if line.startswith('HKEY_'):
                    key = found.setdefault(line.rsplit('\\', 1)[1], {})
                    continue
                value = re.match(r'\s+(\w+)\s+REG_SZ\s+(.*)', line)
                if value and key is not None:
                    key[value.group(1)] = value.group(2).strip()
        return {code: values for code, values in found.items() if values.get('DisplayName') == 'Lumaro'}

    def test_Install_PutsTheProgramIn32BitProgramFilesWithAnAppsAndFeaturesEntry(self):
        rc, log = self.msiexec('/i', harness.winpath(MSI))
        self.assertEqual(rc, 0, 'install failed; log:\n' + log[-3000:])
        self.assertTrue(os.path.isfile(os.path.join(self.program, 'lumaro.exe')), 'no lumaro.exe in Program Files (x86)')
        entries = list(self.entries().values())
        self.assertEqual(len(entries), 1, 'Apps & features entries: %r' % entries)
        self.assertEqual((entries[0]['Publisher'], entries[0]['HelpLink']),
                         ('Pelmor', r'C:\Program Files (x86)\Lumaro\README.md'), 'entry: %r' % entries[0])
        self.assertIn('VPNNAME is not set: the connect-time task is not registered', log, 'no word of the task')

    def test_NewerPackage_ReplacesTheOlderInPlace_OlderIsRefused(self):
        self.assertEqual(self.msiexec('/i', harness.winpath(MSI), 'VPNNAME=Company VPN')[0], 0, 'first install')
        rc, log = self.msiexec('/i', harness.winpath(self.newer))
        self.assertEqual(rc, 0, 'upgrade failed; log:\n' + log[-3000:])
        self.assertEqual([v['DisplayVersion'] for v in self.entries().values()], [self.newer_version], 'not one entry')
        self.assertTrue(os.path.isfile(os.path.join(self.program, 'lumaro.exe')), 'program gone after the upgrade')
        self.assertTrue(os.path.exists(self.task), 'the upgrade removed the connect-time task')

        self.assertEqual(self.msiexec('/i', harness.winpath(MSI))[0], 1603 & 0xFF, 'an older package must fail')
        self.assertEqual([v['DisplayVersion'] for v in self.entries().values()], [self.newer_version], 'downgraded')

    def test_Uninstall_LeavesNothingOfThePackage(self):
        self.assertEqual(self.msiexec('/i', harness.winpath(MSI), 'VPNNAME=Company VPN')[0], 0, 'install')
        self.assertTrue(os.path.exists(self.task), 'no task registered with VPNNAME')
        self.wine.run(['reg', 'add', r'HKLM\Software\Pelmor', '/v', 'date', '/d', '2026-12-08', '/f'])
        rc, log = self.msiexec('/x', harness.winpath(MSI))
        self.assertEqual(rc, 0, 'uninstall failed; log:\n' + log[-3000:])
        self.assertFalse(os.path.exists(self.program), 'the program folder is left')
        self.assertFalse(self.entries(), 'the Apps & features entry is left')
        self.assertFalse(os.path.exists(self.task), 'the task is left')
        self.assertNotEqual(self.wine.run(['reg', 'query', r'HKLM\Software\Pelmor'])[0], 0, 'the notice date is left')


class SigningTest(unittest.TestCase):

    def test_SignedProgramAndPackage_VerifyAgainstTheCertificate(self):
        folder = harness.make_temp_dir('sign')
        self.addCleanup(harness.remove_temp_dir, folder)

        def run(*args, **kw):
            subprocess.run(args, check=True, cwd=folder, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, **kw)
        run('openssl', 'req', '-x509', '-newkey', 'rsa:2048', '-nodes', '-keyout', 'key.pem', '-out', 'cert.pem',
            '-days', '2', '-subj', '/CN=Lumaro test signer', '-addext', 'extendedKeyUsage=codeSigning')
        run('openssl', 'pkcs12', '-export', '-inkey', 'key.pem', '-in', 'cert.pem', '-out', 'cert.pfx',
            '-passout', 'pass:only for this test')
        files = [harness.LUMARO_EXE, MSI]
        run('cp', *files, '.')
        run(os.path.join(harness.SOURCE, 'scripts', 'sign'), *[os.path.basename(f) for f in files],
            env=dict(os.environ, LUMARO_SIGN_PFX='cert.pfx', LUMARO_SIGN_PASSWORD='only for this test'))
        for name in map(os.path.basename, files):
            rc = subprocess.run(['osslsigncode', 'verify', '-CAfile', 'cert.pem', '-in', name], cwd=folder,
                                stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
            self.assertEqual(rc.returncode, 0, '%s: signature not verified:\n%s' % (name, rc.stdout.decode()))


if __name__ == '__main__':
    harness.main()
