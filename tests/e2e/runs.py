"""A harness run's life: what it needs from the machine, the Wine prefix it
holds, and the clean-up of what it made, however it ends.

- Prerequisites: a machine that lacks one fails the run and names every
  missing piece; LUMARO_E2E_ALLOW_SKIP=1 turns that into a skip.
- The prefix: one wineserver serves a prefix, and Wine lists the adapters of
  the namespace that server started in, so one run at a time uses a prefix.
  A run holds PREFIX.lock (flock) while it does, and only the holder starts
  or kills the prefix's wineserver; another run waits.
- Clean-up: SIGTERM and SIGHUP end a run as Ctrl-C does, and at exit every
  registered clean-up runs. A guard process outlives the harness and, once
  it is gone (even by SIGKILL), ends the processes that carry its pid
  (basics.RUN_MARK) and removes its namespaces and temporary folders. Each
  run also clears what dead runs left when it starts.
"""
import atexit
import fcntl
import glob
import os
import re
import shutil
import signal
import subprocess
import sys
import time
import unittest

from basics import (NAME_PREFIX, RUN_MARK, TMP, WINE, WINESERVER, BUILD, LUMARO_EXE, DRIVER_EXE, TRAYHOST_EXE,
                    WINDOWS_DELIVERY_EXE, ADAPTERS_EXE, FAKE_IPHLPAPI_DLL, MARKER_DLL, MINIMAL_EXE, ip, pid_alive,
                    remove_namespace)

ALLOW_SKIP = os.environ.get('LUMARO_E2E_ALLOW_SKIP') == '1'

_begun = [False]
_cleanups = []
_tracked = []
_guard = []
_locks = {}
skipped = []


# ---- start and end ----

def begin():
    """Prepares this process for a run (once): clears what dead runs left,
    starts the guard, and turns SIGTERM and SIGHUP into an orderly end."""
    if _begun[0]:
        return
    _begun[0] = True
    for sig in (signal.SIGTERM, signal.SIGHUP):
        signal.signal(sig, _interrupted)
    atexit.register(_finish)
    on_exit(_end_tracked)
    clean_dead_runs()
    _start_guard()


def _interrupted(signum, frame):
    # One orderly end is enough: a second signal must not cut the clean-up short.
    for sig in (signal.SIGTERM, signal.SIGHUP, signal.SIGINT):
        signal.signal(sig, signal.SIG_IGN)
    raise KeyboardInterrupt('signal %d' % signum)


def on_exit(cleanup):
    """Registers a clean-up for the end of the run; the last registered runs first."""
    begin()
    _cleanups.append(cleanup)
    return cleanup


def forget(cleanup):
    """Drops a clean-up that has already run."""
    if cleanup in _cleanups:
        _cleanups.remove(cleanup)


def track(proc):
    """Registers a child process to be killed at the end of the run if it still runs then."""
    begin()
    _tracked[:] = [p for p in _tracked if p.poll() is None] + [proc]
    return proc


def _end_tracked():
    for proc in _tracked:
        if proc.poll() is None:
            proc.kill()
            proc.wait()
    _tracked[:] = []


def _finish():
    while _cleanups:
        cleanup = _cleanups.pop()
        try:
            cleanup()
        except BaseException as e:  # noqa: B902 - the rest must run too
            sys.stderr.write('e2e: clean-up %r failed: %r\n' % (cleanup, e))
    for prefix in list(_locks):
        _unlock(prefix)


def _start_guard():
    """Starts the guard: it waits for the end of a pipe that only this
    process holds, then cleans up after it."""
    read_end, write_end = os.pipe()
    devnull = os.open(os.devnull, os.O_RDWR)
    env = dict(os.environ)
    env.pop(RUN_MARK, None)
    # Its own session keeps a Ctrl-C of the terminal away from it; no Popen,
    # since nobody waits for it.
    os.posix_spawn(sys.executable, [sys.executable, os.path.abspath(__file__), '--guard', str(os.getpid())], env,
                   file_actions=[(os.POSIX_SPAWN_DUP2, read_end, 0), (os.POSIX_SPAWN_DUP2, devnull, 1),
                                 (os.POSIX_SPAWN_DUP2, devnull, 2)], setsid=True)
    os.close(read_end)
    os.close(devnull)
    _guard.append(write_end)


