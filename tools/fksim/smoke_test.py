#!/usr/bin/env python3
"""Smoke test of fksim: drives the scripted face and plays the host on the pty."""
import os
import subprocess
import sys
import tempfile
import threading
import time
import tty

FKSIM = sys.argv[1]


def frame29(mode, mask):
    return (bytes.fromhex('1B139400000000' '1B111B131B1394') + bytes([mode]) +
            bytes.fromhex('0000001B111B1394') + bytes.fromhex(mask) + bytes.fromhex('1B11'))


def hold48(code):
    return bytes.fromhex('1B111B131B12201B14') + bytes([code]) + bytes.fromhex('1B111B111B131B11')


class Sim:
    def __init__(self, *args):
        self.proc = subprocess.Popen([FKSIM, '--script', *args], stdin=subprocess.PIPE,
                                     stdout=subprocess.PIPE, text=True, bufsize=1)
        self.first = self.proc.stdout.readline().split()
        assert self.first[0] == 'pty', self.first
        self.fd = os.open(self.first[1], os.O_RDWR | os.O_NOCTTY)
        tty.setraw(self.fd)

    def cmd(self, line):
        self.proc.stdin.write(line + '\n')
        self.proc.stdin.flush()
        reply = self.proc.stdout.readline().rstrip('\n')
        words = reply.split()
        if len(words) == 3 and words[0] == 'ok' and words[1] in ('frames', 'bytes', 'help'):
            return [reply] + [self.proc.stdout.readline().rstrip('\n') for _ in range(int(words[2]))]
        return reply

    def read(self, count, timeout=2.0):
        data = b''
        end = time.monotonic() + timeout
        while len(data) < count and time.monotonic() < end:
            os.set_blocking(self.fd, False)
            try:
                data += os.read(self.fd, count - len(data))
            except BlockingIOError:
                time.sleep(0.005)
        return data

    def close(self):
        assert self.cmd('quit') == 'ok quit'
        assert self.proc.wait(timeout=5) == 0
        os.close(self.fd)


def check(cond, what):
    if not cond:
        print('FAIL:', what)
        sys.exit(1)


def x8000():
    s = Sim('--model', 'X8000')
    r = s.cmd('press 1')
    check(r.startswith('ok press 1 ') and r.endswith(' 1B21'), r)
    check(s.read(2) == b'\x1b\x21', 'key 1 code')
    r = s.cmd('ident')
    check(r.startswith('ok ident '), r)
    ident = s.read(32)
    check(len(ident) == 32 and ident[10:11] != b'~', ident)
    # Start-up, then a hold frame split over two writes.
    hold9 = frame29(1, 'FFFEFFFF')
    os.write(s.fd, bytes.fromhex('061B131B131B131B1820') + hold9[:12])
    time.sleep(0.01)
    os.write(s.fd, hold9[12:])
    r = s.cmd('wait-frame hold 9 2000')
    check(r.startswith('ok frame ') and r.endswith(' hold 9'), r)
    check(s.cmd('lamps') == 'ok lamps ' + '1' * 8 + '0' + '1' * 23, 'lamps after hold 9')
    check(s.cmd('wait-frame startup 10').startswith('timeout'), 'startup was before hold 9')
    frames = s.cmd('frames')
    check([f.split(' ', 3)[3] for f in frames[1:]] == ['startup', 'hold 9'], frames)
    # ESC, pause, code byte.
    t0 = time.monotonic()
    r = s.cmd('press-split 3 60')
    check(r.endswith(' 1B23') and time.monotonic() - t0 >= 0.06, r)
    check(s.read(2) == b'\x1b\x23', 'split key code')
    # Garbage, then a frame.
    os.write(s.fd, bytes.fromhex('FF1B99947E') + frame29(1, '00000000'))
    check(s.cmd('wait-frame off 2000').endswith(' off'), 'off after garbage')
    check(s.cmd('hex 1B 2G').startswith('error'), 'bad hex')
    check(s.cmd('press 33').startswith('error'), 'bad key')
    check(s.cmd('nonsense ' + 'x' * 5000).startswith('error'), 'unknown command')
    s.cmd('clear')

    # The host side of a split-mode key: hold on the first press, release on the next.
    stop = threading.Event()

    def host():
        held = False
        os.set_blocking(s.fd, False)
        while not stop.is_set():
            try:
                data = os.read(s.fd, 64)
            except BlockingIOError:
                time.sleep(0.001)
                continue
            for i in range(len(data) - 1):
                if data[i] == 0x1B and data[i + 1] == 0x25:
                    reply = (bytes.fromhex('1B131B1220') + frame29(0, 'FFFFFFFF') if held
                             else frame29(1, 'EFFFFFFF'))
                    held = not held
                    os.write(s.fd, reply)

    thread = threading.Thread(target=host)
    thread.start()
    r = s.cmd('roundtrip 6 5 hold_5,release-reset 2000 10')
    stop.set()
    thread.join()
    check(r.startswith('ok roundtrip n=6 got=6 timeouts=0 '), r)
    fields = dict(kv.split('=') for kv in r.split()[2:])
    check(0 < int(fields['p50']) <= int(fields['p99']) <= int(fields['max']), r)
    check(s.cmd('roundtrip 1 5 hold_5 50 0').startswith('ok roundtrip n=1 got=0 timeouts=1'),
          'roundtrip timeout')
    s.close()


def g9995_with_link():
    with tempfile.TemporaryDirectory() as tmp:
        link = os.path.join(tmp, 'fk')
        s = Sim('--model', '48G9995', '--pty-link', link)
        check(os.readlink(link) == s.first[1], 'pty link')
        check(s.cmd('press 32').endswith(' 1B40'), 'key 32')
        check(s.read(2) == b'\x1b\x40', 'key 32 code')
        s.cmd('ident')
        check(s.read(32)[10:11] == b'~', '48G9995 ident')
        os.write(s.fd, hold48(0x25) + bytes.fromhex('1B131B13'))
        check(s.cmd('wait-frame hold_5 2000').endswith(' hold 5 / lamp-test 37'), 'hold 5')
        check(s.cmd('wait-frame wake 2000').endswith(' wake'), 'wake')
        s.close()
        check(not os.path.lexists(link), 'link removed at exit')


def m6094():
    s = Sim('--model', '6094')
    s.cmd('press 1')
    check(s.read(1) == b'\x00', '6094 key 1')
    s.cmd('ident')
    check(s.read(1) == b'\x03', '6094 ident')
    check(s.cmd('press-split 1 10').startswith('error'), 'no split key on the 6094')
    os.write(s.fd, b'\x08')
    time.sleep(0.05)
    os.write(s.fd, bytes.fromhex('94FFFFFFFF'))
    check(s.cmd('wait-frame refresh 2000').endswith(' refresh'), '6094 refresh')
    os.write(s.fd, bytes.fromhex('9400800000') + bytes(24))
    check(s.cmd('wait-frame editor-key_9 2000').endswith(' editor-key 9'), 'editor key 9')
    check(s.cmd('lamps') == 'ok lamps ' + '0' * 8 + '1' + '0' * 23, '6094 lamps')
    b = s.cmd('bytes')
    check(b[0] == 'ok bytes %d' % (len(b) - 1) and len(b) >= 3, b)
    s.close()


x8000()
g9995_with_link()
m6094()
print('fksim smoke test passed')
