#!/usr/bin/env python3
"""Writes the seed corpus of the fuzz targets into fuzz/corpus/<target>/.

The login frames and the summary and auth answers come from a real
conversation with tools/admin_server.py (plain and with --garbage), received
the way Lumaro receives them (1024 bytes at a time); the rest are hand-made
edge cases. Python 3 standard library only; the server listens on 127.0.0.1.
Run again after changing the stand-in server; files are rewritten in place.
"""
import os
import re
import socket
import subprocess
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
TOP = os.path.dirname(HERE)
CORPUS = os.path.join(HERE, "corpus")
IAC, DONT, DO, WONT, WILL, SB, GA, NOP, SE = 255, 254, 253, 252, 251, 250, 249, 241, 240


def write(target, name, data):
    folder = os.path.join(CORPUS, target)
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, name), "wb") as f:
        f.write(data)


def start_server(extra):
    proc = subprocess.Popen([sys.executable, os.path.join(TOP, "tools", "admin_server.py"), "--port", "0",
                             "--once", "--max-seconds", "60"] + extra,
                            stderr=subprocess.PIPE, stdout=subprocess.DEVNULL)
    line = proc.stderr.readline().decode()
    port = int(re.search(r"listening on [\d.]+:(\d+)", line).group(1))
    return proc, port


def receive_until_quiet(sock, quiet):
    """Receives 1024 bytes at a time until nothing comes for `quiet` seconds."""
    chunks = []
    sock.settimeout(quiet)
    while True:
        try:
            data = sock.recv(1024)
        except socket.timeout:
            return chunks
        if not data:
            return chunks
        chunks.append(data)


def capture_text(chunks):
    """What the capture file gets of these frames: CR as CR LF, no LF, no
    telnet commands, each frame's text up to its first NUL."""
    out = bytearray()
    for chunk in chunks:
        raw = bytearray()
        for b in chunk:
            if b == 10:
                continue
            raw.append(b)
            if b == 13:
                raw.append(10)
        text = bytearray()
        i = 0
        while i < len(raw):
            b = raw[i]
            if b == 0:
                break
            if b != IAC:
                text.append(b)
                i += 1
            elif i + 1 < len(raw) and raw[i + 1] == IAC:
                text.append(IAC)
                i += 2
            elif i + 1 < len(raw) and raw[i + 1] == SB:
                end = raw.find(bytes([IAC, SE]), i + 2)
                i = len(raw) if end < 0 else end + 2
            elif i + 1 < len(raw) and raw[i + 1] in (WILL, WONT, DO, DONT):
                text.clear()
                i += 3
            else:
                i += 2
        out += text
    return bytes(out)


def converse(tag, extra):
    proc, port = start_server(extra)
    try:
        sock = socket.create_connection(("127.0.0.1", port), timeout=5)
        login = []
        for _ in range(20):
            chunks = receive_until_quiet(sock, 1.0)
            if not chunks:
                break
            login += chunks
            seen = b"".join(chunks)
            if b"Welcome!" in seen:
                break
            if b"Password:" in seen:
                sock.sendall(b"qalvexor\n")
            elif b"Username:" in seen:
                sock.sendall(b"admin\n")
        receive_until_quiet(sock, 1.0)  # the console prompt
        sock.sendall(b"show summary\n")
        summary = receive_until_quiet(sock, 1.5)
        sock.sendall(b"link 7\n")
        sock.sendall(b"show auth\n")
        auth = receive_until_quiet(sock, 1.5)
        sock.sendall(b"exit\n")
        receive_until_quiet(sock, 1.0)
        sock.close()
    finally:
        proc.wait(timeout=10)

    for i, frame in enumerate(login):
        write("fuzz_telnet_frame", "%s_login_%02d" % (tag, i + 1), frame)
        write("fuzz_hexdump", "%s_login_%02d" % (tag, i + 1), frame)
    # Frames after the login go through the same split on their way to the capture file.
    for i, frame in enumerate(summary + auth):
        write("fuzz_telnet_frame", "%s_answer_%02d" % (tag, i + 1), frame)
    write("fuzz_summary", "%s_summary" % tag, capture_text(summary))
    write("fuzz_auth", "%s_auth" % tag, capture_text(auth))
    return len(login)


