"""One full installation under Wine from the vendor test server, as a person goes through it.
The tests that look at an installed machine (the installation itself, a second run, the
uninstaller) share it: it is made on first use in a run and kept until a test forgets it."""
import binascii
import contextlib
import os
import re
import shutil
import subprocess

import harness
from harness import BUILD, PREFIX, wait_until
from test_ticador import folders, reg, serve_packages, unix, walk_to_options, wine

SUCCESS = "La Instalación se realizó con éxito !"
INSTALL_MINUTES = 10

_made = None


def product_id():
    _, out = reg("query", r"HKLM\Software\Microsoft\Windows NT\CurrentVersion", "/v", "ProductId")
    m = re.search(r"ProductId\s+REG_SZ\s+(\S*)", out)
    return m.group(1) if m else ""


def derived_password():
    return str(binascii.crc32(("mimo" + product_id()).encode("cp1252")))


def messages_of(log_path):
    out = []
    for line in log_path.read_bytes().split(b"\r\n"):
        m = re.match(rb"^    \[[^\]]*\] (.*)$", line, re.S)
        if m:
            out.append(m.group(1).decode("cp1252"))
    return out


def service_state(name):
    r = subprocess.run([harness.WINE, str(BUILD / "tools" / "tfctl.exe"), "service", name], capture_output=True,
                       timeout=60)
    return r.stdout.decode().strip()


def mariadb(*sql_args, password=None, port=3307):
    """(exit code, output) of Debian's client against the installed server on 127.0.0.1:3307."""
    pw = derived_password() if password is None else password
    r = subprocess.run(["mariadb", "--no-defaults", "--protocol=TCP", "-h127.0.0.1", f"-P{port}", "-uroot",
                        f"-p{pw}", *sql_args], capture_output=True, timeout=60)
    return r.returncode, r.stdout.decode("utf-8", "replace") + r.stderr.decode("utf-8", "replace")


def install(h, welcome="pnlBienvenida", args=(), screenshots=None, cwd=None):
    """Walks the wizard to "Instalar" and waits for the outcome; (process, outcome texts)."""
    p = h.start_setup(*args, cwd=cwd)
    h.tfctl("wait-window", "60000")
    walk_to_options(h, welcome)
    h.tfctl("click", "Instalar")
    if screenshots:
        try:  # a run refused at once never shows the progress panel for long
            h.wait_visible("pnlProgreso", 5000)
            h.screenshot(screenshots + "_pnlProgreso")
        except AssertionError:
            pass
    h.wait_visible("pnlFinalizacion", INSTALL_MINUTES * 60000)
    texts = {c["name"]: c["text"] for c in h.controls()}
    if screenshots:
        h.screenshot(screenshots + "_pnlFinalizacion")
    return p, texts


@contextlib.contextmanager
def planted_system_programs(h, *folders):
    """Stand-ins named regsvr32.exe, sc.exe and cmd.exe in each folder and in a folder of their
    own, and ComSpec in the user's own environment (HKCU\\Environment, where a standard user may
    set it) at the last cmd.exe, for the time of the block. Gives a function that lists the
    stand-ins something started (each leaves its path + ".started")."""
    plants = [f / n for f in folders + (h.dir / "entorno",) for n in ("regsvr32.exe", "sc.exe", "cmd.exe")]
    for p in plants:
        p.parent.mkdir(parents=True, exist_ok=True)
        shutil.copy(BUILD / "fixtures" / "planted_program.exe", p)
    comspec = h.win_dir + "\\entorno\\cmd.exe"
    wine("reg", "add", r"HKCU\Environment", "/v", "ComSpec", "/d", comspec, "/f")
    try:
        assert wine("cmd", "/c", "echo", "%ComSpec%")[1].strip() == comspec  # the trap is armed
        yield lambda: [str(p) for p in plants if p.with_name(p.name + ".started").exists()]
    finally:
        wine("reg", "delete", r"HKCU\Environment", "/v", "ComSpec", "/f")


def installation():
    """The shared full installation: dict with folders, log (messages), outcome texts, requests.
    Made with system-program stand-ins beside setup.exe and in its working folder, and the
    user's ComSpec pointing at another: none of them may run."""
    global _made
    if _made:
        return _made
    h = harness.Harness("completa")
    try:
        v = serve_packages(h)
        f = folders()
        work = h.dir / "trabajo"
        with planted_system_programs(h, h.dir, work) as started:
            p, texts = install(h, screenshots="i1", cwd=work)
        assert started() == []
        h.tfctl("click", "Cerrar")
        assert h.wait_exit(p, 60) == 0
        _made = {"folders": f, "dir": h.dir, "texts": texts, "requests": v.requests(),
                 "log": messages_of(h.log_path()), "docroot": v.docroot}
    finally:
        h.close()
    return _made


def stop_services():
    """Stops the product's services where they run (as before installing again or removing the
    product's folders by hand): a running server would otherwise answer the next installation."""
    for service in ("srvKVT_zkteco", "srvKVT_service", "KVTDB"):
        if service_state(service) not in ("ABSENT", "STOPPED"):
            wine("net", "stop", service)
            wait_until(lambda: service_state(service) == "STOPPED", 90, service + " stopped")


def forget():
    """After a test removed or changed the installation: the next one makes a new one."""
    global _made
    _made = None
