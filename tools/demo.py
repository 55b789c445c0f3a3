#!/usr/bin/env python3
"""Lumaro's main job, shown end to end under Wine.

A network namespace gets a PPP adapter whose DNS server is 127.0.0.1; the
stand-in administration server listens there on port 5005. A first monitor,
`lumaro.exe parkjihoon VPN`, finds its link; then `lumaro.exe user01 VPN`
retires it and runs on Wine's own desktop (window frames, a taskbar and its
notification area) on a virtual display. The script prints the conversation
from admin.log, the clock read from the main window and the tooltip of the
tray icon under the mouse, saves screenshots, then ends the monitor with
"kill" and shows its closing summary.
"""
import os
import shutil
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, '..', 'tests', 'e2e'))
import harness  # noqa: E402

LABELS = {1002: 1003, 1004: 1005, 1006: 1007, 1008: 1009}


def show_clock(wine):
    texts = wine.text('Lumaro', *range(1002, 1011))
    for caption, value in LABELS.items():
        print('    %-6s %s' % (texts.get(caption, ''), texts.get(value, '')))
    print('    ' + texts.get(1010, ''))


def window(wine, title):
    """The visible top-level window with this caption (a harness Window), or None."""
    return next((w for w in wine.dialogs() if w.title == title), None)


def shoot(display, path, rect=None):
    if display.screenshot(path, rect):
        print('   screenshot %s' % path)
    else:
        print('!! screenshot %s failed' % path)


