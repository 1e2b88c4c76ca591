#!/usr/bin/env python3
"""The file-transfer messages as the viewer side of the stand-in server speaks them.

Written from the message layouts alone, with the Python standard library (struct,
zlib), so that it shares nothing with the program's reader and writer and can check
them. Messages travel as version-4 framed messages: frames of at most 32766 bytes
behind a 2-byte big-endian header whose top bit marks the last frame.

Decoding follows the receiver's rules: missing optional fields take their defaults,
bytes after the last known field are ignored, compressed data is inflated with one
zlib stream kept across messages. Each decoded message is told as text lines in the
form the program's tests print (file data as hex, consecutive data of one file joined).

Usage:
  ft_codec.py decode FILE            the messages in FILE, one line each
  ft_codec.py random SEED COUNT FILE writes COUNT random messages (with cut optional
                                     fields and trailing bytes) to FILE and prints them
"""

import random
import struct
import sys
import zlib

ALL = (1 << 64) - 1
MAX_STRING = 1024


class Truncated(Exception):
    pass


class Reader:
    def __init__(self, body):
        self.b = body
        self.p = 0

    def take(self, n):
        if self.p + n > len(self.b):
            self.p = len(self.b)
            raise Truncated()
        v = self.b[self.p:self.p + n]
        self.p += n
        return v

    def u8(self):
        return self.take(1)[0]

    def u16(self):
        return struct.unpack('>H', self.take(2))[0]

    def u32(self):
        return struct.unpack('>I', self.take(4))[0]

    def u64(self):
        return struct.unpack('>Q', self.take(8))[0]

    def string(self):
        n = self.u32()
        if n > MAX_STRING:
            raise ValueError('String exceeds maximum length')
        return self.take(n)


def frames(data):
    """Splits a byte stream into message bodies."""
    bodies, body, p = [], b'', 0
    while p < len(data):
        header, = struct.unpack('>H', data[p:p + 2])
        size = header & 0x7FFF
        body += data[p + 2:p + 2 + size]
        p += 2 + size
        if header & 0x8000:
            bodies.append(body)
            body = b''
    return bodies


def frame(body):
    out = b''
    while True:
        piece, body = body[:32766], body[32766:]
        out += struct.pack('>H', len(piece) | (0 if body else 0x8000)) + piece
        if not body:
            return out


def ids(s, f):
    return '(%d,%d)' % (s, f)


class Decoder:
    def __init__(self):
        self.inflater = zlib.decompressobj()
        self.lines = []

    def data(self, s, f, chunk):
        head = 'FileData %s ' % ids(s, f)
        if self.lines and self.lines[-1].startswith(head):
            self.lines[-1] += chunk.hex()
        else:
            self.lines.append(head + chunk.hex())

    def message(self, body):
        r = Reader(body)
        kind = r.u32()
        if kind == 1:
            sid, code = r.u32(), r.u8()
            try:
                flags = r.u32()
            except Truncated:
                flags = 0
            self.lines.append('ShareCtrl %d %d %d' % (sid, code, flags))
        elif kind == 2:
            sid, path, depth = r.u32(), b'', 0
            try:
                path = r.string()
                depth = r.u32()
            except Truncated:
                depth = 0
            self.lines.append("ShareReq %d '%s' %d" % (sid, path.decode(), depth))
        elif kind == 3:
            sid, count = r.u32(), r.u32()
            if count == 0:
                self.lines.append('ShareEOF %d' % sid)
            for _ in range(count):
                try:
                    name = r.string().decode()
                    size, _c, _a, _m, flags, nattrs = struct.unpack('>QQQQII', r.take(40))
                    for _ in range(nattrs):
                        r.take(r.u8())
                        r.take(r.u32())
                except Truncated:
                    break
                self.lines.append('ShareEntry %d %s %d %d attrs=%d' % (sid, name, flags, size, nattrs))
        elif kind == 4:
            name = r.string().decode()
            sid, fid, window = r.u32(), r.u32(), r.u64()
            start, end, flags = 0, ALL, 0
            try:
                start = r.u64()
                end = r.u64()
                flags = r.u8()
            except Truncated:
                pass
            self.lines.append('FileReq %s %s %d %d %d %d' % (name, ids(sid, fid), window, start, end, flags))
        elif kind == 5:
            sid, fid, limit = r.u32(), r.u32(), r.u64()
            self.lines.append('ByteLimit %s %d' % (ids(sid, fid), limit))
        elif kind in (6, 10):
            sid, fid, n = r.u32(), r.u32(), r.u16()
            payload = r.take(n)
            if kind == 6 and n == 0:
                self.lines.append('FileEOF %s' % ids(sid, fid))
            elif kind == 6:
                self.data(sid, fid, payload)
            else:
                if n == 0:
                    raise ValueError('empty compressed data')
                self.data(sid, fid, self.inflater.decompress(payload))
        elif kind == 7:
            sid, fid = r.u32(), r.u32()
            self.lines.append("FileError %s '%s'" % (ids(sid, fid), r.string().decode()))
        elif kind == 8:
            sid, fid = r.u32(), r.u32()
            self.lines.append('FileAbort %s' % ids(sid, fid))
        elif kind == 9:
            self.lines.append('ShareRelease %d' % r.u32())
        else:
            raise ValueError('Unexpected PDU type: %d' % kind)


