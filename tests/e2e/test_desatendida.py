"""Unattended runs as deployment tools start them (tfctl run: the whole exit code, and every
top-level window the program shows meanwhile): "-silent" installs and uninstalls without a
window, the log is the one record, and the exit codes tell the outcome; the wizard's own
endings and a second copy have their codes too."""
import datetime
import re

import completa
from harness import (ALREADY_RUNNING, FAILURE, INVALID_SWITCH, SUCCESS, USER_EXIT, wait_until)
from responder import Responder
from test_completa import in_order, landed_everything
from test_desinstalacion import entry, files_left, probe, processes, remove_product, services, uninstall_log, values
from test_ticador import folders, product_folders_removed, read_link, serve_packages, unix, wine

TITLE = "TurnaliaFree™ - Instalador"
MODE = "Instalación desatendida (-silent): sin ventana"
UNINSTALL_MODE = "Desinstalación desatendida (-silent): sin ventana"
LICENCE = "Condiciones de Uso y Política de Privacidad aceptadas con la opción -silent"
ANOTHER = ("Ya se está ejecutando otra copia del instalador o del desinstalador de TurnaliaFree. "
           "Espere a que termine antes de volver a empezar.")
DBMS_MISSING = "Fichero DBMS no fue descargado, instalación detenida !"
MAIN_WINDOW = "TurnaliaFreeSetupWindow|TurnaliaFree™ - Software de Instalación v2.3"
BOX = "#32770|" + TITLE
INSTALL_MS = completa.INSTALL_MINUTES * 60000


def exit_line(code):
    return f"Código de salida: {code}"


def log_of(folder, stem="setup"):
    path = folder / f"{stem}_{datetime.date.today():%d%m%y}.log"
    return completa.messages_of(path) if path.exists() else []


def test_1_unknown_switch_and_help(h):
    assert h.run("-silent", "-quiet", "-no_downloads").wait() == (INVALID_SWITCH, [])
    assert log_of(h.dir) == ["Opción desconocida: -quiet", exit_line(INVALID_SWITCH)]
    # Out of place, -ip would be dropped and the wrong installation made: refused as well.
    assert h.run("-silent", "-ip", "SERVIDOR", sub="ip").wait() == (INVALID_SWITCH, [])
    assert log_of(h.dir / "ip")[0] == "La opción -ip debe ser la primera, seguida del nombre del servidor"

    # Deployment tools' spelling: "/" for the program's own switches.
    assert h.run("/SILENT", "/?", sub="ayuda").wait() == (SUCCESS, [])
    help_line, last = log_of(h.dir / "ayuda")
    assert help_line.startswith(TITLE + ": Uso: setup.exe") and "1618: ya se está ejecutando" in help_line, help_line
    assert last == exit_line(SUCCESS)

    # The wizard shows the help in a box of its own, before any window.
    r = h.run("-HELP", sub="caja")
    box = h.msgbox(60000)
    assert box and box[0] == TITLE and box[1].startswith("Uso: setup.exe [opciones]"), box
    for switch in ("-silent", "-no_desktop_shortcut", "-no_startmenu_shortcut", "-no_downloads", "-ip", "-full",
                   "-log", "-m"):
        assert "\n" + switch in box[1], switch
    for code in (0, 87, 1602, 1603, 1618):
        assert f"\n{code}: " in box[1], code
    assert r.wait() == (SUCCESS, [BOX])

    # A log file that cannot be made is refused before anything runs; there is no other log, so
    # the reason goes to the one beside the program.
    (h.dir / "fichero").write_bytes(b"no es una carpeta")
    bad = h.win_dir + "\\fichero\\Registros\\instalacion.log"
    assert h.run("-silent", "/LOG", bad, sub="log").wait() == (INVALID_SWITCH, [])
    assert log_of(h.dir / "log") == [f"No fue posible o no tiene privilegios para crear el directorio {h.win_dir}"
                                     "\\fichero\\Registros !", exit_line(INVALID_SWITCH)]


