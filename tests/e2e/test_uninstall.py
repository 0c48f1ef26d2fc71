"""The uninstaller under Wine after an installation, started from the installed-programs entry's
command line: what it shows, what it removes, what it keeps, and what it leaves alone."""
import os
import re
import shutil
import subprocess

from harness import BUILD, PREFIX, WINE, wait_until

EXITO = "La desinstalación se realizó con éxito !"
EXITO1 = "Las aplicaciones seleccionadas se ha desinstalado correctamente."
NADA = "No es necesaria la desinstalación de aplicaciones !"
NADA1 = "La Aplicación TurnaliaFree no está instalada en este Equipo."
CONFIRMAR = "Quiero desinstalar TurnaliaFree de este equipo"
SERVICIOS = ("KVTDB", "srvKVT_service", "srvKVT_zkteco")


def unix(path):
    """The file of a C: path inside the prefix."""
    drive, _, rest = path.partition(":")
    assert drive.upper() == "C", path
    return PREFIX / "drive_c" / rest.strip("\\").replace("\\", "/")


def desktop_inside_prefix():
    """Wine links the user's desktop to the home folder; the shortcuts of a test stay in the prefix."""
    for user in (PREFIX / "drive_c" / "users").iterdir():
        desk = user / "Desktop"
        if desk.is_symlink():
            desk.unlink()
            desk.mkdir()


def wine(h, *args, timeout=120):
    """Runs a Windows program to its end. Its output goes through a file: helpers Wine starts on
    the way (COM, services) inherit the handles and would keep a pipe open."""
    out = h.dir / "wine_out.txt"
    with open(out, "wb") as f:
        r = subprocess.run([WINE, *map(str, args)], cwd=h.dir, stdout=f, stderr=subprocess.STDOUT, timeout=timeout)
    return r.returncode, out.read_bytes().decode("cp1252", "replace").replace("\r\n", "\n")


def maquina(h, *args):
    """tests/fixtures/stage_install.exe: the installer's folders, services and processes as it sees them."""
    tool = h.dir / "stage_install.exe"
    if not tool.exists():
        shutil.copy(BUILD / "fixtures" / "stage_install.exe", tool)
    rc, out = wine(h, tool, *args)
    assert rc == 0, out
    return out


def valores(out):
    return dict(line.split("=", 1) for line in out.splitlines() if "=" in line)


def servicios(h):
    return {k: v == "1" for k, v in valores(maquina(h, "-services", *SERVICIOS)).items()}


def procesos(h, exe):
    return [line for line in maquina(h, "-processes", exe).splitlines() if line]


def entrada(h, clave):
    """The UninstallString of the installed-programs entry; None when the entry is gone."""
    rc, out = wine(h, "reg", "query", "HKLM\\" + clave + "TurnaliaFree.exe", "/v", "UninstallString")
    m = re.search(r"UninstallString\s+REG_SZ\s+(.*)", out)
    return m.group(1).strip() if rc == 0 and m else None


