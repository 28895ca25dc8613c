# SPDX-License-Identifier: MIT
"""pip install of a clean copy, offline, into a venv (python/tests/test_install.sh)."""
import os
import subprocess
from pathlib import Path

import pytest


@pytest.mark.slow
def test_offline_pip_install_into_a_venv():
    if os.environ.get("SHEETFIND_SKIP_INSTALL_TEST"):
        pytest.skip("SHEETFIND_SKIP_INSTALL_TEST is set")
    script = Path(__file__).with_name("test_install.sh")
    done = subprocess.run([str(script)], capture_output=True, text=True)
    assert done.returncode == 0, done.stdout + done.stderr
    assert "installed" in done.stdout
