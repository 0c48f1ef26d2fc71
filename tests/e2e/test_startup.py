"""setup.exe starts, writes its log header and probes, and logs its end when closed."""
import re

from harness import USER_EXIT, low_byte

CAPTION = "TurnaliaFree™ - Software de Instalación v2.3".encode("cp1252")


def message(line):
    m = re.match(rb"^    \[\d\d/\d\d/\d{4} \d\d:\d\d:\d\d\] (.*)$", line, re.S)
    assert m, line
    return m.group(1)


def test_no_downloads_start_and_close(h):
    p = h.start_setup("-no_downloads")
    h.tfctl("wait-window", "60000")
    h.tfctl("close")
    assert h.wait_exit(p, 60) == low_byte(USER_EXIT)
    lines = h.log_lines()
    assert message(lines[0]) == b"*" * 87, lines[0]
    assert lines[0].startswith(b"    [")
    assert message(lines[1]) == CAPTION
    assert message(lines[2]) and not message(lines[2]).endswith(b" MB RAM")  # the processor's name
    assert message(lines[3]).endswith(b" MB RAM") and re.match(rb"^\d+ MB RAM$", message(lines[3]))
    assert message(lines[4]).startswith(b"Nombre de Equipo: ") and len(message(lines[4])) > 18
    assert b"Mostrando panel pnlBienvenida ..." in [message(l) for l in lines]
    assert message(lines[-2]) == b"Eliminando directorio temporal ... "
    assert message(lines[-1]) == "Finalizando ejecución ".encode("cp1252") + CAPTION + b" [no-downloads]"


def test_dll_planted_beside_setup_is_not_loaded(h):
    # DLLs that Wine loads from the program's folder when asked by name; ours restricts loading
    # to the system folder, so none of them may run, also once the licence download has loaded
    # the Internet library.
    import shutil
    import subprocess
    from harness import BUILD, WINE
    names = ("dwmapi.dll", "uxtheme.dll", "userenv.dll", "propsys.dll", "profapi.dll", "cryptbase.dll",
             "version.dll", "wininet.dll", "iphlpapi.dll")

    # The mechanism: a program without the restriction loads a planted copy from its own folder;
    # with the restriction setup.exe applies at entry, the same load takes the system's copy.
    for restricted in (False, True):
        folder = h.dir / ("restricted" if restricted else "control")
        folder.mkdir()
        shutil.copy(BUILD / "fixtures" / "load_by_name.exe", folder / "load_by_name.exe")
        shutil.copy(BUILD / "fixtures" / "planted.dll", folder / "dwmapi.dll")
        args = ["--restricted"] if restricted else []
        subprocess.run([WINE, str(folder / "load_by_name.exe"), *args, "dwmapi.dll"], timeout=60,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        assert (folder / "PLANTED_DLL_LOADED").exists() != restricted, folder

    for name in names:
        shutil.copy(BUILD / "fixtures" / "planted.dll", h.dir / name)
    p = h.start_setup("-no_downloads")
    h.tfctl("wait-window", "60000")
    h.tfctl("click", "Avanzar")  # loads the Internet library; no server answers here
    h.msgbox(30000)
    h.tfctl("close")
    assert h.wait_exit(p, 60) == low_byte(USER_EXIT)
    assert message(h.log_lines()[-1]).startswith("Finalizando ejecución ".encode("cp1252"))
    assert not (h.dir / "PLANTED_DLL_LOADED").exists()
