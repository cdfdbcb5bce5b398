#!/usr/bin/env python3
"""What a text step costs, timed at the window in front (a benchmark, run on demand,
not a test).

Key 5 plays 結合,*AAA,#B into fktarget, whose log stamps every message in ms. Two
spans: from the paste keys' first event (the right button's release) to the B of the
next step, the whole paste as the window sees it; and from the P's release to the B,
what waiting for the paste adds once the window has pasted. Each play is checked to
have pasted AAA. Run it against another build to compare (VANTREL_MINGW_BUILD).

    bench/text_step.py [--rounds 30]
"""

import argparse
import os
import statistics
import sys
import time
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent.parent / "tests" / "wine"))
import rig  # noqa: E402


def main():
    rig.stop_at_exit()
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("--rounds", type=int, default=30)
    args = ap.parse_args()
    r = rig.Rig("bench-text-step")
    try:
        r.settings(FkNameT=r.layout("text.fkl", "5=結合,*AAA,#B"), FileOn=1, FkModel="X8000")
        sim, target, app = r.start_sim(), r.start_target(), r.start_vantrel()
        r.past_first_data(sim)
        for _ in range(args.rounds):
            sim.press(5)
            if target.take(4, ("paste", "keyup", "keydown"), timeout=10, quiet=0.2) != [
                    ("paste", "AAA"), ("keyup", "0x50"), ("keydown", "0x42"), ("keyup", "0x42")]:
                raise RuntimeError("a play did not paste AAA, then B")
        # "<ms> <event> <detail>": each paste's first event and its P's release, then
        # the B that follows.
        log = [line.split(" ") for line in (r.dir / "target1.log").read_text().splitlines()]
        spans = {"rbuttonup": [], "keyup": []}
        for i, (t, event, *detail) in enumerate(log):
            if event == "rbuttonup" or (event == "keyup" and detail == ["0x50"]):
                b = next(int(u) for u, e, *d in log[i:] if e == "keydown")
                spans[event].append(b - int(t))
        print(f"{args.rounds} text steps, load average {os.getloadavg()[0]:.2f}")
        for name, what in (("rbuttonup", "paste keys to the next step"),
                           ("keyup", "the P's release to the next step")):
            c = sorted(spans[name])
            print(f"  {what}: p50 {statistics.median(c):.0f} ms, p90 "
                  f"{c[int(0.9 * (len(c) - 1))]} ms, min {c[0]} ms, max {c[-1]} ms")
        r.close_vantrel(app)
    finally:
        r.close()
    return 0


if __name__ == "__main__":
    sys.exit(main())
