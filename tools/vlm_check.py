#!/usr/bin/env python3
"""Reads a ".vlm" recording from its byte layout alone and checks it.

Layout (little-endian): the header (the stream description: 40 bytes for
version 3, 36 for version 2, and for versions 0 and 1 its bytes 4 to 27),
whose description bytes 24-27 hold the u32 time stamp of the last chunk,
then the u32 index offset and u32 index count, then
the chunks as the data stream carries them (4-byte header: 24-bit value,
type byte; video 0x80 with 8384 payload bytes, audio 0x00 with 4190,
subtitle 0xCC with the value's length), then the index: one u32 per second,
the offset (from the first chunk) of the chunk at which that second begins.

    vlm_check.py FILE

Prints "name: value" lines (version, chunks by type, first and last time
stamps, duration, index entries, bytes of chunks) and exits 0 for a sound
file, 1 for a damaged one (the reason on the last line). A file whose
index fields are 0 (cut short before it was finished) is walked to its end.
"""

import struct
import sys

HEADER_BY_VERSION = {0: 24, 1: 24, 2: 36, 3: 40}
PAYLOAD = {0x80: 8384, 0x00: 4190}
SUBTITLE, STAMP_MASK = 0xCC, 0xFFFFFF


def fail(reason):
    print("damaged: %s" % reason)
    sys.exit(1)


def main():
    data = open(sys.argv[1], "rb").read()
    if len(data) < 4:
        fail("shorter than a header")
    version = data[0]
    if version not in HEADER_BY_VERSION:
        fail("version %d" % version)
    header = HEADER_BY_VERSION[version]
    if len(data) < header + 8:
        fail("shorter than its header")
    index_at, count = struct.unpack_from("<II", data, header)
    first = header + 8
    end = index_at if index_at else len(data)
    if end < first or end > len(data):
        fail("index offset %d outside the file" % index_at)
    if index_at and index_at + 4 * count > len(data):
        fail("index of %d entries runs past the end" % count)
    pos, kinds, starts, stamps = first, {}, set(), []
    while pos + 4 <= end:
        word = struct.unpack_from("<I", data, pos)[0]
        kind, value = word >> 24, word & STAMP_MASK
        size = PAYLOAD.get(kind, value if kind == SUBTITLE else None)
        if size is None:
            fail("chunk type 0x%02x at %d" % (kind, pos))
        if pos + 4 + size > end:
            fail("chunk at %d runs past the chunks' end" % pos)
        starts.add(pos - first)
        kinds[kind] = kinds.get(kind, 0) + 1
        if kind in PAYLOAD:
            stamps.append(value)
        pos += 4 + size
    if pos != end and index_at:
        fail("%d stray bytes before the index" % (end - pos))
    index = struct.unpack_from("<%dI" % count, data, index_at) if index_at else ()
    for i, offset in enumerate(index):
        if offset not in starts:
            fail("index entry %d (%d) is not a chunk's start" % (i, offset))
    # Versions 0 and 1 do not store the description's first four bytes.
    last = struct.unpack_from("<I", data, 24 if version >= 2 else 20)[0]
    print("version: %d" % version)
    print("chunks: video %d, audio %d, subtitle %d" % (
        kinds.get(0x80, 0), kinds.get(0x00, 0), kinds.get(SUBTITLE, 0)))
    print("chunk_bytes: %d" % (pos - first))
    if stamps:
        print("first_stamp_ms: %d" % stamps[0])
        print("last_stored_ms: %s" % last)
        if last:
            print("duration_ms: %d" % max(last - stamps[0], 0))
    print("index_entries: %d" % count)
    print("sound")


if __name__ == "__main__":
    main()
