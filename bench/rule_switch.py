#!/usr/bin/env python3
"""From a change of layout to the first key played from the new one, under Wine: a
layout rule following the window in front, against a layout chosen from the tray menu
(a benchmark, run on demand, not a test).

Layouts: user.fkl, the user's, and rule.fkl, which a rule in Vantrel.rules gives
fktarget. Key 6 holds F24 (split) in rule.fkl and types F23 (joined) in user.fkl, key 7
the other way round, so only a key played from the new layout brings its hold lamp
back: after each change fksim presses that key, 10 times 2 ms apart and then every
20 ms (within the device's burst bound), until the lamp frame comes.

  rules  fktarget and Wine's notepad come to the front by turns through
         bench/foreground.exe, which raises EVENT_SYSTEM_FOREGROUND as Windows does and
         Wine does not; t0 just before its line is written.
  tray   with notepad in front, rule.fkl and user.fkl by turns from the "ファイル"
         submenu; t0 just before the click on the row (XTest, as the user's button).

Times are CLOCK_MONOTONIC, fksim's clock. Then, for reference, the plain press-to-lamp
round trip of a split key without a change.

    bench/rule_switch.py [--switches 200]

Uses the builds rig.py names (VANTREL_MINGW_BUILD, VANTREL_NATIVE_BUILD) and builds
foreground.exe with the mingw preset's compiler.
"""

import argparse
import ctypes
import os
import subprocess
import sys
import time
from pathlib import Path

HERE = Path(__file__).resolve().parent
sys.path.insert(0, str(HERE.parent / "tests" / "wine"))
import rig  # noqa: E402
from percentiles import percentile  # noqa: E402

CXX = "x86_64-w64-mingw32-g++-posix"  # as cmake/mingw-toolchain.cmake
ROWS = {"rule.fkl": 4, "user.fkl": 3}  # in the "ファイル" submenu, File1 at the foot
KEY = {"rule.fkl": 6, "user.fkl": 7}  # the split key of each layout
SETTLE = 0.7  # s after a change: the lamps' refresh and the burst window are past


def now_us():
    return time.clock_gettime_ns(time.CLOCK_MONOTONIC) // 1000


def summary(values_us):
    ms = [v / 1000 for v in values_us]
    return (f"n={len(ms)} min={min(ms):.2f} p50={percentile(ms, 50):.2f} "
            f"p99={percentile(ms, 99):.2f} max={max(ms):.2f} ms")


class CpuLoad:
    """The machine's load between start and str(): the load average, and the share of
    both cores busy (/proc/stat), the benchmark's own work included."""

    @staticmethod
    def _cores():
        fields = [int(v) for v in open("/proc/stat").readline().split()[1:]]
        return sum(fields), fields[3] + fields[4]  # total, idle + iowait

    def __init__(self):
        self.loadavg, self.cores = os.getloadavg()[0], self._cores()

    def __str__(self):
        total, idle = (b - a for a, b in zip(self.cores, self._cores()))
        return (f"load average {self.loadavg:.2f} -> {os.getloadavg()[0]:.2f}, "
                f"cores busy {100 * (total - idle) / total:.0f} %")


class Pointer:
    """The X server's pointer through XTest: moves and a left click, timed to the flush."""

    def __init__(self, display):
        self.x11, xtst = ctypes.CDLL("libX11.so.6"), ctypes.CDLL("libXtst.so.6")
        self.x11.XOpenDisplay.restype = ctypes.c_void_p
        self.x11.XFlush.argtypes = [ctypes.c_void_p]
        self.motion, self.button = xtst.XTestFakeMotionEvent, xtst.XTestFakeButtonEvent
        self.motion.argtypes = [ctypes.c_void_p, ctypes.c_int, ctypes.c_int, ctypes.c_int,
                                ctypes.c_ulong]
        self.button.argtypes = [ctypes.c_void_p, ctypes.c_uint, ctypes.c_int, ctypes.c_ulong]
        self.display = self.x11.XOpenDisplay(display.encode())
        if not self.display:
            raise RuntimeError(f"cannot open display {display}")

    def move(self, x, y):
        self.motion(self.display, -1, x, y, 0)
        self.x11.XFlush(self.display)

    def click(self):
        """t0: just before the press and release go to the server."""
        self.button(self.display, 1, 1, 0)
        self.button(self.display, 1, 0, 0)
        t0 = now_us()
        self.x11.XFlush(self.display)
        return t0


def first_key(sim, key, t0):
    """µs from t0 to the hold lamp of the first press of `key` played from the new
    layout; the presses before it played the old layout's joined F23."""
    for press in range(200):
        sim.press(key)
        frame = sim.frame(f"hold_{key}", 2 if press < 10 else 20)
        if frame:
            return frame[0] - t0
    raise RuntimeError(f"key {key} never played from the new layout")


