"""The data stream of the streamer simulator: what goes out on the data
connection after a stream start.

The file is transcoded by ffmpeg as it is sent (never ahead of time) into two
elementary streams read from two pipes: video as H.264 Annex B with access
unit delimiters (or an MPEG-4 Part 2 elementary stream), scaled to fit
640x480 when larger, constant frame rate, no B-frames; audio as AAC in ADTS (or bare MP3
frames), stereo, 128 kbit/s. Both are cut into fixed-size units:

  marker   AA BB CC DD
  video    24-bit LE time stamp, 0x80, 8384 bytes
  audio    24-bit LE time stamp, 0x00, 4190 bytes
  subtitle 24-bit LE length L, 0xCC, L bytes of UTF-8 text
  end      00 00 00 FF

Time stamp of a unit: the presentation time in ms (start offset included,
kept to 24 bits) of the frame that the unit's last byte belongs to. Video
frame k (counted by access unit delimiters or VOP start codes; bytes before
the first one belong to frame 0) is presented at start + k * 1000 / fps;
an audio frame at start + (samples before it) * 1000 / sample rate, from the
ADTS or MP3 frame headers. Units go out in time-stamp order, the smaller
stamp first (video first on a tie).

A live channel (LivePlan) is the same stream made from ffmpeg's test sources
instead of a file: endless, stamps from 0 on, paced to a wall clock that may
run K times fast.
"""

import os
import select
import socket
import struct
import subprocess
import tempfile
import threading
import time

VIDEO_UNIT, AUDIO_UNIT = 8384, 4190
TYPE_VIDEO, TYPE_AUDIO, TYPE_SUBTITLE, TYPE_END = 0x80, 0x00, 0xCC, 0xFF
BAD_TYPE = 0x42
STREAM_MARKER = b"\xAA\xBB\xCC\xDD"
END_CHUNK = b"\x00\x00\x00\xFF"
NO_STREAM = 0xFF
VIDEO_CODECS = {"h264": 2, "mpeg4": 1}
AUDIO_CODECS = {"aac": 2, "mp3": 1}
STAMP_MASK = 0xFFFFFF  # the header holds 24 bits: stamps wrap after 4 h 39 min
LENGTH_MAX = 0xFFFFFF
AUDIO_BIT_RATE = 128000
DEFAULT_FPS = 25
MAX_FPS = 255
AAC_RATES = (96000, 88200, 64000, 48000, 44100, 32000, 24000, 22050, 16000, 12000, 11025,
             8000, 7350)
MP3_RATES = (48000, 44100, 32000, 24000, 22050, 16000, 12000, 11025, 8000)
QUEUE_LIMIT = 16 << 20  # bytes read ahead of the sender per stream before ffmpeg waits
PIPE_READ = 65536
POLL_S = 0.05  # stop requests are noticed within this
REALTIME_LEAD_MS = 5000
DATA_WAIT_S = 5.0  # how long a stream start waits for a data connection to appear
VIDEO_STARTS = {"h264": b"\x00\x00\x01\x09", "mpeg4": b"\x00\x00\x01\xB6"}


def rate_of(text):
    try:
        num, _, den = (text or "0/1").partition("/")
        return float(num) / float(den or 1)
    except (ValueError, ZeroDivisionError):
        return 0.0


def nearest_rate(rate, supported):
    """The source rate when the encoder takes it, else the next higher one it takes."""
    higher = [r for r in supported if r >= rate]
    return min(higher) if higher else max(supported)


