"""The full installation under Wine, from the vendor test server, with the real database server
behind the stand-ins: what lands on the machine, what the vendor receives, and what a second
run does while the product's server runs or after it stopped."""
import binascii
import os
import re
import subprocess

import completa
from completa import derived_password, mariadb, product_id, service_state
from harness import BUILD, FAILURE, PREFIX, RUN_DIR, low_byte, wait_until
from test_desinstalacion import foreign_mysqld, probe, remove_product, values
from test_ticador import RECORDS, reg, unix, wine, read_link

REFUSED = "Ya existe una instalación de MySQL para TurnaliaFree en este Equipo, no es posible continuar"
WOW64 = "mingw-i686" in str(BUILD)  # a 32-bit program on this 64-bit prefix
UNINSTALL_ROOT = (r"HKLM\Software\Wow6432Node\Microsoft\Windows\CurrentVersion\Uninstall" if WOW64
                  else r"HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall")
ENVIRONMENT = r"HKLM\System\CurrentControlSet\Control\Session Manager\Environment"
TABLES = {"empleados", "turnos", "fichajes"}
NO_SERVER = "El servidor de base de datos no responde en 127.0.0.1:3307, instalación detenida !"


def exported(key):
    """The values of a registry key as reg export writes them (exact text): name -> value text."""
    out = RUN_DIR / "export.reg"
    out.unlink(missing_ok=True)
    rc, _ = wine("reg", "export", key, "Z:" + str(out).replace("/", "\\"), "/y")
    assert rc == 0, key
    text = re.sub(r"\\\r?\n\s*", "", out.read_bytes().decode("utf-16"))  # continued lines
    values = {}
    for m in re.finditer(r'^"([^"]+)"=(.*)$', text, re.M):
        v = m.group(2).strip()
        if v.startswith('"'):
            v = v[1:-1].replace("\\\\", "\\").replace('\\"', '"')
        elif v.startswith("hex(2):"):  # an expandable string: UTF-16 bytes with their terminator
            v = bytes(int(b, 16) for b in v[7:].split(",") if b).decode("utf-16-le").rstrip("\0")
        values[m.group(1)] = v
    return values


def path_entries():
    values = exported(ENVIRONMENT)
    path = next(v for k, v in values.items() if k.lower() == "path")
    assert not path.startswith("hex"), path
    return path.split(";")


def in_order(lines, wanted):
    """The wanted lines appear in lines in this order (others may come between)."""
    at = 0
    for w in wanted:
        assert w in lines[at:], f"{w!r} missing after line {at}"
        at = lines.index(w, at) + 1


def test_1_full_installation_lands_everything(h):
    inst = completa.installation()
    assert inst["texts"]["lblFinalizacion"] == completa.SUCCESS, inst["texts"]
    landed_everything(inst)