def instalacion_simulada(h):
    """An installation as the installer leaves it, built from the stand-ins: the entry and the
    shortcuts written by the installer's own code, the product and database server programs as
    registered, running services, the uninstaller in the Windows folder. Returns the folders."""
    desktop_inside_prefix()
    f = valores(maquina(h))
    raiz, dbms = unix(f["raiz"]), unix(f["dbms"])
    fixtures = BUILD / "fixtures"
    for sub in ("BackUp/viejas", "Temp", "Utils", "Datos", ".config"):
        (raiz / sub).mkdir(parents=True, exist_ok=True)
    shutil.copy(fixtures / "stub_app.exe", raiz / "TurnaliaFree.exe")
    for programa in ("KVT_service.exe", "KVT_zkteco.exe"):
        shutil.copy(fixtures / "stub_service.exe", raiz / programa)
    for rel, data in (("kvt_inicial.zip", b"PK"), ("BackUp/kvt_20240101.zip", b"PK copia"),
                      ("BackUp/viejas/kvt_2023.zip", b"PK vieja"), ("BackUp/notas.txt", b"notas"),
                      ("Temp/TurnaliaFree.zip", b"PK paquete"), ("Utils/kvt_util.dll", b"MZ"),
                      ("Datos/turnos.dat", b"datos"), (".config/ajustes.ini", b"x" * 5000)):
        (raiz / rel).write_bytes(data)
    # A link to a folder outside the installation: never followed, its files never touched.
    fuera = unix("C:\\Fuera")
    fuera.mkdir(exist_ok=True)
    (fuera / "importante.txt").write_bytes(b"no borrar")
    os.symlink(fuera, raiz / "Datos" / "enlace")
    (dbms / "bin").mkdir(parents=True, exist_ok=True)
    (dbms / "data" / "turnaliafree").mkdir(parents=True, exist_ok=True)
    (dbms / "data" / "turnaliafree" / "turnos.frm").write_bytes(b"tabla")
    shutil.copy(fixtures / "stub_service.exe", dbms / "bin" / "mysqld.exe")
    desinstalador = unix(f["windows"] + "\\TurnaliaFree\\uninstall.exe")
    desinstalador.parent.mkdir(parents=True, exist_ok=True)
    shutil.copy(BUILD / "setup.exe", desinstalador)
    # Shortcuts of an older installation for all users: removed as well.
    comun = unix(f["programas_comunes"] + "\\TurnaliaFree")
    comun.mkdir(parents=True, exist_ok=True)
    shutil.copy(unix(f["escritorio"] + "\\Turnalia Free.lnk"), comun / "Turnalia Free.lnk")
    # The services, registered by their programs as the installation does, and running.
    for cmd in ((raiz / "KVT_service.exe", "-install", "-silent"), (raiz / "KVT_zkteco.exe", "-install", "-silent"),
                (dbms / "bin" / "mysqld.exe", "-install", "-silent", "-name", "KVTDB")):
        rc, out = wine(h, *cmd)
        assert "installed" in out, out
    arrancados = valores(maquina(h, "-start", *SERVICIOS))
    assert all(v == "1" for v in arrancados.values()), arrancados
    return f


def tamano_mb(carpeta):
    """Bytes below a folder as the uninstaller counts them: dot-folders and links not entered."""
    total = 0
    for base, dirs, files in os.walk(carpeta):
        dirs[:] = [d for d in dirs if not d.startswith(".") and not os.path.islink(os.path.join(base, d))]
        total += sum(os.path.getsize(os.path.join(base, n)) for n in files)
    return total / 1048576


def arrancar_desinstalador(h, linea):
    """Starts the uninstaller from a command line like the entry's: "C:\\...\\uninstall.exe" kvt."""
    m = re.match(r'"([^"]+)"\s*(.*)', linea)
    exe, args = m.group(1), m.group(2).split()
    p = subprocess.Popen([WINE, exe, *args], cwd=unix(exe).parent, stdout=subprocess.DEVNULL,
                         stderr=subprocess.DEVNULL, start_new_session=True)
    h.procs.append(p)
    h.tfctl("wait-window", "60000")
    return p


