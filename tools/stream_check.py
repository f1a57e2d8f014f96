#!/usr/bin/env python3
"""Reads one file stream or live channel from a running streamer (such as
streamer_sim.py) the way the player does, and checks it.

Connects to the command connection (base port + 1: hello byte, login 0xAC,
select 0xD2, optionally subtitles 0xD6, start 0xD3) and the data connection
(base port), skips to the marker AA BB CC DD and reads chunks up to the end
chunk. Checks every chunk's type and size and that time stamps never go back
within a stream; writes the concatenated video and audio payloads to files and
has ffprobe decode them (frame counts, durations), then compares them with the
40-byte stream description. Stops the stream with 0xED at the end.

    stream_check.py BASE_PORT PATH [--host H] [--user U] [--password P]
                    [--start SECONDS] [--subtitles PATH] [--out DIR] [--timeout S]
    stream_check.py BASE_PORT --live NUMBER [--seconds S] [--channels] [...]
    stream_check.py BASE_PORT --channels

--channels asks for the channel list (0xC3) first and prints it (count,
stored length, whether zlib, every entry); a count above 1000 or a table
that does not unpack to count 36-byte entries is a failure. --live starts
channel NUMBER with 0xD4 instead of a file (the description must give
duration 0), reads S seconds of stream time (default 3; stamps may wrap at
2^24 ms), stops it with 0xED and checks what came as for a file; it also
prints how fast stream time ran against the wall clock.

Prints what it found, one "name: value" per line. Exit status: 0 good stream,
1 other failure (refused command, description or decode mismatch), 2 malformed
chunk type, 3 data connection closed before the end chunk, 4 no data for
--timeout seconds.
"""

import argparse
import json
import os
import socket
import struct
import subprocess
import sys
import tempfile
import time
import zlib

MARKER = b"\xAA\xBB\xCC\xDD"
UNIT_SIZES = {0x80: 8384, 0x00: 4190}
SUBTITLE, END = 0xCC, 0xFF
VIDEO_NAMES = {2: ("h264", "h264"), 1: ("mpeg4", "m4v")}
AUDIO_NAMES = {2: ("aac", "aac"), 1: ("mp3", "mp3")}
NONE = 0xFF
EXIT_FAIL, EXIT_MALFORMED, EXIT_CLOSED, EXIT_STALLED = 1, 2, 3, 4
STAMP_WRAP = 1 << 24  # stamps are 24 bits
CHANNEL_ENTRY = struct.Struct("<hB33s")
CHANNEL_TABLE_MAX = 1000


class Failure(Exception):
    def __init__(self, status, text):
        super().__init__(text)
        self.status = status


def recv_exact(sock, n, what):
    data = bytearray()
    while len(data) < n:
        try:
            piece = sock.recv(n - len(data))
        except socket.timeout:
            raise Failure(EXIT_STALLED, "no data for the time-out while reading " + what)
        if not piece:
            raise Failure(EXIT_CLOSED, "connection closed while reading %s (%d of %d bytes)"
                          % (what, len(data), n))
        data += piece
    return bytes(data)


def exchange(sock, code, payload):
    sock.sendall(bytes([0xAA, code]) + payload)
    reply = recv_exact(sock, 42, "reply to 0x%02X" % code)
    if reply[1] != code:
        raise Failure(EXIT_FAIL, "command 0x%02X answered with status 0x%02X" % (code, reply[1]))
    return reply[2:]


def path_payload(path):
    return path.encode("utf-8")[:1023].ljust(1024, b"\0")


def stream_request(start_s, channel=0):
    request = bytearray(52)
    struct.pack_into("<iI", request, 0, channel, start_s)
    request[12] = 0x40
    struct.pack_into("<HH", request, 16, 640, 480)
    return bytes(request)


def parse_description(d):
    return {"video_codec": d[5], "fps": d[6], "audio_codec": d[7],
            "sample_rate": struct.unpack_from("<I", d, 12)[0],
            "audio_bit_rate": struct.unpack_from("<I", d, 20)[0],
            "duration_ms": struct.unpack_from("<I", d, 24)[0]}


