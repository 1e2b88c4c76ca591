#!/usr/bin/env python3
"""Checks of the stand-in server's framing, with a raw X11 client: GenericEvents
(with their extra length) and events injected by the stand-in arrive whole and in
order with the replies; a request in big-request form is decoded; the stand-in's
answer takes exactly the place of the request's reply."""

import os
import socket
import struct
import subprocess
import sys
import tempfile
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
X_QueryExtension = 98
X_GetInputFocus = 43


def pad4(n):
    return (4 - n % 4) % 4


class RawClient:
    """A little-endian X11 client that reads whole packets."""

    def __init__(self, display):
        # The abstract socket, as Xlib connects: a socket file can be unlinked
        # by another X server that is starting.
        self.sock = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
        self.sock.connect("\0/tmp/.X11-unix/X%d" % display)
        self.sock.sendall(struct.pack("<BxHHHH2x", 0x6C, 11, 0, 0, 0))
        head = self.recv(8)
        assert head[0] == 1, "connection refused"
        setup = self.recv(4 * struct.unpack("<H", head[6:8])[0])
        vendor_len, = struct.unpack("<H", setup[16:18])
        formats = setup[21]
        screen = 32 + vendor_len + pad4(vendor_len) + 8 * formats
        self.root, = struct.unpack("<I", setup[screen:screen + 4])
        self.seq = 0

    def recv(self, n):
        data = b""
        while len(data) < n:
            chunk = self.sock.recv(n - len(data))
            if not chunk:
                raise EOFError("connection closed")
            data += chunk
        return data

    def send(self, req):
        self.sock.sendall(req)
        self.seq += 1
        return self.seq

    def packet(self):
        head = self.recv(32)
        extra = b""
        if head[0] in (1, 35):
            extra = self.recv(4 * struct.unpack("<I", head[4:8])[0])
        return head, extra

    def query_extension(self, name):
        name = name.encode()
        self.send(struct.pack("<BxHH2x", X_QueryExtension, 2 + (len(name) + 3) // 4, len(name))
                  + name + b"\0" * pad4(len(name)))
        head, _ = self.packet()
        assert head[0] == 1
        return head[8], head[9], head[10]


class DoubleTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.tmp = tempfile.TemporaryDirectory()
        cls.control_path = os.path.join(cls.tmp.name, "control")
        cls.proc = subprocess.Popen(
            [sys.executable, os.path.join(HERE, "xzav_double.py"), "--start-xvfb",
             "--control", cls.control_path], stdout=subprocess.PIPE)
        line = cls.proc.stdout.readline().decode()
        if not line.startswith("READY :"):
            cls.proc.kill()
            raise RuntimeError("stand-in did not start: %r" % line)
        cls.display = int(line.split()[1][1:])

    @classmethod
    def tearDownClass(cls):
        cls.proc.terminate()
        cls.proc.wait(10)
        cls.tmp.cleanup()

    def control(self, text):
        s = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
        s.connect(self.control_path)
        s.sendall(text.encode() + b"\n")
        answer = b""
        while not answer.endswith(b"\n"):
            answer += s.recv(4096)
        s.close()
        self.assertIn(b'"ok": true', answer)

    def setUp(self):
        self.control('{"cmd": "reset"}')
        self.c = RawClient(self.display)
        present, self.major, self.first_event = self.c.query_extension("ZAV-EXTENSION")
        self.assertEqual(present, 1)

    def tearDown(self):
        self.c.sock.close()

    def get_param(self, name, big=False):
        name = name.encode()
        body = struct.pack("<B3x", len(name)) + name + b"\0" * pad4(len(name))
        if big:
            req = struct.pack("<BBHI", self.major, 1, 0, 2 + len(body) // 4) + body
        else:
            req = struct.pack("<BBH", self.major, 1, 1 + len(body) // 4) + body
        return self.c.send(req)

    def test_reply_follows_a_generic_event(self):
        xi_present, xi, _ = self.c.query_extension("XInputExtension")
        xt_present, xtest, _ = self.c.query_extension("XTEST")
        self.assertTrue(xi_present and xt_present)
        # XIQueryVersion 2.2, then select raw motion of all master devices on the root.
        self.c.send(struct.pack("<BBHHH", xi, 47, 2, 2, 2))
        head, _ = self.c.packet()
        self.assertEqual(head[0], 1)
        self.c.send(struct.pack("<BBHIHxxHH", xi, 46, 5, self.c.root, 1, 1, 1)
                    + struct.pack("<I", 1 << 17))
        # A fake motion, a round trip so it is processed, then one of ours.
        self.c.send(struct.pack("<BBHBBHIIIIhhIHBB", xtest, 2, 9, 6, 0, 0, 0, self.c.root,
                                0, 0, 10, 20, 0, 0, 0, 0))
        self.c.send(struct.pack("<BxH", X_GetInputFocus, 1))
        seq = self.get_param("Desktop")
        kinds = []
        while True:
            head, extra = self.c.packet()
            kinds.append(head[0])
            if head[0] == 1 and struct.unpack("<H", head[2:4])[0] == seq:
                self.assertEqual(head[1], 1)
                length, = struct.unpack("<I", head[8:12])
                self.assertEqual(extra[:length], b"Xzav demo desktop")
                break
            self.assertIn(head[0], (1, 35))
        self.assertIn(35, kinds)

    def test_big_request_form_is_decoded(self):
        seq = self.get_param("rfbPort", big=True)
        head, extra = self.c.packet()
        self.assertEqual((head[0], struct.unpack("<H", head[2:4])[0]), (1, seq))
        self.assertEqual(extra[:4], b"5901")

    def test_injected_event_lands_between_packets(self):
        self.c.send(struct.pack("<BBHII", self.major, 6, 3, 0x400001, 15))
        self.get_param("Desktop")
        self.c.packet()
        self.control('{"cmd": "event", "event": "status"}')
        seq = self.get_param("Desktop")
        head, _ = self.c.packet()
        self.assertEqual(head[0], self.first_event + 3)
        self.assertEqual(struct.unpack("<HI", head[2:8]), ((seq - 1) & 0xFFFF, 0x400001))
        head, _ = self.c.packet()
        self.assertEqual((head[0], struct.unpack("<H", head[2:4])[0]), (1, seq))

    def test_layout_violations_are_refused(self):
        # Text length 7 but a request length for 11 bytes; then bad padding.
        self.c.send(struct.pack("<BBHB3x", self.major, 1, 5, 7) + b"Desktop" + b"\0" * 5)
        self.c.send(struct.pack("<BBHB3x", self.major, 1, 4, 7) + b"Desktopx")
        self.c.send(struct.pack("<BBH", self.major, 13, 1))
        for code in (16, 16, 1):
            head, _ = self.c.packet()
            self.assertEqual((head[0], head[1], head[10]), (0, code, self.major))


    def test_requests_too_short_for_their_fields_are_refused(self):
        # Each is shorter than the fixed part its minor opcode needs: a text
        # request without its length byte, a two-text request, a cut-text
        # request without its 32-bit length, a big-request form with nothing
        # after the header. The stand-in answers each with BadLength and goes on.
        self.c.send(struct.pack("<BBH", self.major, 0, 1))
        self.c.send(struct.pack("<BBH", self.major, 11, 1))
        self.c.send(struct.pack("<BBH", self.major, 4, 1))
        self.c.send(struct.pack("<BBHI", self.major, 12, 0, 2))
        for _ in range(4):
            head, _ = self.c.packet()
            self.assertEqual((head[0], head[1], head[10]), (0, 16, self.major))
        seq = self.get_param("Desktop")
        head, extra = self.c.packet()
        self.assertEqual((head[0], struct.unpack("<H", head[2:4])[0]), (1, seq))
        self.assertTrue(extra.startswith(b"Xzav demo desktop"))

    def status_texts(self):
        self.c.send(struct.pack("<BBH", self.major, 14, 1))
        head, extra = self.c.packet()
        self.assertEqual((head[0], head[1]), (1, 1))
        used, count = struct.unpack("<HH", head[8:12])
        texts = extra[:used].split(b"\0")[:-1]
        self.assertEqual(len(texts), count)
        return texts

    def test_total_connections_counts_every_connection_made(self):
        self.assertEqual(self.status_texts()[-1], b"total_connections=0")
        alice = '{"user": "alice", "address": "10.0.0.1", "suffix": "1", "rights": 1}'
        bob = '{"user": "bob", "address": "10.0.0.2", "suffix": "2", "rights": 1}'
        self.control('{"cmd": "set", "connections": [%s]}' % alice)
        self.control('{"cmd": "set", "connections": [%s, %s]}' % (alice, bob))
        self.control('{"cmd": "set", "connections": []}')
        self.assertEqual(self.status_texts()[-1], b"total_connections=2")
        # A status list set with the connections is served as it is.
        self.control('{"cmd": "set", "status": ["total_connections=7"], "connections": [%s]}'
                     % bob)
        self.assertEqual(self.status_texts(), [b"total_connections=7"])
        self.control('{"cmd": "set", "status": []}')
        self.control('{"cmd": "set", "connections": [%s]}' % alice)
        self.assertEqual(self.status_texts(), [])


if __name__ == "__main__":
    unittest.main()
