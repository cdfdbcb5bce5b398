#!/usr/bin/env python3
"""Vantrel-setup.exe under Wine, in a fresh prefix of its own."""

import os
import shutil
import subprocess
import unittest
from pathlib import Path

import rig

SETUP = rig.MINGW / "Vantrel-setup.exe"
# Not the suites' prefix: this one gets a program installed. Its COM links are its own.
rig.PREFIX = Path(f"{rig.PREFIX}-installer")
rig.WORK = Path(f"{rig.PREFIX}.work")
HOME = rig.WORK / "installer"  # the rig's folder: Wine links Documents to $HOME
os.environ.update(HOME=str(HOME), WINEDLLOVERRIDES="mscoree,mshtml,winemenubuilder.exe=",
                  VANTREL_WINEPREFIX=str(rig.PREFIX))
KEY = r"HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Vantrel"


class Installer(unittest.TestCase):
    def test_install_start_upgrade_uninstall(self):
        subprocess.run([rig.WINE_RUN, "--stop"], check=True)
        shutil.rmtree(rig.PREFIX, ignore_errors=True)
        self.addCleanup(subprocess.run, [rig.WINE_RUN, "--stop"])
        r = rig.Rig("installer")
        self.addCleanup(r.close)
        run = lambda *args: r.wine(*args, stdout=subprocess.DEVNULL).wait(60)  # noqa: E731
        installed, docs = rig.PREFIX / "drive_c/Program Files/Vantrel", HOME / "Vantrel"
        self.assertEqual(run(SETUP, "/S", "/STARTUP=1"), 0)
        menu = next(rig.PREFIX.glob("drive_c/users/*/AppData/Roaming/Microsoft/Windows/"
                                    "Start Menu/Programs/Vantrel.lnk"))
        startup = menu.parent / "StartUp" / "Vantrel.lnk"
        self.assertTrue(startup.exists())
        self.assertEqual(sorted(os.listdir(installed)),
                         ["Uninstall.exe", "Vantrel.chm", "Vantrel.exe", "examples"])
        examples = sorted(p.name for p in (rig.REPO / "examples").glob("*.fkl"))
        self.assertEqual(sorted(os.listdir(installed / "examples")), examples)
        self.assertEqual(sorted(os.listdir(docs)), examples)
        self.assertEqual(run("reg", "query", KEY), 0)
        self.assertEqual(run("start", "/unix", menu), 0)  # no device: COM1 leads nowhere
        self.assertEqual(r.inject("wait", "VantrelMainWindow", "*", "20000")[0], 0)
        (docs / "mine.fkl").write_bytes(b"mine")
        (docs / examples[0]).write_bytes(b"changed")
        kept = {p.name: p.read_bytes() for p in docs.iterdir()}
        # The upgrade closes Vantrel, which writes its settings in its working folder.
        self.assertEqual(run(SETUP, "/S"), 0)
        self.assertEqual({n: (docs / n).read_bytes() for n in kept}, kept)
        self.assertEqual(sorted(os.listdir(docs)), sorted([*kept, "Vantrel.sys"]))
        self.assertTrue(startup.exists())
        # A session start runs the StartUp folder; the uninstaller closes that Vantrel,
        # whose settings then show its working folder.
        (docs / "Vantrel.sys").unlink()
        self.assertEqual(run("wineboot"), 0)
        self.assertEqual(r.inject("wait", "VantrelMainWindow", "*", "20000")[0], 0)
        # The uninstaller runs on from a copy of itself; the program folder goes last.
        self.assertEqual(run(r"C:\Program Files\Vantrel\Uninstall.exe", "/S"), 0)
        rig.wait_for(lambda: not installed.exists(), 30, "the uninstaller")
        self.assertFalse(menu.exists() or startup.exists())
        self.assertNotEqual(run("reg", "query", KEY), 0)
        self.assertEqual(sorted(os.listdir(docs)), sorted([*kept, "Vantrel.sys"]))


if __name__ == "__main__":
    rig.main(SETUP)