def sync(data_sock):
    """Bytes skipped before the marker."""
    skipped, tail = 0, b""
    while True:
        tail = (tail + recv_exact(data_sock, 1, "the marker"))[-len(MARKER):]
        if tail == MARKER:
            return skipped - len(MARKER) + 1
        skipped += 1


def unwrapped(value, stamps):
    """A 24-bit stamp made continuous with the ones before it: a step back by more
    than half the range is the wrap."""
    if not stamps:
        return value
    last = stamps[-1]
    value += last - last % STAMP_WRAP
    if last - value > STAMP_WRAP // 2:
        value += STAMP_WRAP
    return value


def read_stream(data_sock, started, until_ms=None):
    """Reads chunks to the end chunk (or, with until_ms, until that much stream time
    has come in every stream): payloads, stamps (unwrapped), subtitles, first-unit time."""
    out = {"payload": {0x80: bytearray(), 0x00: bytearray()}, "stamps": {0x80: [], 0x00: []},
           "subtitles": [], "first_unit_ms": None, "chunks": 0, "waiting_texts": []}
    while True:
        if until_ms is not None and all(s and s[-1] - s[0] >= until_ms
                                        for s in out["stamps"].values()):
            return out
        head = recv_exact(data_sock, 4, "chunk header %d" % out["chunks"])
        value = head[0] | head[1] << 8 | head[2] << 16
        kind = head[3]
        if kind == END:
            return out
        if kind in UNIT_SIZES:
            payload = recv_exact(data_sock, UNIT_SIZES[kind], "unit %d" % out["chunks"])
            if out["first_unit_ms"] is None:
                out["first_unit_ms"] = (time.monotonic() - started) * 1000
            stamps = out["stamps"][kind]
            value = unwrapped(value, stamps)
            if stamps and value < stamps[-1]:
                raise Failure(EXIT_MALFORMED, "stamp goes back in stream 0x%02X: %d after %d"
                              % (kind, value, stamps[-1]))
            stamps.append(value)
            out["payload"][kind] += payload
            out["subtitles"] += [(value, text) for text in out["waiting_texts"]]
            out["waiting_texts"] = []
        elif kind == SUBTITLE:
            text = recv_exact(data_sock, value, "subtitle %d" % out["chunks"])
            out["waiting_texts"].append(text.decode("utf-8"))  # shown from the next unit on
        else:
            raise Failure(EXIT_MALFORMED, "chunk %d has type 0x%02X" % (out["chunks"], kind))
        out["chunks"] += 1


def ffprobe_frames(path, fmt):
    result = subprocess.run(["ffprobe", "-v", "error", "-f", fmt, "-count_frames",
                             "-show_entries", "stream=codec_name,nb_read_frames,sample_rate,"
                             "width,height,channels", "-of", "json", path],
                            capture_output=True, text=True, timeout=120, check=False)
    streams = json.loads(result.stdout or "{}").get("streams", [])
    return streams[0] if streams else {}


def last_stamp_problems(what, last, start_ms, frames, frame_ms):
    """The last unit holds the last frame: its stamp is that frame's presentation time."""
    if start_ms is None:
        return []
    expected = start_ms + (frames - 1) * frame_ms
    if frames and abs(last - expected) > frame_ms + 1:
        return ["last %s stamp %d ms, the last decoded frame is at %.0f ms"
                % (what, last, expected)]
    return []


def check_video(desc, stream, path, report):
    name, fmt = VIDEO_NAMES.get(desc["video_codec"], VIDEO_NAMES[1])
    info = ffprobe_frames(path, fmt)
    frames = int(info.get("nb_read_frames", 0) or 0)
    fps = desc["fps"] or 60
    report["video"] = "%s %sx%s, %d frames, %.3f s at %d fps" % (
        info.get("codec_name"), info.get("width"), info.get("height"), frames, frames / fps, fps)
    stamps = stream["stamps"][0x80]
    report["video_units"] = "%d, stamps %d..%d ms" % (len(stamps), stamps[0], stamps[-1])
    problems = last_stamp_problems("video", stamps[-1], desc["start_ms"], frames, 1000 / fps)
    if info.get("codec_name") != name:
        problems.append("video decodes as %s, description says %s" % (info.get("codec_name"),
                                                                       name))
    if not frames:
        problems.append("no video frame decodes")
    return problems