def _guard_main(pid):
    for sig in (signal.SIGTERM, signal.SIGHUP, signal.SIGINT):
        signal.signal(sig, signal.SIG_IGN)
    sys.stdin.buffer.read()
    clean_run(pid)


# ---- what dead runs leave ----

def marked_processes(pid):
    """Pids of the processes that carry the run mark of harness `pid`."""
    mark = ('%s=%d' % (RUN_MARK, pid)).encode()
    found = []
    for entry in os.listdir('/proc'):
        if not entry.isdigit() or int(entry) == os.getpid():
            continue
        try:
            with open('/proc/%s/environ' % entry, 'rb') as f:
                if mark in f.read().split(b'\0'):
                    found.append(int(entry))
        except OSError:
            pass
    return found


def _signal_all(pids, sig):
    for p in pids:
        try:
            os.kill(p, sig)
        except OSError:
            pass


def clean_run(pid):
    """Removes everything harness `pid` made: its processes (asked first,
    so that Xvfb removes its lock and the wineserver saves the registry),
    its namespaces, its temporary folders."""
    _signal_all(marked_processes(pid), signal.SIGTERM)
    deadline = time.monotonic() + 3
    while marked_processes(pid) and time.monotonic() < deadline:
        time.sleep(0.1)
    for _ in range(20):
        left = marked_processes(pid)
        if not left:
            break
        _signal_all(left, signal.SIGKILL)
        time.sleep(0.1)
    pattern = re.compile(re.escape(NAME_PREFIX) + '%d-' % pid)
    for name in _namespaces():
        if pattern.match(name):
            remove_namespace(name)
    for path in glob.glob('/etc/netns/%s%d-*' % (NAME_PREFIX, pid)):
        shutil.rmtree(path, ignore_errors=True)
    for path in glob.glob(os.path.join(TMP, '%s%d-*' % (NAME_PREFIX, pid))):
        shutil.rmtree(path, ignore_errors=True)
    clean_stale_displays()


def _namespaces():
    listing = ip('netns', 'list', check=False).stdout.decode(errors='replace')
    return [line.split()[0] for line in listing.splitlines() if line.split()]


def clean_stale_displays():
    """Removes the lock and socket of every X display whose server is gone."""
    for lock in glob.glob('/tmp/.X*-lock'):
        m = re.match(r'^/tmp/\.X(\d+)-lock$', lock)
        holder = x_lock_pid(int(m.group(1))) if m else None
        if m and holder is not None and not pid_alive(holder):
            for path in (lock, '/tmp/.X11-unix/X' + m.group(1)):
                try:
                    os.unlink(path)
                except OSError:
                    pass


def x_lock_pid(number):
    """The pid written in the lock file of display :number, or None."""
    try:
        with open('/tmp/.X%d-lock' % number) as f:
            return int(f.read().strip())
    except (OSError, ValueError):
        return None


def clean_dead_runs():
    """Cleans up after every harness run whose process has died."""
    pids = set()
    names = _namespaces() + [os.path.basename(p) for p in glob.glob('/etc/netns/%s*' % NAME_PREFIX)]
    names += [os.path.basename(p) for p in glob.glob(os.path.join(TMP, NAME_PREFIX + '*'))]
    for name in names:
        m = re.match(re.escape(NAME_PREFIX) + r'(\d+)-', name)
        if m:
            pids.add(int(m.group(1)))
    mark = re.compile(('%s=(\\d+)' % RUN_MARK).encode())
    for entry in os.listdir('/proc'):
        try:
            with open('/proc/%s/environ' % entry, 'rb') as f:
                m = mark.search(f.read())
            if m:
                pids.add(int(m.group(1)))
        except OSError:
            pass
    for pid in sorted(pids):
        if pid != os.getpid() and not pid_alive(pid):
            clean_run(pid)
    clean_stale_displays()


# ---- the prefix ----

