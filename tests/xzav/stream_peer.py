"""The viewer side of the loopback streams, for the stand-in of the virtual X server.

When the program asks for a file-transfer or chat stream (requests 15 and 16), the
server connects back to the given loopback port and presents the cookie, four bytes
big-endian. This module does that, and then plays the viewer on the file-transfer
stream: it can push a local folder or file as a share (advertised with flag bit 0,
listed, and served within the byte limits the program grants, plain or compressed),
and it fetches any share the program offers into a folder of its own (an upload from
the program's point of view). Everything it receives is decoded with ft_codec.

Configured per stream kind through the control socket (command "stream"):
  {"cmd": "stream", "kind": "ft", "set": {...}}   behaviour of the next connect-back
  {"cmd": "stream", "kind": "ft", "status": true} what happened so far
Settings:
  cookie     "big" (default), "split" (two writes), "with_message" (cookie and the first
             message in one write), "little" (wrong byte order), "wrong_first" (a
             connection with a wrong cookie, then the right one), "none" (no connect-back)
  push       path of a folder or file to offer as a share once connected (or null)
  compress   send file data compressed (type 10)
  vanish_after  close the stream after this many file bytes were sent
  fetch_dir  folder that receives the files of shares the program offers
  chunk      file bytes per data message (default 32752: one whole frame)
  flood      instead of fetching an offered share, ask for its first file this many
             times at once (file ids 0, 1, ...) with a byte limit of 0
  listed     offer, once connected, a share of this many made-up four-byte files
             ("f0", "f1", ...) that are listed but never served
  shares     offer, once connected, this many shares of made-up four-byte files, one
             after the other: the next is advertised once the program has asked for
             the listing of the one before and it went out
  files      files in each of those shares ("s<share>/f0", "s<share>/f1", ...; default 8)
  silent     never answer a file request (no data, no error)
  announce_extra  list each pushed file this many bytes longer than it is (its data
             ends early)
Live commands on the file-transfer stream:
  {"cmd": "stream", "kind": "ft", "push": path}       offer a share now
  {"cmd": "stream", "kind": "ft", "close": "reset"}   close with a reset (no farewell
                                                      reaches the program's writes)
  {"cmd": "stream", "kind": "ft", "series": {...}}    settings "shares", "files" and
                                                      "silent" taken now: the shares
                                                      are offered from now on
The status counts the file errors received under "file_errors" (with the first text
under "file_error"), the listings sent under "listings" and the file requests left
unanswered under "unanswered", so a flood needs no long list to be read back.

On the chat stream it plays the viewers' side of the chat service: it sends chat
messages (2: bring the window up; 3: a chat line; 4: a participant joined or left) and
records every two-byte message it receives ([type, value]: 0 focus, 1 visible) in the
status under "received".
  {"cmd": "stream", "kind": "chat", "send": [message, ...]}  send now on the live stream
Chat settings:
  cookie     as for file transfer
  send       messages to send as soon as connected (after the cookie)
A message is {"type": 2}, {"type": 3, "sender", "endpoint", "text"},
{"type": 4, "joined": true/false, "name", "endpoint"} or {"raw": "<hex bytes>"}.
Written with the Python standard library only.
"""

import hashlib
import os
import selectors
import socket
import struct
import time
import zlib

import ft_codec

ALL = (1 << 64) - 1


def frame(body):
    return ft_codec.frame(body)


def s(raw):
    return struct.pack(">I", len(raw)) + raw


def ticks(seconds):
    return int(seconds * 10000000) + 116444736000000000


class Source:
    """One file being sent: its id, file, bytes sent and the granted limit."""

    def __init__(self, sid, fid, path, start, end, limit):
        self.sid, self.fid = sid, fid
        self.f = open(path, "rb")
        self.f.seek(start)
        self.pos = start
        self.end = min(end, os.path.getsize(path)) if end != ALL else os.path.getsize(path)
        self.limit = limit