def check_audio(desc, stream, path, report):
    name, fmt = AUDIO_NAMES.get(desc["audio_codec"], AUDIO_NAMES[1])
    info = ffprobe_frames(path, fmt)
    frames = int(info.get("nb_read_frames", 0) or 0)
    rate = int(info.get("sample_rate", 0) or 0)
    per_frame = 1024 if name == "aac" else (1152 if rate >= 32000 else 576)
    seconds = frames * per_frame / rate if rate else 0
    report["audio"] = "%s %d Hz %s ch, %d frames, %.3f s" % (
        info.get("codec_name"), rate, info.get("channels"), frames, seconds)
    stamps = stream["stamps"][0x00]
    report["audio_units"] = "%d, stamps %d..%d ms" % (len(stamps), stamps[0], stamps[-1])
    problems = last_stamp_problems("audio", stamps[-1], desc["start_ms"], frames,
                                   per_frame * 1000 / rate if rate else 0)
    if info.get("codec_name") != name:
        problems.append("audio decodes as %s, description says %s" % (info.get("codec_name"),
                                                                       name))
    if rate != desc["sample_rate"]:
        problems.append("audio is %d Hz, description says %d" % (rate, desc["sample_rate"]))
    if not frames:
        problems.append("no audio frame decodes")
    return problems


def check_streams(desc, stream, out_dir, report):
    problems = []
    for kind, codec_key, names, check in ((0x80, "video_codec", VIDEO_NAMES, check_video),
                                          (0x00, "audio_codec", AUDIO_NAMES, check_audio)):
        present = bool(stream["stamps"][kind])
        past_end = desc["duration_ms"] and desc["start_ms"] >= desc["duration_ms"]  # files only
        if present != (desc[codec_key] != NONE) and not (past_end and not present):
            problems.append("%s units %s but description says codec 0x%02X"
                            % (codec_key.split("_")[0], "sent" if present else "missing",
                               desc[codec_key]))
        if not present:
            continue
        ext = names.get(desc[codec_key], names[1])[1]
        path = os.path.join(out_dir, "stream." + ext)
        with open(path, "wb") as f:
            f.write(stream["payload"][kind])
        report[codec_key.split("_")[0] + "_file"] = path
        problems += check(desc, stream, path, report)
    return problems


def channel_list(command):
    """Asks for the channel list and prints it; [(number, name)]."""
    count, stored_length = struct.unpack("<II", exchange(command, 0xC3, b"")[:8])
    stored = recv_exact(command, stored_length, "the channel table")
    plain_length = count * CHANNEL_ENTRY.size
    packed = stored_length != plain_length
    print("channels: %d" % count)
    print("channel_table: %d bytes stored, %s" % (stored_length, "zlib" if packed else "plain"))
    if count > CHANNEL_TABLE_MAX:
        raise Failure(EXIT_FAIL, "%d channels: more than a client takes" % count)
    try:
        plain = zlib.decompress(stored) if packed else stored
    except zlib.error as error:
        raise Failure(EXIT_FAIL, "channel table does not inflate: %s" % error)
    if len(plain) != plain_length:
        raise Failure(EXIT_FAIL, "channel table holds %d bytes, %d channels need %d"
                      % (len(plain), count, plain_length))
    channels = []
    for at in range(0, plain_length, CHANNEL_ENTRY.size):
        number, _, name = CHANNEL_ENTRY.unpack_from(plain, at)
        if b"\0" not in name:
            raise Failure(EXIT_FAIL, "channel %d: name not NUL-terminated" % number)
        channels.append((number, name.split(b"\0", 1)[0].decode("utf-8", "replace")))
        print("channel %d: %s" % channels[-1])
    return channels


