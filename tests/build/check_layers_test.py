#!/usr/bin/env python3
"""The layer checker on small trees made here: it must pass a clean tree and
name the file and line of each wrong include, and of a cycle it closes."""
import os
import subprocess
import sys
import tempfile
import unittest

CHECKER = os.path.join(os.path.dirname(os.path.abspath(__file__)), "check_layers.py")


def make_tree(root, files):
    for path, text in files.items():
        full = os.path.join(root, path)
        os.makedirs(os.path.dirname(full), exist_ok=True)
        with open(full, "w") as f:
            f.write(text)


def run(root, *folders):
    r = subprocess.run([sys.executable, CHECKER, "--root", root, *folders], capture_output=True, text=True)
    return r.returncode, r.stdout


CLEAN = {
    "app/main.cpp": '#include "app/app.h"\n#include "engine/e.h"\n#include "ui/u.h"\n',
    "engine/e.h": '#pragma once\n#include "render/r.h"\n#include "platform/p.h"\n',
    "ui/u.h": '#include "render/r.h"\n#include <SDL/SDL.h>\n#include "local.h"\n',
    "render/r.h": '#include "platform/p.h"\n',
    "platform/p.h": "#pragma once\n",
    "tools/t.cpp": '#include "app/app.h"\n',   # not a checked folder
}


class Checker(unittest.TestCase):
    def test_cases(self):
        cases = [
            # (name, extra files, folders checked, expected status, expected lines)
            ("clean tree", {}, [], 0, []),
            ("render includes app",
             {"render/bad.cpp": '// x\n#include "app/app_state.h"\n'}, ["render"], 1,
             ["render/bad.cpp:2: render/ may not include app/"]),
            ("ui includes engine, checked with all folders",
             {"ui/w.cpp": '#include "engine/e.h"\n'}, [], 1,
             ["ui/w.cpp:1: ui/ may not include engine/"]),
            ("platform includes ui: a cycle through render",
             {"platform/q.cpp": '\n\n#include "ui/u.h"\n'}, ["platform"], 1,
             ["platform/q.cpp:3: platform/ may not include ui/",
              "platform/q.cpp:3: closes the folder cycle platform -> ui -> render -> platform"]),
            ("a wrong include elsewhere does not fail the folder checked",
             {"render/bad.cpp": '#include "app/app_state.h"\n'}, ["engine"], 0, []),
            ("a folder that does not exist is skipped", {}, ["subtitles", "upnp"], 0, []),
            ("an unknown folder is a usage error", {}, ["nonsense"], 2, []),
        ]
        for name, extra, folders, status, lines in cases:
            with self.subTest(name), tempfile.TemporaryDirectory() as root:
                make_tree(root, {**CLEAN, **extra})
                code, out = run(root, *folders)
                self.assertEqual(code, status, out)
                for line in lines:
                    self.assertIn(line, out)


if __name__ == "__main__":
    unittest.main()
