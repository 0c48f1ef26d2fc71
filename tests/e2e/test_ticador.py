"""The time-clock client installation as a person goes through it: a server answers on the LAN,
the wizard leads to "Instalar", and only the client lands: kvt_ticador.exe, the DLLs of the
utilities in the system folder, midas.dll registered, the client's shortcuts; no service, no
installed-programs entry, no Path change, no report."""
import os
import pathlib
import shutil
import subprocess
import zipfile

import vendor
from harness import BUILD, PREFIX, RUN_DIR, WINE, wait_until
from responder import Responder
from test_lan import SENTENCE, messages
from test_wizard import LICENCIA

ACCEPT = "He leído y acepto las Condiciones de Uso y en especial la Política de Privacidad"
SUCCESS = "La Instalación se realizó con éxito !"
ENVIRONMENT = r"HKLM\System\CurrentControlSet\Control\Session Manager\Environment"
SERVICES = r"HKLM\System\CurrentControlSet\Services"
UNINSTALL = (r"HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\TurnaliaFree.exe",
             r"HKLM\Software\Wow6432Node\Microsoft\Windows\CurrentVersion\Uninstall\TurnaliaFree.exe")
RECORDS = PREFIX / "drive_c" / "TurnaliaFreeTest" / "registro"


def serve_packages(h):
    """The vendor test server with the agreement and the packages; stopped when the test ends."""
    v = vendor.Vendor(h.dir.parent / (h.dir.name + "_vendor"))
    (v.docroot / "version").mkdir(parents=True, exist_ok=True)
    (v.docroot / "version" / "Licencia_KVT.txt").write_bytes(LICENCIA.encode("cp1252"))
    subprocess.run(["python3", str(pathlib.Path(__file__).parents[1] / "fixtures" / "vendor" / "make_docroot.py"),
                    "--host", os.environ["TF_VENDOR_HOST"], "--out", str(v.docroot)], check=True, timeout=120)
    v.start()
    h.on_close(v.stop)
    return v


def wine(*args):
    """(exit code, output as text) of a Windows program. Output through a file: a Wine helper
    started on the way can hold a pipe open past the program's exit."""
    out_file = RUN_DIR / "wine_call.out"
    with open(out_file, "wb") as out:
        rc = subprocess.run([WINE, *args], stdin=subprocess.DEVNULL, stdout=out, stderr=subprocess.DEVNULL,
                            timeout=60).returncode
    return rc, out_file.read_bytes().decode("utf-8", "replace").replace("\r\n", "\n")


def read_link(*args):
    """read_link.exe (tests/fixtures) through Wine: its output lines, or None when it failed."""
    rc, out = wine(str(BUILD / "fixtures" / "read_link.exe"), *args)
    return out.splitlines() if rc == 0 else None


def folders():
    return dict(line.split("=", 1) for line in read_link("folders"))


def unix(win):
    assert win[:3].upper() == "C:\\", win
    return PREFIX / "drive_c" / win[3:].replace("\\", "/")


def remove(path):
    if path.is_dir() and not path.is_symlink():
        shutil.rmtree(path, ignore_errors=True)
    else:
        path.unlink(missing_ok=True)


def product_folders_removed(h, f):
    """The product's folders, shortcuts and uninstaller copy go now and again when the test ends,
    so each installation test starts from a machine without the product."""
    placed = [unix(f["programfiles"] + "\\TurnaliaFree"), unix(f["programfiles"] + "\\MySQL"),
              unix(f["programs"] + "\\TurnaliaFree"), unix(f["desktop"] + "\\Software Ticador.lnk"),
              unix(f["desktop"] + "\\Turnalia Free.lnk"), unix(f["windows"] + "\\TurnaliaFree")]

    def tidy():
        for p in placed:
            remove(p)
    import completa  # a shared full installation, if one was made, is gone with its folders
    completa.stop_services()
    completa.forget()
    tidy()
    h.on_close(tidy)


def reg(*args):
    return wine("reg", *args)


def machine_state():
    """What a client installation must leave alone: services, the Path, the installed-programs entry."""
    _, services = reg("query", SERVICES)
    _, path = reg("query", ENVIRONMENT, "/v", "PATH")
    return {"services": sorted(l for l in services.splitlines() if l.startswith("HKEY_")),
            "path": path, "entries": [reg("query", k)[0] == 0 for k in UNINSTALL]}


def walk_to_options(h, welcome):
    h.wait_visible(welcome)
    h.tfctl("click", "Avanzar")
    h.wait_visible("pnlLicencia", 30000)
    h.tfctl("check", ACCEPT, "on")
    h.tfctl("click", "Aceptar")
    h.wait_visible("pnlOpciones")


def entries(archive, names):
    with zipfile.ZipFile(archive) as z:
        return {n: z.read(n) for n in names}


