#!/usr/bin/env python3
"""Stand-in for the vendor's web server, for tests inside the sandbox (Python stdlib only).

Serves a docroot over HTTPS (threaded), logs every request as one JSON line (method, path,
headers, body in base64, status), and injects faults per path on demand. Files are served with
Accept-Ranges, ETag and Last-Modified; a single byte range ("Range: bytes=N-", "N-M", "-N") gets
206 with Content-Range, a range past the end 416. The fault file is JSON, read again for every
request, so a test changes faults by rewriting it:

  {"/version/a.zip": {"status": 404},           any status, with a small body
   "/version/b.zip": {"fault": "cut", "at": 1000},        Content-Length of the whole answer,
                                                           connection closed after `at` bytes of it
   "/version/c.zip": {"fault": "nolength"},               no Content-Length, close to end
   "/version/d.zip": {"fault": "trickle", "chunk": 512, "delay": 0.05},
   "/version/e.zip": {"fault": "reset", "at": 1000},      TCP reset after `at` bytes
   "/version/f.zip": {"ranges": "ignore"},                announces ranges, answers 200 to them
   "/version/g.zip": {"ranges": "off"},                   no Accept-Ranges, answers 200 to ranges
   "/version/h.zip": {"serve": "/version/h2.zip"},        another file's bytes (the file changed)
   "/version/i.zip": [{"fault": "cut", "at": 1000, "times": 2}, {"status": 503, "times": 1}]}

A fault holds for its first `times` requests to the path (default: all of them). A list is a
sequence: each entry covers its `times` requests, then the next one; after the last, none. The
requests are counted per path from the moment the fault file last changed.

POST requests to any path are recorded and answered "OK" (or by their fault's status).

Usage: vendor_server.py --docroot DIR --log FILE [--faults FILE] [--cert PEM --key KEY]
                        [--host 127.0.0.1] [--port 443] [--plain] [--pidfile FILE]
"""
import argparse
import base64
import email.utils
import http.server
import json
import os
import pathlib
import re
import socket
import ssl
import struct
import sys
import threading
import time
import urllib.parse

CHUNK = 256 * 1024


