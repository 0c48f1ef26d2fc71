#!/usr/bin/env python3
"""Writes the Windows Package Manager manifests (schema 1.10.0) of a built setup.exe.

    winget_manifest.py --exe build/win32/setup.exe --host www.turnaliafree.com --out build/release/winget
                       [--url https://.../setup.exe]

Three files into --out: <id>.yaml (version), <id>.installer.yaml, <id>.locale.es-ES.yaml. The
version comes from the binary's version resource and the hash from the binary itself, so sign it
first: signing changes the hash.
"""
import argparse
import hashlib
import json
import os
import struct
import sys

PACKAGE_ID = "Halvex.TurnaliaFree"
LOCALE = "es-ES"
MANIFEST_VERSION = "1.10.0"

# The installed-programs entry the full installation writes (install/registro.cpp): the package
# manager finds an installed copy by the entry's key name and checks these values against it.
ENTRY_KEY = "TurnaliaFree.exe"
DISPLAY_NAME = "TurnaliaFree\u2122 - Gesti\u00f3n de Turnos y Control de Presencia"
PUBLISHER = "HALVEX CORPORATION"
# The product's version as the entry shows it, not the setup program's: the manager maps it to
# the package version below.
DISPLAY_VERSION = "19.04.002"

# Exit codes the program documents (README), in the manager's words. 0 needs no entry.
RETURN_CODES = [
    (87, "invalidParameter"),         # an unknown or misplaced switch in a silent run
    (1602, "cancelledByUser"),        # the person left before anything was installed
    (1603, "contactSupport"),         # the failure outcome: an error the log and the report explain
    (1618, "installInProgress"),      # another copy holds the machine-wide lock: try again later
    (3010, "rebootRequiredToFinish"),  # done; files in use go at the next restart
]

SWITCHES = {
    "Silent": "-silent",
    # No progress-only mode: the manager's default (silent with progress) runs silent.
    "SilentWithProgress": "-silent",
    "Log": '-log "<LOGPATH>"',
}


def product_version(exe):
    """PRODUCTVERSION of the version resource, as a.b.c.d."""
    data = open(exe, "rb").read()
    key = "VS_VERSION_INFO\0".encode("utf-16-le")
    at = data.find(key)
    if at < 0:
        sys.exit("%s: no version resource" % exe)
    # VS_FIXEDFILEINFO follows the key, aligned to 4 bytes, and starts with its signature.
    at = (at + len(key) + 3) & ~3
    sig, _, _, _, pv_ms, pv_ls = struct.unpack_from("<6I", data, at)
    if sig != 0xFEEF04BD:
        sys.exit("%s: version resource without its fixed part" % exe)
    return "%d.%d.%d.%d" % (pv_ms >> 16, pv_ms & 0xFFFF, pv_ls >> 16, pv_ls & 0xFFFF)


def q(text):
    """A YAML double-quoted scalar (JSON's string syntax is a subset of it)."""
    return json.dumps(text, ensure_ascii=False)


def header(kind):
    return ("# yaml-language-server: $schema=https://aka.ms/winget-manifest.%s.%s.schema.json\n\n"
            % (kind, MANIFEST_VERSION))


def version_manifest(version):
    return header("version") + (
        "PackageIdentifier: %s\nPackageVersion: %s\nDefaultLocale: %s\n"
        "ManifestType: version\nManifestVersion: %s\n" % (PACKAGE_ID, q(version), LOCALE, q(MANIFEST_VERSION)))


def installer_manifest(version, url, sha256):
    lines = [
        "PackageIdentifier: %s" % PACKAGE_ID,
        "PackageVersion: %s" % q(version),
        "InstallerLocale: %s" % LOCALE,
        "Platform:\n- Windows.Desktop",
        "InstallerType: exe",
        "Scope: machine",
        "InstallModes:\n- interactive\n- silent\n- silentWithProgress",
        "InstallerSwitches:" + "".join("\n  %s: %s" % (k, q(v)) for k, v in SWITCHES.items()),
        "ExpectedReturnCodes:" + "".join("\n- InstallerReturnCode: %d\n  ReturnResponse: %s" % c
                                         for c in RETURN_CODES),
        "UpgradeBehavior: install",
        # The program's manifest asks for administrator rights: Windows asks the person itself.
        "ElevationRequirement: elevatesSelf",
        "ProductCode: %s" % q(ENTRY_KEY),
        "AppsAndFeaturesEntries:\n- DisplayName: %s\n  Publisher: %s\n  DisplayVersion: %s\n  ProductCode: %s\n"
        "  InstallerType: exe" % (q(DISPLAY_NAME), q(PUBLISHER), q(DISPLAY_VERSION), q(ENTRY_KEY)),
        "Installers:\n- Architecture: x86\n  InstallerUrl: %s\n  InstallerSha256: %s" % (q(url), sha256.upper()),
        "ManifestType: installer",
        "ManifestVersion: %s" % q(MANIFEST_VERSION),
    ]
    return header("installer") + "\n".join(lines) + "\n"


def locale_manifest(version, host):
    site = "https://" + host
    fields = [
        ("PackageIdentifier", PACKAGE_ID),
        ("PackageVersion", version),
        ("PackageLocale", LOCALE),
        ("Publisher", PUBLISHER),
        ("PublisherUrl", site),
        ("PackageName", "TurnaliaFree"),
        ("PackageUrl", site),
        ("License", "Propietaria"),
        ("LicenseUrl", site + "/version/Licencia_KVT.txt"),
        ("ShortDescription", "Gesti\u00f3n de turnos de trabajo y control de presencia del personal."),
        ("ManifestType", "defaultLocale"),
        ("ManifestVersion", MANIFEST_VERSION),
    ]
    return header("defaultLocale") + "".join("%s: %s\n" % (k, q(v)) for k, v in fields)


def main():
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("--exe", required=True, help="the release setup.exe (signed, if it is to be)")
    ap.add_argument("--host", required=True, help="the vendor host the program was built for")
    ap.add_argument("--url", help="where setup.exe is published (default: https://HOST/version/downloads/setup.exe)")
    ap.add_argument("--out", required=True, help="folder for the three manifests")
    a = ap.parse_args()
    url = a.url or "https://%s/version/downloads/setup.exe" % a.host
    if not url.lower().startswith("https://"):
        ap.error("--url must be an https address: %s" % url)
    version = product_version(a.exe)
    sha256 = hashlib.sha256(open(a.exe, "rb").read()).hexdigest()
    os.makedirs(a.out, exist_ok=True)
    files = {
        PACKAGE_ID + ".yaml": version_manifest(version),
        PACKAGE_ID + ".installer.yaml": installer_manifest(version, url, sha256),
        "%s.locale.%s.yaml" % (PACKAGE_ID, LOCALE): locale_manifest(version, a.host),
    }
    for name, text in files.items():
        with open(os.path.join(a.out, name), "w", encoding="utf-8", newline="\n") as f:
            f.write(text)
    print("%s %s, SHA-256 %s: %s" % (PACKAGE_ID, version, sha256.upper(), ", ".join(
        os.path.join(a.out, n) for n in files)))


if __name__ == "__main__":
    main()
