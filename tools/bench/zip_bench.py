#!/usr/bin/env python3
"""Extraction benchmark: tfzip against `unzip -q` and `bsdtar -xf` on the same archive.

make ARCHIVE           writes the archive (2,000 entries, about 300 MiB of mixed content)
make-single ARCHIVE    writes an archive of one deflated entry of 300 MiB
run ARCHIVE TFZIP PEAKRSS OUT GOAL
                       extracts it with each tool in turn, several rounds, and prints the best
                       and median times, tfzip's time as a ratio of each, the peak resident
                       memory and the machine's load; GOAL is the ratio to bsdtar to stay under
"""
import os
import random
import shutil
import statistics
import subprocess
import sys
import time
import zipfile

ROUNDS = 7
ENTRIES = 2000
TOTAL = 300 << 20


def material(rnd):
    words = [b"turno", b"fichaje", b"empleado", b"horario", b"presencia", b"calendario", b"entrada",
             b"salida", b"incidencia", b"departamento", b"2024-12-08", b"10:31:04", b"\r\n"]
    text = b" ".join(rnd.choice(words) + str(rnd.randrange(1000)).encode() for _ in range(800000))
    records = b"".join(b"REG;%06d;%s;OK;0000;\r\n" % (i % 5000, rnd.choice(words)) for i in range(200000))
    return words, text, records


def make(path):
    rnd = random.Random(2024)
    words, text, records = material(rnd)
    # Sizes spread from a few hundred bytes to several MiB, scaled to the total.
    sizes = [int(rnd.lognormvariate(10.5, 1.4)) + 100 for _ in range(ENTRIES)]
    scale = TOTAL / sum(sizes)
    sizes = [max(1, int(s * scale)) for s in sizes]
    tmp = path + ".part"
    with zipfile.ZipFile(tmp, "w", compresslevel=6) as z:
        for i, size in enumerate(sizes):
            kind = i % 3
            folder = "carpeta%02d/sub%d" % (i % 40, i % 3)
            if kind == 0:  # already compressed (images, archives): stored, as zip does
                name, data, method = "%s/binario%04d.dat" % (folder, i), rnd.randbytes(size), zipfile.ZIP_STORED
            elif kind == 1:  # text
                start = rnd.randrange(len(text) - 1)
                data = (text[start:] + text)[:size]
                name, method = "%s/texto%04d.txt" % (folder, i), zipfile.ZIP_DEFLATED
            else:  # very repetitive records
                start = rnd.randrange(len(records) - 1)
                data = (records[start:] + records * (1 + size // len(records)))[:size]
                name, method = "%s/datos%04d.csv" % (folder, i), zipfile.ZIP_DEFLATED
            z.writestr(zipfile.ZipInfo(name, date_time=(2024, 12, 8, 10, 31, 4)), data, compress_type=method)
    os.replace(tmp, path)


def make_single(path):
    """One entry: a database dump of text and records, 300 MiB, deflated."""
    rnd = random.Random(2025)
    _, text, records = material(rnd)
    tmp = path + ".part"
    info = zipfile.ZipInfo("mysql/data/volcado.sql", date_time=(2024, 12, 8, 10, 31, 4))
    info.compress_type = zipfile.ZIP_DEFLATED
    with zipfile.ZipFile(tmp, "w", compresslevel=6) as z:
        with z.open(info, "w", force_zip64=True) as w:
            left = TOTAL
            while left > 0:
                block = text if rnd.random() < 0.5 else records
                start = rnd.randrange(len(block) // 2)
                piece = block[start:start + min(left, rnd.randrange(1 << 16, 1 << 20))]
                w.write(piece)
                left -= len(piece)
    os.replace(tmp, path)


def timed(peakrss, cmd):
    """Wall seconds, CPU seconds and peak resident set (KiB) of one command."""
    proc = subprocess.run([peakrss] + cmd, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)
    if proc.returncode != 0:
        sys.exit("failed: %s\n%s" % (" ".join(cmd), proc.stderr))
    wall, cpu, rss = proc.stderr.split()[-3:]
    return float(wall), float(cpu), int(rss)


def run(archive, tfzip, peakrss, out, goal):
    goal = float(goal)
    load_before = os.getloadavg()
    tools = {
        "tfzip": lambda d: [tfzip, "extract", archive, d],
        "unzip -q": lambda d: ["unzip", "-q", archive, "-d", d],
        "bsdtar -xf": lambda d: ["bsdtar", "-xf", archive, "-C", d],
    }
    with open(archive, "rb") as f:  # the archive in the page cache for everyone
        while f.read(1 << 24):
            pass
    times = {k: [] for k in tools}
    cpus = {k: [] for k in tools}
    rss = {k: 0 for k in tools}
    for _ in range(ROUNDS):
        for name, cmd in tools.items():
            d = os.path.join(out, name.split()[0])
            shutil.rmtree(d, ignore_errors=True)
            os.makedirs(d)
            t, c, r = timed(peakrss, cmd(d))
            times[name].append(t)
            cpus[name].append(c)
            rss[name] = max(rss[name], r)
    # Same files, same bytes as unzip.
    diff = subprocess.run(["diff", "-rq", os.path.join(out, "tfzip"), os.path.join(out, "unzip")],
                          stdout=subprocess.PIPE, text=True)
    if diff.returncode != 0:
        sys.exit("tfzip output differs from unzip:\n" + diff.stdout[:2000])
    shutil.rmtree(out, ignore_errors=True)

    load_after = os.getloadavg()
    with zipfile.ZipFile(archive) as z:
        infos = z.infolist()
    size = os.path.getsize(archive)
    print("archive %s: %d entries, %.0f MiB (%.0f MiB extracted); %d interleaved rounds"
          % (os.path.basename(archive), len(infos), size / 2**20, sum(i.file_size for i in infos) / 2**20, ROUNDS))
    print("  load average (1 min) %.2f before, %.2f after, on %d cores"
          % (load_before[0], load_after[0], os.cpu_count()))
    # The best round is the one least disturbed by other work on the machine; the median and
    # the CPU time (user + system) are shown beside it.
    best = {k: min(v) for k, v in times.items()}
    med = {k: statistics.median(v) for k, v in times.items()}
    cpu = {k: min(v) for k, v in cpus.items()}
    for name in tools:
        print("  %-11s wall best %5.2f s  median %5.2f s   cpu %5.2f s   peak RSS %5.1f MiB"
              % (name, best[name], med[name], cpu[name], rss[name] / 1024))
    for other in ("unzip -q", "bsdtar -xf"):
        print("  tfzip / %-10s = %.2fx wall (median %.2fx), %.2fx cpu"
              % (other, best["tfzip"] / best[other], med["tfzip"] / med[other], cpu["tfzip"] / cpu[other]))
    ratio = best["tfzip"] / best["bsdtar -xf"]
    print("  goal tfzip / bsdtar <= %.2fx wall: %.2fx %s" % (goal, ratio, "met" if ratio <= goal else "MISSED"))
    mib = rss["tfzip"] / 1024
    print("  goal < 32 MiB resident:   %.1f MiB %s" % (mib, "met" if mib < 32 else "MISSED"))


if __name__ == "__main__":
    if sys.argv[1] == "make":
        make(sys.argv[2])
    elif sys.argv[1] == "make-single":
        make_single(sys.argv[2])
    elif sys.argv[1] == "run":
        run(*sys.argv[2:7])
    else:
        sys.exit(__doc__)
