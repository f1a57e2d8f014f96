#!/usr/bin/env python3
"""Records one file stream of a running streamer (such as streamer_sim.py) into a
".vlm" recording, written straight from the recording file's byte table: the
40-byte stream description (version byte 3), the last time stamp at byte 24,
the index offset and count at bytes 40 and 44, the chunks from byte 48 as they
arrived (no marker, no end chunk), then the per-second index of chunk offsets
relative to byte 48.

    record_stream.py PORT PATH OUT.vlm [--user U] [--password P] [--crash]

--crash leaves the index fields at 0 and drops the index, as a recording cut
short by a crash or a power loss would be.
"""
import argparse
import socket
import struct
import sys

from stream_check import exchange, path_payload, recv_exact, stream_request, sync

UNIT_SIZES = {0x80: 8384, 0x00: 4190}
SUBTITLE, END = 0xCC, 0xFF
HEADER_SIZE = 48


def read_chunks(data_sock):
    """(chunks as bytes, [(offset, stamp)] of units) up to the end chunk."""
    body, units = bytearray(), []
    while True:
        head = recv_exact(data_sock, 4, "a chunk header")
        value, kind = head[0] | head[1] << 8 | head[2] << 16, head[3]
        if kind == END:
            return body, units
        size = UNIT_SIZES.get(kind, value if kind == SUBTITLE else None)
        if size is None:
            sys.exit("chunk type 0x%02X" % kind)
        if kind in UNIT_SIZES:
            units.append((len(body), value))
        body += head + recv_exact(data_sock, size, "a payload")


def second_index(units):
    """Entry i: the offset of the unit at which second i (from the first stamp) begins."""
    index, next_ms = [], None
    for offset, stamp in units:
        if next_ms is None:
            next_ms = stamp
        while stamp >= next_ms:
            index.append(offset)
            next_ms += 1000
    return index


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("port", type=int)
    parser.add_argument("path")
    parser.add_argument("out")
    parser.add_argument("--host", default="127.0.0.1")
    parser.add_argument("--user", default="viewer")
    parser.add_argument("--password", default="secret")
    parser.add_argument("--crash", action="store_true")
    args = parser.parse_args()
    command = socket.create_connection((args.host, args.port + 1), timeout=30)
    command.sendall(b"\x01")
    recv_exact(command, 1, "hello")
    data_sock = socket.create_connection((args.host, args.port), timeout=30)
    login = (args.user.encode()[:31].ljust(32, b"\0") + args.password.encode()[:31].ljust(32, b"\0")
             + b"\0" * 32)
    if exchange(command, 0xAC, login)[0] != 0:
        sys.exit("login refused")
    exchange(command, 0xD2, path_payload(args.path))
    description = bytearray(exchange(command, 0xD3, stream_request(0))[:40])
    sync(data_sock)
    body, units = read_chunks(data_sock)
    exchange(command, 0xED, b"")
    description[0] = 3
    index = [] if args.crash else second_index(units)
    last_ms = 0 if args.crash or not units else units[-1][1]
    index_offset = 0 if args.crash else HEADER_SIZE + len(body)
    header = bytes(description[:24]) + struct.pack("<I", last_ms) + bytes(description[28:40])
    header += struct.pack("<II", index_offset, len(index))
    with open(args.out, "wb") as f:
        f.write(header + body + b"".join(struct.pack("<I", o) for o in index))
    print("%d units, %d index entries" % (len(units), len(index)))


if __name__ == "__main__":
    main()
