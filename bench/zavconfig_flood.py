#!/usr/bin/env python3
"""What a hostile viewer makes a running zavconfig hold, measured on the program itself.

zavconfig runs in window mode against the stand-in server (started by the caller), with
the descriptor limit at 1,024. While one flood runs, this samples the program's open
descriptors and resident memory (/proc/<pid>) and, as the main loop's stall, the time
from a connection-query event of the stand-in to the prompt's MapNotify (an X client
through ctypes watches the root window; the prompt of each probe replaces the last).

Floods:
  shares    200 pushed shares of 8 files whose data never comes
  listings  3 pushed shares of 400,000 entries whose data never comes
  chat      20,000 joins and leaves and 20,000 chat lines

Usage: zavconfig_flood.py <zavconfig> <display> <control socket> <work dir> <flood>"""

import ctypes
import json
import os
import resource
import socket
import subprocess
import sys
import threading
import time

MAP_NOTIFY = 19
SUBSTRUCTURE_NOTIFY_MASK = 1 << 19


class XEvent(ctypes.Union):
    _fields_ = [("type", ctypes.c_int), ("pad", ctypes.c_long * 24)]


class Control:
    def __init__(self, path):
        self.sock = socket.socket(socket.AF_UNIX)
        self.sock.connect(path)
        self.lock = threading.Lock()

    def __call__(self, cmd):
        with self.lock:
            self.sock.sendall(json.dumps(cmd).encode() + b"\n")
            answer = b""
            while not answer.endswith(b"\n"):
                answer += self.sock.recv(1 << 20)
        return json.loads(answer)


def sample(pid):
    """Open descriptors and resident MiB; (0, 0) once the process has ended."""
    try:
        fds = len(os.listdir("/proc/%d/fd" % pid))
        with open("/proc/%d/status" % pid) as f:
            rss = [int(line.split()[1]) for line in f if line.startswith("VmRSS:")]
    except OSError:
        return 0, 0.0
    return (fds, rss[0] / 1024.0) if rss else (0, 0.0)


class Prober:
    """Times query events to mapped prompts on a display of its own."""

    def __init__(self, display, control):
        self.x = ctypes.CDLL("libX11.so.6")
        self.x.XOpenDisplay.restype = ctypes.c_void_p
        self.x.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
        self.x.XDefaultRootWindow.restype = ctypes.c_ulong
        self.x.XSelectInput.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_long]
        self.x.XNextEvent.argtypes = [ctypes.c_void_p, ctypes.POINTER(XEvent)]
        self.x.XPending.argtypes = [ctypes.c_void_p]
        self.x.XFlush.argtypes = [ctypes.c_void_p]
        self.x.XConnectionNumber.argtypes = [ctypes.c_void_p]
        self.dpy = self.x.XOpenDisplay(display.encode())
        if not self.dpy:
            sys.exit("cannot open display " + display)
        self.x.XSelectInput(self.dpy, self.x.XDefaultRootWindow(self.dpy),
                            SUBSTRUCTURE_NOTIFY_MASK)
        self.x.XFlush(self.dpy)
        self.control = control
        self.n = 0

    def probe(self, limit=60.0):
        """Milliseconds from the query event to the prompt's MapNotify (limit if never)."""
        self.n += 1
        self.control({"cmd": "set", "query": {"user": "probe", "timeout": 600, "id": self.n}})
        start = time.perf_counter()
        self.control({"cmd": "event", "event": "query"})
        fd = self.x.XConnectionNumber(self.dpy)
        ev = XEvent()
        import select
        while time.perf_counter() - start < limit:
            while self.x.XPending(self.dpy):
                self.x.XNextEvent(self.dpy, ctypes.byref(ev))
                if ev.type == MAP_NOTIFY:
                    return (time.perf_counter() - start) * 1000
            select.select([fd], [], [], 0.05)
        return limit * 1000


def flood(control, kind):
    if kind == "shares":
        control({"cmd": "stream", "kind": "ft", "series":
                 {"shares": 200, "files": 8, "silent": True}})
        return lambda st: st["ft"]["listings"] >= 200 and st["ft"]["unanswered"] >= 64
    if kind == "listings":
        control({"cmd": "stream", "kind": "ft", "series":
                 {"shares": 3, "files": 400000, "silent": True}})
        return lambda st: st["ft"]["listings"] >= 3
    if kind == "chat":
        def send():
            for batch in range(200):
                msgs = []
                for i in range(100):
                    who = "v%d" % (batch * 100 + i)
                    msgs.append({"type": 4, "joined": i % 2 == 0, "name": who,
                                 "endpoint": "10.0.%d.%d" % (batch % 250, i)})
                    msgs.append({"type": 3, "sender": who, "endpoint": "10.0.0.1",
                                 "text": "line %d of the flood" % (batch * 100 + i)})
                control({"cmd": "stream", "kind": "chat", "send": msgs})
        threading.Thread(target=send, daemon=True).start()
        return None
    sys.exit("unknown flood " + kind)


def main():
    exe, display, control_path, work, kind = sys.argv[1:6]
    control = Control(control_path)
    env = dict(os.environ, DISPLAY=display, HOME=work)
    os.makedirs(os.path.join(work, ".zav"), exist_ok=True)
    fetch = os.path.join(work, "fetch")
    os.makedirs(fetch, exist_ok=True)
    resource.setrlimit(resource.RLIMIT_NOFILE, (1024, resource.getrlimit(resource.RLIMIT_NOFILE)[1]))
    if kind == "chat":
        control({"cmd": "stream", "kind": "chat", "set": {"send": [{"type": 2}]}})
    log = open(os.path.join(work, "zavconfig-%s.log" % kind), "w")
    proc = subprocess.Popen([exe, "-FetchDir", fetch], env=env, stdout=log, stderr=log)
    prober = Prober(display, control)
    time.sleep(3)
    fds0, rss0 = sample(proc.pid)
    done = flood(control, kind)
    peak_fds, peak_rss, stalls = fds0, rss0, []
    start = time.time()
    end = start + 600
    quiet_since = None
    while time.time() < end and proc.poll() is None:
        stalls.append(prober.probe())
        fds, rss = sample(proc.pid)
        peak_fds, peak_rss = max(peak_fds, fds), max(peak_rss, rss)
        st = {k: control({"cmd": "stream", "kind": k, "status": True})["status"]
              for k in ("ft", "chat")}
        finished = done(st) if done else len(stalls) >= 30
        if finished:
            quiet_since = quiet_since or time.time()
            if time.time() - quiet_since > 5:
                break
    alive = proc.poll() is None
    fds, rss = sample(proc.pid) if alive else (0, 0)
    if not alive:
        log.flush()
        with open(log.name) as f:
            tail = [line.rstrip() for line in f][-3:]
        print("%-8s ended with status %s: %s" % (kind, proc.returncode, " | ".join(tail)))
    print("%-8s alive=%s descriptors %d -> peak %d (end %d); resident %.0f -> peak %.0f MiB;"
          " main-loop stall (query to prompt) median %.0f ms, max %.0f ms over %d probes; %.0f s"
          % (kind, alive, fds0, peak_fds, fds, rss0, peak_rss,
             sorted(stalls)[len(stalls) // 2] if stalls else 0, max(stalls or [0]),
             len(stalls), time.time() - start))
    proc.terminate()
    proc.wait(30)


if __name__ == "__main__":
    main()
