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
ROOT = pathlib.Path(__file__).resolve().parents[2]
SCREENSHOTS = ROOT / "build" / "screenshots"

# The program's exit codes. A Unix parent of Wine sees only their low byte (wait_exit); Harness.run
# reads them whole, as a deployment tool does.
SUCCESS, INVALID_SWITCH, USER_EXIT, FAILURE, ALREADY_RUNNING, REBOOT_REQUIRED = 0, 87, 1602, 1603, 1618, 3010


def low_byte(code):
    return code & 0xFF


class Run:
    """A program started through tfctl run: wait() gives (exit code, windows it showed)."""

    def __init__(self, proc, out, ms):
        self.proc, self.out, self.ms = proc, out, ms

    def wait(self):
        self.proc.wait(timeout=self.ms / 1000 + 60)
        lines = self.out.read_bytes().decode("utf-8", "replace").replace("\r\n", "\n").splitlines()
        windows = [line[len("window|"):] for line in lines if line.startswith("window|")]
        codes = [int(line[len("exit|"):]) for line in lines if line.startswith("exit|")]
        assert codes, f"no exit code: {lines}"
        return codes[0], windows


class Harness:
    def __init__(self, name):
        self.name = name
        self.procs = []
        self.cleanups = []
        safe = name.replace(".", "_")
        self.dir = PREFIX / "drive_c" / "tftests" / safe  # C:\tftests\<name>
        if self.dir.exists():
            shutil.rmtree(self.dir)
        self.dir.mkdir(parents=True)
        self.win_dir = "C:\\tftests\\" + safe

    # --- processes
    def start_setup(self, *args, exe_name="setup.exe", cwd=None):
        """setup.exe copied into the test folder as exe_name and started there (or in cwd)."""
        exe = self.dir / exe_name
        shutil.copy(BUILD / "setup.exe", exe)
        p = subprocess.Popen([WINE, str(exe), *args], cwd=cwd or self.dir,
                             stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, start_new_session=True)
        self.procs.append(p)
        return p

    def run(self, *args, exe_name="setup.exe", sub=None, exe=None, ms=120000, cwd=None):
        """Starts the program as a deployment tool does and watches its windows (tfctl run):
        a copy of setup.exe named exe_name in the test folder (or its subfolder sub), or the
        Windows path exe as it is; in the test folder, or in cwd."""
        if exe is None:
            folder = self.dir / sub if sub else self.dir
            folder.mkdir(parents=True, exist_ok=True)
            shutil.copy(BUILD / "setup.exe", folder / exe_name)
            exe = self.win_dir + ("\\" + sub if sub else "") + "\\" + exe_name
        out = self.dir / f"run_{len(self.procs)}.out"
        with open(out, "wb") as f:  # a file, not a pipe: a Wine helper may hold a pipe open
            p = subprocess.Popen([WINE, str(BUILD / "tools" / "tfctl.exe"), "run", str(ms), exe, *args],
                                 cwd=cwd or self.dir, stdout=f, stderr=subprocess.DEVNULL, start_new_session=True)
        self.procs.append(p)
        return Run(p, out, ms)

    def tfctl(self, *args, timeout=None, check=True):
        if timeout is None:  # a wait inside tfctl gets its own time plus Wine's start-up
            waits = [int(a) for a in args[1:] if a.isdigit() and args[0].startswith("wait")]
            timeout = max([60] + [w / 1000 + 30 for w in waits])
        r = subprocess.run([WINE, str(BUILD / "tools" / "tfctl.exe"), *args], capture_output=True,
                           timeout=timeout)
        out = r.stdout.decode("utf-8", "replace").replace("\r\n", "\n")
        if check and r.returncode != 0:
            raise AssertionError(f"tfctl {' '.join(args)} failed ({r.returncode}): {out}"
                                 f"{r.stderr.decode('utf-8', 'replace')}")
        return out

    def start_tool(self, tool, *args):
        """A developer tool from the Windows build, copied into the test folder and started there."""
        exe = self.dir / f"{tool}.exe"
        shutil.copy(BUILD / "tools" / f"{tool}.exe", exe)
        p = subprocess.Popen([WINE, str(exe), *args], cwd=self.dir,
                             stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, start_new_session=True)
        self.procs.append(p)
        return p

    def controls(self):
        """The visible controls: dicts with cls, name, text and flags (a set)."""
        out = []
        for line in self.tfctl("list").splitlines():
            parts = line.split("|")
            if len(parts) < 4:
                continue
            cls, name, flags = parts[0], parts[1], parts[-1]
            text = "|".join(parts[2:-1]).replace("\\r", "\r").replace("\\n", "\n")
            out.append({"cls": cls, "name": name, "text": text, "flags": set(filter(None, flags.split(",")))})
        return out

    def visible(self, name):
        return any(c["name"] == name for c in self.controls())

    def wait_visible(self, name, ms=15000):
        self.tfctl("wait-visible", name, str(ms), timeout=ms / 1000 + 30)

    def msgbox(self, ms=10000):
        """(caption, text) of the message box that shows within ms, after pressing its button; None if none."""
        out = self.tfctl("msgbox", str(ms), check=False, timeout=ms / 1000 + 30).rstrip("\n")
        if not out:
            return None
        caption, _, text = out.partition("|")
        return caption, text.replace("\\n", "\n")

    def screenshot(self, name):
        """The window as shown, kept as build/screenshots/<name>.png."""
        SCREENSHOTS.mkdir(parents=True, exist_ok=True)
        bmp = self.dir / "shot.bmp"
        self.tfctl("screenshot", self.win_dir + "\\shot.bmp")
        png = SCREENSHOTS / f"{name}.png"
        subprocess.run(["convert", str(bmp), str(png)], check=True, timeout=60)
        bmp.unlink()
        return png

    def wait_exit(self, proc, timeout=60):
        proc.wait(timeout=timeout)
        return proc.returncode

    def on_close(self, fn):
        """Runs fn when the test ends (servers and other helpers stopped by PID)."""
        self.cleanups.append(fn)

    def close(self):
        for fn in reversed(self.cleanups):
            try:
                fn()
            except Exception:  # a cleanup failure must not hide the test's own result
                pass
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
