#!/usr/bin/env python3
"""Stand-in for the administration server that Lumaro's session talks to.

It speaks the console as the real one does: telnet option negotiation,
"Username:" and "Password:" prompts, "Welcome!", then the commands
"show summary", "link N", "show auth" and "exit". Like the real console it
echoes what is typed (one write per byte, the line ended with CR LF), writes
each output line with a write of its own, and ends the output of every command
with its prompt: "[", the link selected (nothing when none), "] ", no line end.
Every byte a client sends is appended to the --record file as it arrives, and
every step is logged to stderr, so a test can check both what Lumaro sent and
when.

Python 3 standard library only. Scenario switches bend the conversation into
the failures Lumaro has to live with (see --help).
"""
import argparse
import itertools
import os
import socket
import sys
import threading
import time

IAC, DONT, DO, WONT, WILL, SB, GA, NOP, SE = 255, 254, 253, 252, 251, 250, 249, 241, 240
ECHO, SUPPRESS_GO_AHEAD, TIMING_MARK, TERMINAL_TYPE = 1, 3, 6, 24

ADMIN_ID = b"admin"
ADMIN_PW = b"qalvexor"
LOGIN_ATTEMPTS = 3
# A pause before the login prompts makes each likely to arrive in a receive
# of its own; the console's command prompt follows the output at once.
PROMPT_PAUSE = 0.3

CLOSE_STAGES = ("before-username", "after-username", "after-welcome", "mid-summary", "mid-auth")
HUGE_LINE_PLACES = ("login", "summary")
# Printable filler for --huge-line: no line end, no tab, no prompt word.
HUGE_LINE_PATTERN = b"ABCDEFGHIJKLMNOPQRSTUVWXYZ abcdefghijklmnopqrstuvwxyz 0123456789 "
# A timing mark unanswered this long is sent again: one cut in two by the
# client's receive buffer is never answered.
TIMING_MARK_RETRY = 1.0

_record_lock = threading.Lock()


def log(conn_id, text):
    stamp = time.strftime("%H:%M:%S")
    who = "server" if conn_id is None else "conn#%d" % conn_id
    sys.stderr.write("[admin_server %s %s] %s\n" % (stamp, who, text))
    sys.stderr.flush()


class ConnectionClosed(Exception):
    """The client went away, or a --close-at stage was reached."""