class Plan:
    """What one stream start sends, from ffprobe's view of the file."""

    def __init__(self, path, probed, video_codec="h264", audio_codec="aac", start_s=0):
        streams = probed.get("streams", [])
        # Cover art in audio files is a one-picture "video" stream: not a video to send.
        self.video = next((s for s in streams if s.get("codec_type") == "video"
                           and not s.get("disposition", {}).get("attached_pic")), None)
        self.audio = next((s for s in streams if s.get("codec_type") == "audio"), None)
        self.path = path
        self.video_codec, self.audio_codec = video_codec, audio_codec
        self.start_ms = start_s * 1000
        fps = 0
        if self.video:
            fps = rate_of(self.video.get("avg_frame_rate")) or rate_of(
                self.video.get("r_frame_rate"))
            fps = min(MAX_FPS, max(1, int(round(fps)))) if fps > 0 else DEFAULT_FPS
        self.fps = fps
        self.sample_rate = 0
        if self.audio:
            rates = AAC_RATES if audio_codec == "aac" else MP3_RATES
            self.sample_rate = nearest_rate(int(self.audio.get("sample_rate", 0) or 0), rates)
        self.bit_rate = AUDIO_BIT_RATE if self.audio else 0
        self.duration_ms = int(float(probed.get("format", {}).get("duration", 0) or 0) * 1000)

    def description(self):
        """The 40-byte stream description of what is actually sent."""
        vcodec = VIDEO_CODECS[self.video_codec] if self.video else NO_STREAM
        acodec = AUDIO_CODECS[self.audio_codec] if self.audio else NO_STREAM
        return (b"\0" * 5 + struct.pack("<BBB", vcodec, self.fps, acodec) + b"\0" * 4
                + struct.pack("<I", self.sample_rate) + b"\0" * 4
                + struct.pack("<II", self.bit_rate, self.duration_ms) + b"\0" * 12)

    def ffmpeg_args(self, video_fd, audio_fd):
        args = ["ffmpeg", "-nostdin", "-v", "error", "-ss", str(self.start_ms // 1000),
                "-i", self.path]
        if self.video:
            args += ["-map", "0:%d" % self.video["index"], "-an", "-sn", "-dn",
                     # Larger pictures shrink to fit 640x480 (aspect kept, even sizes).
                     "-vf", "scale=w='min(640,iw)':h='min(480,ih)'"
                     ":force_original_aspect_ratio=decrease:force_divisible_by=2"]
            args += self.video_encoder_args() + ["pipe:%d" % video_fd]
        if self.audio:
            args += ["-map", "0:%d" % self.audio["index"], "-vn", "-sn", "-dn"]
            args += self.audio_encoder_args() + ["pipe:%d" % audio_fd]
        return args

    def video_encoder_args(self):
        args = ["-pix_fmt", "yuv420p", "-r", str(self.fps), "-fps_mode", "cfr", "-bf", "0"]
        if self.video_codec == "h264":
            # No lookahead: the first pictures leave the encoder at once. The
            # parameter sets come again before every key picture, as in a
            # broadcast, so that a decoder may start at any of them.
            return args + ["-c:v", "libx264", "-preset", "veryfast", "-x264-params",
                           "aud=1:rc-lookahead=0:sync-lookahead=0:repeat-headers=1",
                           "-f", "h264"]
        return args + ["-c:v", "mpeg4", "-q:v", "4", "-f", "m4v"]

    def audio_encoder_args(self):
        args = ["-ac", "2", "-ar", str(self.sample_rate), "-b:a", str(self.bit_rate)]
        if self.audio_codec == "aac":
            return args + ["-c:a", "aac", "-f", "adts"]
        # Bare frames: no ID3 tag, no Xing frame.
        return args + ["-c:a", "libmp3lame", "-f", "mp3", "-id3v2_version", "0",
                       "-write_xing", "0"]

    def pace(self, args):
        """(clock speed, lead in ms) the push keeps to, or None to go as fast as read."""
        return (1.0, REALTIME_LEAD_MS) if args.realtime else None

    def cleanup(self):
        pass


LIVE_SIZE = "320x240"  # small pictures keep fast live clocks within ffmpeg's reach
LIVE_FPS = 25
LIVE_SAMPLE_RATE = 48000
LIVE_LEAD_MS = 1000  # a live source holds about a second ready when a client joins
LIVE_GOP = 2 * LIVE_FPS  # a key picture every 2 s: a joining decoder starts soon
LIVE_TONES = (440, 523, 587, 659, 698, 784, 880, 988)  # one tone per channel, cycled
_drawtext = None


def have_drawtext():
    """True when this ffmpeg can draw text (the channel name on the picture)."""
    global _drawtext
    if _drawtext is None:
        try:
            out = subprocess.run(["ffmpeg", "-hide_banner", "-filters"], capture_output=True,
                                 timeout=10, check=False).stdout
            _drawtext = b" drawtext " in out
        except (OSError, subprocess.TimeoutExpired):
            _drawtext = False
    return _drawtext


class LivePlan(Plan):
    """An endless live channel: a moving test picture tinted by the channel's
    place in the table, with its name drawn on it when ffmpeg can, and a sine
    tone of its own; H.264 (or MPEG-4) and AAC (or MP3) like file streams.
    Stream time runs clock_speed times as fast as the wall clock: ffmpeg
    reads its sources at that rate and units are sent no sooner."""

    def __init__(self, name, slot, video_codec="h264", audio_codec="aac", clock_speed=1.0,
                 bitrate_kbps=0):
        super().__init__(None, {}, video_codec, audio_codec, 0)
        # A live source is encoded at the client's custom bit rate when it asks
        # for one, at a constant rate (filler included), as a TV encoder sends.
        self.bitrate_kbps = bitrate_kbps
        self.video = {"live": True}
        self.audio = {"live": True}
        self.fps = LIVE_FPS
        rates = AAC_RATES if audio_codec == "aac" else MP3_RATES
        self.sample_rate = nearest_rate(LIVE_SAMPLE_RATE, rates)
        self.bit_rate = AUDIO_BIT_RATE
        self.duration_ms = 0  # endless
        self.name, self.slot, self.clock_speed = name, slot, clock_speed
        self.text_path = None

    def video_filter(self):
        hue = "hue=h=%d" % (self.slot * 47 % 360)
        if not have_drawtext():
            return hue
        fd, self.text_path = tempfile.mkstemp(prefix="velmora-live-", suffix=".txt")
        with os.fdopen(fd, "w", encoding="utf-8") as f:
            f.write(self.name)
        return (hue + ",drawtext=textfile=%s:expansion=none:fontsize=28:fontcolor=white"
                ":box=1:boxcolor=black@0.6:x=(w-text_w)/2:y=h-2*text_h" % self.text_path)

    def ffmpeg_args(self, video_fd, audio_fd):
        rate = ["-readrate", "%g" % self.clock_speed]
        tone = LIVE_TONES[self.slot % len(LIVE_TONES)]
        args = ["ffmpeg", "-nostdin", "-v", "error"]
        args += rate + ["-f", "lavfi", "-i", "testsrc2=size=%s:rate=%d" % (LIVE_SIZE, self.fps)]
        args += rate + ["-f", "lavfi", "-i", "sine=frequency=%d:sample_rate=%d"
                        % (tone, self.sample_rate)]
        args += ["-map", "0:v", "-vf", self.video_filter(), "-g", str(LIVE_GOP)]
        args += self.video_encoder_args() + ["pipe:%d" % video_fd]
        args += ["-map", "1:a"] + self.audio_encoder_args() + ["pipe:%d" % audio_fd]
        return args

    def video_encoder_args(self):
        args = super().video_encoder_args()
        if not self.bitrate_kbps or self.video_codec != "h264":
            return args
        rate = "%dk" % self.bitrate_kbps
        at = args.index("-x264-params") + 1
        args[at] += ":nal-hrd=cbr"
        return args + ["-b:v", rate, "-minrate", rate, "-maxrate", rate,
                       "-bufsize", "%dk" % (self.bitrate_kbps // 2)]

    def pace(self, args):
        return (self.clock_speed, LIVE_LEAD_MS)

    def cleanup(self):
        if self.text_path:
            try:
                os.remove(self.text_path)
            except OSError:
                pass
            self.text_path = None


def adts_frame(head):
    """(length, samples, rate) of the ADTS frame starting with head, or None."""
    if head[0] != 0xFF or head[1] & 0xF6 != 0xF0:
        return None
    rate = AAC_RATES[(head[2] >> 2) & 0x0F] if (head[2] >> 2) & 0x0F < 13 else 0
    length = ((head[3] & 0x03) << 11) | (head[4] << 3) | (head[5] >> 5)
    blocks = (head[6] & 0x03) + 1
    return (length, 1024 * blocks, rate) if length >= 7 and rate else None


MP3_BITRATES = {  # kbit/s by bit-rate index, MPEG-1 and MPEG-2/2.5 layer III
    3: (0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320),
    2: (0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160),
}
MP3_SAMPLE_RATES = {3: (44100, 48000, 32000), 2: (22050, 24000, 16000), 0: (11025, 12000, 8000)}


def mp3_frame(head):
    """(length, samples, rate) of the MPEG layer III frame starting with head, or None."""
    if head[0] != 0xFF or head[1] & 0xE0 != 0xE0 or (head[1] >> 1) & 3 != 1:
        return None
    version = (head[1] >> 3) & 3  # 3 MPEG-1, 2 MPEG-2, 0 MPEG-2.5
    rate_index, bit_index = (head[2] >> 2) & 3, head[2] >> 4
    if version == 1 or rate_index == 3 or bit_index in (0, 15):
        return None
    rate = MP3_SAMPLE_RATES[version][rate_index]
    kbps = MP3_BITRATES[3 if version == 3 else 2][bit_index]
    samples = 1152 if version == 3 else 576
    length = samples // 8 * kbps * 1000 // rate + ((head[2] >> 1) & 1)
    return length, samples, rate


class Units:
    """One elementary stream as it arrives from ffmpeg, cut into time-stamped units."""

    def __init__(self, kind, unit_size, start_ms, codec, fps=0):
        self.kind, self.unit_size, self.start_ms = kind, unit_size, start_ms
        self.codec, self.fps = codec, fps
        self.data = bytearray()
        self.base = 0  # stream position of data[0]
        self.frames = []  # (stream position, presentation ms) of frames not yet passed
        self.frame_count = 0
        self.known_upto = 0  # every frame start below this position is in frames
        self.samples = 0
        self.eof = False
        self.lock = threading.Condition()

    def end(self):
        return self.base + len(self.data)

    def feed(self, piece, stop):
        with self.lock:
            while len(self.data) > QUEUE_LIMIT and not stop.is_set():
                self.lock.wait(POLL_S)
            self.data += piece
            if self.kind == TYPE_VIDEO:
                self.find_pictures()
            else:
                self.find_audio_frames()
            self.lock.notify_all()

    def finish(self):
        with self.lock:
            self.eof = True
            self.lock.notify_all()

    def find_pictures(self):
        pattern = VIDEO_STARTS[self.codec]
        at = max(self.known_upto - self.base, 0)
        while True:
            hit = self.data.find(pattern, at)
            if hit < 0:
                break
            ms = self.start_ms + self.frame_count * 1000 // self.fps
            self.frames.append((self.base + hit, ms))
            self.frame_count += 1
            at = hit + 1
        self.known_upto = max(self.known_upto, self.end() - len(pattern) + 1)

    def find_audio_frames(self):
        parse = adts_frame if self.codec == "aac" else mp3_frame
        while self.known_upto + 7 <= self.end():
            at = self.known_upto - self.base
            frame = parse(self.data[at:at + 7])
            if not frame:  # out of step: the rest counts as the last frame found
                self.known_upto = float("inf")
                return
            length, samples, rate = frame
            self.frames.append((self.known_upto, self.start_ms + self.samples * 1000 // rate))
            self.samples += samples
            self.known_upto += length

    def ready(self):
        """True when the next unit can be cut (or the stream is over)."""
        return self.eof or (self.end() >= self.base + self.unit_size
                            and self.known_upto >= self.base + self.unit_size)

    def peek_stamp(self):
        """Stamp of the next unit, or None when the stream has nothing more."""
        if not self.data:
            return None
        last = min(self.base + self.unit_size, self.end()) - 1
        while len(self.frames) > 1 and self.frames[1][0] <= last:
            del self.frames[0]
        return self.frames[0][1] if self.frames else self.start_ms

    def take(self):
        """The next unit's payload; the last one is padded with zero bytes, since
        units are fixed size on the wire."""
        unit = bytes(self.data[:self.unit_size]).ljust(self.unit_size, b"\0")
        taken = min(self.unit_size, len(self.data))
        del self.data[:taken]
        self.base += taken
        self.lock.notify_all()
        return unit


def parse_srt(path):
    """[(start ms, end ms, text)] of an .srt file, sorted by start."""
    try:
        with open(path, "rb") as f:
            text = f.read().decode("utf-8-sig", "replace")
    except OSError:
        return []
    cues = []
    for block in text.replace("\r\n", "\n").replace("\r", "\n").split("\n\n"):
        lines = [line for line in block.split("\n") if line.strip()]
        for i, line in enumerate(lines):
            if "-->" not in line:
                continue
            times = [srt_ms(part) for part in line.split("-->")[:2]]
            if None not in times:
                cues.append((times[0], times[1], "\n".join(lines[i + 1:])))
            break
    return sorted(cues, key=lambda cue: cue[0])


def srt_ms(text):
    try:
        clock, _, millis = text.strip().split()[0].replace(".", ",").partition(",")
        h, m, s = (int(x) for x in clock.split(":"))
        return ((h * 60 + m) * 60 + s) * 1000 + int((millis or "0")[:3].ljust(3, "0"))
    except (ValueError, IndexError):
        return None


class DataLink:
    """Sends on the data connection: paced, stoppable, and misbehaving on request."""

    def __init__(self, server, conn, args, stop):
        self.server, self.conn, self.args, self.stop = server, conn, args, stop
        self.sent = 0  # stream bytes (from the marker on)
        self.wire = 0  # every byte, garbage included, for --rate
        self.began = time.monotonic()

    def garbage(self, count):
        data = os.urandom(count)
        while STREAM_MARKER in data:  # the marker must be the first one the reader finds
            data = data.replace(STREAM_MARKER, os.urandom(len(STREAM_MARKER)))
        return self.raw(data)

    def send(self, data):
        """Stream bytes out; False once the push must end (stopped, closed, cut, stalled)."""
        a = self.args
        limits = [n for n in (a.data_cut_after, a.data_stall_after) if n is not None]
        limit = min(limits) if limits else None
        if limit is not None and self.sent + len(data) > limit:
            head = data[:max(0, limit - self.sent)]
            if head and not self.raw(head):
                return False
            self.sent += len(head)
            if limit == a.data_cut_after:
                self.server.drop_data(self.conn)
            else:
                self.stall()
            return False
        if not self.raw(data):
            return False
        self.sent += len(data)
        return True

    def stall(self):
        """Sends nothing more until the push is stopped or the reader goes away."""
        while not self.stop.wait(POLL_S):
            try:
                if select.select([self.conn], [], [], 0)[0] and not self.conn.recv(
                        PIPE_READ, socket.MSG_DONTWAIT):
                    return
            except BlockingIOError:
                continue
            except (OSError, ValueError):
                return

    def raw(self, data):
        view = memoryview(data)
        rate = self.args.rate
        step = max(1, int(rate * POLL_S)) if rate else PIPE_READ
        while view:
            if self.stop.is_set():
                return False
            try:
                if not select.select([], [self.conn], [], POLL_S)[1]:
                    continue
                n = self.conn.send(view[:step], socket.MSG_DONTWAIT)
            except BlockingIOError:
                continue
            except (OSError, ValueError):
                return False  # the data connection went away: end quietly
            view = view[n:]
            self.wire += n
            if rate:
                self.pace(rate)
        return True

    def pace(self, rate):
        """Holds the link to rate bytes per second since this push began."""
        due = self.began + self.wire / rate
        while time.monotonic() < due and not self.stop.is_set():
            time.sleep(min(POLL_S, max(0.0, due - time.monotonic())))

    def wait_clock(self, stream_ms, speed, lead_ms):
        """Holds stream time at most lead_ms ahead of the wall clock run speed times as fast."""
        while not self.stop.is_set():
            elapsed = (time.monotonic() - self.began) * 1000 * speed
            if stream_ms <= elapsed + lead_ms:
                return
            time.sleep(min(POLL_S, (stream_ms - elapsed - lead_ms) / 1000 / speed))


class Pusher:
    """One stream start's push on the data connection, on a thread of its own:
    garbage (on request), the marker, the media units, the end chunk."""

    def __init__(self, server, args, plan=None, subtitles=None):
        self.server, self.args, self.plan = server, args, plan
        self.cues = parse_srt(subtitles) if subtitles and plan else []
        self.stop_event = threading.Event()
        self.proc = None
        self.chunks = 0
        self.thread = threading.Thread(target=self.run, daemon=True)

    def start(self):
        self.thread.start()

    def stop(self):
        """Ends the push (ffmpeg included) and waits for its thread."""
        self.stop_event.set()
        self.kill()
        self.thread.join(timeout=2)

    def kill(self):
        proc = self.proc
        if proc and proc.poll() is None:
            proc.kill()

    def run(self):
        conn = self.server.newest_data(DATA_WAIT_S, self.stop_event)
        if conn is None:
            return
        link = DataLink(self.server, conn, self.args, self.stop_event)
        try:
            if self.args.data_garbage and not link.garbage(self.args.data_garbage):
                return
            if not link.send(STREAM_MARKER):
                return
            plan = self.plan
            if plan and (plan.video or plan.audio) and not self.push_media(link):
                return
            link.send(END_CHUNK)
        finally:
            self.kill()
            if self.proc:
                self.proc.wait()
            if self.plan:
                self.plan.cleanup()

    def push_media(self, link):
        plan = self.plan
        pipes = {}
        if plan.video:
            pipes[TYPE_VIDEO] = os.pipe()
        if plan.audio:
            pipes[TYPE_AUDIO] = os.pipe()
        writers = [w for _, w in pipes.values()]
        try:
            self.proc = subprocess.Popen(
                plan.ffmpeg_args(pipes.get(TYPE_VIDEO, (0, -1))[1],
                                 pipes.get(TYPE_AUDIO, (0, -1))[1]),
                stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, pass_fds=writers)
        except OSError:
            for r, _ in pipes.values():
                os.close(r)
            return True  # no ffmpeg: the stream is empty
        finally:
            for w in writers:
                os.close(w)
        if self.stop_event.is_set():
            self.kill()  # a stop that came while ffmpeg was being started
        streams = []
        if plan.video:
            streams.append(Units(TYPE_VIDEO, VIDEO_UNIT, plan.start_ms, plan.video_codec,
                                 plan.fps))
        if plan.audio:
            streams.append(Units(TYPE_AUDIO, AUDIO_UNIT, plan.start_ms, plan.audio_codec))
        for units in streams:
            threading.Thread(target=self.read_pipe, args=(pipes[units.kind][0], units),
                             daemon=True).start()
        return self.interleave(link, streams)

    def read_pipe(self, fd, units):
        try:
            while True:
                piece = os.read(fd, PIPE_READ)
                if not piece:
                    break
                units.feed(piece, self.stop_event)
        except OSError:
            pass
        finally:
            os.close(fd)
            units.finish()

    def next_stamps(self, streams):
        """[(stamp, order, units)] of the streams that still have a unit; None when stopped."""
        pending = []
        for order, units in enumerate(streams):
            with units.lock:
                while not units.ready():
                    if self.stop_event.is_set():
                        return None
                    units.lock.wait(POLL_S)
                stamp = units.peek_stamp()
            if stamp is not None:
                pending.append((stamp, order, units))
        return pending

    def interleave(self, link, streams):
        """Sends the units of all streams, smaller stamp first. False: the push ended early."""
        start_ms = self.plan.start_ms
        pace = self.plan.pace(self.args)
        cues = [cue for cue in self.cues if cue[1] > start_ms]
        while True:
            pending = self.next_stamps(streams)
            if pending is None:
                return False
            if not pending:
                return True
            stamp, _, units = min(pending, key=lambda p: p[:2])
            if pace:
                link.wait_clock(stamp - start_ms, *pace)
            while cues and cues[0][0] <= stamp:
                text = cues.pop(0)[2].encode("utf-8")[:LENGTH_MAX]
                if not self.send_chunk(link, len(text), TYPE_SUBTITLE, text):
                    return False
            with units.lock:
                payload = units.take()
            if not self.send_chunk(link, stamp & STAMP_MASK, units.kind, payload):
                return False

    def send_chunk(self, link, value, kind, payload):
        if self.chunks == self.args.data_bad_type_after:
            # A header of no known type, once; the stream then goes on as before.
            if not link.send(b"\0\0\0" + bytes([BAD_TYPE])):
                return False
        self.chunks += 1
        return link.send(struct.pack("<I", value)[:3] + bytes([kind]) + payload)
