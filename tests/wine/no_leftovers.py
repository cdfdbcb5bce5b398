#!/usr/bin/env python3
"""no_leftovers.py [--signal SIG SECONDS] COMMAND...: fails if a process COMMAND started (all
inherit a mark in their environment, Xvfb and Wine's too) outlives it. --signal: SIG goes to
COMMAND after SECONDS and again 20 ms and 0.5 s later, as an impatient user sends it."""
import os
import signal
import subprocess
import sys
import time

MARK = f"{os.getpid()}.{time.time_ns()}"


def marked():
    found = {}
    for pid in filter(str.isdigit, os.listdir("/proc")):
        try:  # one that has ended but is not reaped yet has no environment
            if f"VANTREL_RUN_MARK={MARK}".encode() in open(f"/proc/{pid}/environ", "rb").read():
                found[pid] = open(f"/proc/{pid}/cmdline", "rb").read().replace(b"\0", b" ")
        except OSError:
            pass
    return found


args, sig = sys.argv[1:], None
if args[0] == "--signal":
    sig, after, args = signal.Signals["SIG" + args[1]], float(args[2]), args[3:]
proc = subprocess.Popen(args, env=dict(os.environ, VANTREL_RUN_MARK=MARK))
signal.signal(signal.SIGINT, lambda *_: None)  # Ctrl+C reaches the command as well
signal.signal(signal.SIGTERM, lambda *_: proc.terminate())
if sig:
    time.sleep(after)
    assert proc.poll() is None, f"{args[0]} ended before the signal"
    for pause in (0, 0.02, 0.5):
        time.sleep(pause)
        proc.send_signal(sig)
code, left = proc.wait(), marked()
for pid, cmd in left.items():
    print(f"no_leftovers: still running: {pid} {cmd.decode(errors='replace')}", file=sys.stderr)
sys.exit(1 if left else 0 if sig else code)
