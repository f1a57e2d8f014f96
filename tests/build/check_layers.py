#!/usr/bin/env python3
"""Checks that source folders include each other only downwards.

Reports, with file and line, each `#include "folder/..."` against the allowed
directions below and each folder cycle it closes; folders that do not exist
are skipped. Exit status 0 when all is well, 1 on a report, 2 on bad usage.

    check_layers.py [--root DIR] [FOLDER ...]

Without FOLDER arguments every known folder is checked.
"""
import argparse
import os
import re
import sys

# The allowed include directions (a folder may always include its own files).
# app, the frame, uses everything; the engine never reaches up into the
# screens; the screens (browser, streamer, upnp, settings) build on the
# toolkit and never on each other; platform, the bottom, includes nothing.
ALLOWED = {
    "app": {"engine", "render", "ui", "platform", "subtitles", "browser",
            "streamer", "upnp", "settings"},
    "engine": {"render", "subtitles", "platform"},
    "browser": {"ui", "render", "subtitles", "platform"},
    "streamer": {"ui", "render", "subtitles", "platform"},
    "upnp": {"ui", "render", "subtitles", "platform"},
    "settings": {"ui", "render", "subtitles", "platform"},
    "ui": {"render", "platform"},
    "subtitles": {"platform"},
    "render": {"platform"},
    "platform": set(),
}

SOURCE_SUFFIXES = (".h", ".hpp", ".cpp", ".cc", ".c", ".inc")
INCLUDE = re.compile(r'^\s*#\s*include\s*"([^"]+)"')


def scan(root, folder):
    """(file, line number, included folder) for every include of another known folder."""
    base = os.path.join(root, folder)
    found = []
    for dirpath, dirnames, filenames in os.walk(base):
        dirnames.sort()
        for name in sorted(filenames):
            if not name.endswith(SOURCE_SUFFIXES):
                continue
            path = os.path.join(dirpath, name)
            with open(path, encoding="utf-8", errors="replace") as f:
                for number, line in enumerate(f, 1):
                    m = INCLUDE.match(line)
                    if not m or "/" not in m.group(1):
                        continue
                    target = m.group(1).split("/", 1)[0]
                    if target in ALLOWED and target != folder:
                        found.append((os.path.relpath(path, root), number, target))
    return found


def path_between(edges, start, goal):
    """A folder path start -> ... -> goal along actual includes, or None."""
    queue, seen = [[start]], {start}
    while queue:
        path = queue.pop(0)
        for nxt in sorted(edges.get(path[-1], ())):
            if nxt == goal:
                return path + [nxt]
            if nxt not in seen:
                seen.add(nxt)
                queue.append(path + [nxt])
    return None


def check(root, folders):
    problems = []
    present = [f for f in ALLOWED if os.path.isdir(os.path.join(root, f))]
    includes = {f: scan(root, f) for f in present}
    edges = {f: {target for _, _, target in includes[f]} for f in present}
    for folder in folders:
        if folder not in includes:
            continue
        reported = set()
        for path, number, target in includes[folder]:
            if target in ALLOWED[folder]:
                continue
            problems.append(f"{path}:{number}: {folder}/ may not include {target}/")
            if target not in reported:
                reported.add(target)
                back = path_between(edges, target, folder)
                if back:
                    problems.append(f"{path}:{number}: closes the folder cycle {folder} -> " + " -> ".join(back))
    return problems


def main(argv):
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--root", default=os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", ".."))
    parser.add_argument("folders", nargs="*")
    args = parser.parse_args(argv)
    unknown = [f for f in args.folders if f not in ALLOWED]
    if unknown:
        print("unknown folder(s): " + ", ".join(unknown), file=sys.stderr)
        return 2
    problems = check(os.path.abspath(args.root), args.folders or sorted(ALLOWED))
    for p in problems:
        print(p)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
