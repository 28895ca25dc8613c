# SPDX-License-Identifier: MIT
"""Starts QGIS headless once for the session, with Processing and the Sheetfind plugin
loaded as QGIS loads it (classFactory, then initProcessing).

The plugin is imported from this repository's qgis/ directory and the sheetfind module
from PYTHONPATH (scripts/test_qgis.sh sets it to build/dev/python); SHEETFIND_CLI names
the sheetfind-cli that the same answers are expected from.
"""
import os
import shutil
import sys
import tempfile

import pytest

os.environ.setdefault("QT_QPA_PLATFORM", "offscreen")
# QGIS leaves empty qt_temp files and folders behind in the temporary folder: the
# session gets a folder of its own for them, removed when it ends.
_TEMPORARY = tempfile.mkdtemp(prefix="sheetfind_qgis_tests.")
os.environ["TMPDIR"] = _TEMPORARY
sys.path.insert(0, os.path.join(os.path.dirname(__file__), ".."))
# Debian's QGIS keeps the Processing framework among its bundled plugins.
sys.path.insert(0, "/usr/share/qgis/python/plugins")

from qgis.core import QgsApplication  # noqa: E402


@pytest.fixture(scope="session", autouse=True)
def plugin():
    application = QgsApplication([], False)
    application.initQgis()
    from processing.core.Processing import Processing

    Processing.initialize()
    import sheetfind_provider

    loaded = sheetfind_provider.classFactory(None)
    loaded.initProcessing()
    yield loaded
    loaded.unload()
    shutil.rmtree(_TEMPORARY, ignore_errors=True)


@pytest.fixture(scope="session")
def cli():
    path = os.environ.get("SHEETFIND_CLI")
    if not path:
        pytest.skip("SHEETFIND_CLI does not name sheetfind-cli")
    return path
