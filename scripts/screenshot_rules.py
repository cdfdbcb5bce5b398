#!/usr/bin/env python3
"""Remakes docs/rules-dialog.png: the rules dialog ("レイアウト切替") of Vantrel.exe
under a Japanese Wine at 100 % scaling (96 DPI), opened from the tray's "ファイル" submenu on
three rules (two programs and a title), cropped to its window.

    scripts/screenshot_rules.py [OUTPUT.png]

Uses the Wine rig of the end-to-end suites (tests/wine/rig.py) in the prefix of the
editor's pictures (build/wine-prefix-screenshots), where Wine draws the window frames
itself (there is no window manager on Xvfb); ImageMagick's import and convert take the
picture.
"""

import os
import subprocess
import sys
from pathlib import Path

REPO = Path(__file__).resolve().parent.parent
os.environ.setdefault("VANTREL_WINEPREFIX", str(REPO / "build" / "wine-prefix-screenshots"))
sys.path.insert(0, str(REPO / "tests" / "wine"))
import rig  # noqa: E402

OUTPUT = REPO / "docs" / "rules-dialog.png"
RULES_WINDOW = ["VantrelRulesWindow", "レイアウト切替"]
WM_CLOSE = 0x10
DPI_KEYS = (r"HKCU\Control Panel\Desktop",
            r"HKLM\System\CurrentControlSet\Hardware Profiles\Current\Software\Fonts")
# (line start, pattern, layout): the rows read "HELIX.EXE → 図面" and so on.
RULES = (("Program", "HELIX.EXE", "図面"), ("Title", "部品表 - ", "部品"),
         ("Program", "notepad.exe", "文書"))


def main():
    rig.stop_at_exit()
    output = Path(sys.argv[1]) if len(sys.argv) > 1 else OUTPUT
    r = rig.Rig("rules-screenshot", locale="ja_JP.UTF-8")
    try:
        # 96 DPI: the prefix is shared with scripts/screenshot_editor.py, which leaves 144.
        values = [(r"HKCU\Software\Wine\X11 Driver", "Decorated", "REG_SZ", "N")]
        values += [(key, "LogPixels", "REG_DWORD", 96) for key in DPI_KEYS]
        for key, name, kind, value in values:
            r.wine("reg", "add", key, "/v", name, "/t", kind, "/d", str(value), "/f",
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL).wait(60)
        layouts = {name: r.layout(f"{name}.fkl", "1=結合,#A") for _, _, name in RULES}
        r.settings(FkNameT=layouts["図面"], FileOn=1, FkModel="X8000")
        lines = ["Switch=1"] + [f"{kind}={pattern}|{layouts[name]}" for kind, pattern, name
                                in RULES]
        (r.dir / "Vantrel.rules").write_bytes("\r\n".join(lines + [""]).encode("cp932"))
        sim = r.start_sim()  # a port that opens: no balloon over the dialog
        app = r.start_vantrel()
        if not sim.frame("refresh", 20000):
            sys.exit("Vantrel.exe did not start")
        r.tray()
        r.choose(1)  # "ファイル"
        rig.wait_for(lambda: len(r.inject("menus", "100")[1]) == 2, 10, "the submenu")
        r.choose(-1)  # "レイアウト切替..."
        rc, out = r.inject("wait", *RULES_WINDOW, "10000", "w:1000", "rect", *RULES_WINDOW)
        if rc != 0:
            sys.exit(f"the rules dialog did not open: {out}")
        left, top, right, bottom = (int(v) for v in out[-1].split()[1:5])
        shot = r.dir / "screen.png"
        subprocess.run(["import", "-display", r.env["DISPLAY"], "-window", "root", shot],
                       check=True)
        r.inject("post", RULES_WINDOW[0], str(WM_CLOSE), "0", "0", "gone", *RULES_WINDOW, "5000")
        r.close_vantrel(app)
    finally:
        r.close()
    subprocess.run(["convert", shot, "-crop", f"{right - left}x{bottom - top}+{left}+{top}",
                    "+repage", "-strip", output], check=True)
    print(output)


if __name__ == "__main__":
    main()
