"""The LAN responder answers the installer's question as the product's server side would, as a
Windows program under Wine sees it: an empty broadcast to 255.255.255.255:8077 goes out on the
veth pair and comes back to the responder, whose answer reaches the asking socket. Then what
setup.exe asks at start-up: the "-ip" switch, the two-second wait, and a machine that cannot
broadcast at all."""
import subprocess
import time

from harness import BUILD, USER_EXIT, WINE, low_byte
from responder import Responder


def probe(out_file, *args):
    # Output through a file: a Wine helper started on the way can hold a pipe open past the exit.
    with open(out_file, "wb") as out:
        rc = subprocess.run([WINE, str(BUILD / "fixtures" / "udp_probe.exe"), *args], stdin=subprocess.DEVNULL,
                            stdout=out, stderr=subprocess.DEVNULL, timeout=60).returncode
    return rc, out_file.read_bytes().replace(b"\r\n", b"\n")


def test_responder_answers_a_broadcast_counts_it_and_can_stay_silent(h):
    name = "RECEPCIÓN-1"
    cases = [  # (mode, answer delay ms, probe's exit code, its output up to the sender's address)
        ("name", 0, 0, b"respuesta|" + name.encode("cp1252") + b"|"),
        ("empty", 0, 0, b"respuesta||"),
        ("silent", 0, 1, b"sin respuesta\n"),
        ("name", 1500, 1, b"sin respuesta\n"),  # after the asker stopped waiting
    ]
    for i, (mode, delay, code, output) in enumerate(cases):
        r = Responder(h.dir / str(i))
        h.on_close(r.stop)
        r.start(name=name, mode=mode, delay_ms=delay)
        assert r.count() == 0
        rc, out = probe(h.dir / f"probe{i}.out", "-ms", "1000")
        assert (rc, out[:len(output)]) == (code, output), (mode, delay, rc, out)
        assert r.wait_count(1) == 1, mode
        got = r.datagrams()[0]
        assert (got["to"], got["size"], got["answered"]) == ("255.255.255.255", 0, mode != "silent"), got
        r.stop()


# --- what setup.exe itself asks at start-up
SENTENCE = ("Se ha detectado una instalación de TurnaliaFree en el equipo {} de su Red Local, "
            "va a proceder a instalar el Software Ticador en el equipo actual.")
SEARCH_FAILED = "No se pudo buscar un servidor de TurnaliaFree en la Red Local: "


def messages(h):
    """The log's messages without their time stamps, as text."""
    return [line[26:].decode("cp1252") for line in h.log_lines()]


def stamps(h, starts):
    """Seconds of the day of the first log line whose message starts with `starts`."""
    import re
    for line in h.log_lines():
        if line[26:].decode("cp1252").startswith(starts):
            hh, mm, ss = map(int, re.match(rb"^    \[\d\d/\d\d/\d{4} (\d\d):(\d\d):(\d\d)\]", line).groups())
            return hh * 3600 + mm * 60 + ss
    raise AssertionError(f"no log line starting with {starts!r}")


def test_ip_switch_in_capitals_asks_nothing_and_keeps_the_name(h):
    r = Responder(h.dir / "responder")
    h.on_close(r.stop)
    r.start(name="SERVIDOR-PRUEBA")
    p = h.start_setup("-IP", "NOMBRE")
    h.tfctl("wait-window", "60000")
    h.wait_visible("pnlBienvenidaTicador")
    assert h.tfctl("text", "lblServidorDetectado") == SENTENCE.format("NOMBRE")
    time.sleep(1)  # the question, had there been one, went out before the window was made
    assert r.count() == 0
    h.tfctl("close")
    assert h.wait_exit(p, 60) == low_byte(USER_EXIT)


def test_without_answer_the_welcome_panel_follows_the_two_second_wait(h):
    waits = {}
    for mode in ("silent", "name"):
        r = Responder(h.dir / mode)
        h.on_close(r.stop)
        r.start(name="SERVIDOR-PRUEBA", mode=mode)
        p = h.start_setup()
        h.tfctl("wait-window", "60000")  # the window is made once the question is settled
        shown = time.time()
        h.wait_visible("pnlBienvenida" if mode == "silent" else "pnlBienvenidaTicador")
        assert r.wait_count(1) == 1, mode
        asked = r.datagrams()[0]
        assert (asked["to"], asked["size"]) == ("255.255.255.255", 0), asked
        waits[mode] = shown - asked["time"]
        h.tfctl("close")
        assert h.wait_exit(p, 60) == low_byte(USER_EXIT)
        r.stop()
        if mode == "silent":  # the same wait seen in the log, to the second
            gap = stamps(h, "Mostrando panel pnlBienvenida") - stamps(h, "Nombre de Equipo: ")
            assert 1 <= gap <= 3, gap
            assert not any(m.startswith(SEARCH_FAILED) for m in messages(h))
        h.log_path().unlink()
    print(f"       question to window: {waits['silent']:.2f} s unanswered, {waits['name']:.2f} s answered")
    assert 2.0 <= waits["silent"] < 6.0, waits
    assert waits["name"] < waits["silent"] - 1.5, waits


def test_offline_machine_opens_on_the_welcome_panel_without_a_box(h):
    # No interface can broadcast: the links of the sandbox's pair go down, and the default route
    # with them, for this test only; loopback stays.
    def links(state):
        for link in ("v0", "v1"):
            subprocess.run(["ip", "link", "set", link, state], check=True, timeout=10)
        if state == "up":
            subprocess.run(["ip", "route", "replace", "default", "via", "10.213.0.2"], check=True, timeout=10)
    links("down")
    h.on_close(lambda: links("up"))
    p = h.start_setup("-no_downloads")
    h.tfctl("wait-window", "60000")
    h.wait_visible("pnlBienvenida")
    assert h.msgbox(1500) is None
    h.tfctl("close")
    assert h.wait_exit(p, 60) == low_byte(USER_EXIT)
    failed = [m for m in messages(h) if m.startswith(SEARCH_FAILED)]
    assert len(failed) == 1 and len(failed[0]) > len(SEARCH_FAILED), failed
    assert "Mostrando panel pnlBienvenida ..." in messages(h)
    assert messages(h)[-1].endswith(" [no-downloads]")
    print(f"       logged: {failed[0]}")
