#!/usr/bin/env python3
"""Static checks of the shipped 32-bit canvas.nbp: what a host's loader and
the host itself rely on before any code runs, that it ships lean (no
debug information, no symbols), and that it can be rebuilt byte for byte
(its time stamp is the commit's, it and its symbols hold no path of the
machine that built it) and names its version. The PE structures are read with pefile; the
stack bytes each export pops come from the cross objdump.

    check_pe.py DLL               checks the DLL
    check_pe.py --diagnostic DIAGNOSTIC_DLL DLL
                                  checks that the diagnostic build exports
                                  exactly the product's names and is the one
                                  that writes debug output
    check_pe.py --self-test DLL   checks copies of the DLL, each broken in one
                                  way, and exits 0 only when every copy fails
                                  with that very check
"""
import os
import re
import struct
import subprocess
import sys
import tempfile
import time
import zlib

import pefile

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
sys.path.insert(0, os.path.join(ROOT, "cmake"))
import version  # noqa: E402  (the build's version and source date)

EXPECTED_EXPORTS = {  # name -> bytes of stdcall arguments popped by `ret`
    "_nbAbout": 0,
    "_nbEditAction": 8,
    "_nbExecAction": 8,
    "_nbInitPlugIn": 16,
    "_nbMessage": 8,
    "_nbRegisterInterfaceAccess": 4,
    "_nbRegisterPlugIn": 16,
    "_nbRegisterScriptProcessor": 4,
}
SYSTEM_DLLS = {"kernel32.dll", "user32.dll", "gdi32.dll", "comctl32.dll", "comdlg32.dll",
               "ole32.dll", "msvcrt.dll", "advapi32.dll", "shell32.dll", "msimg32.dll",
               "oleaut32.dll"}
# What the shipped DLL must never call: it writes no log and shows no box
# of its own making. (OutputDebugStringA is imported by the threads runtime
# linked in statically, for its own diagnostics; the plug-in's code writes
# its reasons with the W function, in the diagnostic build only.)
SILENT_BUILD_NEVER_IMPORTS = {"OutputDebugStringW", "MessageBoxA", "MessageBoxW"}
SHARED_RUNTIME_LOOKUP = "GetModuleHandleA"
# Functions that Windows 7 lacks, which the DLL may only look up at run
# time: imported, they would stop it loading there. Wine has them all.
WINDOWS_7_LACKS = {
    "GetSystemTimePreciseAsFileTime", "GetDpiForWindow", "GetDpiForSystem",
    "SystemParametersInfoForDpi", "AdjustWindowRectExForDpi", "GetSystemMetricsForDpi",
    "SetThreadDpiAwarenessContext", "GetThreadDpiAwarenessContext",
    "GetWindowDpiAwarenessContext", "GetAwarenessFromDpiAwarenessContext",
    "AreDpiAwarenessContextsEqual", "EnableNonClientDpiScaling", "GetDpiForMonitor",
}
RT_ICON = pefile.RESOURCE_TYPE["RT_ICON"]
RT_GROUP_ICON = pefile.RESOURCE_TYPE["RT_GROUP_ICON"]
LANG_EN_US = 1033
PNG_SIGNATURE = b"\x89PNG\r\n\x1a\n"

HEADER_CHECKS = [  # what, value read, value wanted
    ("machine is i386", lambda pe: pe.FILE_HEADER.Machine,
     pefile.MACHINE_TYPE["IMAGE_FILE_MACHINE_I386"]),
    ("PE32 optional header", lambda pe: pe.OPTIONAL_HEADER.Magic,
     pefile.OPTIONAL_HEADER_MAGIC_PE),
    ("image is a DLL", lambda pe: pe.FILE_HEADER.IMAGE_FILE_DLL, True),
]

failures = []


def check(ok, what):
    print(("ok   " if ok else "FAIL ") + what)
    if not ok:
        failures.append(what)


def stack_bytes(pe, path, rva):
    """Disassembles the function with the cross objdump up to its first
    return and reads the bytes that `ret` pops; a jump at the entry (a
    linker thunk or tail call) is followed."""
    base = pe.OPTIONAL_HEADER.ImageBase
    for _ in range(4):
        start = base + rva
        out = subprocess.run(
            ["i686-w64-mingw32-objdump", "-d", "--no-show-raw-insn",
             "--start-address=%#x" % start, "--stop-address=%#x" % (start + 4096), path],
            capture_output=True, text=True, check=True).stdout
        lines = [l.split("\t", 1)[1].strip() for l in out.splitlines()
                 if re.match(r"^\s*[0-9a-f]+:\t", l)]
        if lines and re.match(r"jmp\s+[0-9a-f]+ ", lines[0] + " "):
            rva = int(lines[0].split()[1], 16) - base
            continue
        for ins in lines:
            m = re.match(r"ret\s*(\$0x[0-9a-f]+)?", ins)
            if m:
                return int(m.group(1)[1:], 16) if m.group(1) else 0
        return None
    return None