def landed_everything(inst):
    """What a full installation leaves (inst as completa.installation() gives it; texts unused)."""
    f = inst["folders"]
    root = f["programfiles"] + "\\TurnaliaFree"
    dbms = f["programfiles"] + "\\MySQL\\MariaDB 10.1"
    log = inst["log"]
    in_order(log, ["checkMySQL", "Comprobando servicios en ejecución ...", "Descargando librerías ...",
                   "Registering file biokey.ocx", "Registering file zkemkeeper.dll", "Registering file midas.dll",
                   "Downloading software TurnaliaFree", "Software TurnaliaFree downloaded successfully !",
                   "Install software TurnaliaFree", "check if DBMS file exists ...", "DBMS file exists !",
                   "expanding DBMS file ...", "DBMS file expanded successfully !", "DBMS managed successfully !",
                   "updating ini file ...", "ini file updated successfully !", "installing DBMS as service ...",
                   "Service successfully installed.", "starting DBMS ...", "DBMS started !",
                   "setting root password ...", "generating script database file ...",
                   "check if TurnaliaFree package file exists ...", "Application file exists !",
                   "Instaling utils service ...", "starting KVT service ...", "Instaling zkteco service ...",
                   "starting zkteco service ...", "Creating a Shortcut on the Desktop ...",
                   "Application Shortcut created on the Desktop", "Uninstall Shortcut created on the Windows Start Menu",
                   "Mostrando panel pnlFinalizacion ..."])
    assert not any(derived_password() in line for line in log)

    # The database server: configured, registered, running, with the password and the schema.
    ini = unix(dbms + "\\data\\my.ini").read_bytes().split(b"\r\n")
    assert ini[1] == ('datadir="' + dbms + '\\Data\\"').encode("cp1252"), ini[:3]
    temp = inst["dir"] / "Temp"
    assert not (temp / "dbms.zip").exists() and (temp / "TurnaliaFree.zip").exists()
    for service in ("KVTDB", "srvKVT_service", "srvKVT_zkteco"):
        assert service_state(service) == "RUNNING", service
    assert TABLES <= product_tables()
    rc, out = mariadb("-e", "SELECT 1", password="")
    assert rc != 0 and "Access denied" in out, out

    # The application, the utilities and their registrations, the uninstaller.
    assert unix(root + "\\TurnaliaFree.exe").exists() and unix(root + "\\Informes\\plantilla.txt").exists()
    for name in ("midas.dll", "zkemkeeper.dll", "biokey.ocx", "kvt_comun.dll"):
        assert unix(f["system"] + "\\" + name).exists(), name
    assert unix(root + "\\Utils\\kvt_utilidad.exe").exists()
    for name in ("midas.dll", "zkemkeeper.dll", "biokey.ocx"):
        record = RECORDS / f"{name}.txt"
        wait_until(lambda: record.exists() and b"DllRegisterServer|" in record.read_bytes(), 60, name)
        assert (f["system"] + "\\" + name).lower().encode() in record.read_bytes().lower(), name
    assert unix(f["windows"] + "\\TurnaliaFree\\uninstall.exe").read_bytes() == (BUILD / "setup.exe").read_bytes()

    # The installed-programs entry, in the view of the build that ran.
    values = exported(UNINSTALL_ROOT + "\\TurnaliaFree.exe")
    site = "https://" + os.environ["TF_VENDOR_HOST"]
    expected = {"DisplayName": "TurnaliaFree™ - Gestión de Turnos y Control de Presencia",
                "DisplayIcon": root + "\\TurnaliaFree.exe", "Publisher": "HALVEX CORPORATION",
                "URLInfoAbout": site, "HelpLink": site, "URLUpdateInfo": site,
                "NoModify": "dword:00000001", "NoRepair": "dword:00000001", "InstallLocation": root,
                "UninstallString": '"' + f["windows"] + '\\TurnaliaFree\\uninstall.exe" kvt',
                "QuietUninstallString": '"' + f["windows"] + '\\TurnaliaFree\\uninstall.exe" kvt -silent',
                "DisplayVersion": "19.04.002"}
    for name, value in expected.items():
        assert values.get(name) == value, (name, values.get(name))
    assert re.fullmatch(r"20\d{6}", values["InstallDate"]), values["InstallDate"]
    assert int(values["EstimatedSize"].split(":")[1], 16) > 0

    # The Path holds the Utils folder once; the shortcuts point where they should.
    assert [e.lower() for e in path_entries()].count((root + "\\Utils").lower()) == 1
    program = root + "\\TurnaliaFree.exe"
    app = [f"{program}|TurnaliaFree|{root}\\||{program}|0|0|1"]
    assert read_link(f["desktop"] + "\\Turnalia Free.lnk") == app
    assert read_link(f["programs"] + "\\TurnaliaFree\\TurnaliaFree.lnk") == app
    uninstaller = f["windows"] + "\\TurnaliaFree\\uninstall.exe"
    assert read_link(f["programs"] + "\\TurnaliaFree\\Desinstalar.lnk") == [
        f"{uninstaller}|Desinstalar|{f['windows']}\\TurnaliaFree\\||{uninstaller}|0|0|1"]

    # The vendor got the packages and, last, the installation report.
    posts = [q for q in inst["requests"] if q["method"] == "POST"]
    assert len(posts) == 1
    wid = binascii.crc32(product_id().encode("cp1252"))
    assert posts[0]["body"] == f"op=instalacion&version=19.04.002&wid={wid}".encode()
    headers = {k.lower(): v for k, v in posts[0]["headers"]}
    assert headers["content-type"] == "application/x-www-form-urlencoded"
    assert headers["user-agent"] == "FormPoster"
    assert inst["requests"][-1]["method"] == "POST"


def test_2_second_run_is_refused_while_the_products_server_runs(h):
    inst = completa.installation()
    f = inst["folders"]
    uninstaller = unix(f["windows"] + "\\TurnaliaFree\\uninstall.exe")
    before = (uninstaller.stat().st_mtime_ns, path_entries())
    v = completa.serve_packages(h)
    p, texts = completa.install(h, screenshots="i2")
    assert texts["lblFinalizacion2"] == REFUSED, texts
    h.tfctl("click", "Cerrar")
    assert h.wait_exit(p, 60) == low_byte(FAILURE)
    log = completa.messages_of(h.log_path())
    in_order(log, ["checkMySQL", "Comprobando servicios en ejecución ...", REFUSED])
    assert "Descargando librerías ..." not in log
    assert [q for q in v.requests() if q["method"] == "POST"] == []
    assert (uninstaller.stat().st_mtime_ns, path_entries()) == before
    assert not (h.dir / "Temp" / "dbms.zip").exists() and not (h.dir / "Temp" / "TurnaliaFree.zip").exists()
    assert service_state("KVTDB") == "RUNNING"


def product_tables():
    """The product database's tables as the product reaches them: root, derived password, 3307."""
    rc, out = mariadb("turnaliafree", "-N", "-e", "SHOW TABLES")
    return set(out.split()) if rc == 0 else out


def set_aside(dbms):
    backup = unix(dbms + "\\BackUp")
    return {d.name for d in backup.iterdir() if d.name.startswith("data_")} if backup.is_dir() else set()