def test_client_installation_lands_only_the_client(h):
    v = serve_packages(h)
    f = folders()
    install = f["programfiles"] + "\\TurnaliaFree"
    menu = f["programs"] + "\\TurnaliaFree"
    product_folders_removed(h, f)
    utilities = ["midas.dll", "zkemkeeper.dll", "kvt_comun.dll", "biokey.ocx", "kvt_utilidad.exe"]
    system_before = {n for n in utilities if unix(f["system"] + "\\" + n).exists()}
    h.on_close(lambda: [remove(unix(f["system"] + "\\" + n)) for n in set(utilities) - system_before])
    records = {n: (RECORDS / f"{n}.txt").read_bytes() if (RECORDS / f"{n}.txt").exists() else b""
               for n in ("midas.dll", "zkemkeeper.dll", "biokey.ocx")}
    before = machine_state()

    r = Responder(h.dir / "responder")
    h.on_close(r.stop)
    r.start(name="SERVIDOR-PRUEBA")
    p = h.start_setup()
    h.tfctl("wait-window", "60000")
    h.wait_visible("pnlBienvenidaTicador")
    assert h.tfctl("text", "lblServidorDetectado") == SENTENCE.format("SERVIDOR-PRUEBA")
    assert r.count() == 1
    h.screenshot("c1_pnlBienvenidaTicador")
    walk_to_options(h, "pnlBienvenidaTicador")
    h.tfctl("click", "Instalar")
    h.wait_visible("pnlFinalizacion", 120000)
    assert h.tfctl("text", "lblFinalizacion") == SUCCESS
    h.screenshot("c2_pnlFinalizacion_cliente")
    h.tfctl("click", "Cerrar")
    assert h.wait_exit(p, 60) == 0

    # Only kvt_ticador.exe from the client archive, in the installation folder.
    served = v.docroot / "version" / "downloads"
    client = entries(served / "turnaliafree.zip", ["kvt_ticador.exe"])
    assert sorted(os.listdir(unix(install))) == ["Temp", "kvt_ticador.exe"]
    assert (unix(install) / "kvt_ticador.exe").read_bytes() == client["kvt_ticador.exe"]
    assert sorted(os.listdir(unix(install) / "Temp")) == ["turnaliafree.zip", "utils.zip"]
    # The utilities' DLLs in the system folder; nothing else of that archive.
    dlls = entries(served / "utils.zip", ["midas.dll", "zkemkeeper.dll", "kvt_comun.dll"])
    for name, data in dlls.items():
        assert unix(f["system"] + "\\" + name).read_bytes() == data, name
    for name in {"biokey.ocx", "kvt_utilidad.exe"} - system_before:
        assert not unix(f["system"] + "\\" + name).exists(), name
    # midas.dll registered once (the installer does not wait for it), no other component.
    midas = RECORDS / "midas.dll.txt"
    wait_until(lambda: midas.exists() and len(midas.read_bytes()) > len(records["midas.dll"]), 60, "midas.dll")
    line = midas.read_bytes()[len(records["midas.dll"]):].decode("utf-8")
    call, dll, tool = line.rstrip("\r\n").split("|")
    assert (call, dll.lower()) == ("DllRegisterServer", (f["system"] + "\\midas.dll").lower()), line
    assert tool.lower().endswith("\\regsvr32.exe"), line
    for name in ("zkemkeeper.dll", "biokey.ocx"):
        now = (RECORDS / f"{name}.txt").read_bytes() if (RECORDS / f"{name}.txt").exists() else b""
        assert now == records[name], name
    # The client's shortcuts, read back through the shell link object.
    program = install + "\\kvt_ticador.exe"
    ticador = [f"{program}|Software Ticador|{install}\\||{program}|0|0|1"]
    assert read_link(f["desktop"] + "\\Software Ticador.lnk") == ticador
    assert read_link(menu + "\\Software Ticador.lnk") == ticador
    uninstaller = f["windows"] + "\\TurnaliaFree\\uninstall.exe"
    assert read_link(menu + "\\Desinstalar.lnk") == [
        f"{uninstaller}|Desinstalar|{f['windows']}\\TurnaliaFree\\||{uninstaller}|0|0|1"]
    # No service, no installed-programs entry, no Path change, no report.
    assert machine_state() == before
    assert [q["path"] for q in v.requests() if q["method"] == "POST"] == []
    assert sorted({q["path"] for q in v.requests()}) == [
        "/version/Licencia_KVT.txt", "/version/downloads/turnaliafree.zip", "/version/downloads/utils.zip"]
    log = messages(h)
    assert "Registering file midas.dll" in log
    assert log.index("Mostrando panel pnlProgreso ...") < log.index("Mostrando panel pnlFinalizacion ...")
