"""The uninstaller under Wine after the shared full installation (completa.py), started from the
installed-programs entry's command line: what it shows, what it removes, what it keeps, what it
leaves alone (a folder behind a link, another product's "mysqld.exe") and what it leaves to the
next restart (a file another program holds open)."""
import os
import re
import shutil
import signal
import subprocess

import completa
from harness import BUILD, INVALID_SWITCH, REBOOT_REQUIRED, SUCCESS, WINE, wait_until
from test_ticador import remove, unix, wine

EXITO = "La desinstalación se realizó con éxito !"
EXITO1 = "Las aplicaciones seleccionadas se ha desinstalado correctamente."
NADA = "No es necesaria la desinstalación de aplicaciones !"
NADA1 = "La Aplicación TurnaliaFree no está instalada en este Equipo."
REINICIO = "Al reiniciar el equipo se eliminarán los archivos que estaban en uso y terminará la desinstalación."
CONFIRMAR = "Quiero desinstalar TurnaliaFree de este equipo"
SESION = r"HKLM\SYSTEM\CurrentControlSet\Control\Session Manager"
SERVICIOS = ("KVTDB", "srvKVT_service", "srvKVT_zkteco")


def probe(*args):
    """tests/fixtures/machine_probe.exe: folders, services and processes as the uninstaller sees them."""
    rc, out = wine(str(BUILD / "fixtures" / "machine_probe.exe"), *args)
    assert rc == 0, out
    return out


def values(out):
    return dict(line.split("=", 1) for line in out.splitlines() if "=" in line)


def services():
    return {k: v == "1" for k, v in values(probe("-services", *SERVICIOS)).items()}


def processes(exe):
    return [line for line in probe("-processes", exe).splitlines() if line]


def entry(key):
    """The UninstallString of the installed-programs entry; None when the entry is gone."""
    rc, out = wine("reg", "query", "HKLM\\" + key + "TurnaliaFree.exe", "/v", "UninstallString")
    m = re.search(r"UninstallString\s+REG_SZ\s+(.*)", out)
    return m.group(1).strip() if rc == 0 and m else None


def start_uninstaller(h, line, cwd=None):
    """Starts the uninstaller from a command line like the entry's: "C:\\...\\uninstall.exe" kvt,
    in its own folder or in cwd."""
    m = re.match(r'"([^"]+)"\s*(.*)', line)
    exe, args = m.group(1), m.group(2).split()
    p = subprocess.Popen([WINE, exe, *args], cwd=cwd or unix(exe).parent, stdout=subprocess.DEVNULL,
                         stderr=subprocess.DEVNULL, start_new_session=True)
    h.procs.append(p)
    h.tfctl("wait-window", "60000")
    return p


def uninstall_log(f):
    return completa.messages_of(next(unix(f["windows"] + "\\TurnaliaFree").glob("uninstall_*.log")))


def size_mb(folder):
    """Bytes below a folder as the uninstaller counts them: dot-folders and links not entered."""
    total = 0
    for base, dirs, files in os.walk(folder):
        dirs[:] = [d for d in dirs if not d.startswith(".") and not os.path.islink(os.path.join(base, d))]
        total += sum(os.path.getsize(os.path.join(base, n)) for n in files)
    return total / 1048576


def files_left(folder):
    """Files and links below a folder, relative, sorted."""
    out = []
    for base, dirs, files in os.walk(folder):
        rel = os.path.relpath(base, folder)
        out += [os.path.normpath(os.path.join(rel, n)) for n in files]
        out += [os.path.normpath(os.path.join(rel, d)) for d in dirs if os.path.islink(os.path.join(base, d))]
    return sorted(out)


def remove_product(f):
    """The product's services stopped and deleted (a database server left running would hold its
    port), its folders, shortcuts, uninstaller and entry removed, and the test's own leftovers."""
    completa.stop_services()
    for s in [s for s, registered in services().items() if registered]:
        wine("sc", "delete", s)
    for p in (f["raiz"], f["dbms"].rsplit("\\", 1)[0], f["programas"] + "\\TurnaliaFree",
              f["escritorio"] + "\\Turnalia Free.lnk", f["windows"] + "\\TurnaliaFree", "C:\\Otro", "C:\\Fuera"):
        remove(unix(p))
    wine("reg", "delete", "HKLM\\" + f["clave"] + "TurnaliaFree.exe", "/f")


def foreign_mysqld(h):
    """Another product's database server of the same name, running from its own folder."""
    ajeno = unix("C:\\Otro\\mysqld.exe")
    ajeno.parent.mkdir(parents=True, exist_ok=True)
    shutil.copy(BUILD / "fixtures" / "stub_output.exe", ajeno)
    otro = subprocess.Popen([WINE, "C:\\Otro\\mysqld.exe", "sleep:900000"], cwd=ajeno.parent,
                            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, start_new_session=True)
    h.procs.append(otro)
    wait_until(lambda: "C:\\Otro\\mysqld.exe" in processes("mysqld.exe"), 30, "the other server")
    return otro