class Connection:
    """One client: raw recording, telnet-aware line input, paced output."""

    def __init__(self, sock, conn_id, args):
        self.sock = sock
        self.id = conn_id
        self.args = args
        self.lines = []          # complete input lines, telnet commands removed
        self._partial = bytearray()
        self._state = "data"     # where the input parser is within a telnet command
        self._verb = None
        self.answers = []        # (verb, option) of every option command the client sent
        self._chunk_all = args.chunked == "all"
        self.logged_in = False
        self.chosen_link = b""
        sock.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)

    # ---- input ----

    def _record(self, data):
        if not self.args.record:
            return
        with _record_lock:
            with open(self.args.record, "ab") as f:
                f.write(data)
                f.flush()

    def _feed(self, data):
        """Keeps the data bytes; drops telnet answers whatever they are."""
        for b in data:
            st = self._state
            if st == "data":
                if b == IAC:
                    self._state = "iac"
                elif b == 10:
                    line = bytes(self._partial).rstrip(b"\r")
                    self._partial.clear()
                    self.lines.append(line)
                else:
                    self._partial.append(b)
            elif st == "iac":
                if b == IAC:
                    self._partial.append(IAC)
                    self._state = "data"
                elif b in (WILL, WONT, DO, DONT):
                    self._verb = b
                    self._state = "option"
                elif b == SB:
                    self._state = "sb"
                else:
                    self._state = "data"
            elif st == "option":
                self.answers.append((self._verb, b))
                self._state = "data"
            elif st == "sb":
                if b == IAC:
                    self._state = "sb-iac"
            elif st == "sb-iac":
                self._state = "data" if b == SE else "sb"

    def receive_some(self):
        data = self.sock.recv(4096)
        if not data:
            raise ConnectionClosed("client closed the connection")
        self._record(data)
        log(self.id, "received %d bytes: %r" % (len(data), data))
        self._feed(data)

    def read_line(self):
        while not self.lines:
            self.receive_some()
        return self.lines.pop(0)

    def wait_caught_up(self):
        """Returns once the client has read everything sent so far: telnet's
        timing mark (IAC DO TIMING-MARK) is answered only after the data in
        front of it. Bulky output outruns a client that logs every frame, and
        a prompt queued behind it would share a frame with its tail."""
        def answered():
            return any(option == TIMING_MARK for _, option in self.answers[seen:])
        seen = len(self.answers)
        marks = 0
        while not answered():
            self.send(bytes([IAC, DO, TIMING_MARK]), paced=False)
            marks += 1
            self.sock.settimeout(TIMING_MARK_RETRY)
            deadline = time.monotonic() + TIMING_MARK_RETRY
            try:
                while not answered() and time.monotonic() < deadline:
                    self.receive_some()
            except socket.timeout:
                pass
            finally:
                self.sock.settimeout(None)
        log(self.id, "client caught up (%d timing mark%s)" % (marks, "" if marks == 1 else "s"))

    # ---- output ----

    def send(self, data, paced=None):
        """Sends data; one byte per send when --chunked covers this phase."""
        if paced is None:
            paced = self._chunk_all or (self.args.chunked == "answers" and self.logged_in)
        if not paced:
            self.sock.sendall(data)
            return
        for i in range(len(data)):
            self.sock.sendall(data[i:i + 1])
            time.sleep(self.args.chunk_delay)

    def send_lines(self, data, pause=0.0):
        """Sends output as the console writes it, a line per write, with
        --line-pause (or `pause`) before each line."""
        pause = max(pause, self.args.line_pause)
        lines = data.split(b"\r\n")
        for i, line in enumerate(lines):
            piece = line + (b"\r\n" if i + 1 < len(lines) else b"")
            if piece:
                if pause > 0:
                    time.sleep(pause)
                self.send(piece)

    def echo(self, line):
        """What was typed comes back a byte per write, then CR LF."""
        for b in line:
            self.send(bytes([b]))
        self.send(b"\r\n")

    def prompt(self):
        self.send(b"[" + self.chosen_link + b"] ")

    def pause(self, seconds, why):
        if seconds > 0:
            log(self.id, "pausing %.1f s %s" % (seconds, why))
            time.sleep(seconds)

    def close_if_stage(self, stage):
        if self.args.close_at == stage:
            log(self.id, "closing at stage %s" % stage)
            raise ConnectionClosed("--close-at " + stage)

    def finish(self):
        """Ends in order: FIN first, then whatever the client still sends is recorded."""
        try:
            self.sock.shutdown(socket.SHUT_WR)
            self.sock.settimeout(2.0)
            while True:
                data = self.sock.recv(4096)
                if not data:
                    break
                self._record(data)
                log(self.id, "received after close %d bytes: %r" % (len(data), data))
        except OSError:
            pass
        finally:
            self.sock.close()


# ---- the phases of a conversation ----

def negotiate(conn):
    out = bytes([IAC, WILL, ECHO, IAC, WILL, SUPPRESS_GO_AHEAD, IAC, DO, SUPPRESS_GO_AHEAD])
    if conn.args.garbage:
        # Commands outside WILL/WONT/DO/DONT: a no-op, a terminal-type question
        # (no answer expected) and an echo question (answered with "0").
        out += bytes([IAC, NOP, IAC, SB, TERMINAL_TYPE, 1, IAC, SE, IAC, SB, ECHO, ord("1"), IAC, SE])
    if conn.args.sb_without_se:
        # A terminal-type question whose IAC SE never comes.
        out += bytes([IAC, SB, TERMINAL_TYPE, 1])
    conn.send(out)
    extras = [text for on, text in ((conn.args.garbage, "garbage"),
                                    (conn.args.sb_without_se, "IAC SB without IAC SE")) if on]
    log(conn.id, "sent option negotiation%s" % (" with " + " and ".join(extras) if extras else ""))
    if conn.args.flood_options:
        flood_options(conn, conn.args.flood_options)
    if conn.args.huge_line == "login":
        send_huge_line(conn, "before the login")


