"""The stand-in servers in a namespace: tools/admin_server.py (the
administration console) and tools/notice_server.py (the notice)."""
import os
import subprocess
import sys

import runs
from basics import ADMIN_SERVER_PY, NOTICE_SERVER_PY, dies_with_harness, end_process, make_temp_dir, read_bytes, \
    remove_temp_dir
from observe import wait_for


class NoticeServer:
    """tools/notice_server.py inside a namespace (netns None: on the host);
    `args` are its options (e.g. '--mode', 'one-send'). Listens on
    127.0.0.1:80 unless told otherwise; `port` is the port it listens on."""

    def __init__(self, netns, *args, host='127.0.0.1', port=80, record=None):
        self._own_dir = None if record else make_temp_dir('notice')
        self.record = record or os.path.join(self._own_dir, 'request.bin')
        cmd = [sys.executable, NOTICE_SERVER_PY, '--host', host, '--port', str(port), '--record', self.record]
        cmd += [str(a) for a in args]
        if netns is None:
            self.proc = runs.track(subprocess.Popen(cmd, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                                                    stderr=subprocess.DEVNULL, preexec_fn=dies_with_harness()))
        else:
            self.proc = netns.popen(cmd, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
        line = self.proc.stdout.readline().decode(errors='replace')
        if not line.startswith('listening'):
            self.stop()
            raise RuntimeError('notice server did not start: %r' % line)
        self.port = int(line.split()[-1].rsplit(':', 1)[1])

    def request(self):
        """The bytes the server has received so far."""
        return read_bytes(self.record)

    def stop(self):
        end_process(self.proc)
        if self.proc.stdout:
            self.proc.stdout.close()
        if self._own_dir:
            remove_temp_dir(self._own_dir)
            self._own_dir = None


# ---- the admin server ----

class AdminServer:
    """tools/admin_server.py inside a namespace, on 127.0.0.1:5005 unless
    told otherwise; `args` are its scenario options (e.g. '--no-value').
    Every byte it receives goes to `record`, its own log to `log_path`."""

    def __init__(self, netns, *args, host='127.0.0.1', port=5005, record=None):
        self._own_dir = make_temp_dir('admin')
        self.record = record or os.path.join(self._own_dir, 'received.bin')
        self.log_path = os.path.join(self._own_dir, 'server.log')
        cmd = [sys.executable, ADMIN_SERVER_PY, '--host', host, '--port', str(port), '--record', self.record]
        cmd += [str(a) for a in args]
        self._log_file = open(self.log_path, 'wb')
        if netns is None:
            self.proc = runs.track(subprocess.Popen(cmd, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                                    stderr=self._log_file, preexec_fn=dies_with_harness()))
        else:
            self.proc = netns.popen(cmd, stdout=subprocess.DEVNULL, stderr=self._log_file)
        if not wait_for(lambda: 'listening on' in self.log() or self.proc.poll() is not None, 15, 0.05) \
                or self.proc.poll() is not None:
            text = self.log()
            self.stop()
            raise RuntimeError('admin server did not start: %r' % text[-500:])

    def received(self):
        """The bytes the server has received so far, from every client."""
        return read_bytes(self.record)

    def log(self):
        return read_bytes(self.log_path).decode('utf-8', errors='replace')

    def stop(self):
        end_process(self.proc)
        self._log_file.close()
        remove_temp_dir(self._own_dir)
