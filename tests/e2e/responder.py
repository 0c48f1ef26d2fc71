"""The LAN responder (tools/udp_responder.py) for tests inside the sandbox: start it, wait until
it listens, read how many datagrams it got, stop it by PID.

    r = responder.Responder(tmp_dir)
    r.start(name="SERVIDOR-KVT")            # or mode="empty" / "silent", delay_ms=...
    ... run setup.exe ...
    assert r.count() == 1 and r.datagrams()[0]["size"] == 0
    r.stop()

Shell use: responder.py start STATE_FILE [udp_responder options]  (prints the PID once it listens)
           responder.py count STATE_FILE | responder.py stop PID
"""
import json
import os
import pathlib
import subprocess
import sys
import time

from vendor import stop_pid

ROOT = pathlib.Path(__file__).resolve().parents[2]
SERVER = ROOT / "tools" / "udp_responder.py"


class Responder:
    def __init__(self, work_dir, port=8077):
        self.dir = pathlib.Path(work_dir)
        self.state_file = self.dir / "udp_responder.json"
        self.port = port
        self.proc = None

    def start(self, name="SERVIDOR-KVT", mode="name", delay_ms=0, timeout=10):
        """Starts it and waits until it listens; returns its PID."""
        self.dir.mkdir(parents=True, exist_ok=True)
        if self.state_file.exists():
            self.state_file.unlink()
        args = {"name": ["--name", name], "empty": ["--empty"], "silent": ["--silent"]}[mode]
        out = open(self.dir / "udp_responder.out", "ab")
        self.proc = subprocess.Popen([sys.executable, str(SERVER), "--state", str(self.state_file),
                                      "--port", str(self.port), "--delay-ms", str(delay_ms), *args],
                                     stdout=out, stderr=subprocess.STDOUT)
        wait_listening(self.state_file, timeout, self.proc)
        return self.proc.pid

    def state(self):
        return read_state(self.state_file)

    def count(self):
        return self.state()["count"]

    def datagrams(self):
        return self.state()["datagrams"]

    def wait_count(self, n, timeout=10):
        """Waits (bounded) until at least n datagrams arrived; returns the count."""
        deadline = time.monotonic() + timeout
        while self.count() < n and time.monotonic() < deadline:
            time.sleep(0.1)
        return self.count()

    def stop(self):
        if self.proc and self.proc.poll() is None:
            stop_pid(self.proc.pid)
            self.proc.wait(timeout=10)
        self.proc = None


def read_state(path):
    with open(path, encoding="utf-8") as f:
        return json.load(f)


def wait_listening(path, timeout=10, proc=None):
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        if proc is not None and proc.poll() is not None:
            raise RuntimeError(f"udp responder exited with {proc.returncode}")
        if os.path.exists(path):
            return
        time.sleep(0.05)
    raise TimeoutError(f"udp responder did not listen in {timeout} s")


if __name__ == "__main__":
    cmd = sys.argv[1:2]
    if cmd == ["start"] and len(sys.argv) >= 3:
        state = sys.argv[2]
        if os.path.exists(state):
            os.unlink(state)
        with open(state + ".out", "ab") as out:  # not our stdout: a caller reading it would wait for ever
            p = subprocess.Popen([sys.executable, str(SERVER), "--state", state, *sys.argv[3:]],
                                 stdin=subprocess.DEVNULL, stdout=out, stderr=subprocess.STDOUT, start_new_session=True)
        wait_listening(state, 10, p)
        print(p.pid)
    elif cmd == ["count"] and len(sys.argv) == 3:
        print(read_state(sys.argv[2])["count"])
    elif cmd == ["stop"] and len(sys.argv) == 3:
        stop_pid(int(sys.argv[2]))
    else:
        print(__doc__)
        sys.exit(2)
