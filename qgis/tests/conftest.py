# SPDX-License-Identifier: MIT
"""Starts QGIS headless once for the session, with Processing and the Sheetfind plugin
loaded as QGIS loads it (classFactory, then initProcessing).

The plugin is imported from this repository's qgis/ directory and the sheetfind module
from PYTHONPATH (scripts/test_qgis.sh sets it to build/dev/python); SHEETFIND_CLI names
the sheetfind-cli that the same answers are expected from.
"""
import os
import sys

import pytest

os.environ.setdefault("QT_QPA_PLATFORM", "offscreen")
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


@pytest.fixture(scope="session")
def cli():
    path = os.environ.get("SHEETFIND_CLI")
    if not path:
        pytest.skip("SHEETFIND_CLI does not name sheetfind-cli")
    return path
