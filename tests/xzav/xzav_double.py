#!/usr/bin/env python3
"""Stand-in for the virtual X server's extension "ZAV-EXTENSION", for tests and the demo.

The real server is not available on development machines, so this program sits in
front of a real Xvfb as an X11 protocol proxy. It listens as display :M and forwards
everything to Xvfb on :N, except:

  * QueryExtension for "ZAV-EXTENSION" is answered here (present, or passed on to
    Xvfb, which says absent, when the extension is switched off);
  * every request with the extension's major opcode is decoded, checked against its
    wire layout, logged, and answered from the state held here.

Each request answered here is replaced on its way to Xvfb by GetInputFocus (opcode 43,
length 1), so the request count seen by Xvfb never changes; the reply to that
GetInputFocus marks exactly where the answer belongs in the reply stream and is swapped
for the answer (a reply, an error, or nothing). Sequence numbers are counted in 64 bits.
Events and faults can be injected through a control socket, which also hands out the
log of decoded requests. Written with the Python standard library only, so that it
shares nothing with the program under test.

Usage:
  xzav_double.py (--xvfb-display N | --start-xvfb) [--display M] [--control PATH]
                 [--log FILE] [--state FILE] [--absent]

When ready it prints "READY :M" (and the control socket path) on one line of stdout.
Control protocol: one JSON object per line in, one JSON object per line out; see
Control.handle for the commands.
"""

import argparse
import copy
import ctypes
import json
import os
import selectors
import signal
import socket
import struct
import subprocess
import sys
import time

import stream_peer

EXT_NAME = b"ZAV-EXTENSION"
X_GetInputFocus = 43
X_QueryExtension = 98
X_ListExtensions = 99
KEYMAP_NOTIFY = 11
GENERIC_EVENT = 35
BAD_REQUEST = 1
BAD_LENGTH = 16

OPS = {
    0: "setParam", 1: "getParam", 2: "getParamDesc", 3: "listParams",
    4: "setServerCutText", 5: "getClientCutText", 6: "selectInput", 7: "connect",
    8: "getQueryConnect", 9: "approveConnect", 10: "listConnections",
    11: "disconnect", 12: "setAccess", 14: "getStatus",
    15: "requestFileTransferStream", 16: "requestChatStream", 17: "getParamsXml",
    18: "reloadConfig",
}
OP_NUMBERS = {name: num for num, name in OPS.items()}
# Bytes of each request before its variable data (4 for the others).
FIXED_PART = {
    "setParam": 8, "getParam": 8, "getParamDesc": 8, "connect": 8, "disconnect": 8,
    "setAccess": 8, "setServerCutText": 8, "selectInput": 12, "approveConnect": 12,
    "requestFileTransferStream": 12, "requestChatStream": 12,
}
EVENTS = {"cut": 0, "selection": 1, "query": 2, "status": 3}
FAULT_KINDS = ("fail", "faildata", "badrequest", "shortlen", "overlong")

DEFAULT_STATE = {
    "extension": True,
    "params": [
        {"name": "Desktop", "kind": "string", "value": "Xzav demo desktop",
         "desc": "Name of the desktop shown to viewers"},
        {"name": "rfbPort", "kind": "int", "value": "5901",
         "desc": "TCP port on which viewers connect"},
        {"name": "AllowRfb", "kind": "bool", "value": "1",
         "desc": "Accept connections from viewers"},
        {"name": "Hosts", "kind": "string", "value": "+",
         "desc": "Which hosts may connect"},
        {"name": "AcceptCutText", "kind": "bool", "value": "1",
         "desc": "Accept clipboard updates from viewers"},
        {"name": "SendCutText", "kind": "bool", "value": "1",
         "desc": "Send clipboard changes to viewers"},
        {"name": "EnableChat", "kind": "bool", "value": "1",
         "desc": "Allow chat between the desktop and viewers"},
        {"name": "ConnNotifyTimeout", "kind": "int", "value": "10",
         "desc": "Seconds a connect notice stays on screen"},
    ],
    "status": [
        "is_module=0",
        "active_listener_error_number=0",
        "passive_listener_error_number=0",
        "ip_addrs=127.0.0.1",
        "has_zav_passwd=1",
        "public_key_signature=3a-5c-11-0e-92-7f-d4-08",
        "total_connections=0",
    ],
    "connections": [],
    "query": None,
    "client_cut_text": "",
}


def pad4(n):
    return (4 - n % 4) % 4


def connection_address(c):
    """The second text by which the server knows a connection: the address and
    the suffix joined by a plus sign, or the address alone when the connection
    has no suffix (null)."""
    if c.get("suffix") is None:
        return c["address"].encode()
    return (c["address"] + "+" + c["suffix"]).encode()


