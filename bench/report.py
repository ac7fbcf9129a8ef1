#!/usr/bin/env python3
"""Turns the raw figures of one benchmark run into one table.

Every figure is divided by a floor measured in the same run (memset or
memcpy of the same pixels, GDI's Ellipse, one BitBlt), so that the table
reads the same on a faster or a busier machine. Inputs:

  --native FILE   Google Benchmark JSON of raster_bench (median aggregates)
  --circle FILE   lines "name<TAB>seconds" of circle_bench.exe (wine64)
  --canvas FILE   lines "name<TAB>seconds" of canvas_bench.exe (wine64)
  --refresh FILE  lines "name<TAB>seconds" of refresh_bench.exe (wine64): pairs
                  timed in alternating batches, each row against its pair
  --doc FILE      replace the block between the bench markers of FILE
                  with the table and the machine it ran on

The table goes to standard output in Markdown.
"""

import argparse
import datetime
import json
import os
import platform
import re
import subprocess
import sys

BEGIN = "<!-- bench:begin (written by bench/report.py) -->"
END = "<!-- bench:end -->"

SIZES = ["320x240", "800x600", "1920x1080"]
# Circle cases: (name in the table, native benchmark name, Windows name).
CIRCLES = [
    ("r = 10", "BM_Circle/radius:10/crossing:0", "r=10"),
    ("r = 100", "BM_Circle/radius:100/crossing:0", "r=100"),
    ("r = 1000", "BM_Circle/radius:1000/crossing:0", "r=1000"),
    ("r = 1e5, crossing the image", "BM_Circle/radius:100000/crossing:1", "r=100000 crossing"),
    ("r = 1e5, containing the image", "BM_Circle/radius:100000/crossing:0",
     "r=100000 containing"),
    ("r = 2e9, crossing the image", "BM_Circle/radius:2000000000/crossing:1",
     "r=2000000000 crossing"),
    ("r = 2e9, containing the image", "BM_Circle/radius:2000000000/crossing:0",
     "r=2000000000 containing"),
]


# Actions end to end: at most this many copies of the image, without the
# repaint. The others that canvas_bench times show their ratio alone.
ACTION_TARGETS = {"kiv_DrawCircle": 3, "kiv_ClearCanvas": 3}


def timed_actions(canvas, size):
    """The actions canvas_bench timed on a size, in its order: each one
    prints "ACTION SIZE" and "ACTION +repaint SIZE"."""
    suffix = f" +repaint {size}"
    return [name[:-len(suffix)] for name in canvas if name.endswith(suffix)]


def read_native(path):
    with open(path) as f:
        data = json.load(f)
    scale = {"ns": 1e-9, "us": 1e-6, "ms": 1e-3, "s": 1.0}
    out = {}
    for b in data["benchmarks"]:
        if b.get("run_type") == "aggregate" and b.get("aggregate_name") != "median":
            continue
        name = b.get("run_name", b["name"])
        out[name] = b["cpu_time"] * scale[b.get("time_unit", "ns")]
    return out


def read_lines(path):
    out = {}
    with open(path) as f:
        for line in f:
            if "\t" in line:
                name, value = line.rstrip("\n").split("\t")
                out[name] = float(value)
    return out


def fmt_time(s):
    if s is None:
        return "—"
    if s >= 1e-3:
        return f"{s * 1e3:.3g} ms"
    if s >= 1e-6:
        return f"{s * 1e6:.3g} µs"
    return f"{s * 1e9:.3g} ns"


class Table:
    def __init__(self):
        self.rows = []
        self.missed = []
        self.where = ""

    def section(self, title, where=""):
        self.rows.append(f"| **{title}** | | | | | |")
        self.where = where

    def row(self, name, time, floor_name, floor, target="—", ok=None):
        ratio = "—"
        if time is not None and floor:
            ratio = f"{time / floor:.2f}"
        verdict = "" if ok is None else (" ✓" if ok else " ✗")
        if ok is False:
            self.missed.append(f"{name} ({self.where})" if self.where else name)
        self.rows.append(f"| {name} | {fmt_time(time)} | {floor_name} | {fmt_time(floor)} "
                         f"| {ratio} | {target}{verdict} |")

    def markdown(self):
        head = ["| measurement | time | floor | floor time | ratio | target |",
                "|---|---:|---|---:|---:|---|"]
        return "\n".join(head + self.rows)


