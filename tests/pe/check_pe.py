#!/usr/bin/env python3
"""Static checks of the shipped 32-bit canvas.nbp: what a host's loader and
the host itself rely on before any code runs, and that it ships lean (no
debug information, no symbols)."""
import os
import re
import struct
import subprocess
import sys
import zlib

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

failures = []


def check(ok, what):
    print(("ok   " if ok else "FAIL ") + what)
    if not ok:
        failures.append(what)


class PE:
    def __init__(self, data):
        self.data = data
        pe = struct.unpack_from("<I", data, 0x3C)[0]
        assert data[pe:pe + 4] == b"PE\0\0", "no PE signature"
        (self.machine, nsect, _, symtab, self.symbol_count, optsize,
         self.characteristics) = struct.unpack_from("<HHIIIHH", data, pe + 4)
        # Names longer than eight bytes are "/offset" into the COFF string
        # table, which follows the symbol table (kept even with no symbols).
        strings = symtab + 18 * self.symbol_count
        opt = pe + 24
        self.magic = struct.unpack_from("<H", data, opt)[0]
        self.image_base = struct.unpack_from("<I", data, opt + 28)[0]
        self.dirs = [struct.unpack_from("<II", data, opt + 96 + 8 * i) for i in range(16)]
        self.sections = []
        for i in range(nsect):
            s = opt + optsize + 40 * i
            name = data[s:s + 8].rstrip(b"\0").decode()
            if name.startswith("/") and name[1:].isdigit() and symtab:
                at = strings + int(name[1:])
                name = data[at:data.index(b"\0", at)].decode()
            vsize, va, rawsize, rawptr = struct.unpack_from("<IIII", data, s + 8)
            self.sections.append((name, va, max(vsize, rawsize), rawptr))

    def section(self, wanted):
        for name, _, size, raw in self.sections:
            if name == wanted:
                return self.data[raw:raw + size]
        return None

    def off(self, rva):
        for _, va, size, raw in self.sections:
            if va <= rva < va + size:
                return rva - va + raw
        raise ValueError("rva %#x outside every section" % rva)

    def cstr(self, rva):
        o = self.off(rva)
        return self.data[o:self.data.index(b"\0", o)].decode("latin-1")


def exports(pe):
    rva, _ = pe.dirs[0]
    o = pe.off(rva)
    (_, _, _, _, name_rva, base, nfunc, nnames, funcs, names, ords) = struct.unpack_from(
        "<IIHHIIIIIII", pe.data, o)
    result = {}
    for i in range(nnames):
        name = pe.cstr(struct.unpack_from("<I", pe.data, pe.off(names) + 4 * i)[0])
        ordinal = struct.unpack_from("<H", pe.data, pe.off(ords) + 2 * i)[0]
        result[name] = struct.unpack_from("<I", pe.data, pe.off(funcs) + 4 * ordinal)[0]
    return pe.cstr(name_rva), nfunc, result


def stack_bytes(pe, path, rva):
    """Disassembles the function with the cross objdump up to its first
    return and reads the bytes that `ret` pops; a jump at the entry (a
    linker thunk or tail call) is followed."""
    for _ in range(4):
        start = pe.image_base + rva
        out = subprocess.run(
            ["i686-w64-mingw32-objdump", "-d", "--no-show-raw-insn",
             "--start-address=%#x" % start, "--stop-address=%#x" % (start + 4096), path],
            capture_output=True, text=True, check=True).stdout
        lines = [l.split("\t", 1)[1].strip() for l in out.splitlines()
                 if re.match(r"^\s*[0-9a-f]+:\t", l)]
        if lines and re.match(r"jmp\s+[0-9a-f]+ ", lines[0] + " "):
            rva = int(lines[0].split()[1], 16) - pe.image_base
            continue
        for ins in lines:
            m = re.match(r"ret\s*(\$0x[0-9a-f]+)?", ins)
            if m:
                return int(m.group(1)[1:], 16) if m.group(1) else 0
        return None
    return None


def imports(pe):
    rva, _ = pe.dirs[1]
    o = pe.off(rva)
    dlls = []
    while True:
        entry = struct.unpack_from("<IIIII", pe.data, o)
        if entry == (0, 0, 0, 0, 0):
            break
        dlls.append(pe.cstr(entry[3]))
        o += 20
    return dlls


