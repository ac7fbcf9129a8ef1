#!/usr/bin/env python3
"""Checks the distribution zip.

    check_dist.py --bin BIN_DIR [--host canvas-host.exe]   packs BIN_DIR (a
        win32 build's bin folder) with package/make_dist.py into a temporary
        folder, then checks that zip
    check_dist.py --zip ZIP                                 checks a zip made
        before (./run dist), with its symbols/ folder beside it
    check_dist.py --self-test --bin BIN_DIR                 runs
        cmake/version.py on scratch repositories (clean, changed, tagged),
        packs BIN_DIR, then checks copies of that zip, each broken in one
        way, and exits 0 only when every version is right and every copy
        fails with that very check

What is checked: the zip canvas-nbp-VERSION.zip holds exactly the folder
canvas-nbp-VERSION/ with canvas.nbp, LEAME.txt, ejemplos/demo.script and
diagnostico/canvas.nbp, in that order, every entry dated by the DLL's time
stamp; canvas.nbp is the PE32 product without debug sections, passes
tests/pe/check_pe.py and carries VERSION; the diagnostic DLL is another
build of the same version; the symbols beside the zip are the ones the
DLLs' .gnu_debuglink sections name; LEAME.txt is valid Windows-1252 with
CRLF line ends, plain text, shows the version on its first line and names
every action of canvas/action_table.h; the example is the source's. With
--bin, the zip packed again from copies of the files (other file times,
folder and time zone) is the same bytes.
With --host (a 32-bit canvas-host.exe, run under wine32 through
tests/win/wine-run, so only in ./run's win32 tier), the packaged example
runs with the packaged DLL, exits 0 and every action returns 1.
"""
import argparse
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time
import zipfile
import zlib

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
sys.path.insert(0, os.path.join(ROOT, "tests", "pe"))
import check_pe  # noqa: E402
import pefile  # noqa: E402  # noqa: E402  (its PE reader)
FILES = ["canvas.nbp", "LEAME.txt", "ejemplos/demo.script", "diagnostico/canvas.nbp"]


def registered_actions():
    """The names of the plug-in's actions, read from its table of actions."""
    with open(os.path.join(ROOT, "canvas", "action_table.h"), encoding="utf-8") as f:
        return tuple(re.findall(r'describeAction(?:<\w+>)?\(\s*\d+,\s*u"(\w+)"', f.read()))


ACTIONS = registered_actions()

failures = []


def check(ok, what):
    print(("ok   " if ok else "FAIL ") + what, flush=True)
    if not ok:
        failures.append(what)
    return ok


def debuglink_crc(dll):
    """The CRC that the DLL's .gnu_debuglink records, or None."""
    return check_pe.debuglink(pefile.PE(dll))[1]


