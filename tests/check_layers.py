#!/usr/bin/env python3
"""Checks that includes run one way through the plug-in's layers.

A file of a layer folder includes only its own folder and the folders
before it in LAYERS; host/ includes only base/ and itself. A platform-free
file (no `_win` in its name) includes neither <windows.h> nor a `_win.h`
header. Prints every offending line; exit status 1 if there is one.
"""
import pathlib
import re
import sys

LAYERS = ["base", "ui", "draw", "canvas", "editor", "plugin"]
ALLOWED = {layer: set(LAYERS[: i + 1]) for i, layer in enumerate(LAYERS)}
ALLOWED["host"] = {"base", "host"}

PROJECT_INCLUDE = re.compile(r'^\s*#\s*include\s+"([^/"]+)/[^"]+"')
WINDOWS_INCLUDE = re.compile(r'^\s*#\s*include\s+(<windows\.h>|"[^"]*_win\.h")')


def offences(root):
    for folder, allowed in ALLOWED.items():
        for path in sorted((root / folder).glob("*")):
            if path.suffix not in (".h", ".cpp"):
                continue
            platform_free = "_win" not in path.stem
            lines = path.read_text(encoding="utf-8").splitlines()
            for number, line in enumerate(lines, 1):
                where = f"{path.relative_to(root)}:{number}: {line.strip()}"
                match = PROJECT_INCLUDE.match(line)
                if match and match.group(1) not in allowed:
                    yield f"{where}  ({folder}/ may include only {', '.join(sorted(allowed))})"
                if platform_free and WINDOWS_INCLUDE.match(line):
                    yield f"{where}  (a platform-free file)"


def main():
    root = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else ".").resolve()
    found = list(offences(root))
    for line in found:
        print(line)
    print(f"{len(found)} include(s) against the layers")
    return 1 if found else 0


if __name__ == "__main__":
    sys.exit(main())
