#!/usr/bin/env python3
"""Key to lamp round trip under Wine (a benchmark, run on demand, not a test).

fksim presses a split-mode key and times from just before its write until the hold
lamp frame comes back; the next press of the same key is timed until the release
reset comes back; and so on, alternately. Vantrel.exe runs under Wine with fksim on
COM1 and fktarget in front, as in the Wine end-to-end suites (tests/wine/rig.py).

    bench/key_lamp_roundtrip.py [--presses 1000] [--model X8000] [--runs 2] [--gap-ms 50]

Uses the builds rig.py names (VANTREL_MINGW_BUILD, VANTREL_NATIVE_BUILD).
"""

import argparse
import os
import sys
import time
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent.parent / "tests" / "wine"))
import rig  # noqa: E402
from percentiles import percentile  # noqa: E402

KEY = 5


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
    rig.stop_at_exit()
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("--presses", type=int, default=1000)
    ap.add_argument("--model", choices=("6094", "48G9995", "X8000"), default="X8000")
    ap.add_argument("--runs", type=int, default=2)
    ap.add_argument("--gap-ms", type=int, default=50,
                    help="pause after each frame before the next press (the port's reopen)")
    args = ap.parse_args()
    r = rig.Rig("bench")
    try:
        # F24 does nothing in the target window, so a thousand presses leave it alone.
        r.settings(FkNameT=r.layout("bench.fkl", f"{KEY}=分割,#F24"), FileOn=1, FkModel=args.model)
        sim = r.start_sim(args.model)
        r.start_target()
        app = r.start_vantrel()
        r.past_first_data(sim)
        sim.cmd("clear")
        for run in range(1, args.runs + 1):
            before = load()
            times = one_run(sim, args.presses, args.gap_ms)
            print(f"run {run} (µs; load average before {before}, after {load()})")
            print(f"  all      {summary(times['hold'] + times['release'])}")
            print(f"  hold     {summary(times['hold'])}")
            print(f"  release  {summary(times['release'])}", flush=True)
        r.close_vantrel(app)
    finally:
        r.close()
    return 0


if __name__ == "__main__":
    sys.exit(main())