class FtPeer:
    """The viewer on one file-transfer stream."""

    kind = "ft"

    def __init__(self, streams, sock, settings):
        self.streams = streams
        self.sock = sock
        self.settings = settings
        self.inbuf = bytearray()
        self.out = []
        self.out_len = 0
        self.decoder = ft_codec.Decoder()
        self.deflater = zlib.compressobj(6)
        self.sources = {}
        self.closed = False
        self.sent_file_bytes = 0
        self.share = None
        self.entries = []
        self.fetch = {}        # (sid, fid) -> (name, file, hash)
        self.fetch_listing = {}  # sid -> [entries]
        self.series_left = int(settings.get("shares", 0))
        self.status = streams.status["ft"]

    # ---- share offered to the program -------------------------------------
    def push(self, path):
        path = os.path.abspath(path)
        base = os.path.dirname(path.rstrip("/"))
        top = os.path.basename(path.rstrip("/"))
        entries = []

        extra = int(self.settings.get("announce_extra", 0))

        def add(rel, full):
            st = os.lstat(full)
            is_dir = os.path.isdir(full)
            entries.append((rel, full, is_dir, 0 if is_dir else st.st_size + extra,
                            st.st_mode & 0xFFFF, st.st_mtime))

        add(top, path)
        if os.path.isdir(path):
            for root, dirs, files in os.walk(path):
                dirs.sort()
                for name in sorted(dirs) + sorted(files):
                    full = os.path.join(root, name)
                    if name in dirs or os.path.isfile(full):
                        add(os.path.relpath(full, base), full)
        self.offer(entries)

    def offer(self, entries):
        self.share = (self.share or 0) + 1
        self.entries = entries
        self.send(struct.pack(">IIBI", 1, self.share, 0, 1))

    def offer_made_up(self, count, prefix=""):
        """A share of count four-byte files that exist nowhere."""
        self.offer([("%sf%d" % (prefix, i), None, False, 4, 0o644, 0) for i in range(count)])

    def offer_next_of_series(self):
        """The next share of the "shares" setting, if any is left."""
        if self.series_left <= 0:
            return
        self.series_left -= 1
        self.offer_made_up(int(self.settings.get("files", 8)), "s%d/" % ((self.share or 0) + 1))

    def entry_bytes(self, e):
        rel, _full, is_dir, size, mode, mtime = e
        t = ticks(mtime)
        attr = bytes([4]) + b"UNIX" + struct.pack(">IH", 2, mode)
        return s(rel.encode()) + struct.pack(">QQQQII", size, t, t, t, 1 if is_dir else 0, 1) + attr

    def send_listing(self, sid):
        batch, count = b"", 0
        for e in self.entries:
            raw = self.entry_bytes(e)
            if len(batch) + len(raw) > 30000:
                self.send(struct.pack(">III", 3, sid, count) + batch)
                batch, count = b"", 0
            batch += raw
            count += 1
        if count:
            self.send(struct.pack(">III", 3, sid, count) + batch)
        self.send(struct.pack(">III", 3, sid, 0))
        self.status["listings"] += 1

    # ---- messages from the program ------------------------------------------
    def message(self, body):
        kind, = struct.unpack(">I", body[:4])
        if kind == 6 or kind == 10:
            self.data_message(body)
            return
        before = len(self.decoder.lines)
        self.decoder.message(body)
        for line in self.decoder.lines[before:]:
            self.status["received"].append(line)
        r = ft_codec.Reader(body)
        r.u32()
        if kind == 1:
            sid, code = r.u32(), r.u8()
            if code == 0 and self.settings.get("fetch_dir"):
                self.fetch_listing[sid] = []
                self.send(struct.pack(">II", 2, sid) + s(b"") + struct.pack(">I", 0))
        elif kind == 2:
            sid = r.u32()
            if sid == self.share:
                self.send_listing(sid)
                self.offer_next_of_series()
        elif kind == 3:
            self.listing_message(body)
        elif kind == 7:
            self.status["file_errors"] += 1
            self.status.setdefault("file_error", self.decoder.lines[-1])
        elif kind == 4:
            name = r.string().decode()
            sid, fid, window = r.u32(), r.u32(), r.u64()
            start, end = 0, ALL
            try:
                start, end = r.u64(), r.u64()
            except ft_codec.Truncated:
                pass
            if self.settings.get("silent"):
                self.status["unanswered"] += 1
                return
            full = None
            for e in self.entries:
                if e[0] == name and not e[2]:
                    full = e[1]
            if sid != self.share or full is None:
                self.send(struct.pack(">III", 7, sid, fid) + s(b"No such file"))
                self.send(struct.pack(">IIIH", 6, sid, fid, 0))
            else:
                self.sources[(sid, fid)] = Source(sid, fid, full, start, end, window)
        elif kind == 5:
            sid, fid, limit = r.u32(), r.u32(), r.u64()
            src = self.sources.get((sid, fid))
            if src:
                src.limit = max(src.limit, limit)
        elif kind == 8:
            sid, fid = r.u32(), r.u32()
            src = self.sources.pop((sid, fid), None)
            if src:
                src.f.close()
            self.status["aborted"].append([sid, fid])
        elif kind == 9:
            self.status["released"].append(r.u32())

    def listing_message(self, body):
        sid, count = struct.unpack(">II", body[4:12])
        if sid not in self.fetch_listing:
            return
        if count:
            r = ft_codec.Reader(body)
            r.take(12)
            for _ in range(count):
                name = r.string().decode()
                size, _c, _a, _m, flags, nattrs = struct.unpack(">QQQQII", r.take(40))
                for _ in range(nattrs):
                    r.take(r.u8())
                    r.take(r.u32())
                self.fetch_listing[sid].append((name, flags, size))
            return
        # The whole listing is there: fetch every file.
        flood = int(self.settings.get("flood", 0))
        files = [e for e in self.fetch_listing[sid] if not e[1] & 1]
        if flood and files:
            request = struct.pack(">I", 4) + s(files[0][0].encode())
            for fid in range(flood):
                self.send(request + struct.pack(">IIQQQB", sid, fid, 0, 0, ALL, 0))
            return
        root = self.settings["fetch_dir"]
        for index, (name, flags, _size) in enumerate(self.fetch_listing[sid]):
            target = os.path.join(root, name)
            if flags & 1:
                os.makedirs(target, exist_ok=True)
                continue
            os.makedirs(os.path.dirname(target), exist_ok=True)
            self.fetch[(sid, index)] = [name, open(target, "wb"), hashlib.sha256()]
            self.send(struct.pack(">I", 4) + s(name.encode()) +
                      struct.pack(">IIQQQB", sid, index, 1 << 62, 0, ALL, 0))

    def data_message(self, body):
        kind, sid, fid, n = struct.unpack(">IIIH", body[:14])
        payload = body[14:14 + n]
        if kind == 10:
            payload = self.decoder.inflater.decompress(payload)
        item = self.fetch.get((sid, fid))
        if item is None:
            return
        if kind == 6 and n == 0:
            item[1].close()
            self.status["uploads"][item[0]] = item[2].hexdigest()
            del self.fetch[(sid, fid)]
            return
        item[1].write(payload)
        item[2].update(payload)

    # ---- output ---------------------------------------------------------------
    # Output is a list of byte strings sent with one sendmsg, so that file data
    # is never copied into a growing buffer.
    def send(self, body):
        self.queue(frame(body))

    def queue(self, *pieces):
        for piece in pieces:
            self.out.append(piece)
            self.out_len += len(piece)

    def send_data(self, kind, sid, fid, data):
        body_len = 14 + len(data)
        if body_len <= 32766:
            self.queue(struct.pack(">HIIIH", body_len | 0x8000, kind, sid, fid, len(data)), data)
        else:
            self.send(struct.pack(">IIIH", kind, sid, fid, len(data)) + data)

    def write_out(self):
        while self.out:
            sent = self.sock.sendmsg(self.out[:512])
            self.out_len -= sent
            while self.out and sent >= len(self.out[0]):
                sent -= len(self.out[0])
                self.out.pop(0)
            if sent:
                self.out[0] = memoryview(self.out[0])[sent:]
                return

    def pump_sources(self):
        chunk = int(self.settings.get("chunk", 32752))
        compress = bool(self.settings.get("compress"))
        vanish = self.settings.get("vanish_after")
        progressed = True
        while progressed and self.out_len < 4 << 20 and self.sources:
            progressed = False
            for key, src in list(self.sources.items()):
                room = min(src.limit, src.end) - src.pos
                if src.pos >= src.end:
                    self.send(struct.pack(">IIIH", 6, src.sid, src.fid, 0))
                    src.f.close()
                    del self.sources[key]
                    self.status["served"].append([src.sid, src.fid])
                    progressed = True
                    continue
                if room <= 0:
                    continue
                data = src.f.read(min(chunk, room))
                if not data:
                    src.end = src.pos
                    progressed = True
                    continue
                src.pos += len(data)
                self.sent_file_bytes += len(data)
                if compress:
                    packed = self.deflater.compress(data) + self.deflater.flush(zlib.Z_SYNC_FLUSH)
                    self.send_data(10, src.sid, src.fid, packed)
                else:
                    self.send_data(6, src.sid, src.fid, data)
                progressed = True
                if vanish is not None and self.sent_file_bytes >= int(vanish):
                    self.flush_now()
                    self.close()
                    return

    def wants_write(self):
        return bool(self.out) or any(src.pos >= src.end or min(src.limit, src.end) > src.pos
                                     for src in self.sources.values())

    def flush_now(self):
        self.sock.setblocking(True)
        try:
            self.sock.sendall(b"".join(self.out))
        except OSError:
            pass
        self.out = []
        self.out_len = 0

    def service(self, mask):
        if self.closed:
            return
        if mask & selectors.EVENT_READ:
            try:
                data = self.sock.recv(65536)
            except (BlockingIOError, InterruptedError):
                data = None
            except OSError:
                data = b""
            if data == b"":
                self.close()
                return
            if data:
                self.inbuf += data
                self.read_messages()
        self.pump_sources()
        if self.closed:
            return
        if self.out:
            try:
                self.write_out()
            except (BlockingIOError, InterruptedError):
                pass
            except OSError:
                self.close()
                return
        self.streams.want(self)

    def read_messages(self):
        buf = self.inbuf
        p, body, bodies = 0, bytearray(), []
        start = 0
        while p + 2 <= len(buf):
            header, = struct.unpack(">H", buf[p:p + 2])
            size = header & 0x7FFF
            if p + 2 + size > len(buf):
                break
            body += buf[p + 2:p + 2 + size]
            p += 2 + size
            if header & 0x8000:
                bodies.append(bytes(body))
                body = bytearray()
                start = p
        del buf[:start]
        for b in bodies:
            try:
                self.message(b)
            except Exception as exc:  # a bad message is reported, never fatal
                self.status["errors"].append("%s: %s" % (type(exc).__name__, exc))

    def close(self):
        if self.closed:
            return
        self.closed = True
        self.status["closed"] = True
        for src in self.sources.values():
            src.f.close()
        self.streams.drop(self)