def flood_options(conn, count):
    """count option commands in one send, every verb and many options in turn.
    Options 10 and 13 are left out: they are the bytes LF and CR, which the
    client's line-end handling changes before it looks for commands."""
    verbs = (WILL, WONT, DO, DONT)
    options = [o for o in range(40) if o not in (10, 13, TIMING_MARK)]
    out = bytearray()
    for i in range(count):
        out += bytes([IAC, verbs[i % 4], options[i % len(options)]])
    conn.send(bytes(out))
    log(conn.id, "sent %d option commands (%d bytes)" % (count, len(out)))
    conn.wait_caught_up()


def huge_line(megabytes):
    size = int(megabytes * 1024 * 1024)
    repeats = size // len(HUGE_LINE_PATTERN) + 1
    return (HUGE_LINE_PATTERN * repeats)[:size]


def send_huge_line(conn, where):
    data = huge_line(conn.args.huge_mb)
    conn.send(data)
    log(conn.id, "sent a line of %d bytes without a line end %s" % (len(data), where))
    if not conn.logged_in:
        conn.wait_caught_up()


def ask(conn, prompt):
    time.sleep(conn.args.prompt_pause)
    if conn.args.garbage:
        prompt += bytes([IAC, GA])
    conn.send(prompt)
    log(conn.id, "sent prompt %r" % prompt)


def login(conn):
    """Returns True once the client is in; False when it used up its attempts."""
    for attempt in range(1, LOGIN_ATTEMPTS + 1):
        conn.close_if_stage("before-username")
        ask(conn, b"Username: ")
        user = conn.read_line()
        conn.echo(user)
        log(conn.id, "username %r" % user)
        conn.close_if_stage("after-username")
        doubled = conn.args.garbage or conn.args.double_iac
        ask(conn, b"\r\nPassword: " if not doubled else b"\xff\xff\r\nPassword: ")
        password = conn.read_line()
        log(conn.id, "password %r" % password)
        if not conn.args.refuse_login and user == ADMIN_ID and password == ADMIN_PW:
            conn.send(b"\r\nWelcome!\r\n")
            log(conn.id, "login accepted, sent Welcome!")
            conn.logged_in = True
            conn.close_if_stage("after-welcome")
            conn.prompt()
            return True
        conn.send(b"\r\n% Authentication failed\r\n")
        log(conn.id, "login refused (attempt %d of %d)" % (attempt, LOGIN_ATTEMPTS))
    return False


# The console's "show summary": a title, a header naming the columns, one
# row per link. A row in use: interface, bundle, "Up", link, LCP state,
# device type, device state, the user right-aligned in 8 characters (printf
# "%8s": short names come with blanks in front), the peer's address. An idle
# link has empty interface and bundle columns and a user column of blanks.
SUMMARY_TITLE = b"Link summary\r\n"
SUMMARY_HEADER = b"Iface\tBund\t\tLink\tLCP\tDevice\t\tUser\tFrom\r\n"


def link_row(number, user, peer):
    return ("ng%d" % number, "B%d" % number, "Up", str(number), "OPENED", "pptp", "READY", user, peer)


def idle_row(number):
    return ("", "", "", str(number), "INITIAL", "pptp", "IDLE", "", "")


def summary_rows(args):
    if args.summary_lines:
        return long_summary_rows(args)
    rows = [link_row(3, "user02", "198.51.100.6"), link_row(5, "guest", "198.51.100.9")]
    if not args.missing_user:
        rows.insert(1, link_row(args.link, args.user, "198.51.100.5"))
        if args.stale_link is not None:
            # A link of the user's from before a reconnect, still up, listed first.
            rows.insert(1, link_row(args.stale_link, args.user, "198.51.100.4"))
    for other in args.other_user:
        name, _, link = other.partition(":")
        rows.insert(2, link_row(int(link or 9), name, "198.51.100.8"))
    rows.append(idle_row(13))
    rows.append(link_row(11, "user03", "198.51.100.12"))
    return rows