def check_zip(zip_path, host, scratch):
    name = os.path.basename(zip_path)
    check(re.fullmatch(r"canvas-nbp-\d+\.\d+\.\d+(\+[0-9a-f]{7,}(\.dirty)?)?\.zip", name)
          is not None, "zip named canvas-nbp-VERSION.zip, VERSION as 1.0.0 or 1.0.0+ba44756 (%s)"
          % name)
    version = name[len("canvas-nbp-"):-len(".zip")]
    top = "canvas-nbp-%s/" % version
    with zipfile.ZipFile(zip_path) as z:
        names = z.namelist()
        check(names == [top + f for f in FILES], "exactly %s, in the folder %s (%s)"
              % (", ".join(FILES), top, ", ".join(names)))
        check(z.testzip() is None, "every member's CRC is right")
        dates = {i.date_time for i in z.infolist()}
        unpacked = os.path.join(scratch, "unpacked")
        z.extractall(unpacked)
        unpacked = os.path.join(unpacked, top)
    print("     %d bytes: %s" % (os.path.getsize(zip_path), ", ".join(
        "%s %d" % (i.filename, i.file_size) for i in zipfile.ZipFile(zip_path).infolist())))

    # The DLL: the PE checks of the build, on the packaged copy.
    dll = os.path.join(unpacked, "canvas.nbp")
    if os.path.exists(dll):
        pe = subprocess.run([sys.executable, os.path.join(ROOT, "tests", "pe", "check_pe.py"), dll],
                            capture_output=True, text=True)
        for line in pe.stdout.splitlines():
            if line.startswith("FAIL"):
                print("     " + line)
        check(pe.returncode == 0, "canvas.nbp passes tests/pe/check_pe.py "
              "(PE32, i386, exports, icon, no debug sections, no symbols)")
        stamp = pefile.PE(dll, fast_load=True).FILE_HEADER.TimeDateStamp
        # Zip entries keep even seconds.
        utc = time.gmtime(stamp)[:6]
        check(dates == {utc[:5] + (utc[5] & ~1,)},
              "every entry is dated by the DLL's time stamp, in UTC (%s)" % sorted(dates))
        check(check_pe.version_text(dll) == version, "the zip's version is the DLL's")
    for folder in ("", "diagnostico/"):
        dll_in = os.path.join(unpacked, folder, "canvas.nbp")
        symbols = os.path.join(os.path.dirname(zip_path), "symbols", version, folder,
                               "canvas.nbp.debug")
        if os.path.exists(dll_in) and check(
                os.path.exists(symbols),
                "symbols beside the zip: symbols/%s/%scanvas.nbp.debug" % (version, folder)):
            with open(symbols, "rb") as f:
                check(zlib.crc32(f.read()) == debuglink_crc(dll_in),
                      "they are the ones %scanvas.nbp's .gnu_debuglink names" % folder)
    diagnostic = os.path.join(unpacked, "diagnostico", "canvas.nbp")
    if os.path.exists(diagnostic) and os.path.exists(dll):
        with open(dll, "rb") as f, open(diagnostic, "rb") as g:
            check(f.read() != g.read(), "diagnostico/canvas.nbp is a build of its own")
        check(check_pe.version_text(diagnostic) == version,
              "diagnostico/canvas.nbp carries the same version")

    # The guide: what Notepad opens on a Spanish Windows.
    leame = os.path.join(unpacked, "LEAME.txt")
    if os.path.exists(leame):
        with open(leame, "rb") as f:
            raw = f.read()
        try:
            text = raw.decode("cp1252")  # strict: the five undefined bytes fail too
            check(True, "LEAME.txt is valid Windows-1252")
        except UnicodeDecodeError as e:
            check(False, "LEAME.txt is valid Windows-1252 (%s)" % e)
            text = raw.decode("cp1252", "replace")
        try:
            utf8 = not raw.isascii() and raw.decode("utf-8") is not None
        except UnicodeDecodeError:
            utf8 = False
        check(not utf8 and b"\xe1" in raw, "LEAME.txt is not UTF-8: its accents are single "
              "bytes (\"á\" is 0xE1)")
        check(raw.endswith(b"\r\n") and raw.count(b"\n") == raw.count(b"\r\n")
              and raw.count(b"\r") == raw.count(b"\r\n"), "LEAME.txt has CRLF line ends only")
        check(ACTIONS, "the actions are read from canvas/action_table.h")
        for action in ACTIONS:
            check(action in text, "LEAME.txt mentions %s" % action)
        lines = text.split("\r\n")
        check(lines[0] == "canvas.nbp, versi\u00f3n %s" % version,
              "LEAME.txt's first line shows the version (%s)" % lines[0])
        marks = [l for l in lines if "`" in l or "**" in l or re.match(r"#+ ", l)]
        check(not marks, "LEAME.txt is plain text: no Markdown marks (%s)" % marks[:3])
        pictures = [l for l in lines if "![" in l]
        check(not pictures, "LEAME.txt leaves the guide's pictures out (%s)" % pictures[:3])
        for word in ("canvas.nbp", "fuente,tamaño,estilos", "$BBGGRR"):
            check(word in text, "LEAME.txt explains %s" % word)

    example = os.path.join(unpacked, "ejemplos", "demo.script")
    if os.path.exists(example):
        with open(example, "rb") as f, open(os.path.join(ROOT, "examples", "demo.script"),
                                            "rb") as g:
            check(f.read() == g.read(), "ejemplos/demo.script is examples/demo.script")

    if host and os.path.exists(dll) and os.path.exists(example):
        run_example(host, dll, example)