# ---- chat ---------------------------------------------------------------------

def short_string(text):
    raw = text.encode()
    if len(raw) > 255:
        raise ValueError("chat text over 255 bytes: %r" % text)
    return bytes([len(raw)]) + raw


def chat_message(msg):
    """The bytes of one chat message described as in the module's notes."""
    if "raw" in msg:
        return bytes.fromhex(msg["raw"])
    kind = int(msg["type"])
    if kind == 2:
        return b"\x02"
    if kind == 3:
        text = msg.get("text", "").encode()
        return (b"\x03" + short_string(msg.get("sender", "")) +
                short_string(msg.get("endpoint", "")) + struct.pack(">I", len(text)) + text)
    if kind == 4:
        return (b"\x04" + bytes([1 if msg.get("joined", True) else 0]) +
                short_string(msg.get("name", "")) + short_string(msg.get("endpoint", "")))
    raise ValueError("unknown chat message type %r" % kind)


def chat_replies(buf):
    """Takes the whole two-byte messages off buf: [[type, value], ...]."""
    whole = len(buf) - len(buf) % 2
    got = [[buf[i], buf[i + 1]] for i in range(0, whole, 2)]
    del buf[:whole]
    return got


class ChatPeer:
    """The viewers' side of one chat stream."""

    kind = "chat"

    def __init__(self, streams, sock, settings):
        self.streams = streams
        self.sock = sock
        self.settings = settings
        self.inbuf = bytearray()
        self.out = bytearray()
        self.closed = False
        self.sent_file_bytes = 0
        self.status = streams.status["chat"]

    def send(self, messages):
        for msg in messages:
            self.out += chat_message(msg)
        self.streams.want(self)

    def wants_write(self):
        return bool(self.out)

    def service(self, mask):
        if self.closed:
            return
        if mask & selectors.EVENT_READ:
            try:
                data = self.sock.recv(4096)
            except (BlockingIOError, InterruptedError):
                data = None
            except OSError:
                data = b""
            if data == b"":
                self.close()
                return
            if data:
                self.inbuf += data
                self.status["received"].extend(chat_replies(self.inbuf))
        if self.out:
            try:
                sent = self.sock.send(self.out)
                del self.out[:sent]
            except (BlockingIOError, InterruptedError):
                pass
            except OSError:
                self.close()
                return
        self.streams.want(self)

    def close(self):
        if self.closed:
            return
        self.closed = True
        self.status["closed"] = True
        self.streams.drop(self)


