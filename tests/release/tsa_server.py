#!/usr/bin/env python3
"""A throw-away RFC 3161 timestamp server on 127.0.0.1 for the signing test: answers COUNT POSTed
requests with `openssl ts -reply -config CONFIG`, then exits. Prints its port first.
Usage: tsa_server.py CONFIG COUNT"""
import http.server
import subprocess
import sys


class Handler(http.server.BaseHTTPRequestHandler):
    def do_POST(self):
        query = self.rfile.read(int(self.headers.get("Content-Length", 0)))
        made = subprocess.run(["openssl", "ts", "-reply", "-config", sys.argv[1], "-queryfile", "/dev/stdin",
                               "-out", "/dev/stdout"], input=query, capture_output=True)
        self.send_response(200 if made.returncode == 0 else 500)
        self.send_header("Content-Type", "application/timestamp-reply")
        self.send_header("Content-Length", str(len(made.stdout)))
        self.end_headers()
        self.wfile.write(made.stdout)

    def log_message(self, *args):
        pass


server = http.server.HTTPServer(("127.0.0.1", 0), Handler)
server.timeout = 60
print(server.server_address[1], flush=True)
for _ in range(int(sys.argv[2])):
    server.handle_request()
