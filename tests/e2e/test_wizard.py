"""The wizard driven through its window: licence, options, proxy, failures, keyboard, and a screenshot
of every panel (build/screenshots/)."""
import re

import vendor
from harness import USER_EXIT, low_byte

LICENCIA = ("ACUERDO DE LICENCIA DE USUARIO FINAL\r\n"
            "Cláusula única: TurnaliaFree se cede para la gestión de turnos; "
            "el usuario acepta la Política de Privacidad. Año 2024, señal €.\r\n")
ATENCION = "Instalación TurnaliaFree - Atención"
AVISO = "Debe aceptar las Condiciones de Uso y la Política de Privacidad antes de continuar"
TITULO_APLICACION = "TurnaliaFree™ - Instalador"


def serve_licence(h, faults=None):
    """The vendor test server with the agreement under /version/; stopped when the test ends."""
    v = vendor.Vendor(h.dir.parent / (h.dir.name + "_vendor"))
    (v.docroot / "version").mkdir(parents=True, exist_ok=True)
    (v.docroot / "version" / "Licencia_KVT.txt").write_bytes(LICENCIA.encode("cp1252"))
    if faults:
        v.faults.parent.mkdir(parents=True, exist_ok=True)
        v.set_faults(faults)
    v.start()
    h.on_close(v.stop)
    return v


def licence_requests(v):
    return [r for r in v.requests() if r["path"] == "/version/Licencia_KVT.txt"]


def messages(h, exe_name="setup.exe"):
    out = []
    for line in h.log_lines(exe_name):
        m = re.match(rb"^    \[[^\]]*\] (.*)$", line, re.S)
        out.append(m.group(1).decode("cp1252") if m else "")
    return out


def test_licence_options_and_back_without_second_download(h):
    v = serve_licence(h)
    p = h.start_setup()
    h.tfctl("wait-window", "60000")
    h.wait_visible("pnlBienvenida")
    h.screenshot("1_pnlBienvenida")
    h.tfctl("click", "Avanzar")
    h.wait_visible("pnlLicencia")
    assert h.tfctl("text", "txtLicencia") == LICENCIA.replace("\r\n", "\n")
    h.screenshot("3_pnlLicencia")
    shown = {c["name"]: c for c in h.controls()}
    assert "pnlBienvenida" not in shown and "ProgressBar1" not in shown
    assert "unchecked" in shown["chkAceptarCondiciones"]["flags"]

    h.tfctl("click", "Aceptar")
    assert h.msgbox() == (ATENCION, AVISO)
    assert h.visible("pnlLicencia")

    h.tfctl("check", "He leído y acepto las Condiciones de Uso y en especial la Política de Privacidad", "on")
    h.tfctl("click", "Aceptar")
    h.wait_visible("pnlOpciones")
    h.tfctl("wait-text", "Opciones", "5000")
    shown = {c["name"]: c for c in h.controls()}
    assert shown["lblDirectorioRaizInstalacion"]["text"].endswith("\\TurnaliaFree")
    assert "checked" in shown["chkCreateDesktopShortcut"]["flags"]
    assert "lblCambiarMirror" not in shown
    h.screenshot("5_pnlOpciones")

    h.tfctl("click", "Retroceder")
    h.wait_visible("pnlLicencia")
    h.tfctl("click", "Retroceder")
    h.wait_visible("pnlBienvenida")
    # With the file gone, a second load would fail: the text already shown is kept instead.
    (h.dir / "Temp" / "Licencia_KVT.txt").unlink()
    h.tfctl("key", "enter")  # Enter presses "Avanzar"
    h.wait_visible("pnlLicencia")
    assert h.msgbox(1500) is None
    assert h.tfctl("text", "txtLicencia") == LICENCIA.replace("\r\n", "\n")

    h.tfctl("key", "esc")  # Esc is "Rechazar": the program ends
    assert h.wait_exit(p, 60) == low_byte(USER_EXIT)
    got = licence_requests(v)
    assert len(got) == 1 and got[0]["method"] == "GET", got
    log = messages(h)
    assert [m for m in log if m.startswith("Mostrando panel")] == [
        "Mostrando panel pnlBienvenida ...", "Mostrando panel pnlLicencia ...", "Mostrando panel pnlOpciones ...",
        "Mostrando panel pnlLicencia ...", "Mostrando panel pnlBienvenida ...", "Mostrando panel pnlLicencia ..."]
    assert log[-1].startswith("Finalizando ejecución ")


