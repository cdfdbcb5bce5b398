"""What the playback suites share: one Vantrel.exe under Wine with fksim on COM1
and fktarget in front, in a working directory of its own, and the frames each
model's lamps get (fksim, the settings and layout files: vantrel_e2e.py).

    with PlaybackSession("X8000", {(1, 5): ("結合", ["#Shift+Ctrl+A"])}) as s:
        s.sim.wait_frame("refresh")
        time.sleep(REOPEN_GAP)
        s.sim.press(5)                     # the first data is consumed
        mark = s.mark()
        s.sim.press(5)                     # six key events in the target's log:
        s.wait_events(mark, lambda ev: len(ev) >= 6, KEY_EVENTS)

fksim and the Windows programs come from the builds rig.py names
(VANTREL_NATIVE_BUILD, VANTREL_MINGW_BUILD). Each session works in a fresh folder
under build/wine-e2e, removed at the end unless VANTREL_KEEP_E2E is set.
"""

import os
import shutil
import subprocess
import sys
import tempfile
import termios
import time
import tty
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))
import rig  # noqa: E402
from vantrel_e2e import (VANTREL, WORK, Sim, layout_bytes, request_close,  # noqa: E402
                         settings_bytes)

# The frames every model gets, byte for byte (hex, upper case, as fksim reports them).
STARTUP_HEX = "061B131B131B131B1820"
ALL_LIT = 0xFFFFFFFF


def frame29(mode: int, mask: int) -> str:
    masks = bytes((mask >> (8 * i)) & 0xFF for i in range(4))
    return ("1B1394000000001B11" "1B131B1394" + f"{mode:02X}" + "0000001B11" "1B1394" +
            masks.hex().upper() + "1B11")


