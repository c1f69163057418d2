#!/usr/bin/env python3
"""Lists what of a monitored installation is still there.

    leftovers.py CHANGES.txt DRIVE_C REGISTRY.reg...

CHANGES.txt is `corvane-cli show` of the installation; DRIVE_C the prefix's
drive_c folder; the .reg files are exports (UTF-16) of the hives it touched.
Prints every created folder, file, key and value that still exists, one a
line; prints nothing when the uninstall took everything away.
"""
import pathlib
import re
import sys

changes, drive_c, exports = sys.argv[1], pathlib.Path(sys.argv[2]), sys.argv[3:]

keys = {}  # key (lower case) -> its value names (lower case)
for export in exports:
    key = None
    for line in pathlib.Path(export).read_text(encoding="utf-16").splitlines():
        if line.startswith("[") and line.endswith("]"):
            key = keys.setdefault(line[1:-1].lower(), set())
        elif key is not None and "=" in line:
            name = line.split("=", 1)[0]
            key.add("(default)" if name == "@" else name.strip('"').lower())

created = []
container = None
for line in pathlib.Path(changes).read_text(encoding="utf-8").splitlines():
    match = re.match(r"\s*(\(\+\))?\((FOLDER|REG KEY|FILE|REG VAL)\) (.*)$", line)
    if not match:
        continue
    new, kind, rest = match.groups()
    if kind in ("FOLDER", "REG KEY"):
        container = rest
        if new:
            created.append((kind, rest, None))
    elif new:
        created.append((kind, container, rest.split(" = ", 1)[0]))

for kind, where, name in created:
    if kind in ("FOLDER", "FILE"):
        path = where + ("\\" + name if name else "")
        relative = re.sub(r"^[A-Za-z]:\\", "", path).replace("\\", "/")
        if (drive_c / relative).exists():
            print(f"{kind} {path}")
    elif where.lower() in keys and (name is None or name.lower() in keys[where.lower()]):
        print(f"{kind} {where}" + (f" {name}" if name else ""))
