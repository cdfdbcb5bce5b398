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
SESSION = r"HKLM\System\CurrentControlSet\Control\Session Manager"
RIGHTS = "O:BAD:PAI(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;0x1200a9;;;BU)"  # Program Files'


class Installer(unittest.TestCase):
    def test_install_start_upgrade_uninstall(self):
        subprocess.run([rig.WINE_RUN, "--stop"], check=True)
        shutil.rmtree(rig.PREFIX, ignore_errors=True)
        self.addCleanup(subprocess.run, [rig.WINE_RUN, "--stop"])
        r = rig.Rig("installer")
        self.addCleanup(r.close)
        run = lambda *args: r.wine(*args, stdout=subprocess.DEVNULL).wait(60)  # noqa: E731
        c = rig.PREFIX / "drive_c"
        installed, docs = c / "Program Files/Vantrel", HOME / "Vantrel"
        common = c / "ProgramData/Microsoft/Windows/Start Menu/Programs"
        own = next(c.glob("users/*/AppData/Roaming/Microsoft/Windows/Start Menu/Programs"))
        shortcuts = lambda: sorted(c.glob("**/Vantrel.lnk"))  # noqa: E731
        examples = sorted(p.name for p in (rig.REPO / "examples").glob("*.fkl"))

        # Elsewhere than Program Files, a folder inside one a user made (Wine: every
        # folder is the user's) or one holding others' files is refused, nothing changed.
        (c / "Shared").mkdir()
        for folder in (c / "Busy", c / "Vantrel"):  # everyone may change them, as under C:\
            folder.mkdir()
            folder.chmod(0o777)
        (c / "Busy/tool.dll").write_bytes(b"theirs")
        busy = r.inject("sddl", r"C:\Busy")
        for target in (r"C:\Shared\Vantrel", r"C:\Busy"):
            self.assertEqual(run(SETUP, "/S", "/D=" + target), 2, target)
        self.assertEqual([os.listdir(c / "Shared"), os.listdir(c / "Busy")], [[], ["tool.dll"]])
        self.assertEqual(r.inject("sddl", r"C:\Busy"), busy)

        # Over the per-user installer of before: its shortcuts go, its logon choice stays.
        (own / "StartUp").mkdir(parents=True, exist_ok=True)
        for lnk in (own / "Vantrel.lnk", own / "StartUp/Vantrel.lnk"):
            lnk.write_bytes(b"")
        self.assertEqual(run(SETUP, "/S"), 0)
        self.assertEqual(shortcuts(), [common / "StartUp/Vantrel.lnk", common / "Vantrel.lnk"])
        self.assertEqual(sorted(os.listdir(installed)),
                         ["Uninstall.exe", "Vantrel.chm", "Vantrel.exe", "examples"])
        self.assertEqual(sorted(os.listdir(installed / "examples")), examples)
        self.assertEqual(run("reg", "query", KEY), 0)
        self.assertEqual(run("start", "/unix", common / "Vantrel.lnk"), 0)
        self.assertEqual(r.inject("wait", "VantrelMainWindow", "*", "20000")[0], 0)
        # The upgrade closes Vantrel, which writes its settings in its working folder.
        self.assertEqual(run(SETUP, "/S"), 0)
        self.assertFalse(rig.vantrel_running())

        # A copy no window message reaches (another session; here another desktop) runs
        # on: its program file is renamed, to be deleted at the next restart.
        r.wine("explorer", "/desktop=other,640x480", r"C:\Program Files\Vantrel\Vantrel.exe")
        rig.wait_for(rig.vantrel_running, 20, "Vantrel on another desktop")
        self.assertEqual(run(SETUP, "/S", "/STARTUP=0"), 0)
        self.assertEqual(shortcuts(), [common / "Vantrel.lnk"])
        self.assertIn("Vantrel.exe.old1", os.listdir(installed))
        pending = r.wine("reg", "query", SESSION, "/v", "PendingFileRenameOperations",
                         stdout=subprocess.PIPE, text=True).communicate(timeout=60)[0]
        self.assertIn(r"Vantrel\Vantrel.exe.old1", pending)
        self.assertTrue(rig.vantrel_running())

        # The uninstaller takes only what was put in; the user's working folder stays.
        (installed / "examples/theirs.fkl").write_bytes(b"theirs")
        self.assertEqual(run(r"C:\Program Files\Vantrel\Uninstall.exe", "/S"), 0)
        rig.wait_for(lambda: not (installed / "Uninstall.exe").exists(), 30, "the uninstaller")
        self.assertEqual(sorted(os.listdir(installed)), ["Vantrel.exe.old1", "examples"])
        self.assertEqual(os.listdir(installed / "examples"), ["theirs.fkl"])
        self.assertEqual(shortcuts(), [])
        self.assertNotEqual(run("reg", "query", KEY), 0)
        self.assertEqual(sorted(os.listdir(docs)), sorted([*examples, "Vantrel.sys"]))

        # Elsewhere, the folders made are made with the rights of Program Files; an
        # empty folder everyone may change gets them. Wine keeps no descriptor without
        # xattr support but maps the rights to the mode: a folder made then lacks
        # "everyone" (WD), whom the other then lets only read and run.
        self.assertEqual(run(SETUP, "/S", r"/D=C:\Tools\Vantrel"), 0)
        rights = r.inject("sddl", r"C:\Tools")[1][0]
        self.assertTrue(rights == f"sddl {RIGHTS}" or "WD)" not in rights, rights)
        self.assertEqual(run(SETUP, "/S", r"/D=C:\Vantrel"), 0)
        rights = r.inject("sddl", r"C:\Vantrel")[1][0]
        self.assertTrue(rights == f"sddl {RIGHTS}" or rights.endswith(";0x1200a9;;;WD)"), rights)
        # An install's own folder, holding only its files, takes the next one.
        self.assertEqual(run(SETUP, "/S", r"/D=C:\Vantrel"), 0)


if __name__ == "__main__":
    rig.main(SETUP)
