# SPDX-License-Identifier: MIT
"""Finds the built module and the command line tool that the tests compare it with.

SHEETFIND_PYTHONPATH names the directory that holds the built `sheetfind` package
(scripts/test.sh sets it to build/dev/python); SHEETFIND_CLI names sheetfind-cli.
"""
import os
import subprocess
import sys

import pytest

_MODULE_DIR = os.environ.get("SHEETFIND_PYTHONPATH")
if _MODULE_DIR:
    sys.path.insert(0, _MODULE_DIR)


def pytest_configure(config):
    config.addinivalue_line("markers", "slow: builds or starts processes; minutes, not seconds")


@pytest.fixture(scope="session")
def cli():
    path = os.environ.get("SHEETFIND_CLI")
    if not path:
        pytest.skip("SHEETFIND_CLI does not name sheetfind-cli")
    return path


def run_cli(cli, *args, stdin=""):
    """sheetfind-cli's standard output lines and standard error, and its exit status."""
    done = subprocess.run(
        [cli, *args], input=stdin, capture_output=True, text=True, encoding="utf-8"
    )
    return done.stdout.split("\n")[:-1], done.stderr, done.returncode


# The same advice, in each face's terms.
_HINT_WORDS = {"try --lon-first": "try lon_first=True", "leave out --lon-first": "leave out lon_first"}


def in_python_words(message):
    """A message of sheetfind-cli as the module words it: a swap hint names a keyword."""
    for option, keyword in _HINT_WORDS.items():
        message = message.replace(option, keyword)
    return message


def cli_message(cli, *args, stdin=""):
    """The one message sheetfind-cli gives for a bad input, without its prefix, in the
    module's words."""
    lines, errors, _ = run_cli(cli, *args, stdin=stdin)
    for line in lines:
        if line.startswith("ERROR: "):
            return in_python_words(line[len("ERROR: "):])
    prefix = "sheetfind-cli: "
    assert errors.startswith(prefix), (lines, errors)
    return in_python_words(errors[len(prefix):].rstrip("\n"))
