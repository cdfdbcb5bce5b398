#!/usr/bin/env python3
"""fksim's scripted face through a real pty; this script plays the host."""
import os
import select
import subprocess
import sys
import tempfile
import time
import tty

PAD = '00' * 24  # the editor pads its frames with zero bytes


def f29(mode, mask):  # the 29-byte lamp frame: mode byte, mask m0..m3
    return f'1B1394000000001B111B131B1394{mode}0000001B111B1394{mask}1B11'


def c18(code):  # the 18-byte 48G9995 command
    return f'1B111B131B12201B14{code}1B111B111B131B11'


# In order, as some names depend on the frame before: bytes from the host, the frames
# they make ("name[ / alias]", ...) and the lamps after them (bit n-1 = key n).
GOLDEN = (
    # X8000 (its release reset is also the 48G9995 refresh)
    ('061B131B131B131B1820', 'startup', 0),
    (f29('00', 'FFFFFFFF'), 'refresh', 0xFFFFFFFF),
    (f29('01', 'FFFEFFFF'), 'hold 9', 0xFFFFFEFF),
    ('1B131B1220' + f29('00', 'FFFFFFFF'), 'reset-prefix, release-reset / refresh', 0xFFFFFFFF),
    (f29('00', '00000080') + PAD, 'editor-key 32', 0x80000000),
    (f29('02', '0F000000'), 'lamps M=02', 0x0000000F),
    (f29('01', '00000000'), 'off', 0),
    # 48G9995
    (c18('21'), 'hold 1 / lamp-test 33', 0xFFFFFFFE),
    (c18('40'), 'hold 32 / lamp-test 64', 0x7FFFFFFF),
    (c18('80'), 'lamp-test 128', 0x7FFFFFFF),
    ('1B131B13', 'wake', 0x7FFFFFFF),  # also how the next frame begins
    ('1B131B131B14241B131B14201B131B18201B131B18201B13', 'off', 0),
    ('1B111B131B12291B14281B11' + PAD, 'editor-key 9', 0x00000100),
    ('1B111B131B12211B142A1B11', 'editor-key 1', 0x00000001),
    (c18('00') + PAD, 'off / lamp-test 0', 0),
    # 6094: mask bytes most significant bit first
    ('01', 'wake-01', 0),
    ('06', 'wake-06', 0),
    ('08', 'wake-08 / wake', 0),
    ('08', 'refresh-08', 0),
    ('94FFFFFFFF', 'refresh', 0xFFFFFFFF),
    ('94FFEFFFFF', 'hold 12', 0xFFFFF7FF),
    ('94FFFFFFFF', 'release-reset', 0xFFFFFFFF),
    ('9400800000' + PAD, 'editor-key 9', 0x00000100),
    ('9400000000', 'off', 0),
    # Noise is skipped a byte at a time; a frame cut short by a pause is not held back.
    ('FF1B1B131B1220', 'unknown, reset-prefix', 0),
    ('1B1394', 'unknown', 0),
)


def check(cond, what):
    if not cond:
        sys.exit(f'FAIL: {what}')


def cmd(line, reply=True):  # a reply line, or a block's lines split into words
    SIM.stdin.write(line + '\n')
    SIM.stdin.flush()
    words = SIM.stdout.readline().split() if reply else []
    if words[:2] in (['ok', 'frames'], ['ok', 'bytes']):
        return [SIM.stdout.readline().split() for _ in range(int(words[2]))]
    return ' '.join(words)


def names(frames):
    return ', '.join(' '.join(f[3:]) for f in frames)


def read(count):  # what the device wrote, as hex
    data = b''
    while len(data) < count and select.select([PTY], [], [], 2)[0]:
        data += os.read(PTY, count - len(data))
    return data.hex().upper()


def write(hexs):
    os.write(PTY, bytes.fromhex(hexs))


TMP = tempfile.TemporaryDirectory()
LINK = os.path.join(TMP.name, 'fk')
SIM = subprocess.Popen([sys.argv[1], '--script', '--pty-link', LINK], stdin=subprocess.PIPE,
                       stdout=subprocess.PIPE, text=True)
