#!/usr/bin/env python3
"""Runs tools/range_http_server.py on a port of its choosing and checks the
bytes it answers each kind of range with."""

import http.client
import os
import signal
import subprocess
import sys
import tempfile
import unittest

SERVER = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tools",
                      "range_http_server.py")
BODY = bytes((i * 7 + 3) % 256 for i in range(10000))  # no two neighbours alike


class RangeServerTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.folder = tempfile.TemporaryDirectory()
        served = os.path.join(cls.folder.name, "served")
        os.mkdir(served)
        with open(os.path.join(served, "clip.bin"), "wb") as f:
            f.write(BODY)
        with open(os.path.join(cls.folder.name, "private.bin"), "wb") as f:
            f.write(b"outside the served folder")
        cls.server = subprocess.Popen([sys.executable, SERVER, served, "--port", "0"],
                                      stdout=subprocess.PIPE, text=True)
        cls.port = int(cls.server.stdout.readline())

    @classmethod
    def tearDownClass(cls):
        cls.server.send_signal(signal.SIGTERM)
        cls.server.wait(timeout=10)
        cls.server.stdout.close()
        cls.folder.cleanup()

    def request(self, method, path, range_header=None):
        conn = http.client.HTTPConnection("127.0.0.1", self.port, timeout=10)
        conn.request(method, path, headers={"Range": range_header} if range_header else {})
        reply = conn.getresponse()
        body = reply.read()
        conn.close()
        return reply, body

    def test_ranges_answer_exactly_the_asked_bytes(self):
        size = len(BODY)
        cases = [  # range header, status, expected bytes, Content-Range
            (None, 200, BODY, None),
            ("bytes=100-199", 206, BODY[100:200], "bytes 100-199/%d" % size),
            ("bytes=9000-", 206, BODY[9000:], "bytes 9000-9999/%d" % size),
            ("bytes=-300", 206, BODY[-300:], "bytes 9700-9999/%d" % size),
            ("bytes=9990-20000", 206, BODY[9990:], "bytes 9990-9999/%d" % size),
            ("bytes=-20000", 206, BODY, "bytes 0-9999/%d" % size),
            ("bytes=10000-", 416, b"", "bytes */%d" % size),
            ("bytes=-0", 416, b"", "bytes */%d" % size),
        ]
        for range_header, status, expected, content_range in cases:
            with self.subTest(range=range_header):
                reply, body = self.request("GET", "/clip.bin", range_header)
                self.assertEqual(reply.status, status)
                self.assertEqual(body, expected)
                self.assertEqual(reply.getheader("Content-Range"), content_range)

    def test_head_gives_the_length_without_a_body(self):
        reply, body = self.request("HEAD", "/clip.bin", "bytes=10-19")
        self.assertEqual(reply.status, 206)
        self.assertEqual(reply.getheader("Content-Length"), "10")
        self.assertEqual(body, b"")

    def test_nothing_outside_the_folder_is_served(self):
        for path in ("/../private.bin", "/%2e%2e/private.bin", "/missing.bin"):
            with self.subTest(path=path):
                reply, _ = self.request("GET", path)
                self.assertEqual(reply.status, 404)


class ShutdownTest(unittest.TestCase):
    def test_sigterm_ends_the_server_cleanly(self):
        with tempfile.TemporaryDirectory() as folder:
            server = subprocess.Popen([sys.executable, SERVER, folder], stdout=subprocess.PIPE,
                                      text=True)
            int(server.stdout.readline())
            server.send_signal(signal.SIGTERM)
            self.assertEqual(server.wait(timeout=10), 0)
            server.stdout.close()


if __name__ == "__main__":
    unittest.main()