def refresh_rows(t, refresh):
    """Small changes against the same on 320 x 240; the unchanged repaint
    and clear + update against the nested windows' paint of the same size
    (the target) and the bare window's."""
    small = SIZES[0]
    for size in SIZES[1:]:
        w, h = size.split("x")
        t.section(f"a small change on {w} x {h} against the same on 320 x 240 (wine64)", f"{w} x {h}")
        for change, label in [("circle r8", "circle, radius 8"), ("text Hg", 'text "Hg", Arial 10')]:
            for update in ["", " +update"]:
                key = f"{change}{update} {small} vs {size}"
                large, base = refresh.get(key + " large"), refresh.get(key + " small")
                t.row(label + (" + update" if update else ""), large, "the same on 320 x 240", base,
                      "≤ 1.5", large is not None and base and large / base <= 1.5)
    for size in SIZES:
        w, h = size.split("x")
        t.section(f"showing a {w} x {h} canvas against the same nested windows and a bare "
                  "window, timed in turn (wine64)", f"{w} x {h}")
        repaint = refresh.get("repaint unchanged " + size)
        nested, bare = refresh.get("nested windows paint " + size), refresh.get("bare window paint " + size)
        t.row("unchanged canvas invalidated and repainted", repaint,
              "nested windows: one BitBlt of the update rectangle", nested, "≤ 1.25",
              repaint is not None and nested and repaint / nested <= 1.25)
        t.row("the same", repaint, "bare top-level window: the same paint", bare)
        clear = refresh.get("clear +update " + size)
        nested = refresh.get("nested windows paint, clear group " + size)
        bare = refresh.get("bare window paint, clear group " + size)
        t.row("kiv_ClearCanvas + update", clear, "nested windows' whole paint", nested, "≤ 2",
              clear is not None and nested and clear / nested <= 2)
        t.row("the same", clear, "bare top-level window's whole paint", bare)
        t.row("the same", clear, "nested windows: two image-size writes, then the whole paint",
              refresh.get("nested windows, two image writes and paint " + size))


