#!/usr/bin/python3
# SPDX-License-Identifier: MIT
"""Runs the examples of the README and of docs/*.md and compares their output.

The convention (docs/development.md tells it to writers):
- A ```console block holds commands, on lines beginning with "$ ", each followed
  by its exact standard output, where "..." stands for any text (a long JSON
  answer shown in part), and the last line end is not compared. A command ending in a backslash goes on over the next
  line. Standard error is not compared: an example that shows a message redirects
  it with 2>&1.
- A block preceded by "<!-- with the server running -->" runs while
  `sheetfind-cli serve` listens on a free port, which stands in for the 8080 the
  commands and their output show.
- A ```pycon block is a doctest (">>> " and "... " lines, then the output).
- A ```doscon block is a Command Prompt on Windows: each command follows a prompt
  such as "C:\\Users\\Élise\\Relevés> ", and runs in cmd.exe under Wine in that folder
  (made in the scratch folder, with a copy of examples/data/ in it), with the
  Windows downloads' folder on PATH. They run with --windows DIR, the folder of
  sheetfind-cli.exe and its installer (the Windows stage of scripts/test.sh);
  without it they are counted as left to that stage.
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
WITH_SERVER = "<!-- with the server running -->"
SHOWN_PORT = "127.0.0.1:8080"
PROMPT = re.compile(r"^([A-Z]:\\[^>]*)> (.*)$")


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


def matches(expected, got):
    """Whether the output is the one shown, "..." standing for any text. An answer
    without a last line end (JSON from curl) is shown with one."""
    if got and not got.endswith("\n"):
        got += "\n"
    if "..." not in expected:
        return got == expected
    pattern = ".*?".join(re.escape(part) for part in expected.split("..."))
    return re.fullmatch(pattern, got, re.DOTALL) is not None


class Server:
    """sheetfind-cli serve on a free port of loopback, for the length of a block."""

    def __init__(self, env):
        self.process = subprocess.Popen(["sheetfind-cli", "serve", "--port", "0"], env=env,
                                        stdout=subprocess.PIPE, text=True)
        line = self.process.stdout.readline()
        self.address = re.search(r"127\.0\.0\.1:\d+", line).group(0)

    def stop(self):
        self.process.terminate()
        return self.process.wait(timeout=30)


def check_output(where, command, expected, got, status, stderr):
    """1, after telling what differed, where a command's output is not the one shown."""
    if matches(expected, got):
        return 0
    print(f"FAIL {where}\n{command}\n--- expected\n{expected}--- got (exit status {status})\n"
          f"{got}--- standard error\n{stderr}", file=sys.stderr)
    return 1


def run_console(root, where, lines, env, server=None):
    failures = 0
    folder = scratch(root)
    try:
        for command, expected in commands(lines):
            if server:
                command = command.replace(SHOWN_PORT, server.address)
            result = subprocess.run(["bash", "-c", command], cwd=folder, env=env,
                                    capture_output=True, text=True, timeout=60)
            got = result.stdout.replace(server.address, SHOWN_PORT) if server else result.stdout
            failures += check_output(where, f"$ {command}", expected, got, result.returncode,
                                     result.stderr)
    finally:
        shutil.rmtree(folder)
    return failures


def run_doscon(root, where, lines, windows):
    """Each command in cmd.exe under Wine, in its prompt's folder; the output without
    the console's CRs."""
    failures = 0
    folder = scratch(root)
    env = dict(os.environ, WINEPATH=windows, WINEDEBUG="-all")
    try:
        pairs = []
        for line in lines:
            prompt = PROMPT.match(line)
            if prompt:
                pairs.append([prompt.group(1), prompt.group(2), []])
            elif pairs:
                pairs[-1][2].append(line)
            else:
                raise ValueError(f"output before any prompt: {line!r}")
        for drive_folder, command, out in pairs:
            here = os.path.join(folder, *drive_folder.split("\\")[1:])
            if not os.path.isdir(here):
                shutil.copytree(os.path.join(root, "examples", "data"), here)
            expected = "".join(l + "\n" for l in out)
            batch = os.path.join(here, "example.bat")
            with open(batch, "w", encoding="utf-8", newline="\r\n") as script:
                script.write("@chcp 65001 >NUL\n@" + command + "\n")
            result = subprocess.run(["wine", "cmd", "/c", "example.bat"], cwd=here, env=env,
                                    capture_output=True, timeout=120)
            os.remove(batch)
            got = result.stdout.decode("utf-8", errors="replace").replace("\r", "")
            failures += check_output(where, f"{drive_folder}> {command}", expected, got,
                                     result.returncode,
                                     result.stderr.decode("utf-8", errors="replace"))
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
    parser = argparse.ArgumentParser(
        usage="%(prog)s --root DIR --cli-dir DIR [--no-python] [--windows DIR] FILE...")
    parser.add_argument("--root", required=True, help="the repository's root")
    parser.add_argument("--cli-dir", required=True, help="the folder holding sheetfind-cli")
    parser.add_argument("--no-python", action="store_true", help="skip the doctests")
    parser.add_argument("--windows", help="run the doscon blocks with this folder's "
                        "sheetfind-cli.exe under Wine, and nothing else")
    parser.add_argument("files", nargs="+")
    options = parser.parse_args()

    env = dict(os.environ, LC_ALL="C.UTF-8")
    env["PATH"] = os.path.abspath(options.cli_dir) + os.pathsep + env.get("PATH", "")
    ran = skipped = left = failures = 0
    for path in options.files:
        for language, line, lines, before in blocks(path):
            where = f"{os.path.relpath(path, options.root)}:{line}"
            if options.windows:
                if language == "doscon" and not NOT_TESTED.match(before):
                    ran += 1
                    failures += run_doscon(options.root, where, lines, options.windows)
                continue
            if language == "doscon":
                left += 1
                continue
            if language not in ("console", "pycon"):
                continue
            needs_python = language == "pycon" or before == NEEDS_PYTHON
            if NOT_TESTED.match(before) or (needs_python and options.no_python):
                skipped += 1
                continue
            ran += 1
            if language == "console" and before == WITH_SERVER:
                # The sanitizers a Python test preloads hang curl; neither it nor the
                # server needs them.
                plain = {name: value for name, value in env.items() if name != "LD_PRELOAD"}
                server = Server(plain)
                failures += run_console(options.root, where, lines, plain, server)
                if server.stop() != 0:
                    failures += 1
                    print(f"FAIL {where}: the server did not end cleanly on SIGTERM",
                          file=sys.stderr)
            elif language == "console":
                failures += run_console(options.root, where, lines, env)
            else:
                failures += run_doctest(options.root, where, lines)
    print(f"{ran} example blocks run, {skipped} skipped (marked not tested"
          f"{' or needing the Python module' if options.no_python else ''}), "
          f"{left} left to the Windows stage, {failures} failed")
    return 1 if failures or not ran else 0


if __name__ == "__main__":
    sys.exit(main())