def hover_tray_icon(s):
    """Puts the mouse on the tray icon until its tooltip is up; returns the
    tooltip's text and the rectangle around the tooltip and the icon."""
    tray = next((w for w in s.wine.dialogs() if w.cls == 'Shell_TrayWnd'), None)
    if not tray:
        return None, None
    _, top, right, bottom = tray.rect
    # the first icon sits at the right end of the taskbar, 20 pixels wide
    s.display.move_pointer(right - 100, top - 100)
    time.sleep(0.2)
    s.display.move_pointer(right - 10, (top + bottom) // 2)

    def tip():
        rc, out = s.wine.driver('tips')
        if rc != 0:
            return None
        hwnd, text = out.splitlines()[0].split('\t', 1)
        shown = next((w for w in s.wine.dialogs() if w.hwnd == int(hwnd, 16)), None)
        return (shown.rect, harness.unescape(text)) if shown else None
    shown = harness.wait_for(tip, 5, 0.1)
    if not shown:
        return None, None
    rect, text = shown
    return text, (min(rect[0] - 8, right - 420), rect[1] - 40, right, bottom)


def main():
    # The prefix first: a run beside this one (tests, bench, another demo)
    # waits until this one is done, and so does this one for it.
    harness.runs.require(harness.LUMARO_EXE)
    harness.runs.hold_prefix(harness.PREFIX)
    out = os.path.abspath(os.environ.get('LUMARO_DEMO_OUT', os.path.join(HERE, '..', 'out', 'demo')))
    shutil.rmtree(out, ignore_errors=True)
    os.makedirs(out)
    session_time = os.environ.get('LUMARO_DEMO_SESSION_TIME', '7200')

    display = harness.Display(desktop=True)
    display.start()
    try:
        with harness.Session(display, ppp=True, dns='127.0.0.1') as s:
            home = s.home()
            server = s.netns.popen(['python3', os.path.join(HERE, 'admin_server.py'), '--session-time', session_time,
                                    '--user', 'user01', '--link', '7', '--other-user', 'parkjihoon:12',
                                    '--record', os.path.join(out, 'server-received.bin'), '--max-seconds', '150'])
            time.sleep(0.5)
            # A name that fills the console's 8-character user column, then
            # one that it pads with blanks; the second monitor retires the first.
            first_home = s.home()
            print('== lumaro.exe parkjihoon VPN (home %s)' % first_home)
            first = s.wine.start_lumaro('parkjihoon', 'VPN', cwd=first_home)
            first_log = os.path.join(first_home, 'admin.log')
            harness.wait_for(lambda: 'rTime[' in harness.read_log(first_log), 40)
            print('\n'.join(line for line in harness.read_log(first_log).splitlines()
                            if 'Link[' in line or 'rTime[' in line or 'ERROR' in line))
            print('== lumaro.exe user01 VPN (home %s), retiring the first monitor' % home)
            monitor = s.wine.start_lumaro('user01', 'VPN', cwd=home)
            log_path = os.path.join(home, 'admin.log')
            if not harness.wait_for(lambda: 'rTime[' in harness.read_log(log_path), 40):
                print('!! the session time did not arrive; admin.log follows')
            # The reminder of the time granted closes itself after 9 seconds.
            reminder = harness.wait_for(lambda: window(s.wine, harness.USAGE_TITLE), 5, 0.1)
            if reminder:
                shoot(display, os.path.join(out, 'reminder.png'), reminder.rect)
                # With its balloon from the icon.
                time.sleep(1)
                shoot(display, os.path.join(out, 'desktop.png'))
            harness.wait_for(lambda: not s.wine.find(harness.USAGE_TITLE), 15)

            print('== admin.log')
            print(harness.read_log(log_path))

            s.wine.command('Lumaro', harness.ID_SHOW_CLOCK)
            harness.wait_for(lambda: s.wine.visible('Lumaro'), 5)
            print('== clock window')
            show_clock(s.wine)
            time.sleep(3)
            print('== clock window, 3 s later')
            show_clock(s.wine)
            main_window = window(s.wine, 'Lumaro')
            if main_window:
                shoot(display, os.path.join(out, 'main-window.png'), main_window.rect)
                # The clock above the icon and the tooltip in one picture: both
                # show the time left (the tooltip follows every 3 seconds).
                width = main_window.rect[2] - main_window.rect[0]
                height = main_window.rect[3] - main_window.rect[1]
                screen_w, screen_h = (int(n) for n in display.size.split('x')[:2])
                s.wine.driver('move', 'Lumaro', screen_w - width - 8, screen_h - height - 70)
                tip, around = hover_tray_icon(s)
                print('== tray tooltip under the mouse: %s' % tip)
                moved = window(s.wine, 'Lumaro')
                if around and moved:
                    shoot(display, os.path.join(out, 'tray-tooltip.png'), around)
                    left, top, right, bottom = around
                    ml, mt, mr, mb = moved.rect
                    shoot(display, os.path.join(out, 'lumaro.png'),
                          (min(left, ml) - 8, min(top, mt) - 8, max(right, mr), max(bottom, mb)))
                display.move_pointer(10, 10)
            # The menu of a right click on the icon.
            if s.wine.tray_event('Lumaro', harness.TRAY_ICON_ID, harness.WM_RBUTTONUP):
                menu = harness.wait_for(lambda: s.wine.driver('menu')[1].split(), 10)
                if menu:
                    shoot(display, os.path.join(out, 'tray-menu.png'), tuple(map(int, menu[1].split(','))))
                s.wine.key('Lumaro', harness.VK_ESCAPE)

            print('== lumaro.exe kill')
            rc, _ = s.wine.run_lumaro('kill', cwd=home)
            print('   kill exit code %d' % rc)
            summary = harness.wait_for(lambda: window(s.wine, harness.USAGE_TITLE), 10, 0.1)
            if summary:
                print('   closing summary: %s' % ' / '.join(
                    t for t in s.wine.text('hwnd=0x%x' % summary.hwnd, 1000, 1001).values()))
                shoot(display, os.path.join(out, 'summary.png'), summary.rect)
            rc = monitor.wait(30)
            print('   monitor exit code %d' % rc)
            print('   the first monitor (parkjihoon) ended with exit code %s' % first.wait(5))
            shutil.copy(log_path, os.path.join(out, 'admin.log'))
            server.terminate()
    finally:
        display.stop()
    print('== screenshots and admin.log are in %s' % out)


if __name__ == '__main__':
    main()
