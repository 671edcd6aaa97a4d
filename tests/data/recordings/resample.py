#!/usr/bin/env python3

# SPDX-FileCopyrightText: 2026 Wavemill developers
#
# SPDX-License-Identifier: GPL-3.0-or-later

"""Puts one channel of a sigrok session file onto the board's sample grid.

    resample.py RECORDING.sr CHANNEL OUT.sr [--ird OUT.ird] [--from SECONDS] [--seconds S]

The level at each instant k x 20.0736 us of the recording (the sample that
covers it) becomes sample k, as the board would have read the same wire.
OUT.sr is a sigrok session file (format 2) with one channel, trace1, at
sigrok's whole-hertz rate for the board (49,817 Hz). With --ird, the first
10.2 s from --from also go into trace 1 of a Wavemill capture file, the
recording's last level held where it is shorter. Reads sigrok's session
formats 1 and 2 (chunks logic-1 or logic-1-N, unit size 1 to 4) a chunk at
a time, so that long recordings need little memory.
"""

import argparse
import re
import sys
import zipfile

PERIOD_S = 20.0736e-6
BOARD_RATE_HZ = 49817
CAPTURE_SAMPLES = 507904
TRACE_BUFFER = 63489


def rate_of(text):
    m = re.fullmatch(r"\s*([0-9.]+)\s*(Hz|kHz|MHz|GHz)?\s*", text)
    if not m:
        sys.exit(f"cannot read the sample rate {text!r}")
    scale = {"Hz": 1, "kHz": 1e3, "MHz": 1e6, "GHz": 1e9, None: 1}[m.group(2)]
    return float(m.group(1)) * scale


def metadata(archive):
    """The first device's keys, and its logic channels by name. Lines are
    "key=value" or "key = value", some written with a leading blank."""
    device, section = {}, None
    for line in archive.read("metadata").decode().splitlines():
        line = line.strip()
        if line.startswith("["):
            section = line
        elif section == "[device 1]" and "=" in line:
            key, value = line.split("=", 1)
            device[key.strip()] = value.strip()
    probes = {device[k]: int(k[5:]) for k in device if re.fullmatch(r"probe\d+", k)}
    return device, probes


def chunk_names(archive, capture):
    names = [n for n in archive.namelist() if n == capture or n.startswith(capture + "-")]
    return sorted(names, key=lambda n: int(n.rsplit("-", 1)[1]) if n != capture else 0)


def runs(archive, capture, unit, probe):
    """Yields (level, length) of the channel, in source samples, one chunk at a time."""
    byte, bit = divmod(probe - 1, 8)
    table = bytes(((v >> bit) & 1) for v in range(256))
    level, length = None, 0
    for name in chunk_names(archive, capture):
        with archive.open(name) as f:
            while True:
                block = f.read(unit * (1 << 20))
                if not block:
                    break
                levels = block[byte::unit].translate(table)
                at = 0
                while at < len(levels):
                    if level is None:
                        level = levels[at]
                    nxt = levels.find(b"\x00" if level else b"\x01", at)
                    if nxt < 0:
                        length += len(levels) - at
                        break
                    length += nxt - at
                    yield level, length
                    level, length, at = 1 - level, 0, nxt
    if level is not None and length:
        yield level, length


def on_grid(source_runs, rate, first_s):
    """Yields (level, count) of grid samples from the recording's runs."""
    step = PERIOD_S * rate  # source samples per grid sample
    k = 0  # next grid sample
    start = 0  # first source sample of the run
    origin = first_s * rate
    for level, length in source_runs:
        end = start + length
        # grid sample k reads the source sample floor(origin + k * step)
        last = int((end - origin) / step - 1e-9)  # last k whose instant falls before end
        while origin + (last + 1) * step < end:
            last += 1
        while last >= 0 and origin + last * step >= end:
            last -= 1
        if last >= k:
            yield level, last - k + 1
            k = last + 1
        start = end


def main():
    args = argparse.ArgumentParser()
    args.add_argument("recording")
    args.add_argument("channel")
    args.add_argument("out")
    args.add_argument("--ird")
    args.add_argument("--from", dest="first", type=float, default=0.0)
    args.add_argument("--seconds", type=float, default=0.0)
    a = args.parse_args()

    with zipfile.ZipFile(a.recording) as archive:
        device, probes = metadata(archive)
        if a.channel not in probes:
            sys.exit(f"no channel {a.channel!r}: {', '.join(probes)}")
        rate = rate_of(device["samplerate"])
        unit = int(device.get("unitsize", "1"))
        capture = device.get("capturefile", "logic-1")
        grid = []
        wanted = int(a.seconds / PERIOD_S) if a.seconds else None
        total = 0
        for level, count in on_grid(runs(archive, capture, unit, probes[a.channel]), rate, a.first):
            if wanted is not None and total + count > wanted:
                count = wanted - total
            grid.append((level, count))
            total += count
            if wanted is not None and total >= wanted:
                break

    samples = b"".join((b"\x01" if level else b"\x00") * count for level, count in grid)
    with zipfile.ZipFile(a.out, "w", zipfile.ZIP_DEFLATED) as out:
        out.writestr(zipfile.ZipInfo("version"), "2", zipfile.ZIP_STORED)
        out.writestr("metadata", "[global]\nsigrok version=0.5.2\n\n[device 1]\ncapturefile=logic-1\n"
                     "total probes=1\nsamplerate=49.817 kHz\ntotal analog=0\nprobe1=trace1\nunitsize=1\n")
        chunk = 4 << 20
        for i in range(0, max(len(samples), 1), chunk):
            out.writestr(f"logic-1-{i // chunk + 1}", samples[i:i + chunk])
    if a.ird:
        window = samples[:CAPTURE_SAMPLES]
        window += (window[-1:] or b"\x00") * (CAPTURE_SAMPLES - len(window))
        packed = bytearray(TRACE_BUFFER * 3)
        for i in range(0, CAPTURE_SAMPLES, 8):
            v = 0
            for b in window[i:i + 8]:
                v = v << 1 | b
            packed[i // 8] = v
        with open(a.ird, "wb") as f:
            f.write(packed)
    print(f"{a.out}: {len(samples)} samples ({len(samples) * PERIOD_S:.3f} s) from {rate:g} Hz")


if __name__ == "__main__":
    main()
