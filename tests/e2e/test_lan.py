"""The LAN responder answers the installer's question as the product's server side would, as a
Windows program under Wine sees it: an empty broadcast to 255.255.255.255:8077 goes out on the
veth pair and comes back to the responder, whose answer reaches the asking socket."""
import subprocess

from harness import BUILD, WINE
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
