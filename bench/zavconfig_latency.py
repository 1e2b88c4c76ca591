#!/usr/bin/env python3
"""Time from a connection-query event of the stand-in server to the mapped
prompt of a running zavconfig: an X client (libX11 through ctypes) watches the
root window for MapNotify, the query event is injected through the stand-in's
control socket, and the clock stops at the prompt's MapNotify.

Usage: zavconfig_latency.py <display> <control socket> [rounds]"""

import ctypes
import json
import socket
import statistics
import sys
import time

MAP_NOTIFY = 19
SUBSTRUCTURE_NOTIFY_MASK = 1 << 19


class XEvent(ctypes.Union):
    _fields_ = [("type", ctypes.c_int), ("pad", ctypes.c_long * 24)]


def main():
    display, control_path = sys.argv[1], sys.argv[2]
    rounds = int(sys.argv[3]) if len(sys.argv) > 3 else 20
    x = ctypes.CDLL("libX11.so.6")
    x.XOpenDisplay.restype = ctypes.c_void_p
    x.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
    x.XDefaultRootWindow.restype = ctypes.c_ulong
    x.XSelectInput.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_long]
    x.XNextEvent.argtypes = [ctypes.c_void_p, ctypes.POINTER(XEvent)]
    x.XFlush.argtypes = [ctypes.c_void_p]
    dpy = x.XOpenDisplay(display.encode())
    if not dpy:
        sys.exit("cannot open display " + display)
    x.XSelectInput(dpy, x.XDefaultRootWindow(dpy), SUBSTRUCTURE_NOTIFY_MASK)
    x.XFlush(dpy)

    control = socket.socket(socket.AF_UNIX)
    control.connect(control_path)

    def command(cmd):
        control.sendall(json.dumps(cmd).encode() + b"\n")
        answer = b""
        while not answer.endswith(b"\n"):
            answer += control.recv(65536)

    times = []
    for i in range(rounds):
        command({"cmd": "set", "query": {"user": "bench", "timeout": 30, "id": i + 1}})
        start = time.perf_counter()
        command({"cmd": "event", "event": "query"})
        ev = XEvent()
        while True:
            x.XNextEvent(dpy, ctypes.byref(ev))
            if ev.type == MAP_NOTIFY:
                break
        times.append((time.perf_counter() - start) * 1000)
    print("query event to mapped prompt: median %.1f ms, max %.1f ms over %d rounds"
          % (statistics.median(times), max(times), rounds))


if __name__ == "__main__":
    main()