def name(rng):
    parts = [''.join(rng.choice('abcxyz.') for _ in range(rng.randint(1, 6))) for _ in range(rng.randint(1, 3))]
    parts = [p if p not in ('.', '..') else p + 'q' for p in parts]
    return '/'.join(parts)


def s(text):
    raw = text.encode()
    return struct.pack('>I', len(raw)) + raw


def random_messages(seed, count):
    """Random message bodies and the lines a receiver must see for them."""
    rng = random.Random(seed)
    deflater = zlib.compressobj(6)
    bodies, expect = [], Decoder()
    for _ in range(count):
        kind = rng.randint(1, 10)
        sid, fid = rng.getrandbits(32), rng.getrandbits(32)
        if kind == 1:
            body = struct.pack('>IIB', 1, sid, rng.randint(0, 1))
            if rng.random() < 0.7:
                body += struct.pack('>I', rng.getrandbits(32))
        elif kind == 2:
            body = struct.pack('>II', 2, sid)
            cut = rng.randint(0, 2)
            if cut >= 1:
                body += s(name(rng))
            if cut == 2:
                body += struct.pack('>I', rng.randint(0, 5))
        elif kind == 3:
            n = rng.randint(0, 4)
            body = struct.pack('>III', 3, sid, n)
            for _ in range(n):
                attrs = [(b'UNIX', struct.pack('>H', rng.getrandbits(16)))] * rng.randint(0, 1)
                attrs += [(b'X' * rng.randint(0, 3), bytes(rng.getrandbits(8) for _ in range(rng.randint(0, 4))))] * rng.randint(0, 1)
                body += s(name(rng)) + struct.pack('>QQQQII', rng.getrandbits(64), rng.getrandbits(64),
                                                   rng.getrandbits(64), rng.getrandbits(64),
                                                   rng.getrandbits(3), len(attrs))
                for an, ad in attrs:
                    body += bytes([len(an)]) + an + struct.pack('>I', len(ad)) + ad
        elif kind == 4:
            body = struct.pack('>I', 4) + s(name(rng)) + struct.pack('>IIQ', sid, fid, rng.getrandbits(64))
            for fmt in ('>Q', '>Q', '>B')[:rng.randint(0, 3)]:
                body += struct.pack(fmt, rng.getrandbits(64 if fmt == '>Q' else 8))
        elif kind == 5:
            body = struct.pack('>IIIQ', 5, sid, fid, rng.getrandbits(64))
        elif kind == 6:
            data = bytes(rng.getrandbits(8) for _ in range(rng.choice((0, 1, 17, 3000))))
            body = struct.pack('>IIIH', 6, sid, fid, len(data)) + data
        elif kind == 7:
            body = struct.pack('>III', 7, sid, fid) + s(name(rng) if rng.random() < 0.8 else '')
        elif kind == 8:
            body = struct.pack('>III', 8, sid, fid)
        elif kind == 9:
            body = struct.pack('>II', 9, sid)
        else:
            data = bytes(rng.choice(b'abab cdcd') for _ in range(rng.randint(1, 4000)))
            packed = deflater.compress(data) + deflater.flush(zlib.Z_SYNC_FLUSH)
            body = struct.pack('>IIIH', 10, sid, fid, len(packed)) + packed
        # Trailing fields a newer peer might send, only where nothing optional
        # is left out and no variable part runs to the end.
        complete = {1: lambda: len(body) == 13, 2: lambda: _has_depth(body),
                    3: lambda: True, 4: lambda: _filereq_complete(body), 5: lambda: True,
                    6: lambda: True, 7: lambda: True, 8: lambda: True, 9: lambda: True,
                    10: lambda: True}
        if kind in complete and complete[kind]() and rng.random() < 0.3:
            body += bytes(rng.getrandbits(8) for _ in range(rng.randint(1, 9)))
        bodies.append(body)
        expect.message(body)
    return bodies, expect.lines


def _has_depth(body):
    if len(body) < 12:
        return False
    n, = struct.unpack('>I', body[8:12])
    return len(body) == 12 + n + 4


def _filereq_complete(body):
    n, = struct.unpack('>I', body[4:8])
    return len(body) == 8 + n + 8 + 8 + 8 + 8 + 1


def main():
    if len(sys.argv) == 3 and sys.argv[1] == 'decode':
        d = Decoder()
        for body in frames(open(sys.argv[2], 'rb').read()):
            d.message(body)
        print('\n'.join(d.lines))
    elif len(sys.argv) == 5 and sys.argv[1] == 'random':
        bodies, lines = random_messages(int(sys.argv[2]), int(sys.argv[3]))
        with open(sys.argv[4], 'wb') as f:
            for body in bodies:
                f.write(frame(body))
        print('\n'.join(lines))
    else:
        sys.exit(__doc__)


if __name__ == '__main__':
    main()
