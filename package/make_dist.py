#!/usr/bin/env python3
"""Packs the shipped plug-in: `make_dist.py BIN_DIR OUT_DIR [--version V]`.

BIN_DIR is the bin folder of a 32-bit build (win32 preset): its canvas.nbp,
already stripped by the build, and canvas.nbp.debug beside it. Writes

    OUT_DIR/canvas-nbp-VERSION.zip         canvas.nbp, LEAME.txt, ejemplos/demo.script
    OUT_DIR/symbols/VERSION/canvas.nbp.debug

and prints the zip's path. VERSION is `git describe --tags --always --dirty`
of the source tree. LEAME.txt is docs/LEAME.md turned into plain text in
Windows-1252 with CRLF line ends, what Notepad shows best on a Spanish
Windows. `./run dist` (from a clean build) and the dist.package test (from
the win32 tier's build) both pack through this one script.
"""
import argparse
import os
import re
import shutil
import subprocess
import sys
import textwrap
import time
import zipfile

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
WIDTH = 76  # LEAME.txt lines, for Notepad at its default window size
KEEP = "\0"  # a blank that wrapping must not break at

# name in the zip -> where it comes from (None: made here)
CONTENTS = {
    "canvas.nbp": "BIN/canvas.nbp",
    "LEAME.txt": None,
    "ejemplos/demo.script": "examples/demo.script",
}


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

def version():
    try:
        return subprocess.run(["git", "describe", "--tags", "--always", "--dirty"],
                              cwd=ROOT, capture_output=True, text=True,
                              check=True).stdout.strip()
    except (OSError, subprocess.CalledProcessError):
        return "unknown"


def pack(bin_dir, out_dir, ver):
    dll = os.path.join(bin_dir, "canvas.nbp")
    symbols = os.path.join(bin_dir, "canvas.nbp.debug")
    for path in (dll, symbols):
        if not os.path.isfile(path):
            raise SystemExit("make_dist: %s is missing; build the win32 preset first" % path)
    with open(os.path.join(ROOT, "docs", "LEAME.md"), encoding="utf-8") as f:
        leame = windows_text(markdown_to_text(f.read()), "docs/LEAME.md")

    os.makedirs(out_dir, exist_ok=True)
    zip_path = os.path.join(out_dir, "canvas-nbp-%s.zip" % ver)
    tmp = zip_path + ".part"
    with zipfile.ZipFile(tmp, "w", zipfile.ZIP_DEFLATED, compresslevel=9) as z:
        for name, source in CONTENTS.items():
            if source is None:
                info = zipfile.ZipInfo(name, date_time=time.localtime()[:6])
                info.compress_type = zipfile.ZIP_DEFLATED
                info.external_attr = 0o644 << 16
                z.writestr(info, leame)
            else:
                path = dll if source.startswith("BIN/") else os.path.join(ROOT, source)
                z.write(path, name)
    os.replace(tmp, zip_path)

    symbol_dir = os.path.join(out_dir, "symbols", ver)
    os.makedirs(symbol_dir, exist_ok=True)
    shutil.copyfile(symbols, os.path.join(symbol_dir, "canvas.nbp.debug"))
    return zip_path


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("bin_dir")
    parser.add_argument("out_dir")
    parser.add_argument("--version", help="instead of git describe")
    args = parser.parse_args()
    ver = args.version or version()
    print(pack(args.bin_dir, args.out_dir, ver))


if __name__ == "__main__":
    main()