def frame6094(mask: int) -> str:
    out = [0, 0, 0, 0]
    for key in range(1, 33):
        if mask & (1 << (key - 1)):
            out[(key - 1) // 8] |= 0x80 >> ((key - 1) % 8)
    return "94" + bytes(out).hex().upper()


def refresh_frames(model: str):
    """The refresh frames in the order they arrive, as fksim splits them."""
    if model == "6094":
        return [("refresh-08", "08"), ("refresh", frame6094(ALL_LIT))]
    if model == "48G9995":
        return [("reset-prefix", "1B131B1220"), ("refresh", frame29(0, ALL_LIT))]
    return [("refresh", frame29(0, ALL_LIT))]


def release_reset_frames(model: str):
    if model == "6094":
        return [("release-reset", frame6094(ALL_LIT))]
    return [("reset-prefix", "1B131B1220"), ("release-reset", frame29(0, ALL_LIT))]


def hold_frame(model: str, key: int) -> str:
    mask = ALL_LIT & ~(1 << (key - 1))
    if model == "6094":
        return frame6094(mask)
    if model == "48G9995":
        return f"1B111B131B12201B14{0x20 + key:02X}1B111B111B131B11"
    return frame29(1, mask)


def lamps_off_hex(model: str) -> str:
    if model == "6094":
        return frame6094(0)
    if model == "48G9995":
        return "1B131B131B14241B131B14201B131B18201B131B18201B13"
    return frame29(1, 0)


def key_code(model: str, key: int) -> bytes:
    return bytes([key - 1]) if model == "6094" else bytes([0x1B, 0x20 + key])


# -- the session ------------------------------------------------------------

class PlaybackSession:
    """Starts fksim (model), fktarget and Vantrel.exe with the given layout; ends
    Vantrel with a close request and everything else the rig started."""

    def __init__(self, model, keys, locale=None, name=None):
        self.model = model
        self.keys = keys
        self.locale = locale
        self.name = name or f"playback-{model}"
        self.wine = None
        self.vantrel = None
        self.closed = False

    def __enter__(self):
        WORK.mkdir(parents=True, exist_ok=True)
        self.dir = Path(tempfile.mkdtemp(prefix=self.name + "-", dir=WORK))
        self.log = self.dir / "target.log"
        self.wine = rig.WineRig(locale=self.locale).__enter__()
        try:
            self._start()
        except BaseException:
            self.__exit__(*sys.exc_info())
            raise
        return self

    def _start(self):
        self.sim = Sim.start(self.wine, self.model)
        self.wine.map_ports({1: self.sim.pty})
        self.target = self.wine.start_target(self.log)
        layout = self.dir / "keys.fkl"
        layout.write_bytes(layout_bytes(self.keys))
        (self.dir / "Vantrel.sys").write_bytes(
            settings_bytes(FkNameT=rig.winpath(layout), FileOn=1, FkModel=self.model))
        self.started_at = time.monotonic()
        self.vantrel = self.wine.start_wine(VANTREL, cwd=self.dir)

    def close(self, timeout=15):
        """Asks Vantrel to close and waits for it; True when it ended by itself."""
        if self.closed or self.vantrel is None:
            return True
        self.closed = True
        request_close(self.wine)
        try:
            self.vantrel.wait(timeout)
            return True
        except subprocess.TimeoutExpired:
            self.vantrel.kill()
            return False

    def __exit__(self, *exc):
        try:
            if self.vantrel is not None:
                self.close()
        finally:
            if self.wine is not None:
                self.wine.__exit__(*exc)
        if exc[0] is None and not os.environ.get("VANTREL_KEEP_E2E"):
            shutil.rmtree(self.dir, ignore_errors=True)

    # -- the target's log ---------------------------------------------------
    def mark(self) -> int:
        """The number of log events so far, to look only at what follows."""
        return len(rig.log_events(self.log))

    def events_after(self, mark, kinds=None):
        return [(e, d) for _, e, d in rig.log_events(self.log)[mark:]
                if kinds is None or e in kinds]

    def wait_events(self, mark, until, kinds=None, timeout=10):
        """Waits until until(events after mark) holds; returns those events."""
        rig.wait_for(lambda: until(self.events_after(mark, kinds)), timeout,
                     f"target events in {self.log}")
        return self.events_after(mark, kinds)

    def settle(self, mark, kinds=None, quiet=0.3, timeout=5):
        """The events after mark once none has arrived for `quiet` seconds."""
        end = time.monotonic() + timeout
        last, since = None, time.monotonic()
        while time.monotonic() < end:
            now = self.events_after(mark, kinds)
            if now != last:
                last, since = now, time.monotonic()
            elif time.monotonic() - since >= quiet:
                break
            time.sleep(0.02)
        return last


KEY_EVENTS = ("keydown", "keyup", "syskeydown", "syskeyup")
# The program closes and reopens the port right after some frames; a key pressed in
# that moment must still play, so the suites press again at once. (Set above zero
# to tell a lost press from other faults.)
REOPEN_GAP = float(os.environ.get("VANTREL_REOPEN_GAP", "0"))


PTY_SHIM = rig.NATIVE / "tests" / "wine" / "libvantrel_ptyshim.so"


def odd_parity_port_reopens() -> bool:
    """False where Wine can open an odd-parity port on a pty only once: the pty
    ignores PARENB and the C library then refuses a request that asks for parity
    alone (EINVAL). wine-run preloads a shim against that when it is built."""
    if PTY_SHIM.exists():
        return True
    master, slave = os.openpty()
    try:
        tty.setraw(slave)
        # Set twice, as two openings of the port do: the second asks for PARENB alone.
        for _ in range(2):
            attrs = termios.tcgetattr(slave)
            attrs[2] |= termios.PARENB | termios.PARODD
            try:
                termios.tcsetattr(slave, termios.TCSANOW, attrs)
            except termios.error:
                return False
        return True
    finally:
        os.close(master)
        os.close(slave)


def vk(code: int) -> str:
    return f"0x{code:02X}"


def downs_ups(downs, ups):
    return [("keydown", vk(c)) for c in downs] + [("keyup", vk(c)) for c in ups]
