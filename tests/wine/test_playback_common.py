"""What the playback suites share: one Vantrel.exe under Wine with fksim on COM1
and fktarget in front, in a working directory of its own.

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

VANTREL = rig.MINGW / "Vantrel.exe"

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


# -- files the program reads ------------------------------------------------

def layout_bytes(keys) -> bytes:
    """A .fkl: keys maps (mouse state, key) to (mode, [steps]), a step "#keys" or
    "*text"; every other key is an empty record."""
    lines = []
    for mouse in range(1, 5):
        for key in range(1, 33):
            entry = keys.get((mouse, key))
            if entry is None:
                lines += ["", "", ""]
                continue
            mode, steps = entry
            lines += [f"key{key}", str(len(steps)), mode + "".join("," + s for s in steps)]
    return "".join(line + "\r\n" for line in lines).encode("cp932")


def settings_bytes(layout_winpath: str, model: str, com: int = 1) -> bytes:
    """Vantrel.sys loading the layout at start-up (the program's own line shapes)."""
    star = "*" * 82
    blank = "*" + " " * 80 + "*"
    lines = [
        star, blank, "*  MCADAM Helix 用 FK流用プログラム  設定値" + " " * 38 + "*", blank, star,
        f"FkNameT={layout_winpath}    * 起動時使用ファイル",
    ]
    for key, value, comment in (("Form2Top", "0", "エディタ画面の上下位置"),
                                ("Form2Left", "0", "エディタ画面の左右位置"),
                                ("FileOn", "1", "起動時上記のファイルを開く設定"),
                                ("Timer1On", "0", "MICRO CADAM Helix 用に自動切換設定"),
                                ("ComS", str(com), "通信ポート"),
                                ("FkModel", model, "キーボードの種類")):
        lines.append((f"{key}={value}").ljust(27) + "* " + comment)
    return "".join(line + "\r\n" for line in lines).encode("cp932")


# -- fksim ----------------------------------------------------------------

class Sim:
    """fksim's scripted face: one command, one reply (or block)."""

    def __init__(self, proc):
        self.proc = proc
        first = proc.popen.stdout.readline().split()
        if not first or first[0] != "pty":
            raise RuntimeError(f"fksim did not start: {first}")
        self.pty = first[1]

    def cmd(self, line: str, timeout_ms: int = 0):
        out = self.proc.popen.stdout
        self.proc.popen.stdin.write(line + "\n")
        self.proc.popen.stdin.flush()
        reply = out.readline().rstrip("\n")
        if not reply:
            raise RuntimeError(f"fksim ended on {line!r}")
        words = reply.split()
        if len(words) == 3 and words[0] == "ok" and words[1] in ("frames", "bytes", "help"):
            return [reply] + [out.readline().rstrip("\n") for _ in range(int(words[2]))]
        return reply

    def wait_frame(self, name: str, ms: int = 5000):
        """(time µs, hex, name) of the next frame matching name, or None on timeout."""
        reply = self.cmd(f"wait-frame {name} {ms}")
        if not reply.startswith("ok frame "):
            return None
        _, _, t, hexs, *names = reply.split(" ")
        return int(t), hexs, " ".join(names)

    def frames(self):
        """[(time µs, hex, name)] since the last call."""
        out = []
        for line in self.cmd("frames")[1:]:
            _, t, hexs, *names = line.split(" ")
            out.append((int(t), hexs, " ".join(names)))
        return out

    def press(self, key: int) -> int:
        reply = self.cmd(f"press {key}").split()
        assert reply[:2] == ["ok", "press"], reply
        return int(reply[3])

    def send(self, data: bytes):
        reply = self.cmd("hex " + data.hex())
        assert reply == f"ok hex {len(data)}", reply

    def lamps(self) -> str:
        return self.cmd("lamps").split()[2]


# -- the session ------------------------------------------------------------

def missing_programs():
    return [str(p) for p in (VANTREL, rig.FKTARGET, rig.FKSIM) if not p.exists()]


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
        base = rig.REPO / "build" / "wine-e2e"
        base.mkdir(parents=True, exist_ok=True)
        self.dir = Path(tempfile.mkdtemp(prefix=self.name + "-", dir=base))
        self.log = self.dir / "target.log"
        self.wine = rig.WineRig(locale=self.locale).__enter__()
        try:
            self._start()
        except BaseException:
            self.__exit__(*sys.exc_info())
            raise
        return self

    def _start(self):
        sim = self.wine.start_native([rig.FKSIM, "--script", "--model", self.model],
                                     stdin=subprocess.PIPE, stdout=subprocess.PIPE, text=True,
                                     bufsize=1)
        self.sim = Sim(sim)
        self.wine.map_ports({1: self.sim.pty})
        self.target = self.wine.start_target(self.log)
        layout = self.dir / "keys.fkl"
        layout.write_bytes(layout_bytes(self.keys))
        (self.dir / "Vantrel.sys").write_bytes(settings_bytes(rig.winpath(layout), self.model))
        self.started_at = time.monotonic()
        self.vantrel = self.wine.start_wine(VANTREL, cwd=self.dir)

    def close(self, timeout=15):
        """Asks Vantrel to close (WM_CLOSE, as taskkill without /f sends it) and
        waits for it; True when it ended by itself."""
        if self.closed or self.vantrel is None:
            return True
        self.closed = True
        self.wine.run_wine("taskkill", "/im", "Vantrel.exe", timeout=60,
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
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
