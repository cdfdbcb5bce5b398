#!/usr/bin/env python3
"""Key to lamp round trip under Wine (a benchmark, run on demand, not a test).

fksim presses a split-mode key and times from just before its write until the hold
lamp frame comes back; the next press of the same key is timed until the release
reset comes back; and so on, alternately. Vantrel.exe runs under Wine with fksim on
COM1 and fktarget in front, as in the playback tests.

    bench_roundtrip.py [--presses 1000] [--model X8000] [--runs 2] [--gap-ms 50]

Uses the builds rig.py names (VANTREL_MINGW_BUILD, VANTREL_NATIVE_BUILD).
"""

import argparse
import os
import sys
import time
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))
import rig  # noqa: E402
from test_playback_common import REOPEN_GAP, PlaybackSession  # noqa: E402
from vantrel_e2e import missing_programs  # noqa: E402

KEY = 5
# F24 does nothing in the target window, so a thousand presses leave it alone.
KEYS = {(1, KEY): ("分割", ["#F24"])}


def percentile(values, p):
    """Nearest rank, as fksim computes it."""
    values = sorted(values)
    rank = (len(values) * p + 99) // 100
    return values[min(max(rank, 1), len(values)) - 1]


def summary(values):
    return (f"n={len(values)} min={min(values)} p50={percentile(values, 50)} "
            f"p99={percentile(values, 99)} max={max(values)}")


def one_run(sim, presses, gap_ms):
    """Per kind of frame, the round trips in µs (fksim times each press)."""
    times = {"hold": [], "release": []}
    for i in range(presses):
        kind, frame = ("hold", f"hold_{KEY}") if i % 2 == 0 else ("release", "release-reset")
        reply = sim.cmd(f"roundtrip 1 {KEY} {frame} 2000 {gap_ms}")
        fields = dict(w.split("=", 1) for w in reply.split()[2:])
        if not reply.startswith("ok roundtrip") or fields["got"] != "1":
            raise RuntimeError(f"press {i + 1}: {reply}")
        times[kind].append(int(fields["min"]))
    return times


def load():
    return " ".join(f"{x:.2f}" for x in os.getloadavg())


def main():
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("--presses", type=int, default=1000)
    ap.add_argument("--model", choices=("6094", "48G9995", "X8000"), default="X8000")
    ap.add_argument("--runs", type=int, default=2)
    ap.add_argument("--gap-ms", type=int, default=50,
                    help="pause after each frame before the next press (the port's reopen)")
    args = ap.parse_args()
    missing = missing_programs()
    if missing:
        print(f"not built: {', '.join(missing)}")
        return rig.SKIP

    with PlaybackSession(args.model, KEYS, name="bench") as s:
        if s.sim.wait_frame("refresh", 20000) is None:
            print("Vantrel did not start (no refresh frame)")
            return 1
        time.sleep(REOPEN_GAP)
        s.sim.press(KEY)  # the first data is consumed
        time.sleep(0.3)
        s.sim.cmd("clear")
        for run in range(1, args.runs + 1):
            before = load()
            times = one_run(s.sim, args.presses, args.gap_ms)
            print(f"run {run} (µs; load average before {before}, after {load()})")
            print(f"  all      {summary(times['hold'] + times['release'])}")
            print(f"  hold     {summary(times['hold'])}")
            print(f"  release  {summary(times['release'])}", flush=True)
        if not s.close():
            print("Vantrel did not end on a close request")
    return 0


if __name__ == "__main__":
    sys.exit(main())
