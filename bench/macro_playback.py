#!/usr/bin/env python3
"""A long joined macro's playback timed at the target, against the same input events
sent directly; then Vantrel.exe's resident memory beside a Wine notepad's, and its file
size (a benchmark, run on demand, not a test).

Key 5 holds STEPS joined steps Ctrl+Shift+F. keystamp.exe (bench/, mingw preset) is
the window in front and stamps every key message; each round plays the macro once
from fksim and sends the same events once with `keystamp.exe send` (one SendInput
per event, as Vantrel plays). Times are first to last key message of a play.

    bench/macro_playback.py [--rounds 20] [--steps 60]

Uses the builds rig.py names (VANTREL_MINGW_BUILD, VANTREL_NATIVE_BUILD).
"""

import argparse
import os
import statistics
import subprocess
import sys
import time
from pathlib import Path

HERE = Path(__file__).resolve().parent
sys.path.insert(0, str(HERE.parent / "tests" / "wine"))
import rig  # noqa: E402
import wineproc  # noqa: E402

KEYSTAMP = rig.MINGW / "bench" / "keystamp.exe"
CHORD = [("down", "0x11"), ("down", "0x10"), ("down", "0x46"),
         ("up", "0x46"), ("up", "0x10"), ("up", "0x11")]


def stamps(log):
    lines = log.read_text().splitlines()[1:]  # after "ready"
    return [(int(t), e, vk) for t, e, vk in (line.split() for line in lines)]


def play(log, start, steps):
    """Waits for one play's events after the first `start`; (duration, largest gap
    between events, largest gap between steps) in ms."""
    want = 6 * steps
    rig.wait_for(lambda: len(stamps(log)) >= start + want, 30, "the play's key events")
    time.sleep(0.5)
    got = stamps(log)[start:]
    if [(e, vk) for _, e, vk in got] != CHORD * steps:
        raise RuntimeError(f"wrong events: {len(got)} instead of {want}")
    t = [s[0] for s in got]
    gaps = [b - a for a, b in zip(t, t[1:])]
    return (t[-1] - t[0]) / 1000, max(gaps) / 1000, max(gaps[5::6] or [0]) / 1000


def row(name, plays):
    d, g, s = zip(*plays)
    return (f"{name:8} duration p50 {statistics.median(d):.2f} ms (min {min(d):.2f}, max "
            f"{max(d):.2f}); largest gap between events {max(g):.2f} ms, between steps "
            f"{max(s):.2f} ms (p50 of the per-play largest {statistics.median(s):.2f} ms)")


def main():
    rig.stop_at_exit()
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("--rounds", type=int, default=20)
    ap.add_argument("--steps", type=int, default=60)
    args = ap.parse_args()
    r = rig.Rig("bench-macro")
    try:
        chords = ",".join(["#Ctrl+Shift+F"] * args.steps)
        r.settings(FkNameT=r.layout("chords.fkl", f"5=結合,{chords}"), FileOn=1, FkModel="X8000")
        sim = r.start_sim()
        log = r.dir / "stamps.log"
        r.wine(KEYSTAMP, "window", rig.winpath(log))
        rig.wait_for(lambda: log.exists() and log.read_text().startswith("ready"), 30, "keystamp")
        app = r.start_vantrel()
        r.past_first_data(sim)  # key 3: nothing assigned
        results = {"Vantrel": [], "floor": []}
        for _ in range(args.rounds):
            for name in results:
                start = len(stamps(log))
                if name == "Vantrel":
                    sim.press(5)
                else:
                    r.wine(KEYSTAMP, "send", args.steps).wait(60)
                results[name].append(play(log, start, args.steps))
        print(f"{args.steps} steps Ctrl+Shift+F, {args.rounds} plays each, load average "
              f"{os.getloadavg()[0]:.2f}")
        for name, plays in results.items():
            print(row(name, plays))
        for name, f in (("medians", statistics.median), ("minima", min)):
            ratio = f(p[0] for p in results["Vantrel"]) / f(p[0] for p in results["floor"])
            print(f"ratio of the {name} Vantrel / floor: {ratio:.2f}")
        # Each play beside the floor's next to it in time, under the same load.
        pairs = [v[0] / f[0] for v, f in zip(results["Vantrel"], results["floor"])]
        print(f"ratio per round Vantrel / floor: p50 {statistics.median(pairs):.2f}")

        notepad = r.wine("notepad", stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        time.sleep(3)
        for name, proc, exe in (("Vantrel.exe", app, "Vantrel.exe"),
                                ("notepad", notepad, "notepad.exe")):
            rss, threads, _ = wineproc.status(wineproc.pid_of(proc, exe))
            print(f"{name:12} VmRSS {rss / 1024:.1f} MiB, {threads} threads")
        # As built, and without the debug sections the static C++ runtime brings.
        stripped = r.dir / "stripped.exe"
        subprocess.run(["x86_64-w64-mingw32-strip", "-o", stripped, rig.VANTREL], check=True)
        print(f"Vantrel.exe {rig.VANTREL.stat().st_size} bytes, stripped "
              f"{stripped.stat().st_size} bytes")
        r.close_vantrel(app)
    finally:
        r.close()
    return 0


if __name__ == "__main__":
    sys.exit(main())
