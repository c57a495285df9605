"""Checks the resources of ravlin.exe, as objdump lists them (tools/wine-e2e).

The top level of the resource directory must hold a version (type 16) and a
manifest (type 24) of the size of the manifest file, and the version's strings
must give the project's version:

    exe_resources.py EXE MANIFEST VERSION

Prints what it found and exits with 0, or says what is wrong and exits with 1.
"""

import argparse
import os
import re
import subprocess
import sys

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

    with open(args.exe, "rb") as exe:
        data = exe.read()
    found = {name: version_string(data, name) for name in ("ProductName", "FileVersion", "ProductVersion")}
    version = args.version
    if not version or found != {"ProductName": "ravlin", "FileVersion": version, "ProductVersion": version}:
        fail(f"has the version strings {found}, not ravlin {version or '(no version in CMakeCache.txt)'}")
    print(f"wine-e2e: ravlin.exe holds its manifest and version {version}")


if __name__ == "__main__":
    main()