def resources(pe):
    """{(type, name, language): data bytes} of the resource tree."""
    def key(entry):
        return entry.id if entry.name is None else str(entry.name)

    root = getattr(pe, "DIRECTORY_ENTRY_RESOURCE", None)
    found = {}
    for kind in root.entries if root else []:
        for name in kind.directory.entries:
            for lang in name.directory.entries:
                data = lang.data.struct
                found[(key(kind), key(name), key(lang))] = pe.get_data(data.OffsetToData,
                                                                       data.Size)
    return found


def check_icon(group, image):
    """The icon group lists one 256 x 256 32-bit entry: image 1, a PNG."""
    _, kind, count = struct.unpack_from("<HHH", group, 0)
    w, h, _, _, planes, bits, nbytes, ident = struct.unpack_from("<BBBBHHIH", group, 6)
    check(kind == 1 and count == 1, "group lists a single icon")
    check((w, h, planes, bits, ident) == (0, 0, 1, 32, 1),
          "entry: 256 x 256 (stored as 0), 1 plane, 32 bits, image 1")
    check(nbytes == len(image), "entry size matches the image (%d bytes)" % nbytes)
    check(image[:8] == PNG_SIGNATURE, "the image is a PNG")
    iw, ih, depth, ctype = struct.unpack_from(">IIBB", image, 16)
    check((iw, ih, depth, ctype) == (256, 256, 8, 6), "PNG is 256 x 256, 8-bit RGBA")


def section_names(pe):
    """Section names, long ones ("/offset") read from the COFF string table,
    which follows the symbol table and stays even when there are no symbols."""
    header = pe.FILE_HEADER
    strings = header.PointerToSymbolTable + 18 * header.NumberOfSymbols
    data = pe.__data__
    names = []
    for section in pe.sections:
        name = section.Name.rstrip(b"\0").decode("latin-1")
        if name.startswith("/") and name[1:].isdigit() and header.PointerToSymbolTable:
            at = strings + int(name[1:])
            name = bytes(data[at:data.find(b"\0", at)]).decode("latin-1")
        names.append((name, section))
    return names


def debuglink(pe):
    """The file name and CRC that the .gnu_debuglink section records, or
    (None, None) without one."""
    link = next((s.get_data() for n, s in section_names(pe) if n == ".gnu_debuglink"), None)
    if not link or b"\0" not in link:
        return None, None
    name = link[:link.index(b"\0")].decode("latin-1")
    return name, struct.unpack_from("<I", link, (len(name) + 4) & ~3)[0]


def check_lean(pe, path):
    """Debug information and symbols live in canvas.nbp.debug beside the DLL,
    named by its .gnu_debuglink section."""
    names = [name for name, _ in section_names(pe)]
    debug = [n for n in names if n.startswith(".debug") or n.startswith(".zdebug")]
    check(not debug, "no debug sections (.debug_*) (%s)" % ", ".join(debug or names))
    count = pe.FILE_HEADER.NumberOfSymbols
    check(count == 0, "no COFF symbol table (%d symbols)" % count)
    linked, crc = debuglink(pe)
    check(linked == "canvas.nbp.debug", ".gnu_debuglink names canvas.nbp.debug (%s)" % linked)
    beside = os.path.join(os.path.dirname(os.path.abspath(path)), "canvas.nbp.debug")
    if linked and os.path.exists(beside):
        with open(beside, "rb") as f:
            check(zlib.crc32(f.read()) == crc, "canvas.nbp.debug beside it matches the link's CRC")


VERSION_STRINGS = {  # what Windows shows under the file's Properties, Details
    "CompanyName": "Kiv SDK Examples",
    "FileDescription": "KivCanvas 2D (Final)",
    "ProductName": "KivCanvas 2D (Final)",
    "OriginalFilename": "canvas.nbp",
}


def version_strings(pe):
    """The StringFileInfo texts of the version resource: {name: text}."""
    found = {}
    for info in getattr(pe, "FileInfo", None) or []:
        for entry in info:
            for table in getattr(entry, "StringTable", []):
                found.update({k.decode("latin-1"): v.decode("latin-1")
                              for k, v in table.entries.items()})
    return found


