"""The Linux side of a Windows program the rig started: the Wine loader process that
runs it (in the session of the rig's wine-run process) and what /proc says of it."""

import os


def pid_of(proc, exe):
    """The pid of the process in `proc`'s session whose command line names `exe`."""
    for pid in filter(str.isdigit, os.listdir("/proc")):
        try:
            session = int(open(f"/proc/{pid}/stat").read().rsplit(")", 1)[1].split()[3])
            argv0 = open(f"/proc/{pid}/cmdline", "rb").read().split(b"\0")[0].decode()
        except (OSError, IndexError, ValueError):
            continue
        if session == proc.pid and argv0.replace("\\", "/").lower().endswith("/" + exe.lower()):
            return int(pid)
    raise RuntimeError(f"no process runs {exe}")


def status(pid):
    """(VmRSS in kB, threads, open file descriptors) of a process."""
    fields = dict(line.split(":", 1) for line in open(f"/proc/{pid}/status"))
    return (int(fields["VmRSS"].split()[0]), int(fields["Threads"]),
            len(os.listdir(f"/proc/{pid}/fd")))