def show_text(data):
    """A log rendering of request text: quoted, escaped, abbreviated when long."""
    def esc(b):
        out = []
        for c in b:
            if c == 0x22 or c == 0x5C:
                out.append("\\" + chr(c))
            elif 0x20 <= c < 0x7F:
                out.append(chr(c))
            else:
                out.append("\\x%02x" % c)
        return "".join(out)
    if len(data) <= 256:
        return '"' + esc(data) + '"'
    return '"' + esc(data[:32]) + '..."(%d bytes)' % len(data)


class BadLayout(Exception):
    pass


class ServerState:
    """What the server knows: parameters, status values, connections, a query."""

    def __init__(self, initial):
        self.initial = copy.deepcopy(initial)
        self.reset()

    def reset(self):
        s = copy.deepcopy(self.initial)
        self.extension = bool(s.get("extension", True))
        self.params = s.get("params", [])
        self.status = s.get("status", [])
        self.connections = s.get("connections", [])
        self.query = s.get("query")
        self.client_cut_text = s.get("client_cut_text", "").encode("utf-8", "surrogateescape")
        self.server_cut_text = b""
        self.connect_requests = []
        self.approvals = []
        self.stream_requests = []
        self.reloads = 0
        self.faults = {}
        self.log = []
        self.violations = 0
        # Connections made since the start: each connection of the initial
        # state and each one that a later "set" brings.
        self.total_connections = len(self.connections)

    @staticmethod
    def connection_key(c):
        return (c["user"], c["address"], c.get("suffix"))

    def update(self, cmd):
        if "extension" in cmd:
            self.extension = bool(cmd["extension"])
        if "connections" in cmd:
            known = {self.connection_key(c) for c in self.connections}
            self.total_connections += sum(
                1 for c in cmd["connections"] if self.connection_key(c) not in known)
        for key in ("params", "status", "connections", "query"):
            if key in cmd:
                setattr(self, key, copy.deepcopy(cmd[key]))
        if "connections" in cmd and "status" not in cmd:
            self.status = [("total_connections=%d" % self.total_connections
                            if t.startswith("total_connections=") else t) for t in self.status]
        if "client_cut_text" in cmd:
            self.client_cut_text = cmd["client_cut_text"].encode("utf-8", "surrogateescape")

    def dump(self):
        return {
            "extension": self.extension, "params": self.params, "status": self.status,
            "connections": self.connections, "query": self.query,
            "client_cut_text": self.client_cut_text.decode("utf-8", "replace"),
            "server_cut_text": self.server_cut_text[:4096].decode("utf-8", "replace"),
            "server_cut_text_length": len(self.server_cut_text),
            "connect_requests": self.connect_requests, "approvals": self.approvals,
            "stream_requests": self.stream_requests, "reloads": self.reloads,
            "total_connections": self.total_connections, "violations": self.violations,
        }

    def find_param(self, name):
        for p in self.params:
            if p["name"].lower() == name.lower():
                return p
        return None

    def set_param(self, text):
        name, sep, value = text.partition("=")
        p = self.find_param(name) if sep else None
        if p is None or p.get("readonly"):
            return False
        kind = p.get("kind", "string")
        if kind == "int":
            try:
                value = str(int(value, 0))
            except ValueError:
                return False
        elif kind == "bool":
            low = value.lower()
            if low in ("1", "true", "yes", "on"):
                value = "1"
            elif low in ("0", "false", "no", "off"):
                value = "0"
            else:
                return False
        p["value"] = value
        return True

    def params_xml(self):
        def esc(t):
            return (t.replace("&", "&amp;").replace("<", "&lt;").replace(">", "&gt;")
                     .replace('"', "&quot;").replace("'", "&apos;"))
        out = ['<?xml version="1.0"?>', "<config>"]
        for p in self.params:
            kind = p.get("kind", "string")
            out.append('<%-6s name="%s"\n        description="%s">'
                       % (kind, esc(p["name"]), esc(p.get("desc", ""))))
            out.append('    <value data="%s" priority="100"/>' % esc(p["value"]))
            out.append("</%s>" % kind)
        out.append("</config>")
        return ("\n".join(out) + "\n").encode("utf-8")

    def take_fault(self, minor):
        queue = self.faults.get(minor)
        if not queue:
            return None
        kind, count = queue[0]
        if count > 0:
            count -= 1
            if count == 0:
                queue.pop(0)
            else:
                queue[0] = (kind, count)
        return kind