def run_example(host, dll, example):
    """The packaged example under the reference host, with the packaged DLL."""
    arch = "win32"
    run = subprocess.run([os.path.join(ROOT, "tests", "win", "wine-run"), arch,
                          os.path.basename(host), "--plugin", dll, "--exit", example],
                         cwd=os.path.dirname(os.path.abspath(host)), capture_output=True,
                         text=True, errors="replace", timeout=600)
    out = run.stdout.splitlines()
    # "demo.script:N: ACTION -> 1": each result names the example's line
    # that ran it.
    named = [m for m in (re.match(r"demo\.script:(\d+): ((kiv_\w+) .*)$", l) for l in out) if m]
    results = [m[2] for m in named]
    with open(example, encoding="utf-8") as f:
        script = f.read().split("\n")
    misplaced = [m[0] for m in named
                 if not 1 <= int(m[1]) <= len(script)
                 or not script[int(m[1]) - 1].startswith(m[3] + " ")]
    check(run.returncode == 0, "the example runs under the 32-bit reference host and exits 0 "
          "(%d)%s" % (run.returncode, (": " + run.stderr.strip()[-300:]) if run.returncode
                      else ""))
    check(any(l == "title: KivCanvas 2D (Final)" for l in out),
          "the host loaded the packaged canvas.nbp")
    bad = [l for l in results if not l.endswith("-> 1")]
    check(len(results) >= 20 and not bad,
          "every action of the example returned 1 (%d actions%s)"
          % (len(results), "; " + ", ".join(bad) if bad else ""))
    check(not misplaced, "each result names the example's line that runs its action%s"
          % (" (%s)" % ", ".join(misplaced[:3]) if misplaced else ""))
    for action in ACTIONS:
        check(any(l.startswith(action + " ") for l in results),
              "the example runs %s" % action)


def pack(bin_dir, out, env=None):
    """Packs bin_dir into out with package/make_dist.py; the zip's path, or
    None when it failed."""
    made = subprocess.run([sys.executable, os.path.join(ROOT, "package", "make_dist.py"),
                           bin_dir, out], capture_output=True, text=True, env=env)
    sys.stderr.write(made.stderr)
    if not check(made.returncode == 0, "package/make_dist.py packs %s" % bin_dir):
        return None
    return made.stdout.strip().splitlines()[-1]


def check_repack(bin_dir, zip_path, scratch):
    """The zip depends on the files alone: packed again from copies with
    other file times, in another folder, in another time zone, it is the
    same bytes."""
    copy = os.path.join(scratch, "copied bin")
    shutil.copytree(bin_dir, copy, ignore=shutil.ignore_patterns("*.exe", "*.a"))
    for folder, _, files in os.walk(copy):
        for f in files:
            os.utime(os.path.join(folder, f), (1e9, 1e9))
    again = pack(copy, os.path.join(scratch, "second"), dict(os.environ, TZ="Asia/Tokyo"))
    if again:
        with open(zip_path, "rb") as f, open(again, "rb") as g:
            check(f.read() == g.read(), "packed twice, the zips are the same bytes")


def copy_zip(source, target, change):
    """Copies the zip member by member; change(info, data) gives the data to
    store, or None to leave the member out, and may change info."""
    with zipfile.ZipFile(source) as z, zipfile.ZipFile(target, "w") as out:
        for info in z.infolist():
            data = change(info, z.read(info))
            if data is not None:
                out.writestr(info, data)


def dated_now(info, data):
    info.date_time = time.localtime()[:6]
    return data


def loose(info, data):
    info.filename = info.filename.split("/", 1)[1]
    return data


BROKEN_COPIES = [  # what is broken, the change, the check that must fail
    ("no example", lambda info, data: None if "/ejemplos/" in info.filename else data,
     "exactly canvas.nbp, LEAME.txt, ejemplos/demo.script, diagnostico/canvas.nbp"),
    ("no top folder", loose, "exactly canvas.nbp"),
    ("LEAME.txt in UTF-8", lambda info, data:
     data.decode("cp1252").encode("utf-8") if info.filename.endswith("/LEAME.txt") else data,
     "LEAME.txt is not UTF-8"),
    ("entries dated by the clock", dated_now, "every entry is dated by the DLL's time stamp"),
]