def build_foreground(folder):
    exe = folder / "foreground.exe"
    subprocess.run([CXX, "-O2", "-Wall", "-Wextra", "-Werror", "-static", "-o", exe,
                    HERE / "foreground.cpp"], check=True)
    return exe


def front(helper, cls):
    helper.stdin.write(cls + "\n")
    helper.stdin.flush()
    if helper.stdout.readline().strip() != "ok":
        raise RuntimeError(f"no window {cls}")


def rules_path(sim, helper, switches):
    times, acks = {"fktarget": [], "notepad": []}, []
    for i in range(switches):
        name, cls, key = (("notepad", "Notepad", 7) if i % 2 == 0
                          else ("fktarget", "VantrelTarget", 6))
        sim.cmd("clear")  # only frames of this change count
        t0 = now_us()
        front(helper, cls)
        acks.append(now_us() - t0)
        times[name].append(first_key(sim, key, t0))
        time.sleep(SETTLE)
    return times, acks


def tray_path(r, sim, pointer, switches):
    times = {"rule.fkl": [], "user.fkl": []}
    for i in range(switches):
        layout = "rule.fkl" if i % 2 == 0 else "user.fkl"
        r.tray()
        r.choose(1)  # "ファイル"
        rig.wait_for(lambda: len(r.inject("menus", "100")[1]) == 2, 10, "the submenu")
        menus = sorted(tuple(map(int, line.split()[1:])) for line in r.inject("menus", "3000")[1]
                       if line.startswith("menu"))
        left, top, right, _ = menus[-1]
        pointer.move((left + right) // 2, int(top + (menus[0][3] - menus[0][1]) / 5 *
                                             (ROWS[layout] + 0.5)))
        time.sleep(0.1)  # the row lit, as under a user's hand
        sim.cmd("clear")
        t0 = pointer.click()
        times[layout].append(first_key(sim, KEY[layout], t0))
        time.sleep(SETTLE)
    return times


def report(title, times):
    print(title)
    print(f"  all                    {summary([t for values in times.values() for t in values])}")
    for name, values in times.items():
        print(f"  to {name:20} {summary(values)}")
    sys.stdout.flush()


def main():
    rig.stop_at_exit()
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("--switches", type=int, default=200)
    args = ap.parse_args()
    r = rig.Rig("bench-rules")
    try:
        helper_exe = build_foreground(r.dir)
        rule = r.layout("rule.fkl", "6=分割,#F24", "7=結合,#F23")
        r.settings(FkNameT=r.layout("user.fkl", "6=結合,#F23", "7=分割,#F24"), FileOn=1,
                   FkModel="X8000")
        (r.dir / "Vantrel.rules").write_bytes(f"Switch=1\r\nProgram=fktarget.exe|{rule}\r\n"
                                              .encode("cp932"))
        sim = r.start_sim()
        r.wine("notepad")
        assert r.inject("wait", "Notepad", "*", "20000")[0] == 0, "notepad did not start"
        r.start_target()
        app = r.start_vantrel()  # fktarget in front: rule.fkl
        r.past_first_data(sim)
        helper = r.wine(helper_exe, stdin=subprocess.PIPE, stdout=subprocess.PIPE, text=True)
        pointer = Pointer(r.env["DISPLAY"])
        front(helper, "VantrelTarget")  # in front already: the helper's slow first call
        time.sleep(SETTLE)

        load = CpuLoad()
        times, acks = rules_path(sim, helper, args.switches)
        report(f"rules: {args.switches} switches ({load})", times)
        print(f"  front and event raised {summary(acks)}", flush=True)

        front(helper, "Notepad")  # no rule: user.fkl
        time.sleep(SETTLE)
        load = CpuLoad()
        times = tray_path(r, sim, pointer, args.switches)
        report(f"tray: {args.switches} choices ({load})", times)

        sim.cmd("clear")  # user.fkl in force last: key 7 holds and releases by turns
        sim.press(7)
        held = sim.frame("hold_7|release-reset", 2000)[1].startswith("hold")
        frames = "release-reset,hold_7" if held else "hold_7,release-reset"
        load = CpuLoad()
        reply = sim.cmd(f"roundtrip 200 7 {frames} 2000 50")
        print(f"press to lamp, no change: {reply} µs ({load})", flush=True)
        helper.stdin.close()
        helper.wait(30)
        r.close_vantrel(app)
    finally:
        r.close()
    return 0


if __name__ == "__main__":
    sys.exit(main())
