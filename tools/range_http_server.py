#!/usr/bin/env python3
"""Serves one folder over HTTP/1.1 and honours byte ranges.

A player that seeks (an index at the end of the file, a user's jump) asks for
`Range: bytes=a-b`, `bytes=a-` or `bytes=-n`; the answer is 206 with
Content-Range, or 416 when the range lies past the end. GET and HEAD only.
Several requests are served at once, each on its own thread.

    range_http_server.py <folder> [--port N] [--bind ADDRESS]

The port actually bound (useful with --port 0) is the first and only line on
stdout. SIGTERM ends the server cleanly.
"""

import argparse
import http.server
import os
import re
import signal
import socketserver
import sys
import threading
import urllib.parse

COPY_CHUNK = 256 * 1024  # large enough for video rates, small enough to stop quickly
RANGE_PATTERN = re.compile(r"^bytes=(\d*)-(\d*)$")


def parse_range(header, size):
    """(first, last) inclusive, None for no usable range, 'unsatisfiable' when past the end.

    Only single ranges are honoured; a header this server does not understand
    (several ranges, other units) is ignored and the whole file is sent, as
    HTTP allows.
    """
    match = RANGE_PATTERN.match(header.strip())
    if not match:
        return None
    first_text, last_text = match.groups()
    if not first_text and not last_text:
        return None
    if not first_text:  # suffix: the last n bytes
        length = int(last_text)
        if length == 0 or size == 0:
            return "unsatisfiable"
        return max(0, size - length), size - 1
    first = int(first_text)
    if first >= size:
        return "unsatisfiable"
    last = int(last_text) if last_text else size - 1
    if last < first:
        return None
    return first, min(last, size - 1)


class RangeHandler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    root = "."

    def log_message(self, format, *args):  # quiet: stdout carries only the port
        pass

    def do_GET(self):
        self.answer(send_body=True)

    def do_HEAD(self):
        self.answer(send_body=False)

    def resolve(self):
        """The file the request names inside the root, or None."""
        path = urllib.parse.unquote(urllib.parse.urlsplit(self.path).path)
        root = os.path.realpath(self.root)
        full = os.path.realpath(os.path.join(root, path.lstrip("/")))
        if full != root and not full.startswith(root + os.sep):
            return None  # ".." or a link leading out of the folder
        return full if os.path.isfile(full) else None

    def refuse(self, status, extra_headers=()):
        self.send_response(status)
        for name, value in extra_headers:
            self.send_header(name, value)
        self.send_header("Content-Length", "0")
        self.end_headers()

    def answer(self, send_body):
        full = self.resolve()
        if full is None:
            self.refuse(404)
            return
        size = os.path.getsize(full)
        wanted = parse_range(self.headers.get("Range", ""), size)
        if wanted == "unsatisfiable":
            self.refuse(416, [("Content-Range", "bytes */%d" % size)])
            return
        first, last = wanted if wanted else (0, size - 1)
        length = max(0, last - first + 1)
        self.send_response(206 if wanted else 200)
        self.send_header("Content-Type", self.guess_type(full))
        self.send_header("Accept-Ranges", "bytes")
        self.send_header("Content-Length", str(length))
        if wanted:
            self.send_header("Content-Range", "bytes %d-%d/%d" % (first, last, size))
        self.end_headers()
        if send_body and length > 0:
            self.copy(full, first, length)

    def copy(self, full, first, length):
        try:
            with open(full, "rb") as f:
                f.seek(first)
                while length > 0:
                    chunk = f.read(min(COPY_CHUNK, length))
                    if not chunk:
                        break
                    self.wfile.write(chunk)
                    length -= len(chunk)
        except (BrokenPipeError, ConnectionResetError):
            self.close_connection = True  # the client went away mid-file (a seek)

    @staticmethod
    def guess_type(full):
        types = {".mp4": "video/mp4", ".mkv": "video/x-matroska", ".mp3": "audio/mpeg",
                 ".ts": "video/mp2t", ".jpg": "image/jpeg", ".png": "image/png"}
        return types.get(os.path.splitext(full)[1].lower(), "application/octet-stream")


class Server(socketserver.ThreadingMixIn, http.server.HTTPServer):
    daemon_threads = True  # open connections do not hold up the end
    allow_reuse_address = True


def main():
    parser = argparse.ArgumentParser(description="HTTP/1.1 file server with byte ranges")
    parser.add_argument("folder")
    parser.add_argument("--port", type=int, default=0)
    parser.add_argument("--bind", default="127.0.0.1")
    args = parser.parse_args()
    if not os.path.isdir(args.folder):
        sys.stderr.write("range_http_server: no such folder: %s\n" % args.folder)
        return 2
    RangeHandler.root = args.folder
    server = Server((args.bind, args.port), RangeHandler)
    # shutdown() waits for serve_forever, so it runs on another thread.
    signal.signal(signal.SIGTERM,
                  lambda *_: threading.Thread(target=server.shutdown, daemon=True).start())
    print(server.server_address[1], flush=True)
    try:
        server.serve_forever(poll_interval=0.2)
    except KeyboardInterrupt:
        pass
    finally:
        server.server_close()
    return 0


if __name__ == "__main__":
    sys.exit(main())