def pending():
    """The system's list of what the next restart deletes or moves: source, target, ..."""
    return probe("-pending").split("\n")[:-1]


def hold(h, path):
    """Another product's program holding a file open without delete sharing, until stopped."""
    exe, out = h.dir / "retener.exe", h.dir / "retener.out"
    shutil.copy(BUILD / "fixtures" / "stub_output.exe", exe)
    with open(out, "wb") as o:
        p = subprocess.Popen([WINE, str(exe), "hold:" + path, "out:retenido", "sleep:900000"], cwd=h.dir, stdout=o,
                             stderr=subprocess.DEVNULL, start_new_session=True)
    h.procs.append(p)
    wait_until(lambda: b"retenido" in out.read_bytes() or p.poll() is not None, 60, "the file to be held")
    assert p.poll() is None, "retener.exe could not open " + path
    return p


def installed(f):
    return (entry(f["clave"]) is not None and all(services().values())
            and unix(f["raiz"] + "\\TurnaliaFree.exe").exists())


def full_installation(h, f):
    """The shared installation, made again when another test changed the machine since."""
    inst = completa.installation()
    if not installed(f):
        remove_product(f)
        completa.forget()
        inst = completa.installation()
    assert inst["texts"]["lblFinalizacion"] == completa.SUCCESS, inst["texts"]
    assert installed(f)
    # From here on the machine holds no installation for the next test to share.
    h.on_close(completa.forget)
    h.on_close(lambda: remove_product(f))


def test_uninstall_after_full_installation(h):
    f = values(probe("-folders"))
    raiz, dbms = unix(f["raiz"]), unix(f["dbms"])
    full_installation(h, f)
    assert all(services().values())
    mine = processes("mysqld.exe")
    assert len(mine) == 1 and mine[0].lower().startswith(f["dbms"].lower() + "\\"), mine
    # Backups of earlier years, and a link to a folder outside the installation.
    (raiz / "BackUp" / "2023").mkdir(parents=True, exist_ok=True)
    for rel, data in (("BackUp/kvt_20240101.zip", b"PK copia"), ("BackUp/2023/KVT_2023.ZIP", b"PK vieja"),
                      ("BackUp/notas.txt", b"notas"), (".config/ajustes.ini", b"x" * 5000)):
        (raiz / rel).parent.mkdir(parents=True, exist_ok=True)
        (raiz / rel).write_bytes(data)
    fuera = unix("C:\\Fuera")
    fuera.mkdir(exist_ok=True)
    (fuera / "importante.txt").write_bytes(b"no borrar")
    os.symlink(fuera, raiz / "Informes" / "enlace")
    otro = foreign_mysqld(h)
    size = size_mb(raiz)
    # A report another program keeps open: it and its folder go at the next restart.
    abierto, mensual = f["raiz"] + "\\Informes\\Mensual\\resumen.txt", f["raiz"] + "\\Informes\\Mensual"
    antes = pending()
    retener = hold(h, abierto)
    if not antes:
        h.on_close(lambda: wine("reg", "delete", SESION, "/v", "PendingFileRenameOperations", "/f"))

    line = entry(f["clave"])
    assert line == '"' + f["windows"] + '\\TurnaliaFree\\uninstall.exe" kvt', line
    # System-program stand-ins beside the uninstaller and in its working folder, and the user's
    # ComSpec pointing at another: none of them may run.
    with completa.planted_system_programs(h, unix(f["windows"] + "\\TurnaliaFree"), h.dir / "trabajo") as started:
        exe, args = re.match(r'"([^"]+)"\s*(.*)', line).groups()
        run = h.run(*args.split(), exe=exe, cwd=h.dir / "trabajo", ms=600000)
        h.tfctl("wait-window", "60000")
    h.wait_visible("pnlDesinstalar")
    shown = {c["name"]: c for c in h.controls()}
    assert "disabled" in shown["btnDesinstalar"]["flags"]
    assert "unchecked" in shown["chkKVTDesinstalar"]["flags"]
    assert "lblQVSizeDesinstalar" not in shown and "lblQVDirDesinstalar" not in shown
    assert h.tfctl("text", "lblQVDirDesinstalar") == f["raiz"]
    shown_size = h.tfctl("text", "lblQVSizeDesinstalar")
    assert re.fullmatch(r"\d+[.,]\d MB", shown_size), shown_size
    assert shown_size[:-3].replace(",", ".") == f"{size:.1f}", (shown_size, size)
    h.screenshot("9_pnlDesinstalar_instalado")
    h.tfctl("check", CONFIRMAR, "on")
    assert "disabled" not in {c["name"]: c for c in h.controls()}["btnDesinstalar"]["flags"]
    h.tfctl("click", "Continuar")
    h.tfctl("wait-text", EXITO, "180000")
    assert h.tfctl("text", "lblFinalizacion1") == EXITO1
    assert h.tfctl("text", "lblFinalizacion2") == REINICIO
    h.screenshot("10_desinstalado")
    h.tfctl("close")
    code, windows = run.wait()
    assert code == REBOOT_REQUIRED and len(windows) == 1, (code, windows)
    assert pending() == antes + ["\\??\\" + abierto, "", "\\??\\" + mensual, ""], pending()
    os.killpg(retener.pid, signal.SIGKILL)
    retener.wait(timeout=30)

    # Services gone (KVTDB by the system's own "sc delete") and their programs ended; the other
    # product's server still runs.
    assert started() == []
    wait_until(lambda: not any(services().values()), 60, "the services to go")
    assert processes("mysqld.exe") == ["C:\\Otro\\mysqld.exe"]
    assert otro.poll() is None
    assert processes("KVT_service.exe") == [] and processes("KVT_zkteco.exe") == []
    # The database server was stopped through its service, not killed, before its entry went.
    server_log = (dbms / "data" / "mysqld.log").read_text("utf-8", "replace")
    assert "stop requested" in server_log, server_log[-2000:]
    # The folder keeps only the backups and the folders on their way, the file held open, plus,
    # under Wine, a link it cannot remove (Wine cannot unlink a link to a non-empty folder) and
    # that link's folder, which is then no folder of files in use only.
    left = files_left(raiz)
    assert [q for q in left if q != "Informes/enlace"] == [
        "BackUp/2023/KVT_2023.ZIP", "BackUp/kvt_20240101.zip", "Informes/Mensual/resumen.txt"], left
    assert (fuera / "importante.txt").read_bytes() == b"no borrar"
    # Entry and shortcuts gone; the uninstaller and the database kept.
    assert entry(f["clave"]) is None
    assert not unix(f["escritorio"] + "\\Turnalia Free.lnk").exists()
    assert not unix(f["programas"] + "\\TurnaliaFree").exists()
    assert unix(f["windows"] + "\\TurnaliaFree\\uninstall.exe").exists()
    assert (dbms / "data" / "turnaliafree").is_dir() and (dbms / "bin" / "mysqld.exe").exists()
    log = uninstall_log(f)
    for expected in ("El servicio KVTDB está instalado", "El servicio srvKVT_service está instalado",
                     "El servicio srvKVT_zkteco está instalado"):
        assert expected in log, expected
    assert any(re.fullmatch(r"No se finaliza el proceso C:\\Otro\\mysqld\.exe \(\d+\): no pertenece a .*", x)
               for x in log), log
    assert "El servicio KVTDB no se ha detenido" not in log
    at = log.index("No se pudó eliminar el archivo " + abierto)
    assert log[at + 1:at + 3] == ["El archivo " + abierto + " está en uso, se eliminará al reiniciar el equipo",
                                  "El directorio " + mensual + " se eliminará al reiniciar el equipo"], log[at:at + 3]

    # Started again, as the "Desinstalar" shortcut starts it (no argument): nothing to uninstall.
    p = start_uninstaller(h, '"' + f["windows"] + '\\TurnaliaFree\\uninstall.exe"')
    h.wait_visible("pnlFinalizacion")
    assert h.tfctl("text", "lblFinalizacion") == NADA
    assert h.tfctl("text", "lblFinalizacion1") == NADA1
    h.tfctl("close")
    assert h.wait_exit(p, 60) == 0