def test_proxy_panel_from_client_welcome_closes_to_welcome(h):
    p = h.start_setup("-ip", "SERVIDOR1")
    h.tfctl("wait-window", "60000")
    h.wait_visible("pnlBienvenidaTicador")
    assert any("SERVIDOR1 de su Red Local" in c["text"] for c in h.controls())
    h.screenshot("2_pnlBienvenidaTicador")
    h.tfctl("click", "Configuración Proxy")
    h.wait_visible("pnlProxy")
    h.tfctl("type", "txtProxyServidor", "10.0.0.1")
    h.tfctl("type", "txtProxyPuerto", "8080")
    h.tfctl("type", "txtProxyUsuario", "usuario")
    h.tfctl("type", "txtProxyPassword", "contraseña")
    shown = {c["name"]: c for c in h.controls()}
    assert shown["txtProxyServidor"]["text"] == "10.0.0.1"
    assert shown["txtProxyPassword"]["text"] == "contraseña"  # not masked
    h.screenshot("4_pnlProxy")
    h.tfctl("click", "Cerrar")
    h.wait_visible("pnlBienvenida")
    assert not h.visible("pnlProxy")
    h.tfctl("click", "Salir")
    assert h.wait_exit(p, 60) == low_byte(USER_EXIT)


def test_licence_404_shows_error_and_welcome_stays(h):
    v = serve_licence(h, {"/version/Licencia_KVT.txt": {"status": 404}})
    p = h.start_setup()
    h.tfctl("wait-window", "60000")
    h.wait_visible("pnlBienvenida")
    h.tfctl("click", "Avanzar")
    box = h.msgbox(30000)
    assert box == (TITULO_APLICACION,
                   "No se puede abrir el archivo " + h.win_dir + "/Temp/Licencia_KVT.txt."), box
    shown = {c["name"] for c in h.controls()}
    assert "pnlBienvenida" in shown and "pnlLicencia" not in shown
    assert "ProgressBar1" not in shown
    assert not (h.dir / "Temp" / "Licencia_KVT.txt").exists()
    # The user can try again once the server delivers the file.
    v.set_faults({})
    h.tfctl("click", "Avanzar")
    h.wait_visible("pnlLicencia")
    assert h.tfctl("text", "txtLicencia") == LICENCIA.replace("\r\n", "\n")
    assert [r["status"] for r in licence_requests(v)] == [404, 200]
    h.tfctl("close")
    assert h.wait_exit(p, 60) == low_byte(USER_EXIT)


def test_screenshots_of_the_other_panels(h):
    # The uninstaller with nothing installed shows the outcome panel, no tab lit.
    p = h.start_setup(exe_name="uninstall.exe")
    h.tfctl("wait-window", "60000")
    h.wait_visible("pnlFinalizacion")
    h.screenshot("6_pnlFinalizacion")
    h.tfctl("close")
    assert h.wait_exit(p, 60) == 0
    # Pages reached only during an installation: the same form and view, shown by a developer tool.
    for panel, extra, shot in (("pnlProgreso", (), "7_pnlProgreso"),
                               ("pnlFinalizacion", ("alerta",), "6b_pnlFinalizacion_error"),
                               ("pnlInformeErrores", ("alerta",), "8_pnlInformeErrores"),
                               ("pnlDesinstalar", (), "9_pnlDesinstalar")):
        t = h.start_tool("tfpaneles", panel, *extra)
        h.tfctl("wait-window", "60000")
        h.wait_visible(panel)
        if panel == "pnlProgreso":
            bar = next(c for c in h.controls() if c["name"] == "ProgressBar2")
            assert "pos=45/100" in bar["flags"]
            assert h.tfctl("text", "lblProgresoInstalacion") == "45% completado"
        if extra:
            assert h.tfctl("text", "lblFinalizacion2") == "Fichero dbms.zip no descargado, instalación detenida !"
        if panel == "pnlInformeErrores":
            assert "Fichero dbms.zip no descargado" in h.tfctl("text", "txtLogError")
        h.screenshot(shot)
        h.tfctl("close")
        assert h.wait_exit(t, 60) == 0