class Client:
    """One proxied connection: client socket, Xvfb socket, both parse states."""

    def __init__(self, proxy, csock, ssock):
        self.proxy = proxy
        self.csock = csock
        self.ssock = ssock
        self.cin = bytearray()       # bytes from the client not yet parsed
        self.sin = bytearray()       # bytes from Xvfb not yet parsed
        self.to_server = bytearray()
        self.to_client = bytearray()
        self.order = None            # '<' or '>' once the set-up request is seen
        self.client_phase = "setup"
        self.server_phase = "setup"
        self.seq_sent = 0            # 64-bit count of requests passed to Xvfb
        self.seq_delivered = 0       # last sequence number delivered to the client
        self.pending = {}            # sequence -> answer bytes replacing the marker reply
        self.select_window = 0
        self.select_mask = 0
        self.closed = False

    # ---- client -> server -------------------------------------------------
    def from_client(self, data):
        self.cin += data
        while not self.closed:
            if self.client_phase == "setup":
                if len(self.cin) < 12:
                    return
                self.order = "<" if self.cin[0] == 0x6C else ">"
                n, d = struct.unpack(self.order + "HH", self.cin[6:10])
                total = 12 + n + pad4(n) + d + pad4(d)
                if len(self.cin) < total:
                    return
                self.to_server += self.cin[:total]
                del self.cin[:total]
                self.client_phase = "running"
                continue
            if len(self.cin) < 4:
                return
            length = struct.unpack(self.order + "H", self.cin[2:4])[0]
            big = length == 0
            if big:
                if len(self.cin) < 8:
                    return
                length = struct.unpack(self.order + "I", self.cin[4:8])[0]
                if length < 2:
                    self.proxy.note("BAD request: big request length %d" % length)
                    self.close()
                    return
            total = length * 4
            if len(self.cin) < total:
                return
            raw = bytes(self.cin[:total])
            del self.cin[:total]
            self.seq_sent += 1
            self.request(raw, big)

    def request(self, raw, big):
        opcode = raw[0]
        state = self.proxy.state
        if state.extension and opcode == self.proxy.major:
            # Present the request as if it had the plain 16-bit length.
            body = raw[:4] + raw[8:] if big else raw
            answer = self.extension_request(body, len(body) // 4)
            self.replace(answer)
            return
        if (opcode == X_QueryExtension and state.extension and len(raw) >= 8):
            n = struct.unpack(self.order + "H", raw[4:6])[0]
            if raw[8:8 + n] == EXT_NAME:
                self.proxy.note('QueryExtension "ZAV-EXTENSION" present')
                self.replace(self.reply(1, struct.pack(
                    "BBBB", 1, self.proxy.major, self.proxy.first_event,
                    self.proxy.first_error)))
                return
        self.to_server += raw

    def replace(self, answer):
        self.pending[self.seq_sent] = answer
        self.to_server += struct.pack(self.order + "BBH", X_GetInputFocus, 0, 1)

    # ---- answers ------------------------------------------------------------
    def reply(self, byte1, fields=b"", extra=b""):
        """A reply: fields are bytes 8-31, extra the data after the 32 bytes."""
        extra = bytes(extra) + b"\0" * pad4(len(extra))
        fields = fields + b"\0" * (24 - len(fields))
        return (struct.pack(self.order + "BBHI", 1, byte1, 0, len(extra) // 4)
                + fields + extra)

    def error(self, code, minor):
        return (struct.pack(self.order + "BBHIHB", 0, code, 0, 0, minor, self.proxy.major)
                + b"\0" * 21)

    def extension_request(self, req, length):
        e = self.order
        minor = req[1]
        name = OPS.get(minor)
        if name is None:
            self.proxy.note("unknown minor %d" % minor)
            return self.error(BAD_REQUEST, minor)
        try:
            text, result = self.decode(name, req, length)
        except BadLayout as bad:
            self.proxy.note("BAD %s: %s" % (name, bad))
            self.proxy.state.violations += 1
            return self.error(BAD_LENGTH, minor)
        self.proxy.note(text)
        fault = self.proxy.state.take_fault(minor)
        if fault == "badrequest":
            return self.error(BAD_REQUEST, minor)
        return result(fault)

    def decode(self, name, req, length):
        e = self.order
        st = self.proxy.state

        def expect_length(want):
            if length != want:
                raise BadLayout("length %d, expected %d" % (length, want))

        def zeros(lo, hi, what):
            if any(req[lo:hi]):
                raise BadLayout("%s not zero" % what)

        def texts(lengths, start):
            total = sum(lengths)
            expect_length(2 + (total + 3) // 4)
            zeros(start + total, len(req), "padding")
            out, pos = [], start
            for n in lengths:
                out.append(req[pos:pos + n])
                pos += n
            return out

        # The fields are read only once the request is long enough to hold them.
        fixed = FIXED_PART.get(name, 4)
        if len(req) < fixed:
            raise BadLayout("length %d, shorter than its fixed part of %d bytes"
                            % (length, fixed))
        if name in ("setParam", "getParam", "getParamDesc", "connect"):
            zeros(5, 8, "bytes 5-7")
            (t,) = texts([req[4]], 8)
            return "%s %s" % (name, show_text(t)), getattr(self, "answer_" + name)(t)
        if name in ("listParams", "getClientCutText", "getQueryConnect",
                    "listConnections", "getStatus", "getParamsXml", "reloadConfig"):
            expect_length(1)
            return name, getattr(self, "answer_" + name)()
        if name == "setServerCutText":
            n = struct.unpack(e + "I", req[4:8])[0]
            (t,) = texts([n], 8)
            st.server_cut_text = t
            return "%s %d %s" % (name, n, show_text(t)), lambda fault: b""
        if name == "selectInput":
            expect_length(3)
            window, mask = struct.unpack(e + "II", req[4:12])
            self.select_window, self.select_mask = window, mask
            return ("%s window=0x%x mask=%d" % (name, window, mask)), lambda fault: b""
        if name == "approveConnect":
            expect_length(3)
            zeros(6, 8, "bytes 6-7")
            rights, ident = struct.unpack(e + "H2xI", req[4:12])
            st.approvals.append({"id": ident, "rights": rights})
            if st.query and st.query.get("id") == ident:
                st.query = None
            return "%s id=%d rights=0x%x" % (name, ident, rights), lambda fault: b""
        if name == "disconnect":
            zeros(6, 8, "bytes 6-7")
            user, addr = texts([req[4], req[5]], 8)
            return ("%s %s %s" % (name, show_text(user), show_text(addr)),
                    self.answer_disconnect(user, addr))
        if name == "setAccess":
            zeros(7, 8, "byte 7")
            user, addr, rights = texts([req[4], req[5], req[6]], 8)
            return ("%s %s %s %s" % (name, show_text(user), show_text(addr), show_text(rights)),
                    self.answer_setAccess(user, addr, rights))
        if name in ("requestFileTransferStream", "requestChatStream"):
            expect_length(3)
            zeros(6, 8, "bytes 6-7")
            port, cookie = struct.unpack(e + "H2xI", req[4:12])
            st.stream_requests.append({"kind": name, "port": port, "cookie": cookie})
            return ("%s port=%d cookie=0x%08x" % (name, port, cookie),
                    lambda fault: self.stream_answer(fault, name, port, cookie))
        raise BadLayout("not decoded")

    def stream_answer(self, fault, name, port, cookie):
        """A granted stream request is followed by the connect-back."""
        answer = self.success(fault)
        if fault is None:
            self.proxy.streams.requested(name, port, cookie)
        return answer

    def success(self, fault, ok=True):
        """Reply for requests whose only answer is the success byte."""
        if fault in ("fail", "shortlen", "overlong"):
            return self.reply(0)
        if fault == "faildata":
            return self.reply(0, b"", b"refused by the server, with data" * 2)
        return self.reply(1 if ok else 0)

    def text_reply(self, fault, data, ok=True):
        """Reply whose bytes 8-11 give the length of the text in the extra data."""
        e = self.order
        if fault == "fail" or not ok:
            return self.reply(0)
        if fault == "faildata":
            return self.reply(0, struct.pack(e + "I", len(data)), data or b"junk")
        n = len(data)
        if fault == "shortlen":
            n = n // 2
        elif fault == "overlong":
            n = n + 64
        return self.reply(1, struct.pack(e + "I", n), data)

    def answer_setParam(self, t):
        def answer(fault):
            ok = fault is not None or self.proxy.state.set_param(
                t.decode("utf-8", "surrogateescape"))
            return self.success(fault, ok)
        return answer

    def answer_getParam(self, t):
        p = self.proxy.state.find_param(t.decode("utf-8", "surrogateescape"))
        value = p["value"].encode("utf-8", "surrogateescape") if p else b""
        return lambda fault: self.text_reply(fault, value, p is not None)

    def answer_getParamDesc(self, t):
        p = self.proxy.state.find_param(t.decode("utf-8", "surrogateescape"))
        desc = p.get("desc", "").encode("utf-8", "surrogateescape") if p else b""
        return lambda fault: self.text_reply(fault, desc, p is not None)

    def answer_connect(self, t):
        st = self.proxy.state
        st.connect_requests.append(t.decode("utf-8", "surrogateescape"))
        if not t:
            def disconnect_all(fault):
                if fault is None:
                    st.connections = []
                return self.success(fault)
            return disconnect_all
        return lambda fault: self.success(fault)

    def packed(self, fault, texts, count):
        e = self.order
        data = b"".join(bytes([len(t)]) + t for t in texts)
        if fault == "fail":
            return self.reply(0)
        if fault == "faildata":
            return self.reply(0, b"", b"\xff" * 40)
        if fault == "overlong":
            # The count promises more texts than there are, and the last length
            # byte points past the end of the data.
            return self.reply(1, struct.pack(e + "H", count + 5), data + b"\xc8")
        return self.reply(1, struct.pack(e + "H", count), data)

    def answer_listParams(self):
        st = self.proxy.state
        names = [p["name"].encode("utf-8", "surrogateescape") for p in st.params]
        return lambda fault: self.packed(fault, names, len(names))

    def answer_listConnections(self):
        st = self.proxy.state
        texts = []
        for c in st.connections:
            texts += [c["user"].encode(), connection_address(c), str(c["rights"]).encode()]
        return lambda fault: self.packed(fault, texts, len(st.connections))

    def answer_getClientCutText(self):
        return lambda fault: self.text_reply(fault, self.proxy.state.client_cut_text)

    def answer_getQueryConnect(self):
        e = self.order
        q = self.proxy.state.query

        def answer(fault):
            if fault in ("fail", "faildata"):
                return self.reply(0)
            if not q:
                return self.reply(1, struct.pack(e + "IIII", 0, 0, 0, 0))
            addr = q.get("address", "").encode()
            user = q.get("user", "").encode()
            extra = addr + b"\0" * pad4(len(addr)) + user + b"\0" * pad4(len(user))
            alen, ulen = len(addr), len(user)
            if fault == "overlong":
                alen, ulen = alen + 300, ulen + 300
            return self.reply(1, struct.pack(e + "IIII", alen, ulen, q.get("timeout", 10),
                                             q.get("id", 1)), extra)
        return answer

    def answer_disconnect(self, user, addr):
        st = self.proxy.state

        def answer(fault):
            found = None
            for c in st.connections:
                if c["user"].encode() == user and connection_address(c) == addr:
                    found = c
            if found is not None and fault is None:
                st.connections.remove(found)
            return self.success(fault, found is not None)
        return answer

    def answer_setAccess(self, user, addr, rights):
        st = self.proxy.state

        def answer(fault):
            found = None
            for c in st.connections:
                if c["user"].encode() == user and connection_address(c) == addr:
                    found = c
            ok = found is not None and rights.isdigit()
            if ok and fault is None:
                found["rights"] = int(rights)
            return self.success(fault, ok)
        return answer

    def answer_getStatus(self):
        e = self.order
        texts = [t.encode("utf-8", "surrogateescape") for t in self.proxy.state.status]

        def answer(fault):
            data = b"".join(t + b"\0" for t in texts)
            used, count = len(data), len(texts)
            if fault == "fail":
                return self.reply(0)
            if fault == "faildata":
                return self.reply(0, struct.pack(e + "HH", used, count), data or b"junk")
            if fault == "overlong":
                # Counts beyond the data, and the last text without its NUL.
                data = data + b"unterminated=1"
                used, count = used + 4000, count + 40
            return self.reply(1, struct.pack(e + "HH", used, count), data)
        return answer

    def answer_getParamsXml(self):
        return lambda fault: self.text_reply(fault, self.proxy.state.params_xml())

    def answer_reloadConfig(self):
        def answer(fault):
            if fault is None:
                self.proxy.state.reloads += 1
            return b""
        return answer

    # ---- server -> client -------------------------------------------------
    def from_server(self, data):
        self.sin += data
        while not self.closed:
            if self.server_phase == "setup":
                if len(self.sin) < 8 or self.order is None:
                    return
                total = 8 + 4 * struct.unpack(self.order + "H", self.sin[6:8])[0]
                if len(self.sin) < total:
                    return
                self.to_client += self.sin[:total]
                del self.sin[:total]
                self.server_phase = "running"
                continue
            if len(self.sin) < 32:
                return
            code = self.sin[0]
            total = 32
            if code == 1 or code == GENERIC_EVENT:
                total += 4 * struct.unpack(self.order + "I", self.sin[4:8])[0]
            if len(self.sin) < total:
                return
            packet = bytes(self.sin[:total])
            del self.sin[:total]
            if code & 0x7F == KEYMAP_NOTIFY:
                self.to_client += packet
                continue
            seq16 = struct.unpack(self.order + "H", packet[2:4])[0]
            full = self.seq_sent - ((self.seq_sent - seq16) & 0xFFFF)
            self.seq_delivered = full
            if code == 1 and full in self.pending:
                answer = self.pending.pop(full)
                if answer:
                    answer = answer[:2] + struct.pack(self.order + "H", seq16) + answer[4:]
                self.to_client += answer
            else:
                self.to_client += packet

    def inject_event(self, number, field_b, window=None, send_event=False):
        code = (self.proxy.first_event + number) | (0x80 if send_event else 0)
        win = self.select_window if window is None else window
        self.to_client += struct.pack(self.order + "BBHII", code, 0,
                                      self.seq_delivered & 0xFFFF, win, field_b) + b"\0" * 20

    def close(self):
        if not self.closed:
            self.closed = True
            self.proxy.drop(self)


class Control:
    """One control connection: JSON commands in, JSON answers out."""

    def __init__(self, proxy, sock):
        self.proxy = proxy
        self.sock = sock
        self.buf = bytearray()
        self.out = bytearray()

    def from_peer(self, data):
        self.buf += data
        while b"\n" in self.buf:
            line, _, rest = bytes(self.buf).partition(b"\n")
            self.buf = bytearray(rest)
            if not line.strip():
                continue
            try:
                answer = self.handle(json.loads(line))
            except Exception as exc:  # a bad command is reported, never fatal
                answer = {"ok": False, "error": "%s: %s" % (type(exc).__name__, exc)}
            if answer is not None:
                self.send(answer)

    def send(self, answer):
        self.out += json.dumps(answer).encode() + b"\n"
        self.proxy.want_write(self.sock, self.out)

    def handle(self, cmd):
        """Commands ("cmd" field):
        ping; reset (initial state, no faults, empty log); state (dump);
        set (any of extension, params, status, connections, query, client_cut_text;
             each connection is {"user", "address", "suffix" (null: none), "rights"};
             a "set" of connections without status counts every connection not
             listed before into the status value "total_connections", if listed);
        fault (op name or minor, kind in FAULT_KINDS, count, -1 = until reset);
        event (event cut|selection|query|status, b = field B, window, send_event);
        stream (the loopback stream peers, see stream_peer.py);
        log (decoded requests); wait_idle (answers once no client is connected)."""
        st = self.proxy.state
        c = cmd.get("cmd")
        if c == "ping":
            return {"ok": True}
        if c == "reset":
            st.reset()
            self.proxy.streams.reset()
            return {"ok": True}
        if c == "stream":
            return self.proxy.streams.control(cmd)
        if c == "state":
            return {"ok": True, "state": st.dump()}
        if c == "set":
            st.update(cmd)
            return {"ok": True}
        if c == "fault":
            op = cmd["op"]
            minor = OP_NUMBERS[op] if isinstance(op, str) else int(op)
            kind = cmd["kind"]
            if kind not in FAULT_KINDS:
                raise ValueError("unknown fault kind %s" % kind)
            st.faults.setdefault(minor, []).append((kind, int(cmd.get("count", 1))))
            return {"ok": True}
        if c == "event":
            number = EVENTS[cmd["event"]]
            sent = 0
            for client in list(self.proxy.clients):
                if client.server_phase == "running" and client.select_mask & (1 << number):
                    client.inject_event(number, int(cmd.get("b", 0)), cmd.get("window"),
                                        bool(cmd.get("send_event", False)))
                    self.proxy.want_write(client.csock, client.to_client)
                    sent += 1
            return {"ok": True, "delivered": sent}
        if c == "log":
            return {"ok": True, "log": st.log}
        if c == "wait_idle":
            self.proxy.idle_waiters.append((self, time.monotonic() + float(cmd.get("timeout", 10))))
            self.proxy.check_idle()
            return None
        raise ValueError("unknown command %r" % c)


class Proxy:
    def __init__(self, args, state):
        self.state = state
        self.args = args
        self.sel = selectors.DefaultSelector()
        self.clients = []
        self.idle_waiters = []
        self.log_file = open(args.log, "a", buffering=1) if args.log else None
        self.xvfb = None
        self.lock_path = None
        self.paths = []
        self.listeners = []
        self.streams = stream_peer.Streams(self.sel)

    # ---- start-up -----------------------------------------------------------
    def start_xvfb(self):
        r, w = os.pipe()
        self.xvfb = subprocess.Popen(
            ["Xvfb", "-displayfd", str(w), "-screen", "0", "1280x1024x24", "-nolisten", "tcp",
             "-noreset"],
            pass_fds=(w,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
            preexec_fn=die_with_parent)
        os.close(w)
        text = b""
        while not text.endswith(b"\n"):
            chunk = os.read(r, 64)
            if not chunk:
                raise SystemExit("Xvfb did not start")
            text += chunk
        os.close(r)
        return int(text)

    def xvfb_socket(self):
        return connect_display(self.xvfb_display)

    def scan_xvfb(self):
        """Picks codes for the extension that Xvfb's own extensions leave free."""
        s = self.xvfb_socket()
        s.sendall(struct.pack("<BxHHHH2x", 0x6C, 11, 0, 0, 0))
        head = recv_exact(s, 8)
        if head[0] != 1:
            raise SystemExit("Xvfb refused the connection")
        recv_exact(s, 4 * struct.unpack("<H", head[6:8])[0])
        s.sendall(struct.pack("<BxH", X_ListExtensions, 1))
        rep = recv_exact(s, 32)
        data = recv_exact(s, 4 * struct.unpack("<I", rep[4:8])[0])
        names, pos = [], 0
        for _ in range(rep[1]):
            n = data[pos]
            names.append(data[pos + 1:pos + 1 + n])
            pos += 1 + n
        majors, events, errors = [128], [64], [128]
        for name in names:
            s.sendall(struct.pack("<BxHH2x", X_QueryExtension, 2 + (len(name) + 3) // 4,
                                  len(name)) + name + b"\0" * pad4(len(name)))
            rep = recv_exact(s, 32)
            if rep[8]:
                majors.append(rep[9])
                if rep[10]:
                    events.append(rep[10])
                if rep[11]:
                    errors.append(rep[11])
        # Kept open: an X server resets when its last client leaves, and
        # connections made during the reset are dropped.
        self.keepalive = s
        self.major = max(majors) + 1
        self.first_event = min(max(events) + 16, 124)
        self.first_error = min(max(errors) + 32, 250)
        if self.major > 255:
            raise SystemExit("no free major opcode")

    def listen(self):
        os.makedirs("/tmp/.X11-unix", exist_ok=True)
        candidates = [self.args.display] if self.args.display is not None else range(20, 1000)
        for m in candidates:
            lock = "/tmp/.X%d-lock" % m
            path = "/tmp/.X11-unix/X%d" % m
            # X servers take a lock file without a live pid in it for stale, so
            # the lock appears in one step with its content (link is atomic).
            tmp = "/tmp/.tX%d-lock.%d" % (m, os.getpid())
            with open(tmp, "w") as f:
                f.write("%10d\n" % os.getpid())
            os.chmod(tmp, 0o444)
            try:
                os.link(tmp, lock)
            except FileExistsError:
                continue
            finally:
                os.unlink(tmp)
            if os.path.exists(path) or abstract_in_use(path):
                os.unlink(lock)
                continue
            self.lock_path = lock
            self.display = m
            for name in (path, "\0" + path):
                sock = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
                sock.bind(name)
                sock.listen(16)
                sock.setblocking(False)
                self.sel.register(sock, selectors.EVENT_READ, ("listen", None))
                self.listeners.append(sock)
            self.paths.append(path)
            break
        else:
            raise SystemExit("no free display number")
        if self.args.control:
            sock = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
            if os.path.exists(self.args.control):
                os.unlink(self.args.control)
            sock.bind(self.args.control)
            sock.listen(4)
            sock.setblocking(False)
            self.sel.register(sock, selectors.EVENT_READ, ("control-listen", None))
            self.listeners.append(sock)
            self.paths.append(self.args.control)

    def cleanup(self):
        for p in self.paths:
            try:
                os.unlink(p)
            except OSError:
                pass
        if self.lock_path:
            try:
                os.unlink(self.lock_path)
            except OSError:
                pass
        if self.xvfb:
            self.xvfb.terminate()
            try:
                self.xvfb.wait(5)
            except subprocess.TimeoutExpired:
                self.xvfb.kill()

    # ---- bookkeeping ----------------------------------------------------------
    def note(self, text):
        self.state.log.append(text)
        if self.log_file:
            self.log_file.write(text + "\n")

    def want_write(self, sock, buf):
        try:
            key = self.sel.get_key(sock)
        except (KeyError, ValueError):
            return
        events = selectors.EVENT_READ | (selectors.EVENT_WRITE if buf else 0)
        if key.events != events:
            self.sel.modify(sock, events, key.data)

    def drop(self, client):
        for s in (client.csock, client.ssock):
            try:
                self.sel.unregister(s)
            except (KeyError, ValueError):
                pass
            s.close()
        self.clients.remove(client)
        self.check_idle()

    def check_idle(self):
        now = time.monotonic()
        keep = []
        for control, deadline in self.idle_waiters:
            if not self.clients:
                control.send({"ok": True})
            elif now > deadline:
                control.send({"ok": False, "error": "clients still connected"})
            else:
                keep.append((control, deadline))
        self.idle_waiters = keep

    # ---- the loop -------------------------------------------------------------
    def run(self):
        while True:
            for key, mask in self.sel.select(timeout=0.2):
                kind, obj = key.data
                if kind == "listen":
                    self.accept(key.fileobj)
                elif kind == "control-listen":
                    sock, _ = key.fileobj.accept()
                    sock.setblocking(False)
                    self.sel.register(sock, selectors.EVENT_READ, ("control", Control(self, sock)))
                elif kind == "control":
                    self.service_control(obj, mask)
                elif kind == "stream":
                    obj.service(mask)
                else:
                    self.service_client(kind, obj, mask)
            self.check_idle()

    def accept(self, listener):
        try:
            csock, _ = listener.accept()
        except BlockingIOError:
            return
        try:
            ssock = self.xvfb_socket()
        except OSError as exc:
            self.note("cannot reach Xvfb: %s" % exc)
            print("xzav_double: cannot reach Xvfb :%d: %s" % (self.xvfb_display, exc),
                  file=sys.stderr, flush=True)
            csock.close()
            return
        csock.setblocking(False)
        ssock.setblocking(False)
        client = Client(self, csock, ssock)
        self.clients.append(client)
        self.sel.register(csock, selectors.EVENT_READ, ("c", client))
        self.sel.register(ssock, selectors.EVENT_READ, ("s", client))

    def service_client(self, side, client, mask):
        sock = client.csock if side == "c" else client.ssock
        if mask & selectors.EVENT_READ:
            try:
                data = sock.recv(262144)
            except (BlockingIOError, InterruptedError):
                data = None
            except OSError:
                data = b""
            if data == b"":
                client.close()
                return
            if data:
                if side == "c":
                    client.from_client(data)
                else:
                    client.from_server(data)
        if client.closed:
            return
        for s, buf in ((client.ssock, client.to_server), (client.csock, client.to_client)):
            if buf:
                try:
                    sent = s.send(buf)
                    del buf[:sent]
                except (BlockingIOError, InterruptedError):
                    pass
                except OSError:
                    client.close()
                    return
            self.want_write(s, buf)

    def service_control(self, control, mask):
        if mask & selectors.EVENT_READ:
            try:
                data = control.sock.recv(65536)
            except (BlockingIOError, InterruptedError):
                data = None
            except OSError:
                data = b""
            if data == b"":
                self.sel.unregister(control.sock)
                control.sock.close()
                self.idle_waiters = [w for w in self.idle_waiters if w[0] is not control]
                return
            if data:
                control.from_peer(data)
        if control.out:
            try:
                sent = control.sock.send(control.out)
                del control.out[:sent]
            except (BlockingIOError, InterruptedError):
                pass
            except OSError:
                return
        self.want_write(control.sock, control.out)


def connect_display(number):
    """Connects to display :number as Xlib does: the abstract socket first.
    An X server that is looking for a free display with -displayfd may unlink
    the socket file of a running one, but never its abstract socket."""
    path = "/tmp/.X11-unix/X%d" % number
    for name in ("\0" + path, path):
        s = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
        try:
            s.connect(name)
            return s
        except OSError:
            s.close()
            if name == path:
                raise


def die_with_parent():
    """Run in the child: SIGTERM when this process dies (PR_SET_PDEATHSIG)."""
    ctypes.CDLL(None, use_errno=True).prctl(1, signal.SIGTERM)


def recv_exact(sock, n):
    data = b""
    while len(data) < n:
        chunk = sock.recv(n - len(data))
        if not chunk:
            raise SystemExit("Xvfb closed the connection")
        data += chunk
    return data


def abstract_in_use(path):
    s = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
    try:
        s.connect("\0" + path)
        return True
    except OSError:
        return False
    finally:
        s.close()


def main():
    ap = argparse.ArgumentParser(description="ZAV-EXTENSION stand-in in front of Xvfb")
    where = ap.add_mutually_exclusive_group(required=True)
    where.add_argument("--xvfb-display", type=int, help="number N of a running Xvfb :N")
    where.add_argument("--start-xvfb", action="store_true", help="start a private Xvfb")
    ap.add_argument("--display", type=int, help="display number to serve (default: free one)")
    ap.add_argument("--control", help="path of the control socket")
    ap.add_argument("--log", help="file that receives one line per decoded request")
    ap.add_argument("--state", help="JSON file with the initial server state")
    ap.add_argument("--absent", action="store_true", help="start with the extension absent")
    args = ap.parse_args()

    initial = copy.deepcopy(DEFAULT_STATE)
    if args.state:
        with open(args.state) as f:
            initial.update(json.load(f))
    if args.absent:
        initial["extension"] = False
    proxy = Proxy(args, ServerState(initial))

    def stop(signum, frame):
        raise SystemExit(0)
    signal.signal(signal.SIGTERM, stop)
    signal.signal(signal.SIGINT, stop)
    signal.signal(signal.SIGPIPE, signal.SIG_IGN)
    try:
        proxy.xvfb_display = proxy.start_xvfb() if args.start_xvfb else args.xvfb_display
        proxy.scan_xvfb()
        proxy.listen()
        print("READY :%d %s" % (proxy.display, args.control or "-"), flush=True)
        proxy.run()
    finally:
        proxy.cleanup()


if __name__ == "__main__":
    main()