def start(command, args):
    """Starts the file or live stream: (description, start time)."""
    started = time.monotonic()
    if args.live is not None:
        desc = parse_description(exchange(command, 0xD4, stream_request(0, args.live)))
        if desc["duration_ms"] != 0:
            raise Failure(EXIT_FAIL, "live description gives duration %d ms"
                          % desc["duration_ms"])
        desc["start_ms"] = 0
        return desc, started
    exchange(command, 0xD2, path_payload(args.path))
    if args.subtitles:
        exchange(command, 0xD6, path_payload(args.subtitles))
    started = time.monotonic()
    desc = parse_description(exchange(command, 0xD3, stream_request(args.start)))
    desc["start_ms"] = args.start * 1000
    return desc, started


def rebase(desc, stream):
    """A live stream that begins at its first picture (first stamps within a
    second) is checked from 0; one joined midway has no known first frame time,
    so its last stamps are not compared with the frames decoded."""
    firsts = [s[0] for s in stream["stamps"].values() if s]
    desc["start_ms"] = 0 if firsts and min(firsts) < 1000 else None


def run(args):
    report = {}
    command = socket.create_connection((args.host, args.port + 1), timeout=args.timeout)
    command.sendall(b"\x01")
    recv_exact(command, 1, "hello")
    data_sock = socket.create_connection((args.host, args.port), timeout=args.timeout)
    login = (args.user.encode()[:31].ljust(32, b"\0") + args.password.encode()[:31].ljust(32, b"\0")
             + b"\0" * 32)
    if exchange(command, 0xAC, login)[0] != 0:
        raise Failure(EXIT_FAIL, "login refused")
    if args.channels:
        channel_list(command)
    if args.live is None and args.path is None:
        return
    desc, started = start(command, args)
    report["reply_ms"] = "%.0f" % ((time.monotonic() - started) * 1000)
    report["description"] = " ".join("%s=%s" % kv for kv in desc.items())
    until_ms = args.seconds * 1000 if args.live is not None else None
    try:
        report["skipped_before_marker"] = sync(data_sock)
        stream = read_stream(data_sock, started, until_ms)
    finally:
        for key, value in report.items():
            print("%s: %s" % (key, value))
        report.clear()
    if args.live is not None:
        exchange(command, 0xED, b"")
        rebase(desc, stream)
        wall_s = time.monotonic() - started
        stamps = stream["stamps"][0x80] or stream["stamps"][0x00]
        report["stream_ms_per_wall_s"] = "%.0f" % ((stamps[-1] - stamps[0]) / wall_s
                                                   if stamps and wall_s else 0)
    report["chunks"] = stream["chunks"]
    report["first_unit_ms"] = ("%.0f" % stream["first_unit_ms"]
                               if stream["first_unit_ms"] is not None else "none")
    report["subtitles"] = len(stream["subtitles"])
    for stamp, text in stream["subtitles"]:
        report["subtitle before unit stamped %s" % stamp] = json.dumps(text, ensure_ascii=False)
    out_dir = args.out or tempfile.mkdtemp(prefix="stream_check_")
    os.makedirs(out_dir, exist_ok=True)
    problems = check_streams(desc, stream, out_dir, report)
    if args.live is None:
        exchange(command, 0xED, b"")
    for key, value in report.items():
        print("%s: %s" % (key, value))
    if problems:
        raise Failure(EXIT_FAIL, "; ".join(problems))


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("port", type=int)
    parser.add_argument("path", nargs="?")
    parser.add_argument("--live", type=int, default=None, metavar="NUMBER")
    parser.add_argument("--seconds", type=float, default=3.0)
    parser.add_argument("--channels", action="store_true")
    parser.add_argument("--host", default="127.0.0.1")
    parser.add_argument("--user", default="viewer")
    parser.add_argument("--password", default="secret")
    parser.add_argument("--start", type=int, default=0, metavar="SECONDS")
    parser.add_argument("--subtitles")
    parser.add_argument("--out")
    parser.add_argument("--timeout", type=float, default=10.0)
    args = parser.parse_args()
    if args.path is None and args.live is None and not args.channels:
        parser.error("give a PATH, --live NUMBER or --channels")
    try:
        run(args)
    except Failure as failure:
        print("FAIL: %s" % failure)
        return failure.status
    except OSError as error:
        print("FAIL: %s" % error)
        return EXIT_FAIL
    print("OK")
    return 0


if __name__ == "__main__":
    sys.exit(main())
