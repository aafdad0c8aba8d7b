#!/usr/bin/env python3
"""Lists the functions of src/ longer than a number of lines (50 unless given), longest first.

A function is counted from the first line of its signature to its closing brace. It relies on
the repository's format (.clang-format puts a function's opening brace on a line of its own),
so it needs no compiler: run it on formatted sources.
usage: tools/long-functions.py [LINES] [FOLDER...]
"""
import pathlib
import re
import sys

limit = int(sys.argv[1]) if len(sys.argv) > 1 else 50
roots = sys.argv[2:] or ["src"]
found = []
for root in roots:
    for path in sorted(pathlib.Path(root).rglob("*")):
        if path.suffix not in (".cpp", ".h", ".inl"):
            continue
        lines = path.read_text(errors="replace").split("\n")
        i = 0
        while i < len(lines):
            m = re.fullmatch(r"( *)\{", lines[i])
            if not m or i == 0 or not lines[i - 1].strip():
                i += 1
                continue
            indent = m.group(1)
            end = i + 1
            while end < len(lines) and not re.fullmatch(indent + r"\}.*", lines[end]):
                end += 1
            start = i - 1  # the signature: back to a blank line, a comment or the last statement
            while start > 0:
                before = lines[start - 1].strip()
                if (not before or before.startswith(("//", "/*", "*", "#", "}", "template"))
                        or before.endswith((";", "{", "}", ":"))):
                    break
                start -= 1
            name = re.sub(r"\s+", " ", " ".join(l.strip() for l in lines[start:i]))
            name = re.split(r"\(", name)[0].split(" ")[-1]
            length = end - start + 1
            if length > limit:
                found.append((length, f"{path}:{start + 1}", name))
            i = end + 1
found.sort(reverse=True)
for length, where, name in found:
    print(f"{length:5} {where} {name}")
print(f"{len(found)} functions over {limit} lines", file=sys.stderr)
