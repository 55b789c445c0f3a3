"""The machine Lumaro sees: a network namespace with its adapters (a PPP
device, an Ethernet device, loopback) and DNS server, what Wine reports of
them, and the stand-in adapter table for adapters that vanish."""
import os
import re
import shutil
import subprocess
import sys
from collections import namedtuple

import runs
from basics import dies_with_harness, ip, remove_namespace, unique


_TUNSETIFF = 0x400454ca
_TUNSETPERSIST = 0x400454cb
_TUNSETLINK = 0x400454cd
_IFF_TUN = 0x0001
_IFF_NO_PI = 0x1000
_ARPHRD_PPP = 512

# Runs inside the namespace: a persistent TUN device with the PPP link type,
# which Wine reports as an adapter of type 23 (PPP).
_MAKE_PPP = '''
import fcntl, os, struct, sys
fd = os.open('/dev/net/tun', os.O_RDWR)
fcntl.ioctl(fd, %d, struct.pack('16sH', sys.argv[1].encode(), %d))
fcntl.ioctl(fd, %d, %d)
fcntl.ioctl(fd, %d, 1)
os.close(fd)
''' % (_TUNSETIFF, _IFF_TUN | _IFF_NO_PI, _TUNSETLINK, _ARPHRD_PPP, _TUNSETPERSIST)

_IFF_TAP = 0x0002

# A persistent TAP device: Wine reports it as an Ethernet adapter (type 6).
_MAKE_TAP = '''
import fcntl, os, struct, sys
fd = os.open('/dev/net/tun', os.O_RDWR)
fcntl.ioctl(fd, %d, struct.pack('16sH', sys.argv[1].encode(), %d))
fcntl.ioctl(fd, %d, 1)
os.close(fd)
''' % (_TUNSETIFF, _IFF_TAP | _IFF_NO_PI, _TUNSETPERSIST)




def cleanup_stale_namespaces():
    """Removes namespaces (and all else) left by harness runs whose process has died."""
    runs.clean_dead_runs()


class NetNs:
    """A network namespace: lo up, /etc/resolv.conf naming `dns` (ip netns
    exec binds /etc/netns/NAME/resolv.conf over it, and Wine reports it as the
    DNS server of every adapter), and with ppp=True a PPP device ppp0 with
    address `ppp_address`. Stand-in servers listen inside on loopback."""

    def __init__(self, name=None, ppp=True, dns='127.0.0.1', ppp_address='10.99.0.2'):
        runs.begin()
        self.name = name or unique('ns')
        self.devices = []
        self.lan_devices = []
        remove_namespace(self.name)
        ip('netns', 'add', self.name)
        runs.on_exit(self.close)
        try:
            ip('-n', self.name, 'link', 'set', 'lo', 'up')
            os.makedirs('/etc/netns/' + self.name, exist_ok=True)
            with open('/etc/netns/%s/resolv.conf' % self.name, 'w') as f:
                f.write('nameserver %s\n' % dns if dns else '')
            if ppp:
                self.add_ppp('ppp0', ppp_address)
        except Exception:
            self.close()
            raise

    def exec_args(self, args):
        """The command line that runs args inside the namespace."""
        return ['ip', 'netns', 'exec', self.name] + list(args)

    def add_ppp(self, device='ppp0', address='10.99.0.2'):
        subprocess.run(self.exec_args([sys.executable, '-c', _MAKE_PPP, device]), check=True, timeout=30)
        ip('-n', self.name, 'addr', 'add', address + '/32', 'dev', device)
        ip('-n', self.name, 'link', 'set', device, 'up')
        self.devices.append(device)

    def add_lan(self, device='eth0', address='10.98.0.2/24'):
        """An Ethernet adapter (a TAP device), for a machine whose only
        adapters are not PPP. Wine lists it at once, no server restart needed."""
        subprocess.run(self.exec_args([sys.executable, '-c', _MAKE_TAP, device]), check=True, timeout=30)
        self.lan_devices.append(device)
        ip('-n', self.name, 'addr', 'add', address, 'dev', device)
        ip('-n', self.name, 'link', 'set', device, 'up')

    def remove_ppp(self, device='ppp0'):
        """Deletes the device. Note that Wine keeps listing it until its
        wineserver restarts: a vanishing adapter needs the stand-in iphlpapi."""
        ip('-n', self.name, 'tuntap', 'del', 'dev', device, 'mode', 'tun', check=False)
        if device in self.devices:
            self.devices.remove(device)

    def popen(self, args, **kw):
        """Starts a Linux command in the namespace; it ends when the harness does."""
        kw.setdefault('stdin', subprocess.DEVNULL)
        kw.setdefault('preexec_fn', dies_with_harness())
        return runs.track(subprocess.Popen(self.exec_args(args), **kw))

    def run(self, args, timeout=30):
        """(exit code, stdout text) of a Linux command run in the namespace."""
        rc = subprocess.run(self.exec_args(args), stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                            stderr=subprocess.STDOUT, timeout=timeout)
        return rc.returncode, rc.stdout.decode(errors='replace')

    def close(self):
        runs.forget(self.close)
        for device in list(self.devices):
            self.remove_ppp(device)
        for device in self.lan_devices:
            ip('-n', self.name, 'tuntap', 'del', 'dev', device, 'mode', 'tap', check=False)
        self.lan_devices = []
        remove_namespace(self.name)

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()



Adapter = namedtuple('Adapter', 'index type name ips dns description')


def parse_adapters(out):
    """Parses adapters.exe's report: (GetAdaptersInfo result, [Adapter...])."""
    rc = None
    found = []
    for line in out.splitlines():
        m = re.search(r'rc=(\d+) count=(\d+)', line)
        if m:
            rc = int(m.group(1))
            continue
        if 'adapter\t' in line:
            parts = line.split('adapter\t', 1)[1].split('\t')
            parts += [''] * (6 - len(parts))
            ips = [tuple(x.split('/', 1)) for x in parts[3].split(',') if x]
            dns = [x for x in parts[4].split(',') if x]
            found.append(Adapter(int(parts[0]), int(parts[1]), parts[2], ips, dns, parts[5]))
    return rc, found


# ---- stand-in adapter table ----

def adapter_line(name='{PPP-VPN}', description='WAN Miniport (PPTP)', index=7, type=23,
                 ips=('10.99.0.2',), masks=('255.255.255.255',), dns=('127.0.0.1',)):
    """One line of the stand-in iphlpapi's table."""
    return '|'.join([name, description, str(index), str(type), ','.join(ips), ','.join(masks), ','.join(dns)])


def write_adapters(path, lines):
    """Replaces the table at once (rename), so a reading program never sees half a file."""
    tmp = path + '.tmp'
    with open(tmp, 'wb') as f:
        f.write(''.join(line + '\r\n' for line in lines).encode('cp949'))
    os.replace(tmp, path)


def stage_program(exe, folder):
    """Copies a program into folder, a folder of its own for what a test puts
    beside it. The stand-in adapter table: run the copy (or the program
    itself) with dll_overrides=FAKE_IPHLPAPI_OVERRIDE and
    env=fake_adapter_env(table path). Returns the copy's path."""
    os.makedirs(folder, exist_ok=True)
    target = os.path.join(folder, os.path.basename(exe))
    shutil.copy2(exe, target)
    return target


def fake_adapter_env(table_path, call_log=None):
    env = {'LUMARO_FAKE_ADAPTERS': table_path}
    if call_log:
        env['LUMARO_FAKE_ADAPTERS_LOG'] = call_log
    return env
