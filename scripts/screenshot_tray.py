#!/usr/bin/env python3
"""Remakes docs/tray-menu.png: the tray menu of Vantrel.exe under a Japanese Wine,
its "ファイル" submenu open on a few layouts, cropped to the menus.

    scripts/screenshot_tray.py [OUTPUT.png]

Uses the Wine rig of the end-to-end suites (tests/wine/rig.py), the builds it names
(VANTREL_MINGW_BUILD, VANTREL_NATIVE_BUILD) and ImageMagick's import and convert.
"""

import subprocess
import sys
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent.parent / "tests" / "wine"))
import rig  # noqa: E402

OUTPUT = rig.REPO / "docs" / "tray-menu.png"
LAYOUTS = ("標準", "図面", "部品", "配管", "電気")  # the first is loaded at start-up
MARGIN = 2
VK_ESCAPE, VK_RIGHT, VK_DOWN = 0x1B, 0x27, 0x28


def tap(*vks):
    return [t for vk in vks for t in (f"kd:{vk}", f"ku:{vk}", "w:60")]


def main():
    rig.stop_at_exit()
    output = Path(sys.argv[1]) if len(sys.argv) > 1 else OUTPUT
    r = rig.Rig("tray-screenshot", locale="ja_JP.UTF-8")
    try:
        for name in LAYOUTS:
            r.layout(f"{name}.fkl", "1=結合,#A")
        r.settings(FkNameT=rig.winpath(r.dir / f"{LAYOUTS[0]}.fkl"), FileOn=1, FkModel="X8000")
        sim = r.start_sim()  # a port that opens: no balloon over the menu
        r.start_vantrel()
        if not sim.frame("refresh", 20000):
            sys.exit("Vantrel.exe did not start")
        rc, lines = r.inject("post", "VantrelMainWindow", "0x200", "1", "0x204", "menus", "3000",
                             *tap(VK_DOWN, VK_DOWN, VK_RIGHT), "w:300", "menus", "3000")
        rects = [[int(v) for v in line.split()[1:]] for line in lines if line.startswith("menu ")]
        if rc != 0 or len(rects) < 2:
            sys.exit(f"the menu and its submenu did not open: {lines}")
        left = min(x[0] for x in rects) - MARGIN
        top = min(x[1] for x in rects) - MARGIN
        right = max(x[2] for x in rects) + MARGIN
        bottom = max(x[3] for x in rects) + MARGIN
        shot = r.dir / "screen.png"
        subprocess.run(["import", "-display", r.env["DISPLAY"], "-window", "root", shot],
                       check=True)
        r.inject(*tap(VK_ESCAPE, VK_ESCAPE))
    finally:
        r.close()
    output.parent.mkdir(parents=True, exist_ok=True)
    subprocess.run(["convert", shot, "-crop", f"{right - left}x{bottom - top}+{left}+{top}",
                    "+repage", "-strip", "-colors", "16", output], check=True)
    print(output)


if __name__ == "__main__":
    main()
