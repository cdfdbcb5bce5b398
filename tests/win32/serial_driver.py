#!/usr/bin/env python3
"""Runs a Win32 test program (its command line follows, through wine-run) with COM1
mapped to a pty whose device end this plays: it echoes every byte, stops reading for a
second after "~~STALL~~" (as a device whose line has stopped draining), and hangs up on
"~~HANGUP~~"."""
import os
import subprocess
import sys
import threading
import time
import tty


def echo(master, hangup=b"~~HANGUP~~", stall=b"~~STALL~~"):
    tail = b""
    while True:
        data = os.read(master, 4096)
        if hangup in tail + data:
            return os.close(master)  # the program's side of the line is dead now
        stalled = stall in tail + data
        tail = (tail + data)[-len(hangup):]
        os.write(master, data)
        if stalled:
            time.sleep(1)


master, slave = os.openpty()
tty.setraw(slave)  # kept open: the pty outlives the program closing and reopening the port
env = {k: v for k, v in os.environ.items() if not k.startswith("VANTREL_COM")}
env.update(VANTREL_COM1=os.ttyname(slave), VANTREL_TEST_PTY_PORT="1")
threading.Thread(target=echo, args=(master,), daemon=True).start()
sys.exit(subprocess.run(sys.argv[1:], env=env).returncode)  # CTest ends it on a timeout
