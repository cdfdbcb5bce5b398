#!/usr/bin/env python3
"""Remakes docs/tray-menu.png: the tray menu of Vantrel.exe under a Japanese Wine,
its "ファイル" submenu open on a few layouts, cropped to the menus.

    screenshot_tray.py [OUTPUT.png]

Uses the builds rig.py names (VANTREL_MINGW_BUILD, VANTREL_NATIVE_BUILD) and
ImageMagick's import and convert.
"""

import subprocess
import sys
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))
import rig  # noqa: E402
from test_tray_e2e import VK_DOWN, VK_ESCAPE, VK_RIGHT, inject, open_menu, tap  # noqa: E402
from vantrel_e2e import FKINJECT, VANTREL, Sim, layout_bytes, settings_bytes, typing  # noqa: E402

WORK = rig.REPO / "build" / "wine-e2e" / "tray-screenshot"
OUTPUT = rig.REPO / "docs" / "tray-menu.png"
LAYOUTS = ("標準", "図面", "部品", "配管", "電気")  # the first is loaded at start-up
MARGIN = 2


def main():
    output = Path(sys.argv[1]) if len(sys.argv) > 1 else OUTPUT
    missing = [str(p) for p in (VANTREL, FKINJECT, rig.FKSIM) if not p.exists()]
    if missing:
        sys.exit(f"not built: {', '.join(missing)}")
    WORK.mkdir(parents=True, exist_ok=True)
    for f in WORK.iterdir():
        f.unlink()
    for name in LAYOUTS:
        (WORK / f"{name}.fkl").write_bytes(layout_bytes(typing("A")))
    (WORK / "Vantrel.sys").write_bytes(settings_bytes(
        FkNameT=rig.winpath(WORK / f"{LAYOUTS[0]}.fkl"), FileOn=1, FkModel="X8000"))
    link = WORK / "com1"
    with rig.WineRig(ports={1: link}, locale="ja_JP.UTF-8") as wine:
        sim = Sim.start(wine, "X8000", link)  # a port that opens: no balloon over the menu
        wine.start_wine(VANTREL, cwd=WORK)
        if sim.wait_frame("refresh", 20000) is None:
            sys.exit("Vantrel.exe did not start")
        if not open_menu(wine):
            sys.exit("the menu did not open")
        rc, lines = inject(wine, *tap(VK_DOWN, VK_DOWN, VK_RIGHT), "w:300", "menus", "3000")
        if rc != 0:
            sys.exit("the submenu did not open")
        rects = [[int(v) for v in line.split()[1:]] for line in lines]
        left = min(r[0] for r in rects) - MARGIN
        top = min(r[1] for r in rects) - MARGIN
        right = max(r[2] for r in rects) + MARGIN
        bottom = max(r[3] for r in rects) + MARGIN
        shot = WORK / "screen.png"
        wine.screenshot(shot)
        inject(wine, *tap(VK_ESCAPE, VK_ESCAPE))
    output.parent.mkdir(parents=True, exist_ok=True)
    subprocess.run(["convert", str(shot), "-crop", f"{right - left}x{bottom - top}+{left}+{top}",
                    "+repage", "-strip", "-colors", "16", str(output)], check=True)
    print(output)


if __name__ == "__main__":
    main()
