#!/usr/bin/env python3
"""Writes hostile staging files (the RTF of tmpfile.dmp) for bench/staging_bounds.sh.

  hostile_staging.py DIR [MB]   into DIR, each about MB megabytes (default 40):
    good.rtf       a tree report as Quillon writes it (the reference)
    deep.rtf       groups nested 100,000 deep around text, then closed
    open.rtf       100,000 groups opened and never closed, then text
    word.rtf       one control word of MB megabytes of letters
    param.rtf      one control word with a parameter of MB megabytes of digits
    line.rtf       one paragraph of MB megabytes with no break
    runs.rtf       one paragraph whose every character changes bold
    fonts.rtf      a font table of MB/20 thousand fonts
    colours.rtf    a colour table of MB/30 thousand colours
    unicode.rtf    \\uN escapes with fallbacks, then \\'hh bytes
    surrogates.rtf \\uN escapes of lone high surrogates only
    binary.rtf     random bytes but braces after the header
    bins.rtf       \\bin with huge counts and raw bytes
"""
import os
import random
import sys

HEADER = (b"{\\rtf1\\ansi\\ansicpg1252\\deff0\\deflang1033{\\fonttbl{\\f0\\fmodern\\fprq1"
          b"\\fcharset0 Courier New;}{\\f1\\fswiss\\fcharset0 Arial;}}{\\colortbl;\\red0\\green0"
          b"\\blue0;}\\viewkind4\\uc1\\pard\\li180\\cf1\\f0\\fs20\\par \r\n")


def main():
    folder = sys.argv[1]
    mb = int(sys.argv[2]) if len(sys.argv) > 2 else 40
    size = mb * 1000 * 1000
    os.makedirs(folder, exist_ok=True)

    def put(name, body, tail=b"\\par}\r\n", header=HEADER):
        with open(os.path.join(folder, name), "wb") as out:
            out.write(header + body + tail)

    lines = []
    total, i = 0, 0
    while total < size:
        line = b"|  " * (i % 5) + b"|-- some file name %d.txt\\par \r\n" % i
        lines.append(line)
        total += len(line)
        i += 1
    put("good.rtf", b"".join(lines), b" \\par\\par\\par}\r\n")
    depth = 100000
    filler = b"x" * max(0, size - 2 * depth)
    put("deep.rtf", b"{" * depth + filler + b"}" * depth)
    put("open.rtf", b"{" * depth + filler, b"")
    put("word.rtf", b"\\" + b"a" * size + b" text")
    put("param.rtf", b"\\fs" + b"9" * size + b" text")
    put("line.rtf", b"n" * size)
    put("runs.rtf", b"\\b x\\b0 y" * (size // 9))
    fonts = b"".join(b"{\\f%d\\fswiss Font number %d;}" % (n, n) for n in range(size // 37))
    put("fonts.rtf", b"", header=b"{\\rtf1\\ansi\\deff0{\\fonttbl" + fonts + b"}\\pard x")
    colours = b"".join(b"\\red%d\\green%d\\blue%d;" % (n % 256, n % 7, n % 9)
                       for n in range(size // 21))
    put("colours.rtf", b"", header=b"{\\rtf1\\ansi{\\colortbl;" + colours + b"}\\pard\\cf9 x")
    put("unicode.rtf", b"\\u8364?\\u-4064?\\'e9" * (size // 22))
    put("surrogates.rtf", b"\\u55296?" * (size // 8))
    rng = random.Random(18)
    put("binary.rtf", rng.randbytes(size).replace(b"{", b"x").replace(b"}", b"x"))
    put("bins.rtf", b"\\bin1000000000 " + b"x" * (size // 2) + b"}" +
        b"{\\bin10 0123456789}" * (size // 40))


if __name__ == "__main__":
    main()
