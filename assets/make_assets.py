#!/usr/bin/env python3

# SPDX-FileCopyrightText: 2026 Wavemill developers
#
# SPDX-License-Identifier: GPL-3.0-or-later

"""Makes the About window's background picture and the program icon.

The picture is a 350 x 235 JPEG, a pale blue and white abstract design of
soft rings and flowing lines with no text; the icon is a square wave over a
blue tile, as PNGs of 32 (the windows' title bar), 64, 128 and 256 pixels
(the menu and software centres). All are drawn by ImageMagick's `convert`
from shapes computed here, with a fixed seed so the same files come out
every time. The results are committed, so building the program never needs
this script or ImageMagick.

Usage: python3 assets/make_assets.py [output folder]   (default: assets/)
"""

import math
import os
import random
import subprocess
import sys
import tempfile
from pathlib import Path

PICTURE_SIZE = (350, 235)   # the About window is sized from this picture
PICTURE_TARGET_BYTES = 23 * 1024
ICON_SIZES = (32, 64, 128, 256)  # drawn on a 32-pixel grid, scaled up
SEED = 2026                 # fixed, so the files can be made again unchanged


def convert(args):
    subprocess.run(["convert", *args], check=True)


def wave_points(width, base, amplitude, period, phase, step=5):
    points = []
    for x in range(-10, width + 11, step):
        y = base + amplitude * math.sin(2 * math.pi * x / period + phase)
        points.append(f"{x},{y:.1f}")
    return " ".join(points)


def picture_commands(rng):
    width, height = PICTURE_SIZE
    cmds = []
    # Soft rings scattered over the picture.
    for _ in range(14):
        cx, cy = rng.uniform(0, width), rng.uniform(0, height)
        r = rng.uniform(12, 70)
        shade = rng.choice(["#ffffff", "#e4f0fb", "#cfe3f6", "#b9d6f2"])
        alpha = rng.uniform(0.25, 0.6)
        cmds += ["-fill", f"rgba(255,255,255,{alpha * 0.5:.2f})",
                 "-stroke", shade, "-strokewidth", f"{rng.uniform(1, 4):.1f}",
                 "-draw", f"circle {cx:.1f},{cy:.1f} {cx + r:.1f},{cy:.1f}"]
    # Flowing lines across the width.
    for i in range(9):
        base = 30 + i * 22 + rng.uniform(-8, 8)
        amp = rng.uniform(6, 22)
        period = rng.uniform(120, 320)
        phase = rng.uniform(0, 2 * math.pi)
        shade = rng.choice(["#ffffff", "#d6e8f8", "#a9cdee"])
        cmds += ["-fill", "none", "-stroke", shade,
                 "-strokewidth", f"{rng.uniform(0.8, 2.5):.1f}",
                 "-draw", f"polyline {wave_points(width, base, amp, period, phase)}"]
    return cmds


def make_picture(folder, rng):
    width, height = PICTURE_SIZE
    with tempfile.TemporaryDirectory() as tmp:
        master = os.path.join(tmp, "master.png")
        convert(["-size", f"{width}x{height}", "-seed", str(SEED),
                 "gradient:#c4dcf4-#ffffff", "-rotate", "0",
                 *picture_commands(rng),
                 "-blur", "0x0.6",
                 # a faint grain keeps the large smooth areas from banding
                 "-attenuate", "0.35", "+noise", "Gaussian",
                 master])
        # Pick the JPEG quality whose file comes closest to the wanted size.
        best = None
        for quality in range(60, 98):
            trial = os.path.join(tmp, f"q{quality}.jpg")
            convert([master, "-strip", "-sampling-factor", "4:2:0",
                     "-quality", str(quality), trial])
            size = os.path.getsize(trial)
            if best is None or abs(size - PICTURE_TARGET_BYTES) < abs(best[1] - PICTURE_TARGET_BYTES):
                best = (trial, size, quality)
        out = folder / "about.jpg"
        out.write_bytes(Path(best[0]).read_bytes())
        print(f"{out}: {width}x{height}, quality {best[2]}, {best[1]} bytes")


# The square wave of the icon on its 32-pixel grid, and the line under it.
WAVE = ((3, 21), (9, 21), (9, 10), (16, 10), (16, 21), (23, 21), (23, 10), (29, 10))
UNDERLINE = ((3, 25), (29, 25))


def wave_rectangles(k):
    """The wave as filled rectangles of whole pixels, 2k thick, one per
    segment, each running on by k to fill the corners; the wave's two ends
    stop flat. (Stroking the path instead gives stray diagonals at wide
    strokes in ImageMagick 6.)"""
    rects = []
    last = len(WAVE) - 2
    for i, ((x0, y0), (x1, y1)) in enumerate(zip(WAVE, WAVE[1:])):
        left, right = min(x0, x1) * k - k, max(x0, x1) * k + k
        top, bottom = min(y0, y1) * k - k, max(y0, y1) * k + k
        if i == 0:
            left += k
        if i == last:
            right -= k
        # +antialias rectangles name their first and last pixel
        rects.append(f"rectangle {left},{top} {right - 1},{bottom - 1}")
    return rects


def make_icon(folder, size):
    # The 32-pixel drawing scaled by k, on whole pixels at every size.
    k = size // 32
    edge = 0.5 * k
    (ux0, uy), (ux1, _) = UNDERLINE
    draws = []
    for rect in wave_rectangles(k):
        draws += ["-draw", rect]
    out = folder / f"icon{size}.png"
    convert(["-size", f"{size}x{size}", "xc:none",
             # a rounded blue tile
             "-fill", "#2f6fb6", "-stroke", "#1d4f8a", "-strokewidth", f"{k}",
             "-draw", f"roundrectangle {edge:g},{edge:g} {size - edge:g},{size - edge:g} "
                      f"{6 * k},{6 * k}",
             # the square wave, the analyzer's own trace, and a line under it
             "+antialias", "-stroke", "none", "-fill", "#ffffff", *draws,
             "-fill", "#9fc6ef",
             "-draw", f"rectangle {ux0 * k},{uy * k} {ux1 * k - 1},{(uy + 1) * k - 1}",
             "-strip", "-define", "png:exclude-chunks=date,time",
             f"PNG32:{out}"])
    print(f"{out}: {size}x{size}, {out.stat().st_size} bytes")


def main():
    folder = Path(sys.argv[1]) if len(sys.argv) > 1 else Path(__file__).resolve().parent
    folder.mkdir(parents=True, exist_ok=True)
    rng = random.Random(SEED)
    make_picture(folder, rng)
    for size in ICON_SIZES:
        make_icon(folder, size)


if __name__ == "__main__":
    main()
