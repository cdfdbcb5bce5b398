#!/usr/bin/env python3
"""Vantrel.msi under Wine's msiexec in a fresh prefix of its own, and a package of a
higher version made here from the same .wxs."""

import os
import re
import shutil
import subprocess
import unittest
from pathlib import Path

import rig

MSI = rig.MINGW / "Vantrel.msi"
# Not the suites' prefix: this one gets a program installed. Its COM links are its own.
rig.PREFIX = Path(f"{rig.PREFIX}-msi")
rig.WORK = Path(f"{rig.PREFIX}.work")
HOME, NEXT = rig.WORK / "msi", rig.WORK / "next"  # the rig's folder: Documents is $HOME
PROGRAMS = "Microsoft/Windows/Start Menu/Programs/Vantrel.lnk"
UNINSTALL = r"HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall"
os.environ.update(HOME=str(HOME), WINEDLLOVERRIDES="mscoree,mshtml,winemenubuilder.exe=",
                  VANTREL_WINEPREFIX=str(rig.PREFIX))


class Msi(unittest.TestCase):
    def test_install_start_upgrade_uninstall(self):
        subprocess.run([rig.WINE_RUN, "--stop"], check=True)
        shutil.rmtree(rig.PREFIX, ignore_errors=True)
        shutil.rmtree(NEXT, ignore_errors=True)
        self.addCleanup(subprocess.run, [rig.WINE_RUN, "--stop"])
        r = rig.Rig("msi")
        self.addCleanup(r.close)
        run = lambda *args: r.wine(*args, stdout=subprocess.DEVNULL).wait(120)  # noqa: E731
        started = lambda: self.assertEqual(  # noqa: E731
            r.inject("wait", "VantrelMainWindow", "*", "20000")[0], 0)
        installed, docs = rig.PREFIX / "drive_c/Program Files/Vantrel", HOME / "Vantrel"
        examples = sorted(p.name for p in (rig.REPO / "examples").glob("*.fkl"))

        def close():
            # The Restart Manager's part on Windows, before it replaces the files in use;
            # Wine's does nothing (the new Vantrel.exe would wait for a reboot).
            self.assertEqual(r.inject("post", "VantrelMainWindow", "16", "0", "0")[0], 0)
            rig.wait_for(lambda: not rig.vantrel_running(), 20, "Vantrel to end")

        def versions():  # DisplayVersion of each uninstall entry named Vantrel
            out = r.wine("reg", "query", UNINSTALL, "/s", stdout=subprocess.PIPE,
                         text=True).communicate(timeout=60)[0]
            return [re.search(r"DisplayVersion +REG_SZ +(\S*)", e)[1] for e in out.split("\n\n")
                    if re.search(r"DisplayName +REG_SZ +Vantrel\n", e)]

        # The program folder is Program Files' whatever the command line says.
        self.assertEqual(run("msiexec", "/i", MSI, "/qn", "STARTUP=1", "INSTALLDIR=C:\\Tools\\",
                             "TARGETDIR=C:\\Tools\\"), 0)
        self.assertEqual(sorted(os.listdir(installed)), ["Vantrel.chm", "Vantrel.exe", "examples"])
        self.assertEqual(sorted(os.listdir(installed / "examples")), examples)
        # Windows puts them in the common Programs (ALLUSERS=1); Wine 8's msiexec in the
        # installing user's whatever ALLUSERS says.
        menu, = (m for m in [rig.PREFIX / "drive_c/ProgramData" / PROGRAMS, *rig.PREFIX.glob(
            f"drive_c/users/*/AppData/Roaming/{PROGRAMS}")] if m.exists())
        startup = menu.parent / "StartUp" / "Vantrel.lnk"
        self.assertTrue(startup.exists())
        # Started in its program folder, Vantrel works in Documents\Vantrel, made now.
        self.assertEqual(run("start", "/unix", menu), 0)  # no device: COM1 leads nowhere
        started()
        self.assertEqual(sorted(os.listdir(docs)), examples)
        (installed / "examples" / "mine.fkl").write_bytes(b"mine")

        # A higher version, around a Vantrel.exe of the same version stamp but other bytes.
        before, = versions()
        version = f"{int(before.split('.')[0]) + 1}.0.0"
        NEXT.mkdir(parents=True)
        shutil.copy(rig.MINGW / "Vantrel.chm", NEXT)
        (NEXT / "Vantrel.exe").write_bytes(program := rig.VANTREL.read_bytes() + b"next")
        subprocess.run(["cmake", f"-DVANTREL_BIN={NEXT}", f"-DVANTREL_MSI={NEXT}/Vantrel.msi",
                        f"-DVANTREL_MSI_VERSION={version}", "-P", rig.REPO / "cmake/msi.cmake"],
                       check=True)
        close()
        self.assertIn("Vantrel.sys", os.listdir(docs))  # written as it closed
        # Without STARTUP, the upgrade keeps the start at logon.
        self.assertEqual(run("msiexec", "/i", NEXT / "Vantrel.msi", "/qn"), 0)
        self.assertEqual(versions(), [version])
        self.assertEqual((installed / "Vantrel.exe").read_bytes(), program)
        self.assertTrue(menu.exists() and startup.exists())
        # The older package refuses, and says why (in a message box, but for /qn).
        older = r.wine("msiexec", "/i", MSI, "/qb")
        self.assertEqual(r.inject("wait", "#32770", "*", "20000")[0], 0)
        self.assertIn("text より新しいバージョンの Vantrel が既にインストールされています。",
                      r.inject("texts", "#32770", "*")[1])
        r.inject("click", "#32770", "*", "OK")
        self.assertEqual(older.wait(60), 1603 % 256)  # exit codes reach Linux cut to 8 bits
        # A session start runs the StartUp folder: the new Vantrel.
        self.assertEqual(run("wineboot"), 0)
        started()
        close()

        # All the package put there goes; someone's file and the user's folder stay.
        kept = {p.name: p.read_bytes() for p in docs.iterdir()}
        self.assertEqual(run("msiexec", "/x", NEXT / "Vantrel.msi", "/qn"), 0)
        self.assertEqual(sorted(p.relative_to(installed).as_posix() for p in installed.rglob("*")),
                         ["examples", "examples/mine.fkl"])
        self.assertFalse(menu.exists() or startup.exists())
        self.assertEqual(versions(), [])
        self.assertNotEqual(run("reg", "query", r"HKLM\Software\Vantrel"), 0)
        self.assertEqual({p.name: p.read_bytes() for p in docs.iterdir()}, kept)


if __name__ == "__main__":
    rig.main(MSI)
