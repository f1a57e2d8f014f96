#!/usr/bin/env python3
"""Runs tools/streamer_sim.py on clips made with ffmpeg's lavfi sources and
reads its data stream back with tools/stream_check.py: clean streams must
decode and match their description, each data-connection fault must be seen
as that fault; a live channel from the channel list streams without end
until it is stopped."""

import os
import signal
import subprocess
import sys
import tempfile
import unittest

TOOLS = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tools")
SIM = os.path.join(TOOLS, "streamer_sim.py")
CHECK = os.path.join(TOOLS, "stream_check.py")
OK, MALFORMED, CLOSED, STALLED = 0, 2, 3, 4
SRT = "1\r\n00:00:00,500 --> 00:00:01,000\r\nFirst\r\nline two\r\n\r\n2\r\n00:00:01,200 --> 00:00:01,900\r\nSecond\r\n"


def ffmpeg(*args):
    subprocess.run(["ffmpeg", "-v", "error", "-y", *args], check=True, timeout=60)


class StreamerStreamTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.folder = tempfile.TemporaryDirectory()
        at = lambda name: os.path.join(cls.folder.name, name)
        ffmpeg("-f", "lavfi", "-i", "testsrc2=size=320x240:rate=25:duration=2", "-f", "lavfi",
               "-i", "sine=frequency=440:duration=2", "-c:v", "libx264", "-preset", "ultrafast",
               "-c:a", "aac", at("clip.mp4"))
        ffmpeg("-f", "lavfi", "-i", "sine=frequency=440:duration=2", "-c:a", "libmp3lame",
               at("song.mp3"))
        with open(at("clip.srt"), "w", encoding="utf-8") as f:
            f.write(SRT)

    @classmethod
    def tearDownClass(cls):
        cls.folder.cleanup()

    def check(self, switches, path, *check_args):
        sim = subprocess.Popen([sys.executable, SIM, self.folder.name, "--port", "0", *switches],
                               stdout=subprocess.PIPE, text=True)
        try:
            port = sim.stdout.readline().strip()
            out = tempfile.mkdtemp(dir=self.folder.name)
            where = [path] if path else []
            result = subprocess.run([sys.executable, CHECK, port, *where, "--out", out,
                                     "--timeout", "10", *check_args],
                                    capture_output=True, text=True, timeout=60)
            return result.returncode, result.stdout
        finally:
            sim.send_signal(signal.SIGTERM)
            sim.wait(timeout=10)
            sim.stdout.close()

    def test_streams_and_faults(self):
        cases = [  # simulator switches, file, checker switches, exit status, lines expected
            ([], "clip.mp4", ["--subtitles", "clip.srt"], OK,
             ["video: h264 320x240, 50 frames", "audio: aac 44100 Hz 2 ch", "subtitles: 2",
              '"First\\nline two"']),
            (["--video-codec", "mpeg4", "--audio-codec", "mp3", "--data-garbage", "777"],
             "clip.mp4", ["--start", "1"], OK,
             ["skipped_before_marker: 777", "video: mpeg4 320x240, 25 frames",
              "video_units:", "stamps 1000..", "audio: mp3 44100 Hz 2 ch"]),
            ([], "song.mp3", [], OK, ["video_codec=255", "audio_units:"]),
            (["--data-bad-type-after", "3"], "clip.mp4", [], MALFORMED, ["chunk 3 has type 0x42"]),
            (["--data-cut-after", "20000"], "clip.mp4", [], CLOSED, ["connection closed"]),
            # A later --timeout wins: one quiet second counts as the stall.
            (["--data-stall-after", "20000"], "clip.mp4", ["--timeout", "1"], STALLED,
             ["no data"]),
            # Two seconds of a live channel, its clock run four times as fast.
            (["--live-clock-speed", "4"], None, ["--channels", "--live", "2", "--seconds", "2"],
             OK, ["channels: 3", "channel_table:", "channel 2: Sports One", "duration_ms=0",
                  "video: h264 320x240", "audio: aac 48000 Hz 2 ch"]),
        ]
        for switches, path, check_args, status, lines in cases:
            with self.subTest(switches=switches, path=path):
                code, text = self.check(switches, path, *check_args)
                self.assertEqual(code, status, text)
                for line in lines:
                    self.assertIn(line, text)
                self.assertNotIn("video_units: 0", text)


if __name__ == "__main__":
    unittest.main()
