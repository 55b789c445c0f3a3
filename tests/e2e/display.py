"""The virtual X display (Xvfb) on which the Wine windows live, bare or
covered by Wine's own desktop."""
import os
import subprocess
import time

import runs
from basics import dies_with_harness, end_process, pid_alive, run_quiet
from observe import wait_for


class Display:
    """A virtual X display (Xvfb) for the Wine windows. Reached from inside the
    network namespaces through its socket file in /tmp/.X11-unix. The first
    free number from `first` on is taken; runs side by side get a display
    each, and the display dies with the harness's process.

    With desktop=True (settable until a Session starts on the display) the
    Wine of a Session runs every program on Wine's virtual desktop, which
    fills the screen and draws window frames and a taskbar with the
    notification area, as Windows would. Without it the screen is bare: no
    window manager, so windows have no frames drawn by one."""

    def __init__(self, size='1024x768x24', first=91, desktop=False):
        self.size = size
        self.first = first
        self.desktop = desktop
        self.number = None
        self.proc = None

    @property
    def name(self):
        return ':%d' % self.number

    def start(self, timeout=10):
        runs.begin()
        for n in range(self.first, self.first + 100):
            holder = runs.x_lock_pid(n)
            if holder is not None and pid_alive(holder):
                continue
            if holder is None and os.path.exists('/tmp/.X11-unix/X%d' % n):
                continue
            proc = subprocess.Popen(['Xvfb', ':%d' % n, '-screen', '0', self.size, '-nolisten', 'tcp', '-ac'],
                                    stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                                    preexec_fn=dies_with_harness())
            # Another run may have started a server on the same number a moment
            # earlier: the number is ours once the lock file names our server.
            if wait_for(lambda: (runs.x_lock_pid(n) == proc.pid and os.path.exists('/tmp/.X11-unix/X%d' % n))
                        or proc.poll() is not None, timeout, 0.05) and proc.poll() is None:
                self.number, self.proc = n, proc
                runs.on_exit(self.stop)
                return self
            end_process(proc, 2)
        raise RuntimeError('no free X display found for Xvfb')

    @property
    def resolution(self):
        """'WIDTHxHEIGHT' of the screen."""
        return 'x'.join(self.size.split('x')[:2])

    def screenshot(self, path, rect=None):
        """Saves the whole screen, or the part rect = (left, top, right,
        bottom), as an image (format from the file name)."""
        crop = []
        if rect:
            left, top, right, bottom = (max(v, 0) for v in rect)
            crop = ['-crop', '%dx%d+%d+%d' % (right - left, bottom - top, left, top), '+repage']
        return run_quiet(['import', '-window', 'root'] + crop + [path], env=dict(os.environ, DISPLAY=self.name)) == 0

    def grab(self, rect):
        """The pixels of the part rect = (left, top, right, bottom) of the screen."""
        left, top, right, bottom = rect
        crop = '%dx%d+%d+%d' % (right - left, bottom - top, left, top)
        return Picture(right - left, subprocess.run(
            ['import', '-window', 'root', '-crop', crop, '+repage', '-depth', '8', 'rgb:-'], stdout=subprocess.PIPE,
            stderr=subprocess.DEVNULL, env=dict(os.environ, DISPLAY=self.name), timeout=30).stdout)

    def settled(self, rect, timeout=10):
        """The part's pixels once the window has painted: two grabs a moment
        apart that agree and are not one plain colour (nothing tells from
        outside when painting is done)."""
        deadline = time.monotonic() + timeout
        last = self.grab(rect)
        while time.monotonic() < deadline:
            time.sleep(0.1)
            now = self.grab(rect)
            if now.rgb == last.rgb and len(set(now.rgb[i:i + 3] for i in range(0, len(now.rgb), 3))) > 2:
                return now
            last = now
        return last

    def move_pointer(self, x, y):
        """Moves the mouse pointer as the user would: the program sees it
        enter and leave its windows and tooltips come up."""
        return run_quiet(['xdotool', 'mousemove', str(x), str(y)], env=dict(os.environ, DISPLAY=self.name)) == 0

    def stop(self):
        runs.forget(self.stop)
        if self.proc:
            end_process(self.proc)
            self.proc = None

    def __enter__(self):
        return self.start()

    def __exit__(self, *exc):
        self.stop()


class Picture:
    """Pixels of the screen: at(x, y) is (r, g, b), from the top left."""

    def __init__(self, width, rgb):
        self.width, self.height, self.rgb = width, len(rgb) // (3 * width), rgb

    def at(self, x, y):
        i = 3 * (y * self.width + x)
        return tuple(self.rgb[i:i + 3])
