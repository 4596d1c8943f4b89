#!/usr/bin/env python3
"""Writes the same levelling observations as .mdt, GSI-16, GSI-8 and M5.

Two lines: a second-order line observed back-fore-fore-back (A01 to B02,
three stations) and a line observed alternately (aBFFB, B02 to C03) with
an inverted staff on the ceiling point Q2 and one intermediate sight. The
instrument's own results (station difference, running sums, heights) are
worked out here as the instrument would write them, rounded half away from
zero to the last digit written.

Run from this folder; it rewrites the four files here and the two samples.
"""

from decimal import Decimal, ROUND_HALF_UP
import os

# (point, sight, reading in 1e-5 m, distance in mm, time); per station in
# observed order. Sights: B1 F1 F2 B2 (back first) or F1 B1 B2 F2.
LINES = [
    {
        "method": "BFFB", "gsi": 2, "start": "A01", "height": 10000000,
        "stations": [
            [("A01", "B", 152341, 25310, "08:11:00"), ("P1", "F", 120112, 24870, "08:12:00"),
             ("P1", "F", 120108, 24880, "08:13:00"), ("A01", "B", 152349, 25320, "08:14:00")],
            [("P1", "B", 148820, 28400, "08:15:00"), ("P2", "F", 161204, 28950, "08:16:00"),
             ("P2", "F", 161199, 28930, "08:17:00"), ("P1", "B", 148826, 28420, "08:18:00")],
            [("P2", "B", 130455, 22050, "08:19:00"), ("B02", "F", 111730, 21600, "08:20:00"),
             ("B02", "F", 111734, 21620, "08:21:00"), ("P2", "B", 130461, 22070, "08:22:00")],
        ],
        "intermediate": {},
    },
    {
        "method": "aBFFB", "gsi": 4, "start": "B02", "height": 10038583,
        "stations": [
            [("B02", "B", 141230, 40200, "10:01:30"), ("Q1", "F", 138950, 39800, "10:02:30"),
             ("Q1", "F", 138954, 39900, "10:03:30"), ("B02", "B", 141236, 40100, "10:04:30")],
            [("Q2", "F", -45210, 30100, "10:05:30"), ("Q1", "B", 152004, 30500, "10:06:30"),
             ("Q1", "B", 152010, 30400, "10:07:30"), ("Q2", "F", -45206, 30200, "10:08:30")],
            [("Q2", "B", -50110, 33000, "10:10:30"), ("C03", "F", 120500, 32500, "10:11:30"),
             ("C03", "F", 120496, 32600, "10:12:30"), ("Q2", "B", -50104, 33100, "10:13:30")],
        ],
        # After station 2: an intermediate sight on M1.
        "intermediate": {1: ("M1", 123456, 15000, "10:09:30")},
    },
]


def round_half_away(value, unit):
    """value (a Decimal, 1e-5 m) to a multiple of unit, halves away from zero."""
    q = (abs(value) / unit).quantize(Decimal(1), rounding=ROUND_HALF_UP) * unit
    return int(q if value >= 0 else -q)


def station_results(line):
    """The instrument's values after each station, exact, in 1e-5 m."""
    out = []
    height = Decimal(line["height"])
    diff_sum = Decimal(0)
    dist_diff = Decimal(0)
    length = Decimal(0)
    back_sum = Decimal(0)
    fore_sum = Decimal(0)
    for st in line["stations"]:
        r = {}
        for p, s, reading, dist, t in st:
            key = s + ("1" if s + "1" not in r else "2")
            r[key] = (reading, dist)
        h1 = r["B1"][0] - r["F1"][0]
        h2 = r["B2"][0] - r["F2"][0]
        back = Decimal(r["B1"][1] + r["B2"][1]) / 2 * 100  # mm -> 1e-5 m
        fore = Decimal(r["F1"][1] + r["F2"][1]) / 2 * 100
        diff_sum += h1 - h2
        dist_diff += back - fore
        length += back + fore
        back_sum += back
        fore_sum += fore
        height += Decimal(h1 + h2) / 2
        out.append({"571": h1 - h2, "572": diff_sum, "573": dist_diff, "574": length,
                    "83": height, "Db": back_sum, "Df": fore_sum})
    return out


def sight_word(sight, seen):
    first = sight + "1" not in seen
    seen.add(sight + ("1" if first else "2"))
    return {("B", True): 331, ("F", True): 332, ("B", False): 335, ("F", False): 336}[
        (sight, first)]


# --- .mdt ---------------------------------------------------------------

def write_mdt(path):
    rows = ["PtID Code Reading Distance Time No Mode"]
    for line in LINES:
        first = line["start"]
        st = line["stations"][-1]
        last = st[1][0] if st[0][1] == "B" else st[0][0]
        rows.append(f"@{first}-{last} Line 2026-03-07 08:00:00 0 0 107")
        n = 0
        for st in line["stations"]:
            for p, s, reading, dist, t in st:
                n += 1
                rows.append(f"{p} {s} {reading / 1e5:.5f} {dist / 1e3:.3f} {t} {n} 107")
    with open(path, "w", newline="\r\n") as f:
        f.write("\n".join(rows) + "\n")


# --- GSI ----------------------------------------------------------------