def test_uninstall_after_installation(h):
    f = instalacion_simulada(h)
    raiz, dbms = unix(f["raiz"]), unix(f["dbms"])
    # Another product's database server of the same name, running from its own folder.
    ajeno = unix("C:\\Otro\\mysqld.exe")
    ajeno.parent.mkdir(parents=True, exist_ok=True)
    shutil.copy(BUILD / "fixtures" / "stub_output.exe", ajeno)
    otro = subprocess.Popen([WINE, "C:\\Otro\\mysqld.exe", "sleep:600000"], cwd=ajeno.parent,
                            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, start_new_session=True)
    h.procs.append(otro)
    wait_until(lambda: "C:\\Otro\\mysqld.exe" in procesos(h, "mysqld.exe"), 30, "the foreign server")
    assert len(procesos(h, "mysqld.exe")) == 2
    tamano = tamano_mb(raiz)

    linea = entrada(h, f["clave"])
    assert linea == '"' + f["windows"] + '\\TurnaliaFree\\uninstall.exe" kvt', linea
    # "Salir" changes nothing.
    p = arrancar_desinstalador(h, linea)
    h.wait_visible("pnlDesinstalar")
    h.tfctl("click", "Salir")
    assert h.wait_exit(p, 60) == 0
    assert all(servicios(h).values()) and len(procesos(h, "mysqld.exe")) == 2
    assert (raiz / "TurnaliaFree.exe").exists() and entrada(h, f["clave"]) == linea

    p = arrancar_desinstalador(h, linea)
    h.wait_visible("pnlDesinstalar")
    shown = {c["name"]: c for c in h.controls()}
    assert "disabled" in shown["btnDesinstalar"]["flags"]
    assert "unchecked" in shown["chkKVTDesinstalar"]["flags"]
    assert shown["btnSalir3"]["text"] == "Salir"
    assert "lblQVSizeDesinstalar" not in shown and "lblQVDirDesinstalar" not in shown
    assert h.tfctl("text", "lblQVDirDesinstalar") == f["raiz"]
    size = h.tfctl("text", "lblQVSizeDesinstalar")
    assert re.fullmatch(r"\d+[.,]\d MB", size) and size[:-3].replace(",", ".") == f"{tamano:.1f}", (size, tamano)
    h.screenshot("9_pnlDesinstalar_instalado")

    h.tfctl("check", CONFIRMAR, "on")
    assert "disabled" not in {c["name"]: c for c in h.controls()}["btnDesinstalar"]["flags"]
    h.tfctl("click", "Continuar")
    h.tfctl("wait-text", EXITO, "120000")
    assert h.tfctl("text", "lblFinalizacion1") == EXITO1
    h.screenshot("10_desinstalado")
    h.tfctl("close")
    assert h.wait_exit(p, 60) == 0

    # Services gone and their programs ended; the other product's server still runs.
    wait_until(lambda: not any(servicios(h).values()), 30, "the services to go")
    assert procesos(h, "mysqld.exe") == ["C:\\Otro\\mysqld.exe"]
    assert otro.poll() is None
    assert procesos(h, "KVT_service.exe") == [] and procesos(h, "KVT_zkteco.exe") == []
    # The installation folder holds only the backups and the folders on their way, plus a link
    # Wine cannot remove (it cannot unlink a link to a non-empty folder) with its folder.
    quedan = []
    for base, dirs, files in os.walk(raiz):
        rel = os.path.relpath(base, raiz)
        quedan += [os.path.normpath(os.path.join(rel, n)) for n in files]
        quedan += [os.path.normpath(os.path.join(rel, d)) for d in dirs if os.path.islink(os.path.join(base, d))]
    quedan.sort()
    enlace = "Datos/enlace"
    assert [q for q in quedan if q != enlace] == ["BackUp/kvt_20240101.zip", "BackUp/viejas/kvt_2023.zip",
                                                 "kvt_inicial.zip"], quedan
    assert (unix("C:\\Fuera") / "importante.txt").read_bytes() == b"no borrar"
    assert not (raiz / "Temp").exists() and not (raiz / "Utils").exists() and not (raiz / ".config").exists()
    # Entry, shortcuts and their Start menu folders gone; the uninstaller and the database kept.
    assert entrada(h, f["clave"]) is None
    assert not unix(f["escritorio"] + "\\Turnalia Free.lnk").exists()
    assert not unix(f["programas"] + "\\TurnaliaFree").exists()
    assert not unix(f["programas_comunes"] + "\\TurnaliaFree").exists()
    assert unix(f["windows"] + "\\TurnaliaFree\\uninstall.exe").exists()
    assert (dbms / "data" / "turnaliafree" / "turnos.frm").read_bytes() == b"tabla"
    log = uninstall_log(f)
    for linea_log in ("El servicio KVTDB está instalado", "El servicio srvKVT_service está instalado",
                      "El servicio srvKVT_zkteco está instalado", "Mostrando panel pnlFinalizacion ..."):
        assert linea_log in log, linea_log
    assert re.search(r"No se finaliza el proceso C:\\Otro\\mysqld\.exe \(\d+\): no pertenece a ", "\n".join(log))
    assert "El servicio KVTDB no se ha detenido" not in log

    # Started again (from the shortcut's target, without the argument): nothing to uninstall.
    p = arrancar_desinstalador(h, '"' + f["windows"] + '\\TurnaliaFree\\uninstall.exe"')
    h.wait_visible("pnlFinalizacion")
    assert h.tfctl("text", "lblFinalizacion") == NADA
    assert h.tfctl("text", "lblFinalizacion1") == NADA1
    h.tfctl("close")
    assert h.wait_exit(p, 60) == 0


def uninstall_log(f):
    """The uninstaller's log lines (beside it), without their time stamps."""
    folder = unix(f["windows"] + "\\TurnaliaFree")
    out = []
    for path in sorted(folder.glob("uninstall_*.log")):
        for line in path.read_bytes().split(b"\r\n"):
            m = re.match(rb"^    \[[^\]]*\] (.*)$", line, re.S)
            if m:
                out.append(m.group(1).decode("cp1252"))
    return out