def test_2_second_copy_exits_1618_and_the_wizard_closed_on_welcome_1602(h):
    first = h.run(sub="primera")
    h.tfctl("wait-window", "60000")
    h.wait_visible("pnlBienvenida")
    # Silent second copies, as setup.exe and as the uninstaller from other folders: only an exit
    # and one log line.
    assert h.run("-silent", sub="otra").wait() == (ALREADY_RUNNING, [])
    assert log_of(h.dir / "otra") == [ANOTHER + " " + exit_line(ALREADY_RUNNING)]
    assert h.run("kvt", "-silent", exe_name="uninstall.exe", sub="desinstalar").wait() == (ALREADY_RUNNING, [])
    # Started by a double click: a box says so, no window of its own, and the first window
    # comes back to the front.
    h.tfctl("minimize")
    state = h.tfctl("state")
    assert state.startswith("yes|"), state
    second = h.run(sub="doble")
    assert h.msgbox(60000) == (TITLE, ANOTHER)
    assert second.wait() == (ALREADY_RUNNING, [BOX])
    assert log_of(h.dir / "doble") == [ANOTHER + " " + exit_line(ALREADY_RUNNING)]
    state = h.tfctl("state")
    assert state == "no|yes\n", state
    assert h.visible("pnlBienvenida")

    h.tfctl("close")
    assert first.wait() == (USER_EXIT, [MAIN_WINDOW])
    assert log_of(h.dir / "primera")[-1].startswith("Finalizando ejecución ")
    # The lock went with the first copy.
    assert h.run("-silent", "-quiet", sub="despues").wait()[0] == INVALID_SWITCH


def test_3_database_package_404_exits_1603_with_the_message_in_the_log(h):
    product_folders_removed(h, folders())
    v = serve_packages(h)
    v.set_faults({"/version/packages/dbms.zip": {"status": 404}})
    assert h.run("-silent", ms=INSTALL_MS).wait() == (FAILURE, [])
    log = log_of(h.dir)
    in_order(log, ["Mostrando panel pnlBienvenida ...", MODE, LICENCE, "Mostrando panel pnlProgreso ...",
                   DBMS_MISSING, "Mostrando panel pnlFinalizacion ...", exit_line(FAILURE),
                   "Eliminando directorio temporal ... "])
    assert any(line.startswith("Cannot download update file : ") and line.endswith("\rUpdate discontinued")
               for line in log), log
    assert log[-1].startswith("Finalizando ejecución ")
    assert [q for q in v.requests() if q["method"] == "POST"] == []


def test_4_client_road_without_the_desktop_link(h):
    f = folders()
    product_folders_removed(h, f)
    serve_packages(h)
    assert h.run("-ip", "SERVIDOR-PRUEBA", "-silent", "-no_desktop_shortcut", ms=INSTALL_MS).wait() == (SUCCESS, [])
    install = f["programfiles"] + "\\TurnaliaFree"
    assert unix(install + "\\kvt_ticador.exe").exists()
    assert not unix(f["desktop"] + "\\Software Ticador.lnk").exists()
    program = install + "\\kvt_ticador.exe"
    assert read_link(f["programs"] + "\\TurnaliaFree\\Software Ticador.lnk") == [
        f"{program}|Software Ticador|{install}\\||{program}|0|0|1"]
    log = log_of(h.dir)
    in_order(log, [MODE, LICENCE, "Mostrando panel pnlProgreso ...", "Mostrando panel pnlFinalizacion ...",
                   exit_line(SUCCESS)])
    assert "Creating a Shortcut on the Desktop ..." not in log