def version_text(path):
    """The FileVersion text of a DLL's version resource, or None."""
    return version_strings(pefile.PE(path)).get("FileVersion")


def check_version(pe):
    """The version resource names the product and this tree's version, and
    its numbers are VERSION's."""
    want = version.version()
    strings = version_strings(pe)
    for name, text in sorted(dict(VERSION_STRINGS, FileVersion=want,
                                  ProductVersion=want).items()):
        check(strings.get(name) == text, "version resource: %s is \"%s\" (%s)"
              % (name, text, strings.get(name)))
    fixed = getattr(pe, "VS_FIXEDFILEINFO", None)
    major, minor, patch = (int(n) for n in version.number().split("."))
    numbers = (fixed[0].FileVersionMS, fixed[0].FileVersionLS) if fixed else None
    check(numbers == (major << 16 | minor, patch << 16),
          "version resource: file version %d.%d.%d.0 (%s)" % (major, minor, patch, numbers))


def check_reproducible(pe, path):
    """Nothing in the DLL or its symbols depends on when or where it was
    built: the time stamp is the commit's, and no folder of the build
    machine is named."""
    stamp, epoch = pe.FILE_HEADER.TimeDateStamp, version.epoch()
    check(stamp == epoch, "PE time stamp is the commit time (%d, commit %d)" % (stamp, epoch))
    folder = os.path.dirname(os.path.abspath(path))
    paths = {ROOT, folder, os.path.dirname(folder)} - {"/"}
    for name in (path, os.path.join(folder, "canvas.nbp.debug")):
        if not os.path.exists(name):
            continue
        with open(name, "rb") as f:
            data = f.read()
        found = sorted(p for p in paths if p.encode() in data or p.encode("utf-16-le") in data)
        check(not found, "%s holds no build path (%s)" % (os.path.basename(name), found))


def main(path):
    pe = pefile.PE(path)
    for what, read, wanted in HEADER_CHECKS:
        got = read(pe)
        check(got == wanted, "%s (%#x)" % (what, got))

    exp = getattr(pe, "DIRECTORY_ENTRY_EXPORT", None)
    module = exp.name.decode("latin-1") if exp and exp.name else None
    check(module == "canvas.nbp", "export directory names the module canvas.nbp (%s)" % module)
    symbols = {s.name.decode("latin-1"): s.address for s in exp.symbols if s.name} if exp else {}
    nfunc = exp.struct.NumberOfFunctions if exp else 0
    check(set(symbols) == set(EXPECTED_EXPORTS) and nfunc == len(EXPECTED_EXPORTS),
          "exactly the eight exports, undecorated (%s)" % sorted(symbols))
    for name, size in sorted(EXPECTED_EXPORTS.items()):
        if name in symbols:
            got = stack_bytes(pe, path, symbols[name])
            check(got == size, "%s returns with ret %s (%s)" % (name, size, got))

    dlls = [i.dll.decode("latin-1") for i in getattr(pe, "DIRECTORY_ENTRY_IMPORT", [])]
    outside = [d for d in dlls if d.lower() not in SYSTEM_DLLS]
    check(not outside, "imports only Windows system DLLs (%s)" % ", ".join(dlls))
    # The shipped DLL is silent: the reasons for a 0 are written out only by
    # the diagnostic build.
    talking = sorted(imported_functions(pe) & SILENT_BUILD_NEVER_IMPORTS)
    check(not talking, "writes no debug output and shows no message box (%s)" % talking)
    # The start-up code's look-up of the shared GCC runtime goes to the DLL's
    # own GetModuleHandleA, which answers "not loaded": its exceptions then
    # unwind with its own tables in any host.
    check(SHARED_RUNTIME_LOOKUP not in imported_functions(pe),
          "start-up finds no shared GCC runtime (%s not imported)" % SHARED_RUNTIME_LOOKUP)

    later = sorted(imported_functions(pe) & WINDOWS_7_LACKS)
    check(not later, "imports nothing Windows 7 lacks (%s)" % later)

    res = resources(pe)
    want_group, want_image = (RT_GROUP_ICON, 1, LANG_EN_US), (RT_ICON, 1, LANG_EN_US)
    group = [k for k in res if k[0] == RT_GROUP_ICON]
    icons = [k for k in res if k[0] == RT_ICON]
    check(group == [want_group], "one icon group, id 1, language 1033 (%s)" % group)
    check(icons == [want_image], "one icon image, id 1, language 1033 (%s)" % icons)
    if group == [want_group] and icons == [want_image]:
        check_icon(res[want_group], res[want_image])

    check_lean(pe, path)
    check_version(pe)
    check_reproducible(pe, path)

    if failures:
        print("%d check(s) failed" % len(failures))
        return 1
    return 0


