#!/usr/bin/env python3
"""Stand-in for the product's server side on the LAN: answers the installer's discovery question.

    udp_responder.py --state FILE [--port 8077] [--bind 0.0.0.0]
                     [--name NAME | --empty | --silent] [--delay-ms N]

Listens on UDP (all addresses by default) and answers every datagram with one datagram sent back
to its source address and port: NAME in Windows-1252 (default "SERVIDOR-KVT"), an empty payload
with --empty, nothing with --silent; --delay-ms holds each answer back (an answer after the
installer's time-out). Two responders may share the port: each gets its own copy of a broadcast.

FILE (JSON, always replaced whole) is first written once the socket is bound, so a test waits
for it before asking, then after every datagram:

    {"pid": 123, "port": 8077, "count": 1,
     "datagrams": [{"from": "10.213.0.2", "port": 50123, "to": "255.255.255.255", "size": 0,
                    "answered": true, "time": 1700000000.123}]}

"count" is every datagram received, "datagrams" the last 100; "time" is when each arrived
(seconds since the epoch, as time.time() gives it). SIGTERM or SIGINT stops it at once.

It runs only inside tests/wine/sandbox.sh (private network: loopback and the veth pair) and
refuses to start anywhere else, so nothing on a real network ever hears it answer.
"""
import argparse
import json
import os
import select
import signal
import socket
import struct
import sys
import time

IP_PKTINFO = getattr(socket, "IP_PKTINFO", 8)  # Linux value; Python does not always name it
SANDBOX_LINKS = {"lo", "v0", "v1"}
KEPT = 100


def sandbox_problem():
    """Why this is not the test sandbox's network, or None."""
    if os.environ.get("TF_IN_SANDBOX") != "1":
        return "TF_IN_SANDBOX is not set"
    links = {name for _, name in socket.if_nameindex()}
    if not links <= SANDBOX_LINKS:
        return "network links other than the sandbox's: " + ", ".join(sorted(links - SANDBOX_LINKS))
    return None


class State:
    def __init__(self, path, port):
        self.path, self.port = path, port
        self.count = 0
        self.datagrams = []

    def add(self, record):
        self.count += 1
        self.datagrams = (self.datagrams + [record])[-KEPT:]
        self.write()

    def write(self):
        tmp = self.path + ".tmp"
        with open(tmp, "w", encoding="utf-8") as f:
            json.dump({"pid": os.getpid(), "port": self.port, "count": self.count,
                       "datagrams": self.datagrams}, f)
        os.replace(tmp, self.path)  # a reader never sees half a file


def destination(ancillary):
    for level, kind, data in ancillary:
        if level == socket.IPPROTO_IP and kind == IP_PKTINFO and len(data) >= 12:
            return socket.inet_ntoa(struct.unpack("I4s4s", data[:12])[2])
    return ""


def serve(sock, state, answer, delay_s):
    pending = []  # (due, payload, address), answered in order
    while True:
        timeout = max(0.0, pending[0][0] - time.monotonic()) if pending else None
        if select.select([sock], [], [], timeout)[0]:
            data, anc, _, source = sock.recvmsg(65535, socket.CMSG_SPACE(12))
            arrived = round(time.time(), 3)
            if answer is not None:
                pending.append((time.monotonic() + delay_s, answer, source))
            state.add({"from": source[0], "port": source[1], "to": destination(anc), "size": len(data),
                       "answered": answer is not None, "time": arrived})
        while pending and pending[0][0] <= time.monotonic():
            _, payload, source = pending.pop(0)
            sock.sendto(payload, source)


def main():
    ap = argparse.ArgumentParser(description="UDP stand-in for the product's server side (test sandbox only)")
    ap.add_argument("--state", required=True, help="JSON file with the count, rewritten after each datagram")
    ap.add_argument("--port", type=int, default=8077)
    ap.add_argument("--bind", default="0.0.0.0")
    mode = ap.add_mutually_exclusive_group()
    mode.add_argument("--name", default="SERVIDOR-KVT", help="payload of the answer (Windows-1252)")
    mode.add_argument("--empty", action="store_true", help="answer with an empty payload")
    mode.add_argument("--silent", action="store_true", help="never answer")
    ap.add_argument("--delay-ms", type=int, default=0)
    a = ap.parse_args()

    problem = sandbox_problem()
    if problem:
        sys.exit(f"udp_responder.py: runs only inside tests/wine/sandbox.sh ({problem})")
    try:
        answer = None if a.silent else b"" if a.empty else a.name.encode("cp1252")
    except UnicodeEncodeError:
        sys.exit(f"udp_responder.py: the name {a.name!r} has characters outside Windows-1252")

    sock = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    sock.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    sock.setsockopt(socket.IPPROTO_IP, IP_PKTINFO, 1)
    sock.bind((a.bind, a.port))
    state = State(a.state, sock.getsockname()[1])
    state.write()
    for sig in (signal.SIGTERM, signal.SIGINT):
        signal.signal(sig, lambda *_: sys.exit(0))
    serve(sock, state, answer, a.delay_ms / 1000)


if __name__ == "__main__":
    main()
