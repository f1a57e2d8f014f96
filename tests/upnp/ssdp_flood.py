#!/usr/bin/env python3
"""Announces COUNT media servers by SSDP from ADDRESS and serves their
device descriptions over HTTP on ADDRESS:PORT, until killed. With ROUNDS the
same servers announce themselves again ROUNDS times, a second apart (an
hour of five-minute re-announcements in twelve seconds).

    ssdp_flood.py ADDRESS PORT COUNT [ROUNDS]
"""
import http.server
import socket
import sys
import threading
import time

DESCRIPTION = """<?xml version="1.0"?>
<root xmlns="urn:schemas-upnp-org:device-1-0">
<specVersion><major>1</major><minor>0</minor></specVersion>
<device>
<deviceType>urn:schemas-upnp-org:device:MediaServer:1</deviceType>
<friendlyName>Flood {n}</friendlyName>
<manufacturer>test</manufacturer><modelName>flood</modelName>
<UDN>uuid:flood-{n}</UDN>
<serviceList><service>
<serviceType>urn:schemas-upnp-org:service:ContentDirectory:1</serviceType>
<serviceId>urn:upnp-org:serviceId:ContentDirectory</serviceId>
<SCPDURL>/cds.xml</SCPDURL><controlURL>/control</controlURL><eventSubURL>/event</eventSubURL>
</service></serviceList>
</device></root>
"""


class Handler(http.server.BaseHTTPRequestHandler):
    def do_GET(self):
        n = self.path.strip("/").split(".")[0].split("/")[-1]
        body = DESCRIPTION.format(n=n).encode()
        self.send_response(200)
        self.send_header("Content-Type", "text/xml")
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)

    def log_message(self, *args):
        pass


def main():
    address, port, count = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
    rounds = int(sys.argv[4]) if len(sys.argv) > 4 else 1
    server = http.server.ThreadingHTTPServer((address, port), Handler)
    threading.Thread(target=server.serve_forever, daemon=True).start()
    sender = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    sender.setsockopt(socket.IPPROTO_IP, socket.IP_MULTICAST_IF, socket.inet_aton(address))
    sender.bind((address, 0))
    for n in [n for _ in range(rounds) for n in range(count)]:
        if n == 0 and rounds > 1:
            time.sleep(1)
        usn = "uuid:flood-%d::urn:schemas-upnp-org:device:MediaServer:1" % n
        message = ("NOTIFY * HTTP/1.1\r\nHOST: 239.255.255.250:1900\r\n"
                   "CACHE-CONTROL: max-age=1800\r\n"
                   "LOCATION: http://%s:%d/dev/%d.xml\r\n"
                   "NT: urn:schemas-upnp-org:device:MediaServer:1\r\nNTS: ssdp:alive\r\n"
                   "SERVER: Linux/1 UPnP/1.0 flood/1\r\nUSN: %s\r\n\r\n"
                   % (address, port, n, usn))
        sender.sendto(message.encode(), ("239.255.255.250", 1900))
    print("announced", count, flush=True)
    threading.Event().wait()


if __name__ == "__main__":
    main()
