#!/usr/bin/env python3
"""Time from SIGTERM to the end of a running zavconfig in window mode, with
its tray icon child running as usual and with that child stopped (as by ^Z
or a debugger), which the program must kill rather than wait for.

Usage: zavconfig_exit.py <zavconfig> <display> [rounds]"""

import os
import signal
import statistics
import subprocess
import sys
import time


def children(pid):
    try:
        with open("/proc/%d/task/%d/children" % (pid, pid)) as f:
            return [int(c) for c in f.read().split()]
    except OSError:
        return []


def one_round(exe, display, stop_child):
    env = dict(os.environ, DISPLAY=display)
    proc = subprocess.Popen([exe], env=env, stdout=subprocess.DEVNULL,
                            stderr=subprocess.DEVNULL)
    deadline = time.monotonic() + 30
    while not children(proc.pid):
        if time.monotonic() > deadline or proc.poll() is not None:
            proc.kill()
            proc.wait()
            sys.exit("zavconfig did not start its tray icon child")
        time.sleep(0.05)
    # The window and the icon settle.
    time.sleep(1)
    child = children(proc.pid)[0]
    if stop_child:
        os.kill(child, signal.SIGSTOP)
        time.sleep(0.1)
    start = time.perf_counter()
    proc.send_signal(signal.SIGTERM)
    proc.wait()
    took = (time.perf_counter() - start) * 1000
    try:
        os.kill(child, signal.SIGKILL)
    except ProcessLookupError:
        pass
    return took


def main():
    exe, display = sys.argv[1], sys.argv[2]
    rounds = int(sys.argv[3]) if len(sys.argv) > 3 else 10
    for stop_child, what in ((False, "tray icon child running"),
                             (True, "tray icon child stopped")):
        times = [one_round(exe, display, stop_child) for _ in range(rounds)]
        print("SIGTERM to exit, %s: median %.0f ms, max %.0f ms over %d rounds"
              % (what, statistics.median(times), max(times), rounds))


if __name__ == "__main__":
    main()