class Streams:
    """The connect-backs of the stand-in server and their peers."""

    def __init__(self, sel):
        self.sel = sel
        self.settings = {"ft": {}, "chat": {}}
        self.peers = []
        self.kept = []
        self.reset_status()

    def reset_status(self):
        self.status = {k: {"connected": False, "closed": False, "received": [], "uploads": {},
                           "aborted": [], "released": [], "served": [], "errors": [],
                           "attempts": 0, "file_errors": 0, "unanswered": 0, "listings": 0}
                       for k in ("ft", "chat")}

    def reset(self):
        for peer in list(self.peers):
            peer.close()
        for sock in self.kept:
            sock.close()
        self.kept = []
        self.settings = {"ft": {}, "chat": {}}
        self.reset_status()

    def control(self, cmd):
        kind = cmd.get("kind", "ft")
        if kind not in self.settings:
            raise ValueError("unknown stream kind %r" % kind)
        if "set" in cmd:
            self.settings[kind] = dict(cmd["set"])
        if "send" in cmd:
            live = [p for p in self.peers if p.kind == kind and not p.closed]
            if not live:
                raise ValueError("no live %s stream to send on" % kind)
            if kind != "chat":
                raise ValueError("only the chat stream takes messages to send")
            for peer in live:
                peer.send(cmd["send"])
        if "push" in cmd:
            live = [p for p in self.peers if p.kind == "ft" and not p.closed]
            if kind != "ft" or not live:
                raise ValueError("no live file-transfer stream to push on")
            for peer in live:
                peer.push(cmd["push"])
                self.want(peer)
        if "series" in cmd:
            live = [p for p in self.peers if p.kind == "ft" and not p.closed]
            if kind != "ft" or not live:
                raise ValueError("no live file-transfer stream to offer shares on")
            for peer in live:
                peer.settings.update(cmd["series"])
                peer.series_left = int(cmd["series"].get("shares", 0))
                peer.offer_next_of_series()
                self.want(peer)
        if cmd.get("close"):
            for peer in list(self.peers):
                if peer.kind == kind:
                    if cmd["close"] == "reset":
                        peer.sock.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER,
                                             struct.pack("ii", 1, 0))
                    peer.close()
        answer = {"ok": True}
        if cmd.get("status"):
            st = dict(self.status[kind])
            live = [p for p in self.peers if not p.closed]
            st["sent_file_bytes"] = sum(p.sent_file_bytes for p in self.peers) if live else \
                st.get("sent_file_bytes", 0)
            answer["status"] = st
        return answer

    def requested(self, name, port, cookie):
        """The program asked for a stream and the server said yes: connect back.
        Nobody listening there is recorded, never fatal: the reply still goes out."""
        kind = "ft" if name == "requestFileTransferStream" else "chat"
        try:
            self.connect_back(kind, port, cookie)
        except OSError as exc:
            self.status[kind]["connect_error"] = str(exc)

    def connect_back(self, kind, port, cookie):
        settings = self.settings[kind]
        how = settings.get("cookie", "big")
        if how == "none":
            return
        big = struct.pack(">I", cookie)
        if how == "wrong_first":
            self.status[kind]["attempts"] += 1
            bad = socket.create_connection(("127.0.0.1", port))
            bad.sendall(struct.pack(">I", cookie ^ 0x5A5A5A5A))
            self.kept.append(bad)  # kept open until the program closes it
        sock = socket.create_connection(("127.0.0.1", port))
        sock.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
        self.status[kind]["attempts"] += 1
        if how == "little":
            sock.sendall(struct.pack("<I", cookie))
        elif how == "split":
            sock.sendall(big[:1])
            time.sleep(0.05)
            sock.sendall(big[1:])
        elif how != "with_message":
            sock.sendall(big)
        sock.setblocking(False)
        self.status[kind]["connected"] = True
        if kind == "chat":
            self.start_chat(sock, settings, big if how == "with_message" else b"")
            return
        peer = FtPeer(self, sock, settings)
        self.peers.append(peer)
        self.sel.register(sock, selectors.EVENT_READ, ("stream", peer))
        if settings.get("push"):
            peer.push(settings["push"])
        elif settings.get("listed"):
            peer.offer_made_up(int(settings["listed"]))
        elif settings.get("shares"):
            peer.offer_next_of_series()
        if how == "with_message":
            peer.out.insert(0, big)
            peer.out_len += len(big)
        self.want(peer)

    def start_chat(self, sock, settings, cookie):
        """Serves a connected chat stream; cookie (if not sent yet) goes first,
        in one write with the first messages."""
        peer = ChatPeer(self, sock, settings)
        self.peers.append(peer)
        self.sel.register(sock, selectors.EVENT_READ, ("stream", peer))
        peer.out += cookie
        peer.send(settings.get("send", []))

    def want(self, peer):
        try:
            key = self.sel.get_key(peer.sock)
        except (KeyError, ValueError):
            return
        events = selectors.EVENT_READ
        if peer.wants_write():
            events |= selectors.EVENT_WRITE
        if key.events != events:
            self.sel.modify(peer.sock, events, key.data)

    def drop(self, peer):
        try:
            self.sel.unregister(peer.sock)
        except (KeyError, ValueError):
            pass
        if peer.kind == "ft":
            self.status["ft"]["sent_file_bytes"] = peer.sent_file_bytes
        peer.sock.close()
        if peer in self.peers:
            self.peers.remove(peer)
