#!/usr/bin/env python3
"""Stand-in notice server for `lumaro notice ADDRESS`.

Answers any request (Lumaro sends "GET /notice HTTP/1.1") and writes every
byte it receives to --record, so a test can check the request byte for byte.
Lumaro takes the body bytes that follow the head's empty line in the first
block it receives as the notice, or the second block when the first holds the
head alone, so how the answer is cut into sends matters:

  --mode two-sends   head, a pause (--pause, 0.3 s), then the body (the normal case)
  --mode one-send    head and body in one send, as most servers answer a small notice
  --mode silent      read the request, never answer
  --mode close       close each connection as soon as it is accepted

Body (CP949 bytes; default: a few lines of Korean notice text with CR LF):
  --body TEXT        the text, line ends made CR LF
  --body-file PATH   the file's bytes as they are
  --body-size N      exactly N bytes of ASCII filler in CR LF lines
  --big MB           MB megabytes of filler, sent in 64 KiB pieces
  --nul              a NUL byte in the middle of the body (replacing one byte)
  --lf-only          lone LF line ends instead of CR LF

Status line (default "HTTP/1.1 200 OK"); Lumaro shows only the body of a 200:
  --status-line TEXT the answer's first line, as it is (e.g. "HTTP/1.1 404 Not Found")

After answering, the connection stays open until the client closes it or
--hold seconds pass. --once ends the server after its first connection,
--max-seconds after that many seconds. The first line on stdout is
"listening HOST:PORT" once the socket listens (--port 0 picks a free port).
"""
import argparse
import socket
import sys
import threading
import time

DEFAULT_NOTICE = ('[공지사항]\n'
                  '오늘 22시부터 24시까지 VPN 서버 점검이 있습니다.\n'
                  '점검 중에는 접속이 끊어질 수 있습니다.\n'
                  '감사합니다.\n')

PIECE = 64 * 1024


def crlf(text):
    return '\r\n'.join(text.replace('\r\n', '\n').split('\n'))


def filler(size, eol):
    out = bytearray()
    n = 0
    while len(out) < size:
        n += 1
        out += b'line %05d ABCDEFGHIJKLMNOPQRSTUVWXYZ abcdefghijklmnopqrstuvwxyz 0123456789' % n + eol
    return bytes(out[:size])


def build_body(args):
    eol = b'\n' if args.lf_only else b'\r\n'
    if args.body_file:
        with open(args.body_file, 'rb') as f:
            body = f.read()
    elif args.body_size is not None:
        body = filler(args.body_size, eol)
    elif args.big is not None:
        body = filler(int(args.big * 1024 * 1024), eol)
    else:
        body = crlf(args.body if args.body is not None else DEFAULT_NOTICE).encode('cp949')
    if args.lf_only:
        body = body.replace(b'\r\n', b'\n')
    if args.nul and body:
        middle = len(body) // 2
        body = body[:middle] + b'\0' + body[middle + 1:]
    return body


def build_head(body, status_line=b'HTTP/1.1 200 OK'):
    return (status_line + b'\r\n'
            b'Content-Type: text/plain\r\n'
            b'Content-Length: %d\r\n'
            b'\r\n' % len(body))


class Recorder:
    """Appends received bytes to the record file, one writer at a time."""

    def __init__(self, path):
        self.path = path
        self.lock = threading.Lock()
        if path:
            open(path, 'wb').close()

    def write(self, data):
        if not self.path or not data:
            return
        with self.lock, open(self.path, 'ab') as f:
            f.write(data)


def log(text):
    print('notice_server: ' + text, file=sys.stderr, flush=True)


def read_request(conn, recorder, timeout=10.0):
    """Reads until the blank line that ends a request head; records everything."""
    conn.settimeout(timeout)
    seen = b''
    while b'\r\n\r\n' not in seen and b'\n\n' not in seen:
        try:
            data = conn.recv(65536)
        except socket.timeout:
            return False
        if not data:
            return False
        recorder.write(data)
        seen += data
    return True


def hold(conn, recorder, seconds):
    """Keeps the connection open, recording, until the client closes it."""
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        conn.settimeout(max(0.05, min(1.0, deadline - time.monotonic())))
        try:
            data = conn.recv(65536)
        except socket.timeout:
            continue
        except OSError:
            return
        if not data:
            return
        recorder.write(data)


def send_pieces(conn, data):
    for start in range(0, len(data), PIECE):
        conn.sendall(data[start:start + PIECE])


def serve(conn, peer, args, body, recorder):
    try:
        if args.mode == 'close':
            log('%s: closed at once' % (peer,))
            return
        got = read_request(conn, recorder)
        log('%s: request %s' % (peer, 'complete' if got else 'incomplete'))
        if args.mode == 'two-sends':
            conn.sendall(build_head(body, args.status_line))
            time.sleep(args.pause)
            send_pieces(conn, body)
        elif args.mode == 'one-send':
            head = build_head(body, args.status_line)
            if len(body) <= PIECE:
                conn.sendall(head + body)
            else:
                send_pieces(conn, head + body)
        if args.mode != 'silent':
            log('%s: sent %d body bytes' % (peer, len(body)))
        hold(conn, recorder, args.hold)
    except OSError as e:
        log('%s: %s' % (peer, e))
    finally:
        conn.close()


def main():
    p = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    p.add_argument('--host', default='0.0.0.0')
    p.add_argument('--port', type=int, default=80)
    p.add_argument('--record', help='file receiving every byte the server is sent')
    p.add_argument('--mode', choices=['two-sends', 'one-send', 'silent', 'close'], default='two-sends')
    body = p.add_mutually_exclusive_group()
    body.add_argument('--body')
    body.add_argument('--body-file')
    body.add_argument('--body-size', type=int)
    body.add_argument('--big', type=float, metavar='MB')
    p.add_argument('--nul', action='store_true')
    p.add_argument('--lf-only', action='store_true')
    p.add_argument('--status-line', default='HTTP/1.1 200 OK', type=lambda text: text.encode('latin-1'),
                   help='first line of the answer (default HTTP/1.1 200 OK)')
    p.add_argument('--pause', type=float, default=0.3, help='seconds between head and body (two-sends)')
    p.add_argument('--hold', type=float, default=30.0, help='seconds a connection is kept after the answer')
    p.add_argument('--once', action='store_true')
    p.add_argument('--max-seconds', type=float)
    args = p.parse_args()

    payload = build_body(args)
    recorder = Recorder(args.record)
    server = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    server.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    server.bind((args.host, args.port))
    server.listen(8)
    host, port = server.getsockname()[:2]
    print('listening %s:%d' % (host, port), flush=True)

    started = time.monotonic()
    workers = []
    try:
        while True:
            if args.max_seconds is not None and time.monotonic() - started >= args.max_seconds:
                break
            server.settimeout(0.2)
            try:
                conn, peer = server.accept()
            except socket.timeout:
                continue
            log('%s: connected' % (peer,))
            worker = threading.Thread(target=serve, args=(conn, peer, args, payload, recorder), daemon=True)
            worker.start()
            workers.append(worker)
            if args.once:
                worker.join(None if args.max_seconds is None
                            else max(0.0, args.max_seconds - (time.monotonic() - started)))
                break
    except KeyboardInterrupt:
        pass
    finally:
        server.close()
    return 0


if __name__ == '__main__':
    sys.exit(main())
