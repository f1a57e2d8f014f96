#!/usr/bin/env python3
"""A streamer for the player's streamer client: serves a folder tree over the
command connection of the streamer protocol.

Listens on two consecutive ports: the data connection on the base port and
the command connection on the next one. On the command connection:

  hello      one byte in, one byte (1) back
  0xAC       login: 96-byte payload (user name, password, client data);
             reply payload byte 0 = 0 accepted, 1 refused
  0xBF/0xBC  folder / subtitle-file listing of a 1024-byte path: reply payload
             plain length, stored length (u32 LE each), then the listing
             (records of name, NUL, type byte 'd' or 'f'), zlib-compressed
             when that makes it shorter (the reply can only say "compressed"
             by a stored length below the plain one), unless --zlib never
  0xBE       media information: reply, then the 584-byte record made from
             ffprobe's view of the file
  0xC3       channel list: reply payload channel count and stored length (u32
             LE each), then the table of 36-byte entries (i16 number, one
             unused byte, NUL-terminated 33-byte name), zlib-compressed when
             that makes it shorter (unless --zlib never); --channels 0 gives
             count 0 and length 0
  0xD2/0xD6  select file / subtitle file; refused (0xFF) when not a file
  0xD3       start file stream at the request's u32 at offset 4 (seconds):
             the 40-byte description of what is sent; then, on the newest
             data connection, the marker AA BB CC DD, the file's video and
             audio as fixed-size time-stamped units (and the cues of the .srt
             chosen with 0xD6), and an end chunk (see stream_push.py). The
             file is transcoded by ffmpeg while it is sent; a running push is
             stopped first. The data connection stays open across streams.
  0xD4       start live stream of the channel whose number is the request's
             i32 at offset 0 (refused when there is no such channel): the
             description (duration 0), then the marker and an endless stream
             of that channel made by ffmpeg from test sources as it goes out,
             paced to the wall clock (see stream_push.LivePlan); a running
             push is stopped first
  0xED       stop stream: ends the push and its ffmpeg at once
Every reply is 42 bytes: byte 0 unused, byte 1 the command's code (0xFF
refused), 40 bytes of payload. Commands before a good login are refused.

Misbehaviour for tests (CODE is a command code in hex such as bf, or "any"):
  --refuse-login        every login is refused
  --no-hello            the hello byte is never answered
  --refuse CODE         reply status 0xFF
  --echo-other CODE     reply with another command's code as its status
  --stall CODE          read the request, never answer
  --close-mid-reply CODE  send half of the reply (or of what follows it), close
  --garbage CODE        answer 42 random bytes
  --rate BYTES_PER_S    send everything (data connection included) through a
                        link of that speed

Live channels:
  --channels N          N channels numbered from 1 (default 3): "News 24/7",
                        "Sports One", ... (names repeat with a number past the
                        list); N above 1000 sends a table longer than a client
                        may take, N = 0 an empty list
  --channels-file PATH  the channels from a JSON list instead: names, or
                        objects {"number": 7, "name": "News"}
  --live-clock-speed K  live stream time runs K times as fast as the wall
                        clock (default 1): ffmpeg makes it and the push sends
                        it K times faster, stamps stay true to the pictures

Data stream (without these it goes out as fast as the client reads it):
  --video-codec h264|mpeg4  H.264 Annex B (default) or MPEG-4 Part 2
  --audio-codec aac|mp3     AAC in ADTS (default) or bare MP3 frames
  --realtime            stay at most 5 s of stream time ahead of the wall clock
  --data-garbage N      N random bytes (no marker among them) before the marker
  --data-cut-after N    close the data connection after N stream bytes (counted
                        from the marker on), mid-chunk
  --data-stall-after N  send nothing more after N stream bytes, keep it open
  --data-bad-type-after N  after N chunks, a chunk header with type 0x42 (then
                        the stream goes on)

    streamer_sim.py <folder> [--port N] [--bind ADDRESS] [--user U] [--password P]
                    [--zlib auto|never] [--channels N | --channels-file PATH]
                    [--live-clock-speed K] [data stream switches] [misbehaviour switches]

The base port actually bound (useful with --port 0) is the first and only line
on stdout. SIGTERM ends it.
"""

import argparse
import json
import os
import signal
import socket
import struct
import subprocess
import sys
import threading
import time
import zlib

import stream_push

LOGIN, LIST_SUBS, INFO, LIST, CHANNELS = 0xAC, 0xBC, 0xBE, 0xBF, 0xC3
SELECT, START_FILE, START_LIVE, SELECT_SUBS, STOP = 0xD2, 0xD3, 0xD4, 0xD6, 0xED
PAYLOAD_SIZES = {LOGIN: 96, LIST_SUBS: 1024, INFO: 1024, LIST: 1024, CHANNELS: 0,
                 SELECT: 1024, START_FILE: 52, START_LIVE: 52, SELECT_SUBS: 1024, STOP: 0}