class Gsi:
    def __init__(self, width):
        self.width = width
        self.address = 0
        self.lines = []

    def word(self, wi, units, value, info=None):
        head = str(wi)
        if info is None:
            head = head + "." * (5 - len(head)) + units
        else:
            head = head + info
        sign = "-" if isinstance(value, int) and value < 0 else "+"
        data = str(abs(value)) if isinstance(value, int) else value
        return head + sign + data.rjust(self.width, "0")

    def block(self, *words):
        prefix = "*" if self.width == 16 else ""
        self.lines.append(prefix + " ".join(words) + " ")

    def next_address(self):
        self.address += 1
        return f"{self.address:04d}"

    def point(self, name):
        return self.word(11, None, name, info=self.next_address())


def value_in(units, value):
    """value (1e-5 m) in the units of a GSI units digit, rounded as written."""
    unit = {"0": 100, "6": 10, "8": 1}[units]
    return round_half_away(Decimal(value), unit) // unit


def write_gsi(path, width):
    g = Gsi(width)
    # GSI-8 writes distances in mm and heights in 0.1 mm, GSI-16 all in 0.01 mm.
    du, hu = ("8", "8") if width == 16 else ("0", "6")
    for line in LINES:
        g.block(g.word(41, None, str(line["gsi"]), info=g.next_address()))
        g.block(g.point(line["start"]), g.word(83, hu, value_in(hu, line["height"])))
        results = station_results(line)
        for k, st in enumerate(line["stations"]):
            seen = set()
            for p, s, reading, dist, t in st:
                g.block(g.point(p), g.word(32, du, value_in(du, dist * 100)),
                        g.word(sight_word(s, seen), "8", reading))
            r = results[k]
            fore = st[1][0] if st[0][1] == "B" else st[0][0]
            g.block(g.point(fore), g.word(571, "8", value_in("8", r["571"])),
                    g.word(572, "8", value_in("8", r["572"])),
                    g.word(573, du, value_in(du, r["573"])),
                    g.word(574, du, value_in(du, r["574"])),
                    g.word(83, hu, value_in(hu, r["83"])))
            if k in line["intermediate"]:
                p, reading, dist, t = line["intermediate"][k]
                g.block(g.point(p), g.word(32, du, value_in(du, dist * 100)),
                        g.word(333, "8", reading))
    with open(path, "w", newline="\r\n") as f:
        f.write("\n".join(g.lines) + "\n")


# --- M5 -----------------------------------------------------------------

def m5_block(kind="", value="", unit=""):
    return f"{kind:<2}{value:>14} {unit:<5}|"


def m5_line(adr, kind, info, *blocks):
    blocks = list(blocks) + [m5_block()] * (3 - len(blocks))
    return f"For M5|Adr {adr:5d}|{kind:<4}{info:<27}|" + "".join(blocks)


def metres(value, decimals):
    return str(Decimal(value).scaleb(-5).quantize(Decimal(1).scaleb(-decimals),
                                                  rounding=ROUND_HALF_UP))


def write_m5(path):
    rows = []
    adr = 0

    def add(kind, info, *blocks):
        nonlocal adr
        adr += 1
        rows.append(m5_line(adr, kind, info, *blocks))

    def info(point, time, n):
        return f"{point:<8} {'':<3} {time:<8} {n:>5}"

    for n, line in enumerate(LINES, start=1):
        add("TO", "#" * 27)
        add("TO", f"Start-Line {line['method']}")
        add("KD1", info(line["start"], "", n), m5_block("Z", metres(line["height"], 5), "m"))
        results = station_results(line)
        for k, st in enumerate(line["stations"]):
            for p, s, reading, dist, t in st:
                add("KD1", info(p, t, n), m5_block("Rb" if s == "B" else "Rf",
                                                   metres(reading, 5), "m"),
                    m5_block("HD", metres(dist * 100, 3), "m"))
            r = results[k]
            fore = st[1][0] if st[0][1] == "B" else st[0][0]
            add("KD1", info(fore, "", n), m5_block("Sh", metres(r["571"], 5), "m"),
                m5_block("Z", metres(r["83"], 5), "m"))
            add("KD1", info(fore, "", n), m5_block("Db", metres(r["Db"], 3), "m"),
                m5_block("Df", metres(r["Df"], 3), "m"))
            if k in line["intermediate"]:
                p, reading, dist, t = line["intermediate"][k]
                add("KD1", info(p, t, n), m5_block("Rz", metres(reading, 5), "m"),
                    m5_block("HD", metres(dist * 100, 3), "m"))
        add("TO", "End-Line")
    with open(path, "w", newline="\r\n") as f:
        f.write("\n".join(rows) + "\n")


if __name__ == "__main__":
    here = os.path.dirname(os.path.abspath(__file__))
    samples = os.path.join(here, "..", "..", "..", "samples")
    write_mdt(os.path.join(here, "levelling.mdt"))
    write_gsi(os.path.join(here, "levelling.gsi"), 16)
    write_gsi(os.path.join(here, "levelling_gsi8.gsi"), 8)
    write_m5(os.path.join(here, "levelling.dat"))
    write_gsi(os.path.join(samples, "sample_gsi16.gsi"), 16)
    write_m5(os.path.join(samples, "sample_m5.dat"))