def test_3_a_reinstallation_with_the_services_stopped_keeps_one_path_entry(h):
    inst = completa.installation()
    root = inst["folders"]["programfiles"] + "\\TurnaliaFree"
    completa.stop_services()  # as an administrator would before installing again
    v = completa.serve_packages(h)
    p, texts = completa.install(h)
    assert texts["lblFinalizacion"] == completa.SUCCESS, texts
    h.tfctl("click", "Cerrar")
    assert h.wait_exit(p, 60) == 0
    assert [e.lower() for e in path_entries()].count((root + "\\Utils").lower()) == 1
    assert service_state("KVTDB") == "RUNNING"
    assert len([q for q in v.requests() if q["method"] == "POST"]) == 1
    assert TABLES <= product_tables()
    # The earlier installation's data folder left the server's place whole, and was kept.
    dbms = unix(inst["folders"]["programfiles"] + "\\MySQL\\MariaDB 10.1")
    kept = [d for d in (dbms / "BackUp").iterdir() if d.name.startswith("data_")]
    assert len(kept) == 1 and (kept[0] / "ibdata1").exists(), kept
    assert any(p.suffix in (".frm", ".ibd") for p in (kept[0] / "turnaliafree").iterdir()), kept


def served(data, sql, port=3317):
    """sql's answer from Debian's MariaDB server started on a data folder, stopped by its PID."""
    run = RUN_DIR / "servido"
    run.mkdir(exist_ok=True)
    # Names unresolved, as the product's server runs: 127.0.0.1 is the account the password went to.
    server = subprocess.Popen(["/usr/sbin/mariadbd", "--no-defaults", "--user=root", f"--datadir={data}",
                               f"--port={port}", "--bind-address=127.0.0.1", "--skip-name-resolve",
                               f"--socket={run}/s.sock", f"--pid-file={run}/s.pid", f"--log-error={run}/error.log"],
                              stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    answer = []
    try:
        wait_until(lambda: server.poll() is not None or answer.append(mariadb("-N", "-e", sql, port=port))
                   or answer[-1][0] == 0, 60, "a server on the set-aside data folder")
    except AssertionError:
        pass  # the last answer says why
    finally:
        server.terminate()
        server.wait(timeout=90)
    return answer[-1][1].strip() if answer else None


def test_4_install_again_after_uninstalling_keeps_the_old_data_servable(h):
    f = completa.installation()["folders"]
    dbms = f["programfiles"] + "\\MySQL\\MariaDB 10.1"
    h.on_close(completa.forget)
    assert mariadb("turnaliafree", "-e", "INSERT INTO empleados (codigo, nombre, apellidos, fecha_alta) "
                   "VALUES ('E-42', 'Ana', 'Fila Anterior', '2024-01-15')")[0] == 0
    assert h.run("kvt", "-silent", exe=f["windows"] + "\\TurnaliaFree\\uninstall.exe", ms=300000).wait()[0] == 0
    wait_until(lambda: service_state("KVTDB") == "ABSENT", 60, "KVTDB to go")
    before = set_aside(dbms)
    v = completa.serve_packages(h)
    p, texts = completa.install(h)
    assert texts["lblFinalizacion"] == completa.SUCCESS, texts
    h.tfctl("click", "Cerrar")
    assert h.wait_exit(p, 60) == 0 and len([q for q in v.requests() if q["method"] == "POST"]) == 1
    # A fresh product database answers with the derived password; the kept one serves the row.
    assert TABLES <= product_tables()
    kept = set_aside(dbms) - before
    assert len(kept) == 1, kept
    sql = "SELECT apellidos FROM turnaliafree.empleados WHERE codigo = 'E-42'"
    assert mariadb("-N", "-e", sql) == (0, "")
    assert served(unix(dbms + "\\BackUp\\" + kept.pop()), sql) == "Fila Anterior"


def test_5_a_foreign_mysqld_and_no_server_on_3307_fail_the_run(h):
    """Another product's "mysqld.exe" runs, so KVTDB is neither registered nor started and
    nothing answers on 3307: the failure outcome, in the wizard and silently, and no report."""
    where = values(probe("-folders"))
    completa.forget()
    remove_product(where)
    h.on_close(completa.forget)
    h.on_close(lambda: remove_product(where))
    foreign_mysqld(h)
    v = completa.serve_packages(h)
    p, texts = completa.install(h)
    assert texts["lblFinalizacion2"] == NO_SERVER, texts
    h.tfctl("click", "Cerrar")
    assert h.wait_exit(p, 60) == low_byte(FAILURE)
    assert h.run("-silent", sub="silenciosa", ms=completa.INSTALL_MINUTES * 60000).wait() == (FAILURE, [])
    log = completa.messages_of(h.dir / "silenciosa" / h.log_path().name)
    in_order(log, ["Otro programa mysqld.exe estaba en ejecución: el servicio KVTDB no se registró ni se inició",
                   NO_SERVER, "Código de salida: 1603"])
    assert [q for q in v.requests() if q["method"] == "POST"] == []
