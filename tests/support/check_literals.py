#!/usr/bin/env python3
"""Fails when a narrow string or character literal in the sources holds a
letter outside ASCII. The program's own strings are code page 1252 and clang
compiles narrow literals as UTF-8 only, so such letters are written as byte
escapes ("Gr\\xF6\\xDF" "e"); wide (L"") and UTF-8 (u8"") literals keep them."""
import pathlib
import re
import sys

LITERAL = re.compile(r'(//.*$)|(?P<prefix>\b(?:u8|u|U|L)?R?)?(?P<quote>["\'])(?P<body>(?:\\.|(?!(?P=quote)).)*)(?P=quote)')


def faults(path):
    for number, line in enumerate(path.read_text(encoding="utf-8").splitlines(), 1):
        if line.isascii():
            continue
        for match in LITERAL.finditer(line):
            if match.group(1) or match.group("prefix") or match.group("body").isascii():
                continue
            yield f"{path}:{number}: {line.strip()}"


root = pathlib.Path(sys.argv[1])
found = [fault for folder in ("src", "tests", "tools", "bench")
         for path in sorted((root / folder).rglob("*")) if path.suffix in (".cpp", ".h")
         for fault in faults(path)]
for fault in found:
    print(fault)
if found:
    print(f"{len(found)} narrow literals with letters outside ASCII: write them as byte escapes")
    sys.exit(1)
print("narrow literals: ASCII only")