# The zip's name and the DLL's version come from cmake/version.py. Each row
# is a state of a scratch repository holding a copy of it and VERSION:
# what it is, the tag put on HEAD (or None), the file changed since the
# commit (or None), and the version expected ({number} is VERSION's,
# {head} HEAD's short hash).
VERSION_STATES = [
    ("clean, untagged", None, None, "{number}+{head}"),
    ("a tracked file changed", None, "VERSION", "{number}+{head}.dirty"),
    ("only an untracked file new", None, "notes.txt", "{number}+{head}"),
    ("tagged with its number", "v{number}", None, "{number}"),
    ("tagged, a tracked file changed", "v{number}", "VERSION", "{number}+{head}.dirty"),
    ("tagged with another number", "v0.0.1", None, "{number}+{head}"),
]


def check_version_states(scratch):
    """cmake/version.py on a scratch repository in each state of VERSION_STATES."""
    number = open(os.path.join(ROOT, "VERSION"), encoding="ascii").read().strip()
    for index, (what, tag, changed, wanted) in enumerate(VERSION_STATES):
        repo = os.path.join(scratch, "version-%d" % index)
        os.makedirs(os.path.join(repo, "cmake"))
        shutil.copy(os.path.join(ROOT, "cmake", "version.py"), os.path.join(repo, "cmake"))
        shutil.copy(os.path.join(ROOT, "VERSION"), repo)

        def git(*args):
            return subprocess.run(["git", "-C", repo, "-c", "user.name=check", "-c",
                                   "user.email=check@localhost", "-c", "commit.gpgsign=false",
                                   "-c", "tag.gpgsign=false"] + list(args),
                                  capture_output=True, text=True, check=True).stdout.strip()
        git("init", "-q")
        git("add", ".")
        git("commit", "-q", "-m", "scratch")
        if tag:
            git("tag", tag.format(number=number))
        if changed:
            with open(os.path.join(repo, changed), "a", encoding="ascii") as f:
                f.write("\n")
        expected = wanted.format(number=number, head=git("rev-parse", "--short=7", "HEAD"))
        given = subprocess.run([sys.executable, os.path.join(repo, "cmake", "version.py")],
                               capture_output=True, text=True).stdout.strip()
        check(given == expected, "version.py, %s: %s (%s)" % (what, expected, given))


def self_test(zip_path, scratch):
    """Each broken copy lies in a folder of its own, its symbols beside it."""
    check_version_states(scratch)
    if failures:
        print("self-test: cmake/version.py gave a wrong version")
        return 1
    wrong = []
    for number, (what, change, wanted) in enumerate(BROKEN_COPIES):
        folder = os.path.join(scratch, "broken-%d" % number)
        os.makedirs(folder)
        os.symlink(os.path.join(os.path.dirname(zip_path), "symbols"),
                   os.path.join(folder, "symbols"))
        copy = os.path.join(folder, os.path.basename(zip_path))
        copy_zip(zip_path, copy, change)
        print("-- %s:" % what)
        failures.clear()
        check_zip(copy, None, folder)
        if not any(f.startswith(wanted) for f in failures):
            wrong.append("%s passed \"%s\"" % (what, wanted))
    failures.clear()
    print("\n".join(["self-test:"] + wrong) if wrong else "self-test: every broken copy failed")
    return 1 if wrong else 0


def main():
    parser = argparse.ArgumentParser()
    group = parser.add_mutually_exclusive_group(required=True)
    group.add_argument("--bin", help="pack this win32 bin folder into a temporary folder")
    group.add_argument("--zip", help="check this zip, made before")
    parser.add_argument("--host", help="32-bit canvas-host.exe to run the example with")
    parser.add_argument("--self-test", action="store_true", help="check broken copies instead")
    args = parser.parse_args()

    with tempfile.TemporaryDirectory(prefix="canvas-dist-") as scratch:
        if args.bin:
            zip_path = pack(args.bin, os.path.join(scratch, "dist"))
            if not zip_path:
                return 1
            if not args.self_test:
                check_repack(args.bin, zip_path, scratch)
        else:
            zip_path = args.zip
        if args.self_test:
            return self_test(os.path.abspath(zip_path), scratch)
        check_zip(os.path.abspath(zip_path), args.host, scratch)

    if failures:
        print("%d check(s) failed" % len(failures))
        return 1
    print("all checks passed")
    return 0


if __name__ == "__main__":
    sys.exit(main())
