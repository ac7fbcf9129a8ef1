#!/usr/bin/env python3
"""Packs the shipped plug-in: `make_dist.py BIN_DIR OUT_DIR`.

BIN_DIR is the bin folder of a 32-bit build (win32 preset): its canvas.nbp
and the diagnostic build's diagnostico/canvas.nbp, both already stripped by
the build, each with its canvas.nbp.debug beside it. Writes

    OUT_DIR/canvas-nbp-VERSION.zip, holding the folder canvas-nbp-VERSION/ with
        canvas.nbp, LEAME.txt, ejemplos/demo.script, diagnostico/canvas.nbp
    OUT_DIR/symbols/VERSION/canvas.nbp.debug
    OUT_DIR/symbols/VERSION/diagnostico/canvas.nbp.debug

and prints the zip's path. VERSION is the one in canvas.nbp's version
resource (cmake/version.py made it), and LEAME.txt's first line shows it.
LEAME.txt is docs/LEAME.md turned into plain text in Windows-1252 with CRLF
line ends, what Notepad shows best on a Spanish Windows. The zip depends on
nothing but those files: the same DLLs give the same bytes, whenever and
wherever they are packed. `./run dist` (from a clean build) and the dist.zip
test (from the win32 tier's build) both pack through this one script.
"""
import argparse
import os
import re
import shutil
import textwrap
import time
import zipfile

import pefile

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
WIDTH = 76  # LEAME.txt lines, for Notepad at its default window size
KEEP = "\0"  # a blank that wrapping must not break at

# Name under the zip's top folder and where it comes from (None: made
# here), in the zip's order.
CONTENTS = [
    ("canvas.nbp", "BIN/canvas.nbp"),
    ("LEAME.txt", None),
    ("ejemplos/demo.script", "examples/demo.script"),
    ("diagnostico/canvas.nbp", "BIN/diagnostico/canvas.nbp"),
]
# Folders of BIN whose canvas.nbp.debug goes to symbols/VERSION/FOLDER.
SYMBOLS = ["", "diagnostico"]
ZIP_EARLIEST = 315532800  # 1980-01-01 00:00 UTC, the first time a zip entry can hold
ZIP_MADE_ON_UNIX = 3  # the "made by" system whose attributes external_attr holds


#--- Markdown to plain text -------------------------------------------------------

def inline(text):
    """Inline Markdown to plain text: code, emphasis and links lose their marks."""
    text = re.sub(r"\[([^\]]+)\]\(([^)]+)\)", r"\1 (\2)", text)
    # Without the backticks a value with commas or with blanks at its ends
    # would not stand out from the sentence: those keep quotes instead.
    # Blanks inside a value become KEEP, so that wrapping never splits it.
    def code(m):
        value = m.group(1)
        if "," in value or value != value.strip():
            value = '"%s"' % value
        return value.replace(" ", KEEP)
    text = re.sub(r"`([^`]*)`", code, text)
    text = re.sub(r"\*\*(.+?)\*\*", r"\1", text)
    text = re.sub(r"(?<![\w*])\*(?!\s)(.+?)(?<!\s)\*(?![\w*])", r"\1", text)
    text = re.sub(r"(?<!\w)_(?!\s)(.+?)(?<!\s)_(?!\w)", r"\1", text)
    return text.replace("\\|", "|")


def table_cells(line):
    body = line.strip()
    body = body[1:] if body.startswith("|") else body
    body = body[:-1] if body.endswith("|") and not body.endswith("\\|") else body
    return [inline(c.strip()) for c in re.split(r"(?<!\\)\|", body)]


def render_table(rows):
    """Aligned columns when they fit the width, else one block per row."""
    header, body = rows[0], rows[1:]
    ncols = len(header)
    rows = [r + [""] * (ncols - len(r)) for r in rows]
    widths = [max(len(r[i]) for r in rows) for i in range(ncols)]
    if sum(widths) + 2 * (ncols - 1) <= WIDTH:
        out = []
        for n, r in enumerate(rows):
            out.append("  ".join(c.ljust(w) for c, w in zip(r, widths)).rstrip())
            if n == 0:
                out.append("  ".join("-" * w for w in widths))
        return out
    out = []
    for r in body:
        r = r + [""] * (ncols - len(r))
        out += textwrap.wrap(r[0], WIDTH, initial_indent="- ", subsequent_indent="  ")
        for name, cell in zip(header[1:], r[1:]):
            if cell:
                out += textwrap.wrap(name + ": " + cell, WIDTH, initial_indent="    ",
                                     subsequent_indent="      ")
    return out