def hold_prefix(prefix):
    """Takes the prefix for this process, waiting while another run has it.
    Calls nest: the prefix is given up at the last release_prefix (or at exit)."""
    begin()
    if prefix in _locks:
        _locks[prefix][1] += 1
        return
    path = prefix.rstrip('/') + '.lock'
    os.makedirs(os.path.dirname(path), exist_ok=True)
    fd = os.open(path, os.O_RDWR | os.O_CREAT | os.O_CLOEXEC, 0o644)
    try:
        fcntl.flock(fd, fcntl.LOCK_EX | fcntl.LOCK_NB)
    except BlockingIOError:
        holder = os.pread(fd, 300, 0).decode(errors='replace').strip()
        sys.stderr.write('e2e: waiting for the Wine prefix %s, in use by: %s\n' % (prefix, holder or '?'))
        sys.stderr.flush()
        started = time.monotonic()
        try:
            fcntl.flock(fd, fcntl.LOCK_EX)
        except BaseException:
            os.close(fd)
            raise
        sys.stderr.write('e2e: got the Wine prefix after %.0f s\n' % (time.monotonic() - started))
    os.ftruncate(fd, 0)
    os.pwrite(fd, ('pid %d: %s\n' % (os.getpid(), ' '.join(sys.argv))).encode(), 0)
    _locks[prefix] = [fd, 1]


def release_prefix(prefix):
    if prefix in _locks:
        _locks[prefix][1] -= 1
        if _locks[prefix][1] <= 0:
            _unlock(prefix)


def _unlock(prefix):
    fd = _locks.pop(prefix)[0]
    fcntl.flock(fd, fcntl.LOCK_UN)
    os.close(fd)


def holds_prefix(prefix):
    return prefix in _locks


# ---- prerequisites ----

class MissingPrerequisite(Exception):
    """The machine cannot run the end-to-end tests."""


def tools_built():
    """The names of the harness's programs that are missing from the build."""
    return [p for p in (DRIVER_EXE, TRAYHOST_EXE, ADAPTERS_EXE, FAKE_IPHLPAPI_DLL, MARKER_DLL, MINIMAL_EXE,
                        WINDOWS_DELIVERY_EXE)
            if not os.path.exists(p)]


def _korean_locale():
    try:
        out = subprocess.run(['locale', '-a'], stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, timeout=30).stdout
    except OSError:
        return False
    return any(re.match(r'^ko_KR\.utf-?8$', line, re.I) for line in out.decode(errors='replace').split())


def missing_prerequisites(*programs):
    """Everything this machine lacks for the end-to-end tests, as texts."""
    missing = []
    if os.geteuid() != 0:
        missing.append('root: ip netns and /dev/net/tun need it (running as uid %d)' % os.geteuid())
    for command, package in (('ip', 'iproute2'), ('Xvfb', 'xvfb')):
        if not shutil.which(command):
            missing.append('%s on PATH (Debian package %s)' % (command, package))
    for path, package in ((WINE, 'wine32:i386'), (WINESERVER, 'wine64')):
        if not os.access(path, os.X_OK):
            missing.append('%s (Debian package %s)' % (path, package))
    if not os.path.exists('/dev/net/tun'):
        missing.append('/dev/net/tun (TUN/TAP support in the kernel)')
    if not _korean_locale():
        missing.append('the locale ko_KR.UTF-8 (without it Wine uses code page 1252)')
    built = tools_built() + [p for p in programs if not os.path.exists(p)]
    missing += ['%s (not built; LUMARO_BUILD=%s)' % (p, BUILD) for p in built]
    return missing


def can_run():
    """Why this machine cannot run the end-to-end tests, or '' when it can."""
    return '; '.join(missing_prerequisites())


def monitor_cannot_run():
    """Why the monitor's end-to-end tests cannot run here, or ''."""
    return '; '.join(missing_prerequisites(LUMARO_EXE))


def require(*programs):
    """Fails unless this machine has what the tests need, the given built
    programs included; with LUMARO_E2E_ALLOW_SKIP=1 it skips instead."""
    missing = missing_prerequisites(*programs)
    if not missing:
        return
    text = 'the end-to-end tests cannot run here; missing:\n  - ' + '\n  - '.join(missing)
    sys.stderr.write('\ne2e: %s\n' % text)
    if ALLOW_SKIP:
        skipped.append(text)
        raise unittest.SkipTest(text)
    raise MissingPrerequisite(text + '\nscripts/setup installs the packages and scripts/build the programs; '
                              'LUMARO_E2E_ALLOW_SKIP=1 skips instead of failing.')


if __name__ == '__main__' and sys.argv[1:2] == ['--guard']:
    _guard_main(int(sys.argv[2]))
