#!/usr/bin/env python3
"""Plays the device end of a pty mapped to a COM port for the Win32 serial tests.

    serial_driver.py [--port N] EXE [ARGS...]        run EXE; echo every byte back,
                                                     hang up on "~~HANGUP~~"
    serial_driver.py [--port N] --bench 1000 ECHO    time ECHO's round trip
    (--wine-run is accepted for CTest and ignored: the rig finds its wine-run.)
"""

import argparse
import os
import statistics
import sys
import threading
import time
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent.parent / "wine"))
from rig import Pty, WineRig  # noqa: E402

HANGUP = b"~~HANGUP~~"


def echo_device(pty: Pty, stop: threading.Event):
    seen = b""
    while not stop.is_set() and pty.master >= 0:
        data = pty.read(0.05)
        if not data:
            continue
        seen = (seen + data)[-len(HANGUP):]
        if HANGUP in seen:
            pty.hangup()
            return
        pty.write(data)


def run_tests(args, rest):
    with Pty() as pty, WineRig(ports={args.port: pty.path}) as wine:
        wine.env["VANTREL_TEST_PTY_PORT"] = str(args.port)
        stop = threading.Event()
        device = threading.Thread(target=echo_device, args=(pty, stop), daemon=True)
        device.start()
        try:
            return wine.run_wine(*rest, timeout=args.timeout)
        finally:
            stop.set()
            device.join()


def bench(args, rest):
    rounds = args.bench
    with Pty() as pty, WineRig(ports={args.port: pty.path}) as wine:
        echo = wine.start_wine(rest[0], str(args.port))
        # Wait until the program has the port open and echoes.
        deadline = time.monotonic() + 60
        while True:
            pty.write(b"?")
            if pty.read(0.2):
                break
            if not echo.running() or time.monotonic() > deadline:
                print("serial_echo did not start", file=sys.stderr)
                return 1
        while pty.read(0.1):
            pass
        times = []
        for i in range(rounds):
            byte = bytes([0x21 + i % 90])
            t0 = time.perf_counter_ns()
            pty.write(byte)
            got = pty.read_exactly(1, 2.0)
            t1 = time.perf_counter_ns()
            if got != byte:
                print(f"round {i}: sent {byte!r}, got {got!r}", file=sys.stderr)
                return 1
            times.append((t1 - t0) / 1e6)
        pty.hangup()
        code = echo.wait(10)
        times.sort()
        p = lambda q: times[min(len(times) - 1, int(q * len(times)))]  # noqa: E731
        print(f"serial round trip under Wine, {rounds} rounds: p50 {p(0.50):.3f} ms, "
              f"p99 {p(0.99):.3f} ms, max {times[-1]:.3f} ms, mean {statistics.mean(times):.3f} ms; "
              f"echo exit code after hang-up {code}")
        return 0 if code == 0 else 1


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--port", type=int, default=1)
    ap.add_argument("--wine-run")
    ap.add_argument("--bench", type=int)
    ap.add_argument("--timeout", type=float, default=240)
    args, rest = ap.parse_known_args()
    if not rest:
        ap.error("no program given")
    return bench(args, rest) if args.bench else run_tests(args, rest)


if __name__ == "__main__":
    sys.exit(main())