def add_entry(f):
    wine("reg", "add", "HKLM\\" + f["clave"] + "TurnaliaFree.exe", "/v", "UninstallString", "/d",
         '"' + f["windows"] + '\\TurnaliaFree\\uninstall.exe" kvt', "/f")


def test_uninstaller_by_its_name_on_disk_and_a_product_folder_that_is_a_link(h):
    """Only the entry, the uninstaller and the product folder, a link to another folder: the file
    stored as uninstall.exe uninstalls however it is started, a copy stored as Uninstall.exe is
    the installer, and the link's target keeps its file."""
    f = values(probe("-folders"))
    remove_product(f)
    h.on_close(lambda: remove_product(f))
    folder = f["windows"] + "\\TurnaliaFree"
    unix(folder).mkdir(parents=True, exist_ok=True)
    shutil.copy(BUILD / "setup.exe", unix(folder + "\\uninstall.exe"))
    fuera = unix("C:\\Fuera")
    fuera.mkdir(exist_ok=True)
    (fuera / "importante.txt").write_bytes(b"no borrar")
    unix(f["raiz"]).parent.mkdir(parents=True, exist_ok=True)
    os.symlink(fuera, unix(f["raiz"]))
    add_entry(f)

    # The installer refuses the uninstaller's argument before it touches anything.
    assert h.run("kvt", "-silent", exe_name="Uninstall.exe").wait() == (INVALID_SWITCH, [])
    assert entry(f["clave"]) is not None

    short = probe("-short", folder + "\\uninstall.exe").strip()
    assert short.upper() != (folder + "\\uninstall.exe").upper(), short
    for started in (folder + "\\UNINSTALL.EXE", short):
        add_entry(f)
        assert h.run("kvt", "-silent", exe=started).wait() == (SUCCESS, []), started
        assert entry(f["clave"]) is None, started
        assert (fuera / "importante.txt").read_bytes() == b"no borrar"