class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    server_version = "TurnaliaFreeTestServer/1.0"

    def log_message(self, fmt, *args):  # the JSON log replaces the console log
        pass

    # --- helpers
    def _faults(self):
        path = self.server.faults_path
        if not path:
            return "", {}
        try:
            text = pathlib.Path(path).read_text()
            return text, json.loads(text or "{}")
        except (OSError, ValueError):
            return "", {}

    def _fault(self):
        """This request's fault for its path, counting the request."""
        path = urllib.parse.urlsplit(self.path).path
        text, faults = self._faults()
        with self.server.log_lock:
            if text != self.server.faults_seen:
                self.server.faults_seen = text
                self.server.counts.clear()
            n = self.server.counts.get(path, 0)
            self.server.counts[path] = n + 1
        entry = faults.get(path, {})
        for e in entry if isinstance(entry, list) else [entry]:
            if "times" not in e:
                return e
            if n < int(e["times"]):
                return e
            n -= int(e["times"])
        return {}

    def _record(self, body, status):
        entry = {
            "time": time.time(),
            "method": self.command,
            "path": self.path,
            "headers": [[k, v] for k, v in self.headers.items()],
            "body_b64": base64.b64encode(body).decode("ascii"),
            "status": status,
        }
        with self.server.log_lock:
            with open(self.server.log_path, "a", encoding="utf-8") as f:
                f.write(json.dumps(entry) + "\n")

    def _local_file(self, url_path=None):
        rel = urllib.parse.unquote(url_path or urllib.parse.urlsplit(self.path).path).lstrip("/")
        root = self.server.docroot.resolve()
        target = (root / rel).resolve()
        if root != target and root not in target.parents:
            return None
        return target if target.is_file() else None

    def _simple(self, status, text, head_only=False):
        data = text.encode("utf-8")
        self.send_response(status)
        self.send_header("Content-Type", "text/plain; charset=utf-8")
        self.send_header("Content-Length", str(len(data)))
        self.end_headers()
        if not head_only:
            self.wfile.write(data)

    def _reset(self):
        # SO_LINGER 0: close() sends a TCP reset instead of an orderly end.
        self.connection.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
        self.close_connection = True

    def _range(self, size, fault):
        """(first, last) of a single byte range asked for; None for the whole file; "past" when
        it starts past the end."""
        value = self.headers.get("Range")
        if not value or fault.get("ranges") in ("ignore", "off"):
            return None
        m = re.fullmatch(r"\s*bytes=(\d*)-(\d*)\s*", value)
        if not m or (m.group(1) == "" and m.group(2) == ""):
            return None
        if m.group(1) == "":
            n = int(m.group(2))
            return (max(size - n, 0), size - 1) if n > 0 and size > 0 else "past"
        first = int(m.group(1))
        last = min(int(m.group(2)), size - 1) if m.group(2) else size - 1
        if first >= size or last < first:
            return "past"
        return first, last

    # --- verbs
    def do_GET(self, head_only=False):
        fault = self._fault()
        if "status" in fault:
            self._record(b"", fault["status"])
            self._simple(fault["status"], f"Error {fault['status']}\n", head_only)
            return
        target = self._local_file(fault.get("serve"))
        if target is None:
            self._record(b"", 404)
            self._simple(404, "Not found\n", head_only)
            return
        st = target.stat()
        size = st.st_size
        etag = f'"{st.st_mtime_ns:x}-{size:x}"'
        wanted = self._range(size, fault)
        if wanted == "past":
            self._record(b"", 416)
            self.send_response(416)
            self.send_header("Content-Range", f"bytes */{size}")
            self.send_header("Content-Length", "0")
            self.end_headers()
            return
        first, last = wanted if wanted else (0, size - 1)
        status = 206 if wanted else 200
        self._record(b"", status)
        kind = fault.get("fault")
        self.send_response(status)
        self.send_header("Content-Type", "application/octet-stream")
        self.send_header("Last-Modified", email.utils.formatdate(st.st_mtime, usegmt=True))
        self.send_header("ETag", etag)
        if fault.get("ranges") != "off":
            self.send_header("Accept-Ranges", "bytes")
        if wanted:
            self.send_header("Content-Range", f"bytes {first}-{last}/{size}")
        length = last - first + 1
        if kind == "nolength":
            self.send_header("Connection", "close")
            self.close_connection = True
        else:
            self.send_header("Content-Length", str(length))
        self.end_headers()
        if head_only:
            return
        limit = length if kind not in ("cut", "reset") else min(length, int(fault.get("at", length // 2)))
        step = int(fault.get("chunk", 512)) if kind == "trickle" else CHUNK
        delay = float(fault.get("delay", 0.05)) if kind == "trickle" else 0
        sent = 0
        with open(target, "rb") as f:
            f.seek(first)
            while sent < limit:
                data = f.read(min(step, limit - sent))
                if not data:
                    break
                self.wfile.write(data)
                sent += len(data)
                if delay:
                    time.sleep(delay)
        if kind == "cut":
            self.close_connection = True
        elif kind == "reset":
            self._reset()

    def do_HEAD(self):
        self.do_GET(head_only=True)

    def do_POST(self):
        length = int(self.headers.get("Content-Length") or 0)
        body = self.rfile.read(length) if length > 0 else b""
        fault = self._fault()
        status = int(fault.get("status", 200))
        self._record(body, status)
        self._simple(status, "OK" if status < 300 else f"Error {status}\n")


class Server(http.server.ThreadingHTTPServer):
    daemon_threads = True
    allow_reuse_address = True

    def __init__(self, addr, context, **kw):
        super().__init__(addr, Handler)
        self.context = context
        self.__dict__.update(kw)
        self.log_lock = threading.Lock()
        self.faults_seen = ""
        self.counts = {}  # requests per path since the fault file last changed

    def get_request(self):
        sock, addr = super().get_request()
        if self.context:
            # The handshake happens in the request's own thread, on first use.
            sock = self.context.wrap_socket(sock, server_side=True, do_handshake_on_connect=False)
        return sock, addr

    def handle_error(self, request, client_address):
        pass  # clients that hang up mid-answer are part of the tests


def main(argv=None):
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("--docroot", required=True)
    ap.add_argument("--log", required=True)
    ap.add_argument("--faults")
    ap.add_argument("--cert")
    ap.add_argument("--key")
    ap.add_argument("--host", default="127.0.0.1")
    ap.add_argument("--port", type=int, default=443)
    ap.add_argument("--plain", action="store_true", help="HTTP without TLS")
    ap.add_argument("--pidfile")
    a = ap.parse_args(argv)

    ca_dir = os.environ.get("TF_CA_DIR", "")
    context = None
    if not a.plain:
        context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        context.load_cert_chain(a.cert or os.path.join(ca_dir, "server.pem"), a.key or os.path.join(ca_dir, "server.key"))
    srv = Server((a.host, a.port), context, docroot=pathlib.Path(a.docroot), log_path=a.log,
                 faults_path=a.faults)
    pathlib.Path(a.log).touch()
    if a.pidfile:
        pathlib.Path(a.pidfile).write_text(str(os.getpid()))
    print(f"vendor server on {'http' if a.plain else 'https'}://{a.host}:{a.port} docroot {a.docroot}", flush=True)
    try:
        srv.serve_forever(poll_interval=0.2)
    except KeyboardInterrupt:
        pass
    return 0


if __name__ == "__main__":
    sys.exit(main())
