#!/usr/bin/env python3
"""Fails when a file includes a layer above its own.

Layers, bottom up: base, input, prepare, render, output, convert (all Qt-free), then
platform (the only door to Qt), then window and batch side by side.

window/rules holds the window's own rules that need no Qt. It sits just
above the stages: it includes base and the stages only, and only the window
and platform (whose file dialog shows the request the rules make) include it.
"""
import pathlib
import re
import sys

STAGES = ["base", "input", "prepare", "render", "output", "convert"]
RULES = "window/rules"
RANK = {name: i for i, name in enumerate(STAGES)}
RANK[RULES] = len(STAGES)
RANK["platform"] = len(STAGES) + 1
RANK["window"] = RANK["batch"] = len(STAGES) + 2
QT_FREE = set(STAGES) | {RULES}
RULES_USERS = {RULES, "window", "platform"}
INCLUDE = re.compile(r'^\s*#\s*include\s*([<"])([^>"]+)[>"]', re.M)
QT = re.compile(r"^(Q[A-Za-z]*|qt[a-z]*/.*|Qt[A-Za-z]*/.*)$")


def layer(path: str) -> str:
    """The layer a path inside the tree belongs to ("" when none)."""
    if path.startswith(RULES + "/"):
        return RULES
    top = path.split("/")[0]
    return top if top in RANK else ""


def fault(folder: str, bracket: str, target: str) -> str:
    """Why a file in folder may not include target ("" when it may)."""
    if folder in QT_FREE and QT.match(target):
        return "Qt in a Qt-free folder"
    top = layer(target) if bracket == '"' else ""
    if not top:
        return ""
    if top == RULES and folder not in RULES_USERS:
        return f"{RULES}/ is the window's alone"
    if RANK[top] > RANK[folder] or (RANK[top] == RANK[folder] and top != folder):
        return f"a layer above or beside {folder}/"
    return ""


def faults(root: pathlib.Path):
    for path in sorted(root.rglob("*")):
        if path.suffix not in {".h", ".cpp", ".inc"}:
            continue
        relative = path.relative_to(root)
        folder = layer(relative.as_posix())
        if not folder:
            continue
        for bracket, target in INCLUDE.findall(path.read_text(errors="replace")):
            why = fault(folder, bracket, target)
            if why:
                yield f"{relative}: includes {target} ({why})"


def main() -> int:
    root = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else ".")
    found = list(faults(root))
    for line in found:
        print(line)
    print(f"{len(found)} upward includes")
    return 1 if found else 0


if __name__ == "__main__":
    sys.exit(main())
