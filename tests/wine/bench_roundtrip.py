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
from test_playback_common import REOPEN_GAP, PlaybackSession, missing_programs  # noqa: E402

KEY = 5
# F24 does nothing in the target window, so a thousand presses leave it alone.
KEYS = {(1, KEY): ("分割", ["#F24"])}


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
        frames = f"hold_{KEY},release-reset"
        for run in range(1, args.runs + 1):
            before = load()
            reply = s.sim.cmd(f"roundtrip {args.presses} {KEY} {frames} 2000 {args.gap_ms}")
            print(f"run {run}: {reply}  (load average before {before}, after {load()})",
                  flush=True)
            if not reply.startswith("ok roundtrip"):
                return 1
        if not s.close():
            print("Vantrel did not end on a close request")
    return 0


if __name__ == "__main__":
    sys.exit(main())
