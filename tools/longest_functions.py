#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""The longest functions of C++ sources, a line each: lines, file, signature.

Counts a function defined at namespace scope in our layout (its opening brace alone on a
line at the left margin) from its signature's first line to its closing brace.
Usage: tools/longest_functions.py [-n COUNT] FOLDER...
"""
import argparse
import pathlib
import re


def functions(path):
    lines = path.read_text(encoding="utf-8").split("\n")
    for i, line in enumerate(lines):
        if line != "{" or i == 0:
            continue
        start = i - 1
        while start > 0 and lines[start].startswith(" "):
            start -= 1
        signature = lines[start].strip()
        if signature.startswith(("namespace", "class", "struct", "enum", "extern")) or signature.endswith(";"):
            continue
        end = i + 1
        while end < len(lines) and lines[end] != "}":
            end += 1
        yield end - start + 1, re.sub(r"\s+", " ", signature)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("-n", type=int, default=15, help="how many to list")
    parser.add_argument("folders", nargs="+")
    args = parser.parse_args()
    rows = []
    for folder in args.folders:
        for path in sorted(pathlib.Path(folder).rglob("*.cpp")):
            rows += [(length, str(path), signature) for length, signature in functions(path)]
    rows.sort(key=lambda row: -row[0])
    for length, path, signature in rows[: args.n]:
        print(f"{length}\t{path}\t{signature[:100]}")


if __name__ == "__main__":
    main()