def build(native, circle, canvas, refresh=None):
    t = Table()
    if native:
        t.section("raster core, native -O2 build, 1920 x 1080 image (CPU time)")
        memset = native.get("BM_Memset")
        for kernels, key in [("plain", "BM_BoxFill/sse2:0"), ("SSE2", "BM_BoxFill/sse2:1")]:
            box = native.get(key)
            t.row(f"box fill, whole image, {kernels} kernel", box, "memset, same bytes", memset,
                  "≤ 1.43 (≥ 0.7 of memset's speed)",
                  box is not None and memset and box / memset <= 1 / 0.7)
        for label, key, _ in CIRCLES:
            v = native.get(key)
            t.row(f"circle outline {label}", v, "memset of the image", memset, "≤ 1 ms",
                  v is not None and v <= 1e-3)
        area = native.get("BM_MemcpyTextArea")
        t.row("text blend 400 x 40, transparent", native.get("BM_TextBlend/transparent:1"),
              "memcpy of those pixels", area)
        t.row("text blend 400 x 40, on a back colour", native.get("BM_TextBlend/transparent:0"),
              "memcpy of those pixels", area)
        copy = native.get("BM_MemcpyImage")
        for kernels, flag in [("plain", 0), ("SSE2", 1)]:
            t.row(f"premultiplied copy of an opaque image, {kernels} kernel",
                  native.get(f"BM_PremultipliedCopy/sse2:{flag}/piece:{1920 * 1080}"),
                  "memcpy of the image", copy)
            t.row(f"the same copy in calls of 8 pixels, {kernels} kernel",
                  native.get(f"BM_PremultipliedCopy/sse2:{flag}/piece:8"), "memcpy of the image", copy)
    if circle:
        t.section("circles under wine64 on a 1920 x 1080 DIB section: the core against GDI's Ellipse")
        for label, _, key in CIRCLES:
            core = circle.get("core circle " + key)
            gdi = circle.get("gdi ellipse " + key)
            if gdi is None:
                t.row(f"core circle {label}", core, "Ellipse: its box leaves the int range", None,
                      "≤ 1 ms", core is not None and core <= 1e-3)
            else:
                t.row(f"core circle {label}", core, "GDI Ellipse", gdi, "≤ 1 and ≤ 1 ms",
                      core is not None and core <= gdi and core <= 1e-3)
        for kernels in ["plain", "SSE2"]:
            t.row(f"core box fill, win64 build, {kernels} kernel",
                  circle.get("core box fill " + kernels.lower()), "memset (msvcrt)", circle.get("memset"))
    if canvas:
        for size in SIZES:
            copy = canvas.get("memcpy " + size)
            if copy is None:
                continue
            w, h = size.split("x")
            t.section(f"end to end under wine64, canvas {w} x {h}: _nbExecAction on canvas.nbp",
                      f"{w} x {h}")
            for action in timed_actions(canvas, size):
                v = canvas.get(f"{action} {size}")
                if action in ACTION_TARGETS:
                    most = ACTION_TARGETS[action]
                    t.row(action, v, "memcpy of the image", copy, f"≤ {most}",
                          v is not None and v / copy <= most)
                else:
                    t.row(action, v, "memcpy of the image", copy)
                t.row(f"{action} + repaint", canvas.get(f"{action} +repaint {size}"),
                      "memcpy of the image", copy)
            blit = canvas.get("BitBlt " + size)
            repaint = canvas.get("repaint " + size)
            t.row("repaint, pixels unchanged", repaint, "BitBlt of the image", blit, "≤ 2",
                  repaint is not None and blit and repaint / blit <= 2)
            t.row("WM_PAINT of a bare window: one BitBlt", canvas.get("WM_PAINT with one BitBlt " + size),
                  "BitBlt of the image", blit)
    if refresh:
        refresh_rows(t, refresh)
    return t


def machine():
    model = "unknown CPU"
    try:
        with open("/proc/cpuinfo") as f:
            for line in f:
                if line.startswith("model name"):
                    model = line.split(":", 1)[1].strip()
                    break
    except OSError:
        pass
    try:
        with open("/proc/loadavg") as f:
            load = " ".join(f.read().split()[:3])
    except OSError:
        load = "?"
    try:
        wine = subprocess.run(["/usr/lib/wine/wine64", "--version"], capture_output=True,
                              text=True, timeout=30).stdout.strip()
    except (OSError, subprocess.SubprocessError):
        wine = "?"
    date = datetime.datetime.now(datetime.timezone.utc).strftime("%Y-%m-%d %H:%M UTC")
    return (f"{model}, {os.cpu_count()} cores, {platform.system()} {platform.release()}, "
            f"{wine}; {date}; load average at the end {load}")


def main():
    p = argparse.ArgumentParser()
    p.add_argument("--native")
    p.add_argument("--circle")
    p.add_argument("--canvas")
    p.add_argument("--refresh")
    p.add_argument("--doc")
    a = p.parse_args()
    table = build(read_native(a.native) if a.native else {},
                  read_lines(a.circle) if a.circle else {},
                  read_lines(a.canvas) if a.canvas else {},
                  read_lines(a.refresh) if a.refresh else {})
    text = f"Machine: {machine()}\n\n{table.markdown()}\n"
    if table.missed:
        text += "\nTargets missed: " + "; ".join(table.missed) + ".\n"
    sys.stdout.write(text)
    if a.doc:
        with open(a.doc) as f:
            doc = f.read()
        pattern = re.compile(re.escape(BEGIN) + ".*?" + re.escape(END), re.S)
        block = f"{BEGIN}\n{text}{END}"
        if pattern.search(doc):
            doc = pattern.sub(lambda _: block, doc)
        else:
            doc = doc.rstrip("\n") + "\n\n" + block + "\n"
        with open(a.doc, "w") as f:
            f.write(doc)


if __name__ == "__main__":
    main()
