#!/usr/bin/env python3
"""Serial round trip under Wine (a benchmark, run on demand, not a test): COM1 maps to
a fresh pty; bench/serial_echo.exe echoes every byte through the program's serial
port; this times each byte from the device side, then hangs up (the echo program
must end on "port lost").

    bench/serial_roundtrip.py [--rounds 1000] [ECHO.exe]
                              (default build/mingw/bench/serial_echo.exe)
"""

import argparse
import atexit
import os
import select
import statistics
import subprocess
import sys
import time
import tty
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent.parent / "tests" / "wine"))
import rig  # noqa: E402


def read(fd, timeout):
    """What arrives within `timeout` seconds (b"" if nothing)."""
    ready, _, _ = select.select([fd], [], [], timeout)
    return os.read(fd, 65536) if ready else b""


def main():
    rig.stop_at_exit()
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("--rounds", type=int, default=1000)
    ap.add_argument("echo", nargs="?", default=rig.MINGW / "bench" / "serial_echo.exe")
    args = ap.parse_args()
    master, slave = os.openpty()
    tty.setraw(slave)
    env = {k: v for k, v in os.environ.items() if not k.startswith("VANTREL_COM")}
    env["VANTREL_COM1"] = os.ttyname(slave)
    echo = subprocess.Popen([rig.WINE_RUN, args.echo, "1"], env=env, start_new_session=True)
    atexit.register(rig.kill, echo)  # before the prefix stops: the last registered runs first
    # Wait until the program has the port open and echoes.
    deadline = time.monotonic() + 60
    while True:
        os.write(master, b"?")
        if read(master, 0.2):
            break
        if echo.poll() is not None or time.monotonic() > deadline:
            sys.exit("serial_echo did not start")
    while read(master, 0.1):
        pass
    times = []
    for i in range(args.rounds):
        byte = bytes([0x21 + i % 90])
        t0 = time.perf_counter_ns()
        os.write(master, byte)
        got = read(master, 2.0)
        t1 = time.perf_counter_ns()
        if got != byte:
            sys.exit(f"round {i}: sent {byte!r}, got {got!r}")
        times.append((t1 - t0) / 1e6)
    os.close(master)
    code = echo.wait(10)
    times.sort()
    p = lambda q: times[min(len(times) - 1, int(q * len(times)))]  # noqa: E731
    print(f"serial round trip under Wine, {args.rounds} rounds: p50 {p(0.50):.3f} ms, "
          f"p99 {p(0.99):.3f} ms, max {times[-1]:.3f} ms, mean {statistics.mean(times):.3f} ms; "
          f"echo exit code after hang-up {code}")
    return 0 if code == 0 else 1


if __name__ == "__main__":
    sys.exit(main())