check(SIM.stdout.readline().split() == ['pty', os.readlink(LINK), 'X8000'], 'first line')
PTY = os.open(LINK, os.O_RDWR | os.O_NOCTTY)
tty.setraw(PTY)

# Per model: a key (the 6094's key 1 is a zero byte), the identification data (the host
# tells the ESC models apart by its 11th character) and a split key: ESC, pause, code.
for model, key, code, ident in (('6094', 1, '00', '\x03'), ('48G9995', 32, '1B40', '~'),
                                ('X8000', 3, '1B23', '.')):
    check(cmd(f'model {model}') == f'ok model {model}', model)
    check(cmd(f'press {key}').endswith(' ' + code) and read(len(code) // 2) == code, model)
    sent = cmd('ident').split()[2]
    text = bytes.fromhex(read(len(sent) // 2)).decode()
    check(text == ident if model == '6094' else len(text) == 32 and text[10] == ident, text)
    if model == '6094':
        check(cmd(f'press-split {key} 60').startswith('error'), 'no split key on the 6094')
        continue
    t0 = time.monotonic()
    cmd(f'press-split {key} 60', reply=False)
    check(read(1) == '1B' and read(1) == code[2:] and time.monotonic() - t0 >= 0.06, model)
    check(SIM.stdout.readline().startswith(f'ok press-split {key} '), model)

# Each row with a pause after it (the quiet time ends a frame that could still grow),
# then all rows at once: the same frames, byte for byte.
for hexs, want, lamps in GOLDEN:
    write(hexs)
    cmd('sleep 40')
    got = cmd('frames')
    check(names(got) == want and ''.join(f[2] for f in got) == hexs.removesuffix(PAD), got)
    check(cmd('lamps') == 'ok lamps ' + ''.join(str(lamps >> i & 1) for i in range(32)), hexs)
write(''.join(row[0] for row in GOLDEN))
cmd('sleep 40')
check(names(cmd('frames')) == ', '.join(row[1] for row in GOLDEN), 'all rows at once')

# A frame split over writes takes the time of its last byte; "refresh" is not a prefix;
# wait-frame, frames and bytes each report only what is new to them.
cmd('clear')
hold5 = f29('01', 'EFFFFFFF')
write('08' + hold5[:24])
time.sleep(0.01)
t1 = time.monotonic() * 1e6
write(hold5[24:])
frame = cmd('wait-frame refresh|hold_5 2000').split()
check(frame[4:] == ['hold', '5'] and int(frame[2]) >= t1 and frame[3] == hold5, frame)
check(cmd('wait-frame refresh-08 10') == 'timeout refresh-08', 'wait-frame looks past the last')
check(names(cmd('frames')) == 'refresh-08, hold 5' and cmd('frames') == [], 'frames')
check(''.join(r[2] for r in cmd('bytes')) == '08' + hold5 and cmd('bytes') == [], 'bytes')
check(cmd('hex 1b 21 1B22') == 'ok hex 4' and read(4) == '1B211B22', 'hex')

# A split-mode key timed against the program's answers: hold, then release reset (whose
# alias is refresh).
cmd('roundtrip 4 5 hold_5,refresh 2000 10', reply=False)
for answer in [hold5, '1B131B1220' + f29('00', 'FFFFFFFF')] * 2:
    check(read(2) == '1B25', 'key 5')
    write(answer)
r = SIM.stdout.readline()
us = [int(kv.split('=')[1]) for kv in r.split()[5:]]  # min, p50, p99, max: nearest rank
check(r.startswith('ok roundtrip n=4 got=4 timeouts=0 '), r)
check(0 < us[0] <= us[1] <= us[2] == us[3] and us[0] < us[3], r)
check(cmd('quit') == 'ok quit' and SIM.wait(5) == 0 and not os.path.lexists(LINK), 'quit')
print('fksim smoke test passed')
