#!/usr/bin/python3
"""Checks the package-manager manifests written for a setup.exe: each valid against its 1.10.0
schema (Debian's python3-jsonschema and python3-yaml), the hash and version those of the binary,
the installed-programs entry's texts those of the program's sources, README's exit codes, silent
switch and log switch.
Usage: check_winget.py WINGET_DIR SETUP_EXE SOURCE_ROOT SCHEMA_DIR"""
import glob
import hashlib
import json
import os
import re
import sys

import jsonschema
import yaml

folder, exe, root, schemas = sys.argv[1:5]
failed = 0


def check(what, ok):
    global failed
    print(("ok - " if ok else "FAILED - ") + what)
    failed += not ok


manifests = {}
for path in sorted(glob.glob(os.path.join(folder, "*.yaml"))):
    doc = yaml.safe_load(open(path, encoding="utf-8"))
    kind = doc.get("ManifestType", "?")
    manifests[kind] = doc
    schema = os.path.join(schemas, "manifest.%s.1.10.0.json" % kind)
    try:
        jsonschema.validate(doc, json.load(open(schema)))
        check("%s valid against %s" % (os.path.basename(path), os.path.basename(schema)), True)
    except (OSError, jsonschema.ValidationError) as e:
        check("%s valid against %s: %s" % (os.path.basename(path), schema, str(e).splitlines()[0]), False)
check("version, installer and default-locale manifests",
      sorted(manifests) == ["defaultLocale", "installer", "version"])
installer = manifests.get("installer", {})
binary = open(exe, "rb").read()

check("InstallerSha256 is the binary's",
      installer["Installers"][0]["InstallerSha256"].lower() == hashlib.sha256(binary).hexdigest())
rc = open(os.path.join(root, "ui/win32/setup.rc")).read()
version = ".".join(re.search(r"^PRODUCTVERSION (\d+),(\d+),(\d+),(\d+)", rc, re.M).groups())
check("PackageVersion %s is the version resource's, in all three" % version,
      {m["PackageVersion"] for m in manifests.values()} == {version})
# The entry as the program's sources write it: writeString("Name", "literal"), \xNN being CP1252.
literal = r'"((?:[^"\\\n]|\\.)*)"'
literals, written = set(), {}


def decode(lit):
    return re.sub(r"\\x([0-9A-Fa-f]{2})|\\(.)", lambda m: bytes([int(m[1], 16)]).decode("cp1252") if m[1] else m[2],
                  lit)


# Product folders only: build/ holds Wine prefixes whose z: link leads to the whole disk.
for top in sorted(os.listdir(root)):
    if top in ("tests", "tools") or top.startswith(("build", ".")):
        continue
    for src in glob.glob(os.path.join(root, top, "**", "*.cpp"), recursive=True):
        text = open(src, encoding="utf-8").read()
        literals |= {decode(lit) for lit in re.findall(literal, text)}
        written.update((name, decode(lit)) for name, lit in re.findall(r'"(\w+)",\s*' + literal, text))
entry = installer["AppsAndFeaturesEntries"][0]
for field in ("DisplayName", "Publisher", "DisplayVersion"):
    check("the entry's %s is the value the program writes" % field, entry[field] == written.get(field))
check("the entry's key name is the program's own text", entry["ProductCode"] in literals)

readme = open(os.path.join(root, "README.md"), encoding="utf-8").read()
codes_section = re.search(r"^## Switches and exit codes.*?(?=^## )", readme, re.M | re.S).group(0)
documented = {int(c) for c in re.findall(r"^\| (\d+) \|", codes_section, re.M)} - {0}
declared = {c["InstallerReturnCode"]: c["ReturnResponse"] for c in installer["ExpectedReturnCodes"]}
check("every exit code README documents is declared (%s)" % sorted(documented), documented <= set(declared))
switches = installer["InstallerSwitches"]
check("the silent switch is README's", "| `%s` |" % switches["Silent"] in codes_section)
check("the log switch carries the manager's placeholder", "<LOGPATH>" in switches["Log"])
log_switch = switches["Log"].split()[0]
check("README's switch table documents the log switch %s" % log_switch,
      re.search(r"^\| `%s <" % re.escape(log_switch), codes_section, re.M) is not None)
sys.exit(1 if failed else 0)