REFUSED = 0xFF
MARKER = 0xAA
REPLY_SIZE = 42
INFO_SIZE = 584
PORT_TRIES = 50
RATE_SLICE_S = 0.05  # a rate-limited send goes out in pieces this far apart
SUBTITLE_EXTENSIONS = (".srt",)
CHANNEL_NAMES = ("News 24/7", "Sports One", "Movie Max", "Kids Corner", "Music Hits",
                 "Nature HD", "Cooking Live", "Retro TV")
CHANNEL_NAME_SIZE = 33  # NUL included
CHANNEL_ENTRY = struct.Struct("<HB33s")  # the i16 number as its 16 bits


def default_channels(count):
    """count channels numbered from 1, the names repeating with a number past the list."""
    out = []
    for i in range(count):
        name = CHANNEL_NAMES[i % len(CHANNEL_NAMES)]
        if i >= len(CHANNEL_NAMES):
            name += " %d" % (i // len(CHANNEL_NAMES) + 1)
        out.append((i + 1, name))
    return out


def channels_from_file(path):
    with open(path, encoding="utf-8") as f:
        items = json.load(f)
    out = []
    for i, item in enumerate(items):
        if isinstance(item, str):
            out.append((i + 1, item))
        else:
            out.append((int(item["number"]), str(item["name"])))
    return out


def channel_table(channels):
    """The packed table: one 36-byte entry per channel, in table order."""
    return b"".join(CHANNEL_ENTRY.pack(number & 0xFFFF, 0, fixed(name, CHANNEL_NAME_SIZE))
                    for number, name in channels)


def code_switch(text):
    return "any" if text == "any" else int(text, 16)


def positive(text):
    value = float(text)
    if not value > 0:
        raise argparse.ArgumentTypeError("must be above 0")
    return value


def c_text(data):
    return data.split(b"\0", 1)[0].decode("utf-8", "replace")


class Files:
    """Maps the player's paths onto the served folder, never outside it."""

    def __init__(self, root):
        self.root = os.path.realpath(root)

    def local(self, path):
        rel = path.strip("/")
        full = os.path.realpath(os.path.join(self.root, rel))
        if full != self.root and not full.startswith(self.root + os.sep):
            return None
        return full

    def listing(self, path, subtitles_only):
        folder = self.local(path)
        if not folder or not os.path.isdir(folder):
            return b""
        out = bytearray()
        for name in sorted(os.listdir(folder)):
            if name.startswith("."):
                continue
            full = os.path.join(folder, name)
            if os.path.isdir(full):
                kind = b"d"
            elif subtitles_only and not name.lower().endswith(SUBTITLE_EXTENSIONS):
                continue
            else:
                kind = b"f"
            out += name.encode("utf-8") + b"\0" + kind
        return bytes(out)


def probe(path):
    try:
        out = subprocess.run(["ffprobe", "-v", "quiet", "-print_format", "json",
                              "-show_format", "-show_streams", path],
                             capture_output=True, timeout=30, check=False).stdout
        return json.loads(out or b"{}")
    except (OSError, ValueError, subprocess.TimeoutExpired):
        return {}


def fixed(text, size):
    return text.encode("utf-8")[: size - 1].ljust(size, b"\0")


def info_record(path):
    """The 584-byte information record of a file."""
    p = probe(path)
    fmt = p.get("format", {})
    size = min(os.path.getsize(path), 0xFFFFFFFF)
    duration = float(fmt.get("duration", 0) or 0)
    if duration > 0:
        total = int(duration)
        length = struct.pack("<Bbbb", 1, min(total // 3600, 127), total // 60 % 60, total % 60)
    else:
        length = b"\0\0\0\0"  # all equal: unknown
    kbps = int(fmt.get("bit_rate", 0) or 0) // 1000
    entries = []
    for s in p.get("streams", [])[:6]:
        kind = s.get("codec_type")
        name = s.get("codec_name", "unknown")
        if kind == "video":
            text = "Video: %s, %sx%s" % (name, s.get("width"), s.get("height"))
            fps = stream_push.rate_of(s.get("avg_frame_rate"))
        elif kind == "audio":
            text = "Audio: %s, %s Hz, %s channels" % (name, s.get("sample_rate"),
                                                     s.get("channels"))
            fps = 0.0
        elif kind == "subtitle":
            text, fps = "Subtitle: %s" % name, 0.0
        else:
            continue
        entries.append(struct.pack("<f", fps) + fixed(text, 64))
    tags = {k.lower(): v for k, v in fmt.get("tags", {}).items()}
    record = struct.pack("<I", size) + length + struct.pack("<Ib3x", kbps, len(entries))
    record += b"".join(entries).ljust(6 * 68, b"\0")
    record += fixed(tags.get("artist", ""), 64) + fixed(tags.get("album", ""), 64)
    record += fixed(tags.get("genre", ""), 32)
    assert len(record) == INFO_SIZE
    return record


class Session:
    """One command connection."""

    def __init__(self, server, conn):
        self.server = server
        self.args = server.args
        self.conn = conn
        self.logged_in = False
        self.selected = None
        self.subtitles = None

    def send(self, data):
        rate = self.args.rate
        if not rate:
            self.conn.sendall(data)
            return
        step = max(1, int(rate * RATE_SLICE_S))
        for at in range(0, len(data), step):
            self.conn.sendall(data[at:at + step])
            time.sleep(RATE_SLICE_S)

    def recv_exact(self, n):
        data = b""
        while len(data) < n:
            piece = self.conn.recv(n - len(data))
            if not piece:
                raise ConnectionError("peer closed")
            data += piece
        return data

    def hits(self, switch, code):
        return switch is not None and (switch == "any" or switch == code)

    def reply(self, code, payload=b"", follow=b""):
        """Sends the reply frame and what follows it, or misbehaves. False: stop."""
        a = self.args
        if self.hits(a.stall, code):
            while self.conn.recv(4096):
                pass
            return False
        if self.hits(a.garbage, code):
            self.send(os.urandom(REPLY_SIZE))
            return True
        status = code
        if self.hits(a.refuse, code):
            status = REFUSED
        elif self.hits(a.echo_other, code):
            status = INFO if code != INFO else LIST
        frame = bytes([0, status]) + payload[:40].ljust(40, b"\0")
        data = frame + (follow if status == code else b"")
        if self.hits(a.close_mid_reply, code):
            cut = len(frame) // 2 if not follow else len(frame) + len(follow) // 2
            self.send(data[:cut])
            return False
        self.send(data)
        return True

    def stored(self, plain):
        """plain, or its zlib stream when that is shorter (and allowed)."""
        packed = zlib.compress(plain, 9)
        return packed if self.args.zlib == "auto" and len(packed) < len(plain) else plain

    def listing(self, code, path):
        plain = self.server.files.listing(path, code == LIST_SUBS)
        stored = self.stored(plain)
        return self.reply(code, struct.pack("<II", len(plain), len(stored)), stored)

    def channel_list(self):
        channels = self.server.channels
        stored = self.stored(channel_table(channels)) if channels else b""
        return self.reply(CHANNELS, struct.pack("<II", len(channels), len(stored)), stored)

    def handle(self, code, payload):
        if code == LOGIN:
            user, password = c_text(payload[:32]), c_text(payload[32:64])
            self.logged_in = (not self.args.refuse_login and user == self.args.user
                              and password == self.args.password)
            return self.reply(code, bytes([0 if self.logged_in else 1]))
        if not self.logged_in:
            return self.send_refusal()
        files = self.server.files
        if code in (LIST, LIST_SUBS):
            return self.listing(code, c_text(payload))
        if code == INFO:
            full = files.local(c_text(payload))
            if not full or not os.path.isfile(full):
                return self.send_refusal()
            return self.reply(code, follow=info_record(full))
        if code == CHANNELS:
            return self.channel_list()
        if code in (SELECT, SELECT_SUBS):
            full = files.local(c_text(payload))
            if not full or not os.path.isfile(full):
                return self.send_refusal()
            if code == SELECT:
                self.selected = full
            else:
                self.subtitles = full
            return self.reply(code)
        if code in (START_FILE, START_LIVE):
            if code == START_FILE and not self.selected:
                return self.send_refusal()
            return self.start_stream(code, payload)
        if code == STOP:
            self.server.stop_push()
            return self.reply(code)
        return self.send_refusal()

    def start_stream(self, code, request):
        """Stops any running push, answers with the description of what will be
        sent, then pushes it on the data connection."""
        self.server.stop_push()
        a = self.args
        subtitles = None
        if code == START_FILE:
            start_s = struct.unpack_from("<I", request, 4)[0]
            plan = stream_push.Plan(self.selected, probe(self.selected), a.video_codec,
                                    a.audio_codec, start_s)
            subtitles = self.subtitles
        else:
            number = struct.unpack_from("<i", request, 0)[0]
            slot = next((i for i, (n, _) in enumerate(self.server.channels) if n == number),
                        None)
            if slot is None:
                return self.send_refusal()
            kbps = struct.unpack_from("<I", request, 8)[0]
            plan = stream_push.LivePlan(self.server.channels[slot][1], slot, a.video_codec,
                                        a.audio_codec, a.live_clock_speed, kbps)
        ok = self.reply(code, plan.description())
        if ok:
            self.server.start_push(stream_push.Pusher(self.server, a, plan, subtitles))
        return ok

    def send_refusal(self):
        self.send(bytes([0, REFUSED]) + b"\0" * 40)
        return True

    def run(self):
        with self.conn:
            try:
                self.recv_exact(1)
                if self.args.no_hello:
                    while self.conn.recv(4096):
                        pass
                    return
                self.send(b"\x01")
                while True:
                    head = self.recv_exact(2)
                    if head[0] != MARKER or head[1] not in PAYLOAD_SIZES:
                        return  # not a frame of ours: the stream is out of step
                    payload = self.recv_exact(PAYLOAD_SIZES[head[1]])
                    if not self.handle(head[1], payload):
                        return
            except (ConnectionError, OSError):
                return


class Server:
    def __init__(self, args):
        self.args = args
        self.files = Files(args.folder)
        self.channels = (channels_from_file(args.channels_file) if args.channels_file
                         else default_channels(args.channels))
        self.data_lock = threading.Lock()
        self.data_conns = []
        self.push_lock = threading.Lock()
        self.pusher = None  # one data connection in use, so one push at a time

    def newest_data(self, timeout, stop):
        """The newest data connection, waiting up to timeout for one; None if none came."""
        deadline = time.monotonic() + timeout
        while not stop.is_set():
            with self.data_lock:
                if self.data_conns:
                    return self.data_conns[-1]
            if time.monotonic() > deadline:
                return None
            time.sleep(stream_push.POLL_S)
        return None

    def drop_data(self, conn):
        with self.data_lock:
            if conn in self.data_conns:
                self.data_conns.remove(conn)
        try:
            conn.shutdown(socket.SHUT_RDWR)
        except OSError:
            pass
        conn.close()

    def start_push(self, pusher):
        with self.push_lock:
            self.pusher = pusher
            pusher.start()

    def stop_push(self):
        with self.push_lock:
            pusher, self.pusher = self.pusher, None
        if pusher:
            pusher.stop()

    def accept_data(self, listener):
        while True:
            conn, _ = listener.accept()
            with self.data_lock:
                self.data_conns.append(conn)

    def accept_commands(self, listener):
        while True:
            conn, _ = listener.accept()
            threading.Thread(target=Session(self, conn).run, daemon=True).start()


def listen_pair(bind, port):
    """Two listeners on port and port + 1 (any free pair when port is 0)."""
    for _ in range(PORT_TRIES):
        data = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
        data.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
        data.bind((bind, port))
        base = data.getsockname()[1]
        command = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
        command.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
        try:
            command.bind((bind, base + 1))
        except OSError:
            data.close()
            command.close()
            if port:
                raise
            continue
        data.listen(16)
        command.listen(16)
        return base, data, command
    raise OSError("no free pair of ports")


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("folder")
    parser.add_argument("--port", type=int, default=0)
    parser.add_argument("--bind", default="127.0.0.1")
    parser.add_argument("--user", default="viewer")
    parser.add_argument("--password", default="secret")
    parser.add_argument("--zlib", choices=("auto", "never"), default="auto")
    parser.add_argument("--channels", type=int, default=3, metavar="N")
    parser.add_argument("--channels-file", default=None, metavar="PATH")
    parser.add_argument("--live-clock-speed", type=positive, default=1.0, metavar="K")
    parser.add_argument("--refuse-login", action="store_true")
    parser.add_argument("--no-hello", action="store_true")
    for switch in ("--refuse", "--echo-other", "--stall", "--close-mid-reply", "--garbage"):
        parser.add_argument(switch, type=code_switch, default=None, metavar="CODE")
    parser.add_argument("--rate", type=int, default=0, metavar="BYTES_PER_S")
    parser.add_argument("--video-codec", choices=("h264", "mpeg4"), default="h264")
    parser.add_argument("--audio-codec", choices=("aac", "mp3"), default="aac")
    parser.add_argument("--realtime", action="store_true")
    parser.add_argument("--data-garbage", type=int, default=0, metavar="N")
    for switch in ("--data-cut-after", "--data-stall-after", "--data-bad-type-after"):
        parser.add_argument(switch, type=int, default=None, metavar="N")
    args = parser.parse_args()

    server = Server(args)
    base, data, command = listen_pair(args.bind, args.port)
    print(base, flush=True)
    signal.signal(signal.SIGTERM, lambda *_: os._exit(0))
    threading.Thread(target=server.accept_data, args=(data,), daemon=True).start()
    server.accept_commands(command)


if __name__ == "__main__":
    sys.exit(main())