def long_summary_rows(args):
    """args.summary_lines rows, the user's one last (left out with --missing-user);
    with --all-rows-user every row is the user's, on links of its own."""
    count = args.summary_lines
    rows = [link_row(i % 64 + 100, args.user if args.all_rows_user else "member%05d" % (i + 1),
                     "10.1.%d.%d" % (i // 250, i % 250 + 1))
            for i in range(count - 1)]
    if not args.missing_user:
        rows.append(link_row(args.link, args.user, "198.51.100.5"))
    return rows


def summary_line(row):
    user = row[7].encode("cp949")
    fields = [f.encode("cp949") for f in row[:7]] + [b"%8s" % user, row[8].encode("cp949")]
    return b"\t".join(fields)


def answer_summary(conn):
    args = conn.args
    head = SUMMARY_TITLE + SUMMARY_HEADER
    if args.garbage:
        head = bytes([IAC, NOP]) + head + bytes([IAC, SB, TERMINAL_TYPE, 1, IAC, SE])
    lines = []
    for row in summary_rows(args):
        line = summary_line(row)
        if (args.garbage and row[7] == "guest") or (args.double_iac and row[7] in ("guest", args.user)):
            line += b" \xff\xff"   # doubled IAC: one data byte 255
        lines.append(line + b"\r\n")

    conn.send_lines(head)
    if args.endless_answer:
        log(conn.id, "streaming summary rows without end")
        for i in itertools.count():
            conn.send(summary_line(link_row(i % 64 + 100, "member%05d" % (i % 100000), "10.1.0.1")) + b"\r\n")
    if args.huge_line == "summary":
        # The rows go on where it stops, so the first row shares its line.
        send_huge_line(conn, "in the summary")
    conn.pause(args.slow, "after the summary header")
    # The middle of the answer comes right before the user's row: a close or
    # a pause there leaves the answer without it.
    rows = summary_rows(args)
    users = [i for i, row in enumerate(rows) if row[7] == args.user and not args.missing_user]
    half = users[-1] if users else len(lines) // 2
    conn.send_lines(b"".join(lines[:half]), args.row_pause)
    conn.close_if_stage("mid-summary")
    conn.pause(args.slow, "in the middle of the summary")
    conn.send_lines(b"".join(lines[half:]), args.row_pause)
    if args.garbage:
        # A NUL ends the frame's text on the client: sent on its own, after the rows.
        time.sleep(0.2)
        conn.send(b"\x00 text after a NUL\r\n")
    log(conn.id, "answered show summary (%d rows, user %s)"
        % (len(lines), "missing" if args.missing_user else "%s link %d" % (args.user, args.link)))


def answer_link(conn, argument):
    links = [row[3].encode("cp949") for row in summary_rows(conn.args)]
    if argument not in links:
        conn.send(b'Link "' + argument + b'" is not defined\r\n')
        log(conn.id, "no link %r" % argument)
        return
    conn.chosen_link = argument
    log(conn.id, "selected link %r" % argument)


def answer_auth(conn):
    args = conn.args
    first = (b"  Auth information of link " + conn.chosen_link + b"\r\n"
             b"  User-Name : " + args.user.encode("cp949") + b"\r\n"
             b"  Framed-IP-Address : 10.0.0.5" + (b" \xff\xff" if args.double_iac else b"") + b"\r\n")
    if args.no_value:
        timeout_line = b"  Session-Timeout\r\n"
    else:
        timeout_line = b"  Session-Timeout : %d\r\n" % args.session_time
    if args.garbage:
        # A no-op inside the very name the client looks for.
        timeout_line = timeout_line.replace(b"Session-", b"Session-" + bytes([IAC, NOP]))
    rest = timeout_line + b"  Idle-Timeout : 1800\r\n  Acct-Interim-Interval : 600\r\n"

    conn.send_lines(first)
    conn.close_if_stage("mid-auth")
    conn.pause(args.slow, "in the middle of the auth answer")
    conn.send_lines(rest)
    log(conn.id, "answered show auth (%s)"
        % ("no value" if args.no_value else "Session-Timeout %d" % args.session_time))


def command_loop(conn):
    """Answers commands until "exit"."""
    while True:
        typed = conn.read_line()
        conn.echo(typed)
        line = typed.strip()
        log(conn.id, "command %r" % line)
        if line == b"exit":
            conn.send(b"Bye.\r\n")
            if conn.args.hold_after_exit:
                log(conn.id, "exit: holding the connection open, silent")
                serve_silent(conn)
            log(conn.id, "exit: closing")
            return
        if line == b"show summary":
            answer_summary(conn)
        elif line.startswith(b"link ") or line == b"link":
            answer_link(conn, line[5:].strip())
        elif line == b"show auth":
            answer_auth(conn)
        elif line:
            conn.send(b"% Unknown command: " + line + b"\r\n")
        conn.prompt()


def serve_never_reading(conn):
    """A console that has stopped reading and keeps prompting, as fast as
    the client takes the prompts, until it goes away: a client that answers
    each one fills the buffers between them."""
    log(conn.id, "never reading: prompting without end")
    for i in itertools.count(1):
        conn.send(b"\r\nPassword: ")
        if i % 1000 == 0:
            log(conn.id, "%d prompts sent" % i)
        time.sleep(0.002)


def serve_silent(conn):
    log(conn.id, "silent: sending nothing")
    while True:
        conn.receive_some()


def serve(sock, conn_id, args, peer):
    log(conn_id, "connection from %s:%d" % peer)
    conn = Connection(sock, conn_id, args)
    try:
        if args.silent:
            serve_silent(conn)
        negotiate(conn)
        if args.never_read:
            serve_never_reading(conn)
        if login(conn):
            command_loop(conn)
        else:
            log(conn_id, "too many failed logins: closing")
    except ConnectionClosed as e:
        log(conn_id, str(e))
    except OSError as e:
        log(conn_id, "socket error: %s" % e)
    finally:
        conn.finish()
        log(conn_id, "connection ended")


def parse_args(argv):
    p = argparse.ArgumentParser(description=__doc__.split("\n\n")[0],
                                formatter_class=argparse.RawDescriptionHelpFormatter)
    p.add_argument("--host", default="127.0.0.1", help="address to listen on (default 127.0.0.1)")
    p.add_argument("--port", type=int, default=5005, help="TCP port (default 5005; 0 picks a free one)")
    p.add_argument("--record", metavar="PATH", help="append every byte received from clients to PATH")
    p.add_argument("--session-time", type=int, default=3600, metavar="N",
                   help="seconds given in the Session-Timeout line (default 3600)")
    p.add_argument("--user", default="user01", help="user name of the summary line (default user01)")
    p.add_argument("--link", type=int, default=7, metavar="N", help="link number of the user's line (default 7)")
    p.add_argument("--missing-user", action="store_true", help="leave the user's line out of the summary")
    p.add_argument("--stale-link", type=int, metavar="N",
                   help="list the user twice: first on link N (left over from before a reconnect), then on --link")
    p.add_argument("--row-pause", type=float, default=0.0, metavar="SECONDS",
                   help="pause this long before each row of the summary")
    p.add_argument("--other-user", action="append", default=[], metavar="NAME:LINK",
                   help="another user's row, listed right after the user's own (repeatable)")
    p.add_argument("--hold-after-exit", action="store_true",
                   help="answer \"exit\" and keep the connection open without sending anything more")
    p.add_argument("--refuse-login", action="store_true", help="refuse every login (3 attempts, then close)")
    p.add_argument("--no-value", action="store_true", help="a Session-Timeout line without a value")
    p.add_argument("--chunked", nargs="?", const="answers", choices=("answers", "all"),
                   help="one byte per send: for the answers after the login (default), or 'all' output "
                        "(the prompts then arrive cut into one-byte receives)")
    p.add_argument("--prompt-pause", type=float, default=PROMPT_PAUSE, metavar="SECONDS",
                   help="pause before the login prompts (default %s; 0 for a server without delays)" % PROMPT_PAUSE)
    p.add_argument("--chunk-delay", type=float, default=0.005, metavar="SECONDS",
                   help="pause between the bytes of --chunked (default 0.005)")
    p.add_argument("--slow", type=float, default=0.0, metavar="SECONDS",
                   help="pause this long inside the summary and auth answers (below 2 s the client "
                        "must wait it out; above 2 s it takes the answer as complete too early)")
    p.add_argument("--line-pause", type=float, default=0.0, metavar="SECONDS",
                   help="pause this long before each line of the summary and auth answers")
    p.add_argument("--silent", action="store_true", help="accept connections and never send anything")
    p.add_argument("--never-read", action="store_true",
                   help="after the negotiation, read nothing more and prompt for the password without end, "
                        "with a small receive buffer")
    p.add_argument("--close-at", choices=CLOSE_STAGES, help="close the connection at this stage")
    p.add_argument("--garbage", action="store_true",
                   help="telnet commands outside WILL/WONT/DO/DONT, NUL bytes and doubled IACs in the output "
                        "(with --chunked the commands arrive split as well)")
    p.add_argument("--double-iac", action="store_true",
                   help="doubled IACs (one data byte 255 each) in the password prompt, in the guest's and the "
                        "user's summary rows and in the auth answer")
    p.add_argument("--flood-options", type=int, default=0, metavar="N",
                   help="N option commands (WILL/WONT/DO/DONT in turn) in one send after the negotiation; "
                        "the first prompt waits until the client has answered them all")
    p.add_argument("--sb-without-se", action="store_true",
                   help="end the negotiation with IAC SB TERMINAL-TYPE SEND and no IAC SE")
    p.add_argument("--huge-line", choices=HUGE_LINE_PLACES,
                   help="a line of --huge-mb megabytes without a line end: 'login' before the first prompt "
                        "(which waits until the client has read it), 'summary' after the summary header "
                        "(the rows follow on the same line)")
    p.add_argument("--huge-mb", type=float, default=1.0, metavar="MB",
                   help="size of the --huge-line line in megabytes (default 1)")
    p.add_argument("--endless-answer", action="store_true",
                   help="answer \"show summary\" with rows that never end and never pause")
    p.add_argument("--summary-lines", type=int, default=0, metavar="N",
                   help="a summary of N rows, the user's row last (other users are memberNNNNN)")
    p.add_argument("--all-rows-user", action="store_true",
                   help="with --summary-lines: every row is the user's (its real link last)")
    p.add_argument("--once", action="store_true", help="serve one connection, then exit")
    p.add_argument("--max-seconds", type=float, default=0, metavar="N", help="exit by itself after N seconds")
    return p.parse_args(argv)


def start_watchdog(seconds):
    def expire():
        log(None, "--max-seconds %g reached: exiting" % seconds)
        os._exit(0)
    timer = threading.Timer(seconds, expire)
    timer.daemon = True
    timer.start()


def main(argv):
    args = parse_args(argv)
    if args.max_seconds > 0:
        start_watchdog(args.max_seconds)
    listener = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    if args.never_read:
        # Taken by every accepted socket: what the client sends soon finds no room.
        listener.setsockopt(socket.SOL_SOCKET, socket.SO_RCVBUF, 4096)
    listener.bind((args.host, args.port))
    listener.listen(8)
    host, port = listener.getsockname()
    log(None, "listening on %s:%d" % (host, port))
    conn_id = 0
    try:
        while True:
            sock, peer = listener.accept()
            conn_id += 1
            if args.once:
                serve(sock, conn_id, args, peer)
                break
            threading.Thread(target=serve, args=(sock, conn_id, args, peer), daemon=True).start()
    except KeyboardInterrupt:
        pass
    finally:
        listener.close()
    log(None, "stopped")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
