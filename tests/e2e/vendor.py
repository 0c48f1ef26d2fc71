"""The vendor test server (tools/vendor_server.py) for tests inside the sandbox: start it,
wait until it answers, set faults, read what it received, stop it by PID.

    v = vendor.Vendor(tmp_dir)
    v.start()
    (v.docroot / "version").mkdir(parents=True, exist_ok=True)
    v.set_faults({"/version/pack3.inf": {"status": 500}})
    ... run setup.exe ...
    posts = [r for r in v.requests() if r["method"] == "POST"]
    v.stop()
"""
import base64
import json
import os
import pathlib
import signal
import socket
import ssl
import subprocess
import sys
import time

ROOT = pathlib.Path(__file__).resolve().parents[2]
SERVER = ROOT / "tools" / "vendor_server.py"


class Vendor:
    def __init__(self, work_dir, host="127.0.0.1", port=443):
        self.dir = pathlib.Path(work_dir)
        self.docroot = self.dir / "docroot"
        self.log = self.dir / "requests.jsonl"
        self.faults = self.dir / "faults.json"
        self.host, self.port = host, port
        self.proc = None

    def start(self, timeout=20):
        self.docroot.mkdir(parents=True, exist_ok=True)
        if not self.faults.exists():
            self.faults.write_text("{}")
        out = open(self.dir / "server.out", "ab")
        self.proc = subprocess.Popen([sys.executable, str(SERVER), "--docroot", str(self.docroot),
                                      "--log", str(self.log), "--faults", str(self.faults),
                                      "--host", self.host, "--port", str(self.port)],
                                     stdout=out, stderr=subprocess.STDOUT)
        wait_ready(self.host, self.port, timeout, self.proc)
        return self.proc.pid

    def stop(self):
        if self.proc and self.proc.poll() is None:
            stop_pid(self.proc.pid)
            self.proc.wait(timeout=10)
        self.proc = None

    def set_faults(self, faults):
        tmp = self.faults.with_suffix(".tmp")
        tmp.write_text(json.dumps(faults))
        os.replace(tmp, self.faults)  # the server never reads half a file

    def requests(self):
        """Every request so far: dicts with method, path, headers (list of pairs), body (bytes)."""
        out = []
        if self.log.exists():
            for line in self.log.read_text(encoding="utf-8").splitlines():
                r = json.loads(line)
                r["body"] = base64.b64decode(r.pop("body_b64"))
                out.append(r)
        return out


def header(request, name):
    for k, v in request["headers"]:
        if k.lower() == name.lower():
            return v
    return None


def wait_ready(host="127.0.0.1", port=443, timeout=20, proc=None):
    """Waits until a TLS handshake with the server succeeds (bounded)."""
    ctx = ssl.create_default_context()
    ctx.check_hostname = False
    ctx.verify_mode = ssl.CERT_NONE
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        if proc is not None and proc.poll() is not None:
            raise RuntimeError(f"vendor server exited with {proc.returncode}")
        try:
            with socket.create_connection((host, port), timeout=2) as s:
                with ctx.wrap_socket(s, server_hostname=host):
                    return
        except OSError:
            time.sleep(0.1)
    raise TimeoutError(f"vendor server on {host}:{port} did not answer in {timeout} s")


def stop_pid(pid):
    try:
        os.kill(pid, signal.SIGTERM)
    except ProcessLookupError:
        pass


if __name__ == "__main__":
    # Shell use: vendor.py wait [port] | vendor.py stop PID
    if sys.argv[1:2] == ["wait"]:
        wait_ready(port=int(sys.argv[2]) if len(sys.argv) > 2 else 443)
    elif sys.argv[1:2] == ["stop"]:
        stop_pid(int(sys.argv[2]))
    else:
        print(__doc__)
        sys.exit(2)
