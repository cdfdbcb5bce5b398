#!/usr/bin/env python3
"""Remakes docs/editor-100.png and docs/editor-150.png: the layout editor of
Vantrel.exe under a Japanese Wine at 100 % and 150 % scaling (96 and 144 DPI),
opened from the tray menu on a loaded layout, cropped to its window; and
docs/assign-100.png, docs/assign-150.png: key 3's assignment dialog over it, its
strip of key and text steps scrolled to the end.

    scripts/screenshot_editor.py [OUTPUT_FOLDER]

Uses the Wine rig of the end-to-end suites (tests/wine/rig.py) in a prefix of its
own (build/wine-prefix-screenshots), where Wine draws the window frames itself
(there is no window manager on Xvfb) and the DPI is set; ImageMagick's import and
convert take the picture.
"""

import os
import subprocess
import sys
from pathlib import Path

REPO = Path(__file__).resolve().parent.parent
os.environ.setdefault("VANTREL_WINEPREFIX", str(REPO / "build" / "wine-prefix-screenshots"))
sys.path.insert(0, str(REPO / "tests" / "wine"))
import rig  # noqa: E402

EDITOR = ["VantrelEditorWindow", "Button Editor Ve1.2"]
ASSIGN = ["VantrelAssignKeyWindow", "Button 3 (マウスのクリック無)"]
KEY_3 = "3=結合,#Shift+Ctrl+A,*図面番号を入力,#Enter,#Ctrl+F5,*部品表,#Tab,#Alt+RightClick,#F12,*寸法"
VK_RETURN, VK_DOWN = 0x0D, 0x28
DPI_KEYS = (r"HKCU\Control Panel\Desktop",
            r"HKLM\System\CurrentControlSet\Hardware Profiles\Current\Software\Fonts")


def tap(*vks):
    return [t for vk in vks for t in (f"kd:{vk}", f"ku:{vk}", "w:60")]


def reg_add(r, key, name, kind, value):
    r.wine("reg", "add", key, "/v", name, "/t", kind, "/d", str(value), "/f",
           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL).wait(60)


def window_shot(r, window, name):
    """The screen with `window` in it, and the window's place on it."""
    rc, lines = r.inject("w:1000", "rect", *window)
    if rc != 0 or not lines[-1].startswith("rect "):
        sys.exit(f"no window {window}: {lines}")
    shot = r.dir / name
    subprocess.run(["import", "-display", r.env["DISPLAY"], "-window", "root", shot], check=True)
    return shot, [int(v) for v in lines[-1].split()[1:5]]


def crop(shot, rect, output):
    left, top, right, bottom = rect
    subprocess.run(["convert", shot, "-crop", f"{right - left}x{bottom - top}+{left}+{top}",
                    "+repage", "-strip", output], check=True)
    print(output)


def shoot(dpi, editor_output, assign_output):
    r = rig.Rig(f"editor-screenshot-{dpi}", locale="ja_JP.UTF-8")
    try:
        reg_add(r, r"HKCU\Software\Wine\X11 Driver", "Decorated", "REG_SZ", "N")
        for key in DPI_KEYS:
            reg_add(r, key, "LogPixels", "REG_DWORD", dpi)
        r.settings(FkNameT=r.layout("部品.fkl", "1=結合,#A", KEY_3), FileOn=1, FkModel="X8000",
                   Form2Top=300, Form2Left=300)
        sim = r.start_sim()
        app = r.start_vantrel()
        if not sim.frame("refresh", 20000):
            sys.exit("Vantrel.exe did not start")
        rc, lines = r.inject("post", "VantrelMainWindow", "0x200", "1", "0x204", "menus", "3000",
                             *tap(VK_DOWN, VK_DOWN, VK_DOWN, VK_RETURN), "wait", *EDITOR, "10000")
        if rc != 0:
            sys.exit(f"the editor did not open: {lines}")
        shots = [window_shot(r, EDITOR, "editor.png")]
        r.inject("click", *EDITOR, "3", "wait", *ASSIGN, "5000")
        shots.append(window_shot(r, ASSIGN, "assign.png"))
        r.close_vantrel(app)
    finally:
        r.close()
    for (shot, rect), output in zip(shots, (editor_output, assign_output)):
        crop(shot, rect, output)


def main():
    rig.stop_at_exit()
    folder = Path(sys.argv[1]) if len(sys.argv) > 1 else REPO / "docs"
    folder.mkdir(parents=True, exist_ok=True)
    for scale, dpi in ((100, 96), (150, 144)):
        shoot(dpi, folder / f"editor-{scale}.png", folder / f"assign-{scale}.png")


if __name__ == "__main__":
    main()
