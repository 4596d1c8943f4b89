#!/usr/bin/env python3
"""Writes the seed corpus of the measurement fuzz target into corpus/.

Each seed is a small measurement file aimed at one corner of the reader:
GBK line names, GBK characters whose trail byte is "@", CRLF and CR line
ends, NUL bytes, long lines, dual-run lines, regrouping by method code and
the 100-line limit. Run it again after changing a seed; the files are
committed so that the fuzzer and ctest need no Python.
"""
import pathlib

OUT = pathlib.Path(__file__).resolve().parent / "corpus"


def rec(point, code="105", sight="B", reading="1.23456", dist="25.310"):
    return f"{point} {sight} {reading} {dist} 08:11:00 1 {code}"


def start(name, code="105"):
    return f"@{name} Line 2024-05-06 08:10:00 0 0 {code}"


def station2(a, b, code="107"):
    # Back, fore, fore, back: the outer sights on one staff, the inner on the other.
    return [rec(a, code, "B", "1.52341"), rec(b, code, "F", "1.20112"),
            rec(b, code, "F", "1.20108"), rec(a, code, "B", "1.52349")]


def station4(a, b, code="106"):
    return [rec(a, code, "B", "1.41230"), rec(a, code, "B", "1.41236"),
            rec(b, code, "F", "1.10230"), rec(b, code, "F", "1.10228")]


def lines(*parts, end="\n"):
    return (end.join(parts) + end).encode("ascii")


def gbk(text):
    return text.encode("gbk")


seeds = {}

seeds["second_order_crlf"] = lines(
    "PtID Code Reading Distance Time No Mode", start("BM1-BM2", "107"),
    *station2("BM1", "T1"), *station2("T2", "T1"), *station2("T2", "T3"), end="\r\n")

seeds["third_and_fourth"] = lines(
    start("L3"), *station2("A", "B", "105"), *station2("C", "B", "105"),
    start("L4", "106"), *station4("P", "Q"), *station4("Q", "R"))

# Two runs interleaved a station at a time: the reader splits "(R)" and "(L)".
seeds["dual_run"] = lines(
    start("D"), *station2("A", "B"), *station2("A", "B"), *station2("C", "B"),
    *station2("C", "B"), start("after"), *station2("E", "F"))
seeds["dual_run_at_end"] = lines(start("D"), *station2("A", "B"), rec("A"))

# Records whose method code starts an earlier line move back to it.
seeds["regroup"] = lines(
    start("first"), rec("A", "105"), rec("B", "106"), rec("C", "105"),
    start("second", "106"), rec("D", "106"), rec("E", "105"), rec("F", "107"),
    start("third", "107"), rec("G", "105"), rec("H", "107"))
seeds["records_before_first_start"] = lines(
    rec("X", "106"), rec("Y", "105"), start("named"), rec("Z", "106"))

# GBK names; 園 丂 嘆 end in 0x40, the "@" of a line start.
gbk_text = "\n".join([
    "@水准路线一 Line 2024-05-06 08:10:00 0 0 105",
    *(r for r in station2("园1", "水准点", "105")),
    "@園丂嘆 Line 2024-05-06 08:10:00 0 0 105",
    "園 B 1.0 2.0 0 0 105",
    "丂@ F 1.0 2.0 0 0 105",
    "嘆嘆 F 1.0 2.0 0 0 106",
]) + "\n"
seeds["gbk_names"] = gbk(gbk_text)
seeds["gbk_trail_at_only"] = gbk("園 B 1 2 3 4 5\n丂 F 1 2 3 4 5\n嘆 x y z 1 2 3\n")
seeds["gbk_cut_lead"] = gbk("@水 a b c d e f\n") + b"A B 1 2 3 4 \x81"
seeds["utf8_names"] = "@水准3 a b c d e 107\n返终点乙 B 1 2 3 4 107\n".encode("utf-8")

seeds["nul_bytes"] = (lines(start("N"), rec("A")) + b"A\x00 B 1 2 3 4 105\n\x00\x00\x00\n"
                      + b"@\x00 1 2 3 4 5 6\n" + lines(rec("B")))
seeds["cr_only"] = lines(start("C"), *station4("A", "B"), end="\r")
seeds["tabs_and_blanks"] = (b"\t" + lines(start("T")) + b"  A\tB 1 2 3 4 105\n"
                            + b"\v\f A B 1 2 3 4 105 \t\r\n   \n\r\n")
seeds["ptid_headers"] = lines(
    "PtID Code Reading Distance Time No Mode", start("P"), rec("PtID7"), rec("A"),
    "PtID", "PtID@ a b c d e f")

long_name = "N" * 5000
seeds["long_lines"] = lines(start(long_name), rec("A" * 3000), " ".join(["x"] * 2000),
                            rec("B", dist="9" * 400))
seeds["huge_numbers"] = lines(
    start("H", "107"), *[rec(p, "107", s, "1e308", "-1e308") for p, s in
                         (("A", "B"), ("B", "F"), ("B", "F"), ("A", "B"))],
    rec("A", "107", "B", "nan", "inf"), rec("B", "107", "F", "1e-320", "0x1p9"),
    rec("B", "107", "F", "-0", "99999999999"), rec("A", "107", "B", "1.5", "2.5"))

# More line starts than the store's 100 slots, one of them dual-run.
many = [start("D"), *station2("A", "B"), *station2("A", "B")]
for i in range(105):
    many += [start(f"L{i}", "105" if i % 2 else "106"), rec(f"P{i}", "106" if i % 3 else "105")]
seeds["too_many_lines"] = lines(*many)

seeds["utf16le_bom"] = b"\xff\xfe" + "\r\n".join([start("U"), rec("A")]).encode("utf-16-le")
seeds["utf16be_bom_gbk_name"] = b"\xfe\xff" + "\r\n".join(
    [start("水准3"), *station2("BM1", "T1")]).encode("utf-16-be")
seeds["utf16le_no_bom"] = "\r\n".join([start("U"), rec("A")]).encode("utf-16-le")
seeds["empty_fields"] = lines("@", "@ ", "@ @ @ @ @ @ @", "a b c d e f g", "      a b c d e f g   ")

OUT.mkdir(exist_ok=True)
for old in OUT.iterdir():
    old.unlink()
for name, data in sorted(seeds.items()):
    (OUT / f"{name}.mdt").write_bytes(data)
print(f"{len(seeds)} seeds in {OUT}")
