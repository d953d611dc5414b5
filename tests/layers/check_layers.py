#!/usr/bin/env python3
"""Fails when a file includes a layer above its own.

Layers, bottom up: base, input, prepare, render, output, convert (all Qt-free), then
platform (the only door to Qt), then window and batch side by side.
"""
import pathlib
import re
import sys

STAGES = ["base", "input", "prepare", "render", "output", "convert"]
RANK = {name: i for i, name in enumerate(STAGES)}
RANK["platform"] = len(STAGES)
RANK["window"] = RANK["batch"] = len(STAGES) + 1
INCLUDE = re.compile(r'^\s*#\s*include\s*([<"])([^>"]+)[>"]', re.M)
QT = re.compile(r"^(Q[A-Za-z]*|qt[a-z]*/.*|Qt[A-Za-z]*/.*)$")


def faults(root: pathlib.Path):
    for path in sorted(root.rglob("*")):
        if path.suffix not in {".h", ".cpp", ".inc"}:
            continue
        folder = path.relative_to(root).parts[0]
        if folder not in RANK:
            continue
        for bracket, target in INCLUDE.findall(path.read_text(errors="replace")):
            where = f"{path.relative_to(root)}: includes {target}"
            top = target.split("/")[0]
            if folder in STAGES and QT.match(target):
                yield f"{where} (Qt in a Qt-free stage)"
            elif bracket == '"' and top in RANK:
                if RANK[top] > RANK[folder] or (RANK[top] == RANK[folder] and top != folder):
                    yield f"{where} (a layer above or beside {folder}/)"


def main() -> int:
    root = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else ".")
    found = list(faults(root))
    for line in found:
        print(line)
    print(f"{len(found)} upward includes")
    return 1 if found else 0


if __name__ == "__main__":
    sys.exit(main())