def markdown_to_text(md):
    lines = md.replace("\r\n", "\n").split("\n")
    out = []
    i = 0

    def blank():
        if out and out[-1] != "":
            out.append("")

    while i < len(lines):
        line = lines[i]
        stripped = line.strip()
        if stripped.startswith("```"):
            blank()
            i += 1
            while i < len(lines) and not lines[i].strip().startswith("```"):
                out.append(("    " + lines[i]).rstrip())
                i += 1
            i += 1
            blank()
            continue
        m = re.match(r"(#+)\s+(.*)", stripped)
        if m:
            title = inline(m.group(2)).strip()
            blank()
            out.append(title)
            out.append("=-~"[min(len(m.group(1)), 3) - 1] * len(title))
            out.append("")
            i += 1
            continue
        if stripped.startswith("|"):
            rows = []
            while i < len(lines) and lines[i].strip().startswith("|"):
                if not re.match(r"^\|?[\s:|-]+\|?$", lines[i].strip()):
                    rows.append(table_cells(lines[i]))
                i += 1
            blank()
            out += render_table(rows)
            blank()
            continue
        if not stripped:
            blank()
            i += 1
            continue
        # The guide's pictures stay beside docs/LEAME.md; the text around
        # them says what they show.
        if re.fullmatch(r"!\[[^\]]*\]\([^)]*\)", stripped):
            i += 1
            continue
        # A list item or a paragraph, with its continuation lines.
        m = re.match(r"(\s*)([-*]|\d+\.)\s+(.*)", line)
        if m:
            indent = " " * len(m.group(1))
            marker = "-" if m.group(2) in "-*" else m.group(2)
            first, rest = indent + marker + " ", indent + " " * (len(marker) + 1)
            words = [m.group(3)]
        else:
            first = rest = " " * (len(line) - len(line.lstrip()))
            words = [stripped]
        i += 1
        while i < len(lines) and lines[i].strip() and not re.match(
                r"\s*([-*]|\d+\.)\s+|\s*#|\s*\||\s*```", lines[i]):
            words.append(lines[i].strip())
            i += 1
        out += textwrap.wrap(inline(" ".join(words)), WIDTH, initial_indent=first,
                             subsequent_indent=rest, break_long_words=False,
                             break_on_hyphens=False)
    while out and out[-1] == "":
        out.pop()
    return "\n".join(out).replace(KEEP, " ") + "\n"


def windows_text(text, what):
    """CRLF line ends and Windows-1252 bytes; a character outside it is an error."""
    for number, line in enumerate(text.split("\n"), 1):
        for ch in line:
            try:
                ch.encode("cp1252")
            except UnicodeEncodeError:
                raise SystemExit("%s, line %d: %r (U+%04X) is not in Windows-1252"
                                 % (what, number, ch, ord(ch)))
    return text.replace("\n", "\r\n").encode("cp1252")


#--- The package ----------------------------------------------------------------------

def dll_version(pe):
    """The FileVersion text of the DLL's version resource, or None."""
    for info in getattr(pe, "FileInfo", None) or []:
        for entry in info:
            for table in getattr(entry, "StringTable", []):
                text = table.entries.get(b"FileVersion")
                if text:
                    return text.decode("ascii")
    return None


def read_product(dll):
    """(version, PE time stamp) of a built canvas.nbp: the zip is named after
    the version the DLL carries, and its entries are dated by its stamp,
    which the build takes from the commit."""
    pe = pefile.PE(dll, fast_load=True)
    pe.parse_data_directories([pefile.DIRECTORY_ENTRY["IMAGE_DIRECTORY_ENTRY_RESOURCE"]])
    ver = dll_version(pe)
    stamp = pe.FILE_HEADER.TimeDateStamp
    pe.close()
    if not ver or not re.fullmatch(r"[0-9A-Za-z.+-]+", ver):
        raise SystemExit("make_dist: %s carries no usable version (%r)" % (dll, ver))
    return ver, stamp


def zip_entry(name, stamp):
    """A file entry that depends on nothing but its name and the source
    date: no file time, owner or local time zone. Zip times start in 1980."""
    when = time.gmtime(max(stamp, ZIP_EARLIEST))[:6]
    info = zipfile.ZipInfo(name, date_time=when)
    info.compress_type = zipfile.ZIP_DEFLATED
    info.create_system = ZIP_MADE_ON_UNIX
    info.external_attr = 0o644 << 16
    return info


def source_path(source, bin_dir):
    """Where a CONTENTS entry's file lies; None for one made here."""
    if source is None:
        return None
    if source.startswith("BIN/"):
        return os.path.join(bin_dir, source[len("BIN/"):])
    return os.path.join(ROOT, source)


def pack(bin_dir, out_dir):
    sources = {name: source_path(source, bin_dir) for name, source in CONTENTS}
    needed = [p for p in sources.values() if p] + [
        os.path.join(bin_dir, folder, "canvas.nbp.debug") for folder in SYMBOLS]
    for path in needed:
        if not os.path.isfile(path):
            raise SystemExit("make_dist: %s is missing; build the win32 preset's canvas_plugin "
                             "and canvas_plugin_diagnostic first" % path)
    ver, stamp = read_product(sources["canvas.nbp"])
    with open(os.path.join(ROOT, "docs", "LEAME.md"), encoding="utf-8") as f:
        text = "canvas.nbp, versi\u00f3n %s\n\n" % ver + markdown_to_text(f.read())
    leame = windows_text(text, "docs/LEAME.md")

    top = "canvas-nbp-%s" % ver
    os.makedirs(out_dir, exist_ok=True)
    zip_path = os.path.join(out_dir, top + ".zip")
    tmp = zip_path + ".part"
    with zipfile.ZipFile(tmp, "w") as z:
        for name, source in CONTENTS:
            if source is None:
                data = leame
            else:
                with open(sources[name], "rb") as f:
                    data = f.read()
            z.writestr(zip_entry(top + "/" + name, stamp), data, compresslevel=9)
    os.replace(tmp, zip_path)

    for folder in SYMBOLS:
        symbol_dir = os.path.join(out_dir, "symbols", ver, folder)
        os.makedirs(symbol_dir, exist_ok=True)
        shutil.copyfile(os.path.join(bin_dir, folder, "canvas.nbp.debug"),
                        os.path.join(symbol_dir, "canvas.nbp.debug"))
    return zip_path


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("bin_dir")
    parser.add_argument("out_dir")
    args = parser.parse_args()
    print(pack(args.bin_dir, args.out_dir))


if __name__ == "__main__":
    main()
