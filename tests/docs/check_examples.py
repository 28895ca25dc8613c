#!/usr/bin/python3
# SPDX-License-Identifier: MIT
"""Runs the examples of the README and of docs/*.md and compares their output.

The convention (docs/development.md tells it to writers):
- A ```console block holds commands, on lines beginning with "$ ", each followed
  by its exact standard output. A command ending in a backslash goes on over the
  next line. Standard error is not compared: an example that shows a message
  redirects it with 2>&1.
- A ```pycon block is a doctest (">>> " and "... " lines, then the output).
- A block preceded by an HTML comment "<!-- not tested: REASON -->" is skipped
  and counted, and so is one preceded by "<!-- needs the Python module -->" when
  the module is not built; ```sh, ```python and other blocks show no output and are not run.

Each block runs in a fresh scratch folder holding a copy of examples/, so that
commands written from the repository's root work and nothing in it is written.
"""
import argparse
import doctest
import os
import re
import shutil
import subprocess
import sys
import tempfile

FENCE = re.compile(r"^```(\w*)\s*$")
NOT_TESTED = re.compile(r"^<!--\s*not tested:.*-->\s*$")
NEEDS_PYTHON = "<!-- needs the Python module -->"


def blocks(path):
    """Yields (language, first line number, lines, comment before) for each fenced block."""
    lines = open(path, encoding="utf-8").read().split("\n")
    i = 0
    while i < len(lines):
        match = FENCE.match(lines[i])
        if not match:
            i += 1
            continue
        start = i
        j = i + 1
        while j < len(lines) and lines[j].rstrip() != "```":
            j += 1
        previous = next((l for l in reversed(lines[:start]) if l.strip()), "")
        yield match.group(1), start + 2, lines[i + 1:j], previous.strip()
        i = j + 1


def commands(lines):
    """Splits a console block into (command, expected output) pairs."""
    pairs = []
    for line in lines:
        if line.startswith("$ ") and not (pairs and pairs[-1][0].endswith("\\")):
            pairs.append([line[2:], []])
        elif pairs and pairs[-1][0].endswith("\\") and not pairs[-1][1]:
            pairs[-1][0] += "\n" + line
        elif pairs:
            pairs[-1][1].append(line)
        else:
            raise ValueError(f"output before any command: {line!r}")
    return [(command, "".join(l + "\n" for l in out)) for command, out in pairs]


def scratch(root):
    folder = tempfile.mkdtemp(prefix="sheetfind-docs-")
    shutil.copytree(os.path.join(root, "examples"), os.path.join(folder, "examples"))
    return folder


def run_console(root, where, lines, env):
    failures = 0
    folder = scratch(root)
    try:
        for command, expected in commands(lines):
            result = subprocess.run(["bash", "-c", command], cwd=folder, env=env,
                                    capture_output=True, text=True, timeout=120)
            if result.stdout != expected:
                failures += 1
                print(f"FAIL {where}\n$ {command}\n--- expected\n{expected}--- got "
                      f"(exit status {result.returncode})\n{result.stdout}"
                      f"--- standard error\n{result.stderr}", file=sys.stderr)
    finally:
        shutil.rmtree(folder)
    return failures


def run_doctest(root, where, lines):
    folder = scratch(root)
    here = os.getcwd()
    os.chdir(folder)
    try:
        test = doctest.DocTestParser().get_doctest("\n".join(lines) + "\n", {}, where, where, 0)
        runner = doctest.DocTestRunner(optionflags=doctest.ELLIPSIS)
        runner.run(test, out=lambda text: print(f"FAIL {where}\n{text}", file=sys.stderr, end=""))
        return runner.failures
    finally:
        os.chdir(here)
        shutil.rmtree(folder)


def main():
    parser = argparse.ArgumentParser(usage="%(prog)s --root DIR --cli-dir DIR [--no-python] FILE...")
    parser.add_argument("--root", required=True, help="the repository's root")
    parser.add_argument("--cli-dir", required=True, help="the folder holding sheetfind-cli")
    parser.add_argument("--no-python", action="store_true", help="skip the doctests")
    parser.add_argument("files", nargs="+")
    options = parser.parse_args()

    env = dict(os.environ, LC_ALL="C.UTF-8")
    env["PATH"] = os.path.abspath(options.cli_dir) + os.pathsep + env.get("PATH", "")
    ran = skipped = failures = 0
    for path in options.files:
        for language, line, lines, before in blocks(path):
            where = f"{os.path.relpath(path, options.root)}:{line}"
            if language not in ("console", "pycon"):
                continue
            needs_python = language == "pycon" or before == NEEDS_PYTHON
            if NOT_TESTED.match(before) or (needs_python and options.no_python):
                skipped += 1
                continue
            ran += 1
            if language == "console":
                failures += run_console(options.root, where, lines, env)
            else:
                failures += run_doctest(options.root, where, lines)
    print(f"{ran} example blocks run, {skipped} skipped (marked not tested"
          f"{' or needing the Python module' if options.no_python else ''}), {failures} failed")
    return 1 if failures or not ran else 0


if __name__ == "__main__":
    sys.exit(main())
