#!/usr/bin/env python3
"""A directory service and broker for the streamer client, over HTTP.

Answers the two requests the player makes:

  GET /site/demos/VLMediaStreamer/brokers.xml
      the brokers list: one <host>, <ip>, <port> triple per --broker (by
      default one triple naming this server itself); --empty-list answers a
      list without any <host>.
  GET /cgi-bin/VLMSbroker.cgi?cmd=ci&un=<base64url user name>
      "resp:0hst=<host>,adr=<address>,port=<port>," for an account given with
      --account, "resp:1" for any other name (streamer not running or unknown
      user); --status forces the status digit.

Each connection gets one answer and is then closed, as the broker does.
Misbehaviour for tests: --stall never answers, --garbage answers noise,
--truncate cuts the broker answer after N bytes.

    directory_sim.py [--port N] [--bind ADDRESS] [--account USER=HOST,ADDRESS,PORT]...
                     [--broker HOST,ADDRESS,PORT]... [--empty-list] [--status D]
                     [--stall] [--garbage] [--truncate N]

The port actually bound (useful with --port 0) is the first and only line on
stdout. SIGTERM ends it.
"""

import argparse
import base64
import os
import signal
import socket
import sys
import threading
import urllib.parse

REQUEST_LIMIT = 8192  # a request longer than this is not one of the player's
READ_TIMEOUT_S = 10


def read_request(conn):
    data = b""
    conn.settimeout(READ_TIMEOUT_S)
    while b"\r\n\r\n" not in data and len(data) < REQUEST_LIMIT:
        piece = conn.recv(1024)
        if not piece:
            break
        data += piece
    return data.decode("latin-1")


def decode_user(text):
    padded = text + "=" * (-len(text) % 4)
    try:
        return base64.urlsafe_b64decode(padded.encode("ascii")).decode("latin-1")
    except (ValueError, UnicodeEncodeError):
        return None


class Directory:
    def __init__(self, args, port):
        self.args = args
        self.port = port
        self.accounts = {}
        for spec in args.account:
            user, _, place = spec.partition("=")
            host, address, base = place.split(",")
            self.accounts[user] = (host, address, int(base))

    def brokers_body(self):
        if self.args.empty_list:
            return "<brokers></brokers>"
        triples = self.args.broker or ["127.0.0.1,127.0.0.1,%d" % self.port]
        parts = []
        for t in triples:
            host, address, port = t.split(",")
            parts.append("<broker><host>%s</host><ip>%s</ip><port>%s</port></broker>"
                         % (host, address, port))
        return "<brokers>" + "".join(parts) + "</brokers>"

    def broker_body(self, query):
        names = urllib.parse.parse_qs(query, keep_blank_values=True).get("un", [""])
        user = decode_user(names[0])
        place = self.accounts.get(user)
        status = self.args.status
        if status is None:
            status = 0 if place else 1
        if status != 0 or not place:
            return "resp:%d" % status
        host, address, port = place
        body = "resp:0hst=%s,adr=%s,port=%d," % (host, address, port)
        if self.args.truncate is not None:
            body = body[: self.args.truncate]
        return body

    def answer(self, request):
        line = request.split("\n", 1)[0]
        parts = line.split()
        target = parts[1] if len(parts) > 1 else ""
        path, _, query = target.partition("?")
        if path == "/site/demos/VLMediaStreamer/brokers.xml":
            return 200, self.brokers_body()
        if path == "/cgi-bin/VLMSbroker.cgi":
            return 200, self.broker_body(query)
        return 404, "not here"

    def serve(self, conn):
        with conn:
            request = read_request(conn)
            if self.args.stall:
                try:
                    while conn.recv(1024):
                        pass
                except OSError:
                    pass
                return
            if self.args.garbage:
                conn.sendall(os.urandom(600))
                return
            code, body = self.answer(request)
            reason = "OK" if code == 200 else "Not Found"
            head = "HTTP/1.0 %d %s\r\nContent-Type: text/plain\r\nContent-Length: %d\r\n" \
                   "Connection: close\r\n\r\n" % (code, reason, len(body))
            conn.sendall((head + body).encode("latin-1"))


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--port", type=int, default=0)
    parser.add_argument("--bind", default="127.0.0.1")
    parser.add_argument("--account", action="append", default=[],
                        help="USER=HOST,ADDRESS,PORT: where that user's streamer is")
    parser.add_argument("--broker", action="append", default=[],
                        help="HOST,ADDRESS,PORT: a broker to list (default: this server)")
    parser.add_argument("--empty-list", action="store_true")
    parser.add_argument("--status", type=int, default=None)
    parser.add_argument("--stall", action="store_true")
    parser.add_argument("--garbage", action="store_true")
    parser.add_argument("--truncate", type=int, default=None)
    args = parser.parse_args()

    listener = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    listener.bind((args.bind, args.port))
    listener.listen(16)
    port = listener.getsockname()[1]
    directory = Directory(args, port)
    print(port, flush=True)
    signal.signal(signal.SIGTERM, lambda *_: os._exit(0))
    while True:
        conn, _ = listener.accept()
        threading.Thread(target=directory.serve, args=(conn,), daemon=True).start()


if __name__ == "__main__":
    sys.exit(main())