def resources(pe):
    """{(type, name, language): (data rva, size)} of the resource tree."""
    rva, _ = pe.dirs[2]
    root = pe.off(rva)
    found = {}

    def walk(offset, path):
        _, _, _, _, nnamed, nid = struct.unpack_from("<IIHHHH", pe.data, root + offset)
        for i in range(nnamed + nid):
            ident, target = struct.unpack_from("<II", pe.data, root + offset + 16 + 8 * i)
            if target & 0x80000000:
                walk(target & 0x7FFFFFFF, path + [ident])
            else:
                data_rva, size = struct.unpack_from("<II", pe.data, root + target)
                found[tuple(path + [ident])] = (data_rva, size)

    walk(0, [])
    return found


def main(path):
    data = open(path, "rb").read()
    pe = PE(data)
    check(pe.machine == 0x14C, "machine is i386 (%#x)" % pe.machine)
    check(pe.magic == 0x10B, "PE32 optional header")
    check(pe.characteristics & 0x2000 != 0, "image is a DLL")

    module, nfunc, exp = exports(pe)
    check(module == "canvas.nbp", "export directory names the module canvas.nbp (%s)" % module)
    check(set(exp) == set(EXPECTED_EXPORTS) and nfunc == 8,
          "exactly the eight exports, undecorated (%s)" % sorted(exp))
    for name, size in sorted(EXPECTED_EXPORTS.items()):
        if name in exp:
            got = stack_bytes(pe, path, exp[name])
            check(got == size, "%s returns with ret %s (%s)" % (name, size, got))

    dlls = imports(pe)
    outside = [d for d in dlls if d.lower() not in SYSTEM_DLLS]
    check(not outside, "imports only Windows system DLLs (%s)" % ", ".join(dlls))

    res = resources(pe)
    group = [k for k in res if k[0] == 14]
    icons = [k for k in res if k[0] == 3]
    check(group == [(14, 1, 1033)], "one icon group, id 1, language 1033 (%s)" % group)
    check(icons == [(3, 1, 1033)], "one icon image, id 1, language 1033 (%s)" % icons)
    if group == [(14, 1, 1033)] and icons == [(3, 1, 1033)]:
        g_rva, g_size = res[group[0]]
        g = pe.data[pe.off(g_rva):pe.off(g_rva) + g_size]
        _, kind, count = struct.unpack_from("<HHH", g, 0)
        w, h, colours, _, planes, bits, nbytes, ident = struct.unpack_from("<BBBBHHIH", g, 6)
        i_rva, i_size = res[icons[0]]
        image = pe.data[pe.off(i_rva):pe.off(i_rva) + i_size]
        check(kind == 1 and count == 1, "group lists a single icon")
        check((w, h, planes, bits, ident) == (0, 0, 1, 32, 1),
              "entry: 256 x 256 (stored as 0), 1 plane, 32 bits, image 1")
        check(nbytes == len(image), "entry size matches the image (%d bytes)" % nbytes)
        check(image[:8] == b"\x89PNG\r\n\x1a\n", "the image is a PNG")
        iw, ih, depth, ctype = struct.unpack_from(">IIBB", image, 16)
        check((iw, ih, depth, ctype) == (256, 256, 8, 6), "PNG is 256 x 256, 8-bit RGBA")

    # Shipped lean: debug information and symbols live in canvas.nbp.debug
    # beside the DLL (build folder, dist/symbols/VERSION/), named by .gnu_debuglink.
    names = [s[0] for s in pe.sections]
    debug = [n for n in names if n.startswith(".debug") or n.startswith(".zdebug")]
    check(not debug, "no debug sections (.debug_*) (%s)" % ", ".join(debug or names))
    check(pe.symbol_count == 0, "no COFF symbol table (%d symbols)" % pe.symbol_count)
    link = pe.section(".gnu_debuglink")
    linked = link[:link.index(b"\0")].decode() if link else None
    check(linked == "canvas.nbp.debug", ".gnu_debuglink names canvas.nbp.debug (%s)" % linked)
    beside = os.path.join(os.path.dirname(os.path.abspath(path)), "canvas.nbp.debug")
    if link and os.path.exists(beside):
        crc = struct.unpack_from("<I", link, (len(linked) + 4) & ~3)[0]
        with open(beside, "rb") as f:
            check(zlib.crc32(f.read()) == crc, "canvas.nbp.debug beside it matches the link's CRC")

    if failures:
        print("%d check(s) failed" % len(failures))
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1]))
