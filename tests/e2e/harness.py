"""What an end-to-end test needs inside the sandbox: a folder in the Wine prefix, setup.exe
started from it with a watchdog, the UI automation client, and the log it wrote."""
import datetime
import os
import pathlib
import shutil
import signal
import subprocess
import time

WINE = os.environ.get("WINE", "wine")
PREFIX = pathlib.Path(os.environ["WINEPREFIX"])
BUILD = pathlib.Path(os.environ["TF_WIN_BUILD"])
RUN_DIR = pathlib.Path(os.environ["TF_RUN_DIR"])


class Harness:
    def __init__(self, name):
        self.name = name
        self.procs = []
        safe = name.replace(".", "_")
        self.dir = PREFIX / "drive_c" / "tftests" / safe  # C:\tftests\<name>
        if self.dir.exists():
            shutil.rmtree(self.dir)
        self.dir.mkdir(parents=True)
        self.win_dir = "C:\\tftests\\" + safe

    # --- processes
    def start_setup(self, *args, exe_name="setup.exe"):
        exe = self.dir / exe_name
        shutil.copy(BUILD / "setup.exe", exe)
        p = subprocess.Popen([WINE, str(exe), *args], cwd=self.dir,
                             stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, start_new_session=True)
        self.procs.append(p)
        return p

    def tfctl(self, *args, timeout=60, check=True):
        r = subprocess.run([WINE, str(BUILD / "tools" / "tfctl.exe"), *args], capture_output=True,
                           timeout=timeout)
        out = r.stdout.decode("utf-8", "replace").replace("\r\n", "\n")
        if check and r.returncode != 0:
            raise AssertionError(f"tfctl {' '.join(args)} failed ({r.returncode}): {out}"
                                 f"{r.stderr.decode('utf-8', 'replace')}")
        return out

    def wait_exit(self, proc, timeout=60):
        proc.wait(timeout=timeout)
        return proc.returncode

    def close(self):
        for p in self.procs:
            if p.poll() is None:
                try:
                    os.killpg(p.pid, signal.SIGTERM)
                except ProcessLookupError:
                    pass
                try:
                    p.wait(timeout=10)
                except subprocess.TimeoutExpired:
                    os.killpg(p.pid, signal.SIGKILL)
                    p.wait(timeout=10)

    # --- files
    def log_path(self, exe_name="setup.exe"):
        stem = exe_name.rsplit(".", 1)[0]
        return self.dir / f"{stem}_{datetime.date.today():%d%m%y}.log"

    def log_lines(self, exe_name="setup.exe"):
        """The installation log as Windows-1252 byte lines (CR LF split)."""
        data = self.log_path(exe_name).read_bytes()
        return data.split(b"\r\n")[:-1] if data.endswith(b"\r\n") else data.split(b"\r\n")


def wait_until(predicate, timeout, what):
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        if predicate():
            return
        time.sleep(0.2)
    raise AssertionError(f"timed out waiting for {what}")