def export_names(pe):
    exp = getattr(pe, "DIRECTORY_ENTRY_EXPORT", None)
    return sorted(s.name.decode("latin-1") for s in exp.symbols if s.name) if exp else []


def imported_functions(pe):
    return {f.name.decode("latin-1") for i in getattr(pe, "DIRECTORY_ENTRY_IMPORT", [])
            for f in i.imports if f.name}


def check_diagnostic(diagnostic_path, product_path):
    """A host swaps the diagnostic build in for the product: the same
    export names, and the one import that writes its lines."""
    diagnostic, product = pefile.PE(diagnostic_path), pefile.PE(product_path)
    names = export_names(diagnostic)
    check(names == export_names(product), "the product's export names (%s)" % names)
    check("OutputDebugStringW" in imported_functions(diagnostic),
          "the diagnostic build imports OutputDebugStringW")
    check(SHARED_RUNTIME_LOOKUP not in imported_functions(diagnostic),
          "the diagnostic build's start-up finds no shared GCC runtime either")
    return 1 if failures else 0


def export_to_nowhere(pe):
    """_nbExecAction's address past the end of the image: no code, no return
    instruction to read there."""
    exp = pe.DIRECTORY_ENTRY_EXPORT
    symbol = next(s for s in exp.symbols if s.name == b"_nbExecAction")
    slot = exp.struct.AddressOfFunctions + 4 * (symbol.ordinal - exp.struct.Base)
    pe.set_dword_at_rva(slot, pe.OPTIONAL_HEADER.SizeOfImage + 0x1000)


def stamped_now(pe):
    """Linked without the source date: the clock's time stamp."""
    pe.FILE_HEADER.TimeDateStamp = int(time.time())


def names_the_source_folder(pe):
    """A file name as the compiler would write it without the prefix map:
    bytes appended after the image."""
    return (ROOT + "/canvas/actions_win.cpp\0").encode()


def runtime_lookup_imported(pe):
    """A kernel32 import renamed GetModuleHandleA, as a build without the
    DLL's own definition would import it."""
    victim = next(f for i in pe.DIRECTORY_ENTRY_IMPORT if i.dll.lower() == b"kernel32.dll"
                  for f in i.imports if f.name and len(f.name) >= len(SHARED_RUNTIME_LOOKUP))
    pe.set_bytes_at_offset(victim.name_offset,
                           SHARED_RUNTIME_LOOKUP.encode().ljust(len(victim.name), b"\0"))


def later_windows_imported(pe):
    """A user32 import renamed GetDpiForWindow, as a direct call would import it."""
    victim = next(f for i in pe.DIRECTORY_ENTRY_IMPORT if i.dll.lower() == b"user32.dll"
                  for f in i.imports if f.name and len(f.name) >= len("GetDpiForWindow"))
    pe.set_bytes_at_offset(victim.name_offset, b"GetDpiForWindow".ljust(len(victim.name), b"\0"))


BROKEN_COPIES = [  # how the copy is broken (bytes to append, if any), the check that must fail
    (export_to_nowhere, "_nbExecAction returns with ret 8"),
    (runtime_lookup_imported, "start-up finds no shared GCC runtime"),
    (later_windows_imported, "imports nothing Windows 7 lacks"),
    (stamped_now, "PE time stamp is the commit time"),
    (names_the_source_folder, "canvas.nbp holds no build path"),
]


def self_test(path):
    wrong = []
    with tempfile.TemporaryDirectory(prefix="check-pe-") as scratch:
        for break_copy, wanted in BROKEN_COPIES:
            pe = pefile.PE(path)
            extra = break_copy(pe)
            copy = os.path.join(scratch, "canvas.nbp")
            pe.write(filename=copy)
            pe.close()
            if extra:
                with open(copy, "ab") as f:
                    f.write(extra)
            print("-- %s:" % break_copy.__name__)
            failures.clear()
            if main(copy) == 0 or not any(f.startswith(wanted) for f in failures):
                wrong.append("%s passed \"%s\"" % (break_copy.__name__, wanted))
    print("\n".join(["self-test:"] + wrong) if wrong else "self-test: every broken copy failed")
    return 1 if wrong else 0


if __name__ == "__main__":
    if sys.argv[1] == "--self-test":
        sys.exit(self_test(sys.argv[2]))
    if sys.argv[1] == "--diagnostic":
        sys.exit(check_diagnostic(sys.argv[2], sys.argv[3]))
    sys.exit(main(sys.argv[1]))
