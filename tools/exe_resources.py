"""Checks the resources of ravlin.exe, as objdump lists them (tools/wine-e2e).

The top level of the resource directory must hold an icon group (type 14) of
the icons (type 3) of every size tools/icons.py draws, a version (type 16) and
a manifest (type 24) of the size of the manifest file; the version's strings
must give the project's version, its authors and its licence; and the file
must be stripped, naming its debug information's file (.gnu_debuglink):

    exe_resources.py EXE MANIFEST VERSION

Prints what it found and exits with 0, or says what is wrong and exits with 1.
"""

import argparse
import os
import re
import subprocess
import sys

ICON_TYPE = 3
ICON_GROUP_TYPE = 14
ICON_COUNT = 7
VERSION_TYPE = 16
MANIFEST_TYPE = 24


def fail(message):
    sys.exit(f"wine-e2e: ravlin.exe {message}")


def resource_leaves(exe):
    """The sizes of each resource type's leaves, by type."""
    listing = subprocess.run(["i686-w64-mingw32-objdump", "-p", exe], check=True, capture_output=True,
                             text=True).stdout
    section = listing.partition("The .rsrc Resource Directory section:")[2].partition("\n\n")[0]
    # Type entries are indented by 3 spaces, names and languages further; a
    # leaf belongs to the type entry above it.
    leaves, kind = {}, None
    for line in section.splitlines():
        if entry := re.match(r"[0-9a-f]+   Entry: ID: (0x[0-9a-f]+)", line):
            kind = int(entry[1], 16)
            leaves[kind] = []
        elif leaf := re.search(r"Leaf: Addr: 0x[0-9a-f]+, Size: (0x[0-9a-f]+)", line):
            leaves[kind].append(int(leaf[1], 16))
    return leaves


def version_string(data, name):
    """A string of the version resource: its name, then its value, each
    NUL-terminated UTF-16 and the value 32-bit aligned; None when absent."""
    at = data.find((name + "\0").encode("utf-16le"))
    if at < 0:
        return None
    at = (at + 2 * len(name) + 2 + 3) & ~3
    end = at
    while data[end:end + 2] not in (b"\0\0", b""):
        end += 2
    return data[at:end].decode("utf-16le", "replace")


def main():
    parser = argparse.ArgumentParser(description="Check ravlin.exe's manifest and version resources.")
    parser.add_argument("exe", help="the built ravlin.exe")
    parser.add_argument("manifest", help="the manifest it must hold, app/ravlin.exe.manifest")
    parser.add_argument("version", help="the project's version (may be empty: then the check fails)")
    args = parser.parse_args()

    leaves = resource_leaves(args.exe)
    if VERSION_TYPE not in leaves:
        fail("has no version resource (type 16)")
    if MANIFEST_TYPE not in leaves:
        fail("has no manifest resource (type 24)")
    manifest_size = os.path.getsize(args.manifest)
    if leaves[MANIFEST_TYPE] != [manifest_size]:
        fail(f"has manifests of {leaves[MANIFEST_TYPE]} bytes, not the {manifest_size} of {args.manifest}")

    if len(leaves.get(ICON_GROUP_TYPE, [])) != 1 or len(leaves.get(ICON_TYPE, [])) != ICON_COUNT:
        fail(f"has {len(leaves.get(ICON_GROUP_TYPE, []))} icon groups (type 14) of "
             f"{len(leaves.get(ICON_TYPE, []))} icons (type 3), not one of {ICON_COUNT}")

    with open(args.exe, "rb") as exe:
        data = exe.read()
    names = ("ProductName", "FileVersion", "ProductVersion", "CompanyName", "FileDescription", "LegalCopyright")
    found = {name: version_string(data, name) for name in names}
    version = args.version
    expected = {"ProductName": "ravlin", "FileVersion": version, "ProductVersion": version,
                "CompanyName": "the ravlin authors", "FileDescription": "ravlin",
                "LegalCopyright": "Copyright (c) 2026 the ravlin authors, MIT License"}
    if not version or found != expected:
        fail(f"has the version strings {found}, not {expected}")

    sections = subprocess.run(["i686-w64-mingw32-objdump", "-h", args.exe], check=True, capture_output=True,
                              text=True).stdout
    if ".debug_" in sections or ".gnu_debuglink" not in sections:
        fail("is not stripped with a .gnu_debuglink to its debug information")
    print(f"wine-e2e: ravlin.exe holds its icons, manifest and version {version}, "
          f"and is stripped to {os.path.getsize(args.exe)} bytes")


if __name__ == "__main__":
    main()
