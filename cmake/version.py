#!/usr/bin/env python3
"""The release's version and source date, from the VERSION file and git.

    version.py                     prints the version: "1.0.0" when HEAD is
                                   tagged v1.0.0 (VERSION holds 1.0.0) and
                                   the tracked files are as committed, else
                                   "1.0.0+ba44756" (HEAD's short hash), with
                                   ".dirty" after it for changed files
    version.py epoch               prints the source date: SOURCE_DATE_EPOCH
                                   when set, else HEAD's commit time
    version.py header DIR          writes DIR/canvas_version.h (for the DLL's
                                   version resource) and DIR/source_date_epoch,
                                   each only when its content changes
    version.py with-source-date DIR COMMAND...
                                   runs COMMAND with SOURCE_DATE_EPOCH from
                                   DIR/source_date_epoch: the linker and
                                   objcopy then stamp the PE header with it

A build from the same commit thus carries the same version and time stamp
in any folder, at any time. Without git the version is VERSION's number
and the source date the epoch itself (1970), unless SOURCE_DATE_EPOCH says
otherwise.
"""
import os
import subprocess
import sys

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
HEADER = "canvas_version.h"
EPOCH_FILE = "source_date_epoch"


def number():
    """The release number kept in VERSION: "1.0.0"."""
    with open(os.path.join(ROOT, "VERSION"), encoding="ascii") as f:
        text = f.read().strip()
    parts = text.split(".")
    if len(parts) != 3 or not all(p.isdigit() for p in parts):
        raise SystemExit("VERSION must hold MAJOR.MINOR.PATCH, not %r" % text)
    return text


def git(*args):
    """git's output in the source tree, or None without git or a repository."""
    try:
        return subprocess.run(["git", "-C", ROOT] + list(args), capture_output=True, text=True,
                              check=True).stdout.strip()
    except (OSError, subprocess.CalledProcessError):
        return None


def version():
    release = number()
    head = git("rev-parse", "--short=7", "HEAD")
    if head is None:
        return release
    tagged = ("v" + release) in (git("tag", "--points-at", "HEAD") or "").split()
    dirty = bool(git("status", "--porcelain", "--untracked-files=no"))
    if tagged and not dirty:
        return release
    return release + "+" + head + (".dirty" if dirty else "")


def epoch():
    given = os.environ.get("SOURCE_DATE_EPOCH")
    if given:
        return int(given)
    committed = git("log", "-1", "--format=%ct", "HEAD")
    return int(committed) if committed else 0


def header_text(ver):
    numbers = ",".join(number().split(".") + ["0"])
    return ("// Made by cmake/version.py at build time; not kept in git.\n"
            "#pragma once\n"
            "#define CANVAS_VERSION_NUMBERS %s\n"
            "#define CANVAS_VERSION_TEXT \"%s\"\n" % (numbers, ver))


def write_if_changed(path, text):
    """Unchanged files keep their time, so nothing rebuilds for them."""
    try:
        with open(path, encoding="ascii") as f:
            if f.read() == text:
                return
    except OSError:
        pass
    with open(path, "w", encoding="ascii") as f:
        f.write(text)


def main(args):
    if not args:
        print(version())
    elif args == ["epoch"]:
        print(epoch())
    elif len(args) == 2 and args[0] == "header":
        os.makedirs(args[1], exist_ok=True)
        write_if_changed(os.path.join(args[1], HEADER), header_text(version()))
        write_if_changed(os.path.join(args[1], EPOCH_FILE), "%d\n" % epoch())
    elif len(args) >= 3 and args[0] == "with-source-date":
        with open(os.path.join(args[1], EPOCH_FILE), encoding="ascii") as f:
            os.environ["SOURCE_DATE_EPOCH"] = f.read().strip()
        os.execvp(args[2], args[2:])
    else:
        raise SystemExit(__doc__)


if __name__ == "__main__":
    main(sys.argv[1:])
