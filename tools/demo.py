#!/usr/bin/env python3
"""Lumaro's main job, shown end to end under Wine.

A network namespace gets a PPP adapter whose DNS server is 127.0.0.1; the
stand-in administration server listens there on port 5005; `lumaro.exe user01
VPN` runs on a virtual display beside a test tray. The script prints the
conversation from admin.log, the clock read from the main window and the tray
tooltip, saves screenshots, then ends the monitor with "kill" and shows its
closing summary.
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


def main():
    # The prefix first: a run beside this one (tests, bench, another demo)
    # waits until this one is done, and so does this one for it.
    harness.runs.require(harness.LUMARO_EXE)
    harness.runs.hold_prefix(harness.PREFIX)
    out = os.path.abspath(os.environ.get('LUMARO_DEMO_OUT', os.path.join(HERE, '..', 'out', 'demo')))
    shutil.rmtree(out, ignore_errors=True)
    os.makedirs(out)
    session_time = os.environ.get('LUMARO_DEMO_SESSION_TIME', '7200')

    display = harness.Display()
    display.start()
    try:
        with harness.Session(display, ppp=True, dns='127.0.0.1') as s:
            tray = s.start_trayhost()
            home = s.home()
            server = s.netns.popen(['python3', os.path.join(HERE, 'admin_server.py'), '--session-time', session_time,
                                    '--user', 'user01', '--link', '7', '--record', os.path.join(out, 'server-received.bin'),
                                    '--max-seconds', '120'])
            time.sleep(0.5)
            print('== lumaro.exe user01 VPN (home %s)' % home)
            monitor = s.wine.start_lumaro('user01', 'VPN', cwd=home)
            log_path = os.path.join(home, 'admin.log')
            if not harness.wait_for(lambda: 'rTime[' in harness.read_log(log_path), 40):
                print('!! the session time did not arrive; admin.log follows')
            # The reminder of the time granted closes itself after 9 seconds.
            harness.wait_for(lambda: s.wine.find('사용시간 및 잔여시간을 확인 바랍니다'), 5)
            s.screenshot(os.path.join(out, 'reminder.png'))
            harness.wait_for(lambda: not s.wine.find('사용시간 및 잔여시간을 확인 바랍니다'), 15)

            print('== admin.log')
            print(harness.read_log(log_path))
            s.wine.command('Lumaro', harness.ID_SHOW_CLOCK)
            harness.wait_for(lambda: s.wine.visible('Lumaro'), 5)
            print('== clock window')
            show_clock(s.wine)
            time.sleep(3)
            print('== clock window, 3 s later')
            show_clock(s.wine)
            print('== tray tooltip: %s' % tray.last_tip())
            s.screenshot(os.path.join(out, 'clock.png'))

            print('== lumaro.exe kill')
            rc, _ = s.wine.run_lumaro('kill', cwd=home)
            print('   kill exit code %d' % rc)
            if harness.wait_for(lambda: s.wine.find('사용시간 및 잔여시간을 확인 바랍니다'), 10):
                print('   closing summary: %s' % ' / '.join(
                    t for t in s.wine.text('사용시간 및 잔여시간을 확인 바랍니다', 1000, 1001).values()))
                s.screenshot(os.path.join(out, 'summary.png'))
            rc = monitor.wait(30)
            print('   monitor exit code %d' % rc)
            shutil.copy(log_path, os.path.join(out, 'admin.log'))
            server.terminate()
    finally:
        display.stop()
    print('== screenshots and admin.log are in %s' % out)


if __name__ == '__main__':
    main()
