#!/usr/bin/env python3
"""Checks that includes run one way through the plug-in's layers.

A file of a layer folder includes only its own folder and the folders
before it in LAYERS; host/ includes only base/ and itself. A platform-free
file (no `_win` in its name) includes neither <windows.h> nor a `_win.h`
header. Prints every offending line; exit status 1 if there is one.

With --self-test it checks itself instead: on a small made-up tree it must
report exactly the includes that break the rules, one layer up included.
"""
import pathlib
import re
import sys
import tempfile

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


# A made-up tree: file -> (its include, whether that breaks the rules).
SELF_TEST_TREE = {
    "base/text.h": ('"base/handle_win.h"', True),  # a platform-free file on Windows
    "base/handle_win.h": ('"ui/toolkit_win.h"', True),  # one layer up
    "ui/toolkit_win.h": ('"base/handle_win.h"', False),
    "draw/raster.cpp": ('"draw/raster.h"', False),
    "draw/raster.h": ("<windows.h>", True),
    "canvas/actions_win.cpp": ('"editor/dialogs.h"', True),  # one layer up
    "editor/dialogs.cpp": ('"canvas/convert.h"', False),
    "plugin/exports_win.cpp": ('"base/gdi_win.h"', False),
    "host/app_win.h": ('"ui/toolkit_win.h"', True),
    "host/host_win.cpp": ('"base/text.h"', False),
}


def self_test():
    with tempfile.TemporaryDirectory(prefix="layers-") as scratch:
        root = pathlib.Path(scratch)
        for name, (include, _) in SELF_TEST_TREE.items():
            (root / name).parent.mkdir(exist_ok=True)
            (root / name).write_text("#pragma once\n#include %s\n" % include, encoding="utf-8")
        found = sorted(line.split(":", 1)[0] for line in offences(root))
    wanted = sorted(name for name, (_, bad) in SELF_TEST_TREE.items() if bad)
    print("reported: %s\nwanted:   %s" % (found, wanted))
    return 0 if found == wanted else 1


def main():
    if sys.argv[1:] == ["--self-test"]:
        return self_test()
    root = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else ".").resolve()
    found = list(offences(root))
    for line in found:
        print(line)
    print(f"{len(found)} include(s) against the layers")
    return 1 if found else 0


if __name__ == "__main__":
    sys.exit(main())
