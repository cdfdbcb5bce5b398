#!/usr/bin/env python3
"""Runs a command with a mark in its environment, which all it starts inherits (Xvfb,
wineserver and Wine's services too), and fails if a marked process outlives it.

    no_leftovers.py [--signal SIG SECONDS] COMMAND [ARG...]

--signal: SIG goes to the command's process group (as Ctrl+C sends SIGINT) SECONDS after a
wineserver it started runs, and again 20 ms and half a second later; it must end within
120 s. Otherwise the command's exit code is passed on.
"""
import os
import signal
import subprocess
import sys
import time

MARK = f"{os.getpid()}.{time.time_ns()}"
ENTRY = f"VANTREL_RUN_MARK={MARK}".encode()


def marked():
    found = {}
    for pid in filter(str.isdigit, os.listdir("/proc")):
        try:  # one that has ended but is not reaped yet has no environment
            if ENTRY in open(f"/proc/{pid}/environ", "rb").read().split(b"\0"):
                cmd = open(f"/proc/{pid}/cmdline", "rb").read().replace(b"\0", b" ")
                found[pid] = cmd.decode(errors="replace")
        except OSError:
            pass
    return found


args, sig, problems = sys.argv[1:], None, []
if args[0] == "--signal":
    sig, after, args = signal.Signals["SIG" + args[1]], float(args[2]), args[3:]
proc = subprocess.Popen(args, env={**os.environ, "VANTREL_RUN_MARK": MARK},
                        process_group=0 if sig else None)
signal.signal(signal.SIGINT, lambda *_: None)  # Ctrl+C reaches the command as well
signal.signal(signal.SIGTERM, lambda *_: proc.terminate())
if sig:
    while proc.poll() is None and not any("wineserver" in c for c in marked().values()):
        time.sleep(0.2)
    try:
        proc.wait(after)
        problems.append(f"{args[0]} ended before the signal")
    except subprocess.TimeoutExpired:
        print(f"no_leftovers: {sig.name} with {len(marked())} processes running", file=sys.stderr)
        for pause in (0, 0.02, 0.5):  # as an impatient user would, while it cleans up
            time.sleep(pause)
            os.killpg(proc.pid, sig)  # a group whose leader is not reaped yet stays
try:
    code = proc.wait(120 if sig else None)
except subprocess.TimeoutExpired:
    problems.append(f"{args[0]} did not end within 120 s of the signal")
    os.killpg(proc.pid, signal.SIGKILL)
    code = proc.wait()
problems += [f"still running: {pid} {cmd}" for pid, cmd in marked().items()]
for problem in problems:
    print(f"no_leftovers: {problem}", file=sys.stderr)
sys.exit(1 if problems else 0 if sig else code)