def test_5_silent_full_installation_with_its_own_log_then_the_entrys_quiet_uninstall(h):
    where = values(probe("-folders"))
    completa.forget()
    remove_product(where)  # a machine without the product, whatever ran before
    h.on_close(completa.forget)
    h.on_close(lambda: remove_product(where))
    f = folders()
    v = serve_packages(h)
    # A second server being rolled out while the first answers on the LAN: "-full" keeps the
    # full installation; the log goes where the deployment tool asked, its folder made.
    lan = Responder(h.dir / "responder")
    h.on_close(lan.stop)
    lan.start(name="SERVIDOR-LAN")
    log_file = unix("C:\\Registros\\instalacion.log")  # a folder the prefix does not have

    run = h.run("-silent", "-full", "-log", "C:\\Registros\\instalacion.log", ms=INSTALL_MS)
    # A second copy while the first installs, from another folder.
    wait_until(lambda: log_file.exists() and "Mostrando panel pnlProgreso ..." in completa.messages_of(log_file),
               120, "the installation to start")
    assert h.run("-silent", sub="segunda").wait() == (ALREADY_RUNNING, [])
    assert run.wait() == (SUCCESS, [])
    assert lan.count() >= 1

    # What lands is what the wizard's installation lands; the log beside setup.exe is not written.
    assert not h.log_path().exists()
    log = completa.messages_of(log_file)
    assert log[:2] == ["*" * 87, MAIN_WINDOW.split("|")[1]]
    assert ("Se ha detectado una instalación de TurnaliaFree en el equipo SERVIDOR-LAN de su Red Local: "
            "se realiza la instalación completa (-full)") in log
    landed_everything({"folders": f, "dir": h.dir, "requests": v.requests(), "log": log})
    # Its log: the wizard's lines without the pages a person walks, plus mode, licence and code.
    assert [m for m in log if m.startswith("Mostrando panel")] == [
        "Mostrando panel pnlBienvenida ...", "Mostrando panel pnlProgreso ...", "Mostrando panel pnlFinalizacion ..."]
    at = log.index("Mostrando panel pnlBienvenida ...")
    assert log[at + 1:at + 3] == [MODE, LICENCE]
    assert log[-3:-1] == [exit_line(SUCCESS), "Eliminando directorio temporal ... "]
    assert log[-1].startswith("Finalizando ejecución ")
    assert sum(1 for m in log if m in (MODE, LICENCE) or m.startswith("Código de salida")) == 3

    # The uninstaller as deployment tools start it: the entry's QuietUninstallString.
    backup = unix(where["raiz"] + "\\BackUp\\kvt_20240101.zip")
    backup.write_bytes(b"PK copia")
    quiet = quiet_uninstall_string(where["clave"])
    assert quiet == '"' + where["windows"] + '\\TurnaliaFree\\uninstall.exe" kvt -silent', quiet
    exe, args = quiet[1:quiet.index('"', 1)], quiet[quiet.index('"', 1) + 1:].split()
    assert h.run(*args, exe=exe, ms=300000).wait() == (SUCCESS, [])

    wait_until(lambda: not any(services().values()), 60, "the services to go")
    assert processes("KVT_service.exe") == [] and processes("KVT_zkteco.exe") == []
    assert not [p for p in processes("mysqld.exe") if p.lower().startswith(where["dbms"].lower())]
    assert files_left(unix(where["raiz"])) == ["BackUp/kvt_20240101.zip"]
    assert entry(where["clave"]) is None
    assert not unix(where["escritorio"] + "\\Turnalia Free.lnk").exists()
    assert not unix(where["programas"] + "\\TurnaliaFree").exists()
    assert unix(where["windows"] + "\\TurnaliaFree\\uninstall.exe").exists()
    assert unix(where["dbms"] + "\\data\\turnaliafree").is_dir()
    log = uninstall_log(where)
    in_order(log, ["Mostrando panel pnlDesinstalar ...", UNINSTALL_MODE, "El servicio KVTDB está instalado",
                   "El servicio srvKVT_service está instalado", "El servicio srvKVT_zkteco está instalado",
                   "Mostrando panel pnlFinalizacion ...", exit_line(SUCCESS)])
    assert LICENCE not in log

    # Again, with nothing left to uninstall: still a success, logged relative to the working folder.
    assert h.run(*args, "-log", "registros\\desinstalacion.log", exe=exe).wait() == (SUCCESS, [])
    assert completa.messages_of(h.dir / "registros" / "desinstalacion.log")[-3] == exit_line(SUCCESS)
    assert uninstall_log(where) == log


def quiet_uninstall_string(key):
    rc, out = wine("reg", "query", "HKLM\\" + key + "TurnaliaFree.exe", "/v", "QuietUninstallString")
    m = re.search(r"QuietUninstallString\s+REG_SZ\s+(.*)", out)
    return m.group(1).strip() if rc == 0 and m else None