def hand_made():
    b = bytes
    frames = {
        "iac_will_echo_sga_username": b([IAC, WILL, 1, IAC, WILL, 3]) + b"Username:",
        "iac_do_ttype_only": b([IAC, DO, 24]),
        "data_before_command": b"xyz" + b([IAC, DO, 1]) + b"Password:",
        "crlf_before_username": b"\r\nUsername:",
        "only_lf": b"\n\n\n",
        "nul_ends_text": b"Username:\x00" + b([IAC, DO, 1]) + b"Welcome!",
        "doubled_iac": b"ab" + b([IAC, IAC]) + b"cd\r\n",
        "sb_echo_send": b([IAC, SB, 1]) + b"1" + b([IAC, SE]) + b"Password: ",
        "sb_unterminated": b([IAC, SB, 3]) + b"1" + b([IAC, IAC, 7]),
        "cut_iac": b"Welcome!" + b([IAC]),
        "cut_iac_verb": b"Welcome!" + b([IAC, DO]),
        "two_byte_commands": b([IAC, NOP]) + b"Pass" + b([IAC, GA]) + b"word:",
        "full_buffer": b"A" * 1023 + b([IAC]),
    }
    for name, data in frames.items():
        write("fuzz_telnet_frame", name, data)

    summary = {
        "line_starts_with_user": b"user01\t2\t10.0.0.5\t7\tup\r\n",
        "three_tokens_clear_link": b"  1\tuser01\t10.0.0.5\t7\r\n  2\tuser01\t10.0.0.5\r\n",
        "runs_of_tabs": b"\t\t2\t\tuser01\t\t10.0.0.5\t\t9\tup",
        "substring_match": b"  3\txuser01\t10.0.0.7\t12\tup\r\n",
        "long_line": b"  1\t" + b"x" * 1100 + b"\tuser01\t10.0.0.5\t7\tup\r\n",
        "nul_in_line": b"  1\tuser01\t\x0010.0.0.5\t7\r\n",
        "console_padded_user": b"Iface\tBund\t\tLink\tLCP\tDevice\t\tUser\tFrom\r\n"
                               b"\t\t\t13\tINITIAL\tpptp\tIDLE\t        \t\r\n"
                               b"ng1\tB1\tUp\t1\tOPENED\tpptp\tREADY\t  xuser01\t1.1.1.1\r\n"
                               b"ng7\tB7\tUp\t7\tOPENED\tpptp\tREADY\t  user01\t1.1.1.7\r\n",
    }
    for name, data in summary.items():
        write("fuzz_summary", name, data)

    auth = {
        "plain": b"  Session-Timeout : 86400\r\n",
        "no_line_end": b"  Session-Timeout : 86400",
        "with_unit": b"  Session-Timeout : 3600 sec\r\n",
        "reply_prefix": b"Reply Session-Timeout = 3600\r\n",
        "no_value": b"  Session-Timeout\r\n",
        "long_value": b"  Session-Timeout : 12345678901234567890123\r\n",
        "negative": b" :Session-Timeout:-42\r\n",
        "line_start_not_taken": b"Session-Timeout : 100\r\n",
        "two_lines_last_wins": b"  Session-Timeout : 100\r\n  Session-Timeout : 200\r\n",
    }
    for name, data in auth.items():
        write("fuzz_auth", name, data)

    dumps = {
        "bytes_7": b"ABCDEFG",
        "bytes_8": b"ABCDEFGH",
        "bytes_16": bytes(range(0x70, 0x80)),
        "bytes_17": bytes(range(0x20, 0x31)),
        "all_values": bytes(range(256)),
        "bytes_4096": bytes(i * 31 % 256 for i in range(4096)),
        "bytes_4097": bytes(i * 31 % 256 for i in range(4097)),
        "bytes_5000": bytes(i * 13 % 256 for i in range(5000)),
    }
    for name, data in dumps.items():
        write("fuzz_hexdump", name, data)


def main():
    counts = [converse("plain", []), converse("garbage", ["--garbage"])]
    hand_made()
    for target in sorted(os.listdir(CORPUS)):
        print("%s: %d seeds" % (target, len(os.listdir(os.path.join(CORPUS, target)))))
    print("login frames received: plain %d, garbage %d" % tuple(counts))
    return 0


if __name__ == "__main__":
    sys.exit(main())
