#!/usr/bin/python3
# SPDX-License-Identifier: MIT
"""Packs the plugin for QGIS's Plugins > Manage and Install Plugins > Install from ZIP.

    qgis/make_zip.py [OUT, default build/sheetfind_provider.zip]

QGIS unpacks the archive into the profile's python/plugins, so its one top folder is
the plugin's. The icon is a link to the application's icon in the repository; the
archive holds the drawing itself. Compiled Python is left out.
"""
import pathlib
import sys
import zipfile

PLUGIN = pathlib.Path(__file__).resolve().parent / "sheetfind_provider"


def make_zip(out):
    out = pathlib.Path(out)
    out.parent.mkdir(parents=True, exist_ok=True)
    with zipfile.ZipFile(out, "w", zipfile.ZIP_DEFLATED) as archive:
        for path in sorted(PLUGIN.rglob("*")):
            if path.is_file() and "__pycache__" not in path.parts:
                archive.write(path.resolve(), pathlib.Path(PLUGIN.name, path.relative_to(PLUGIN)))
    return out


if __name__ == "__main__":
    default = PLUGIN.parent.parent / "build" / "sheetfind_provider.zip"
    print(make_zip(sys.argv[1] if len(sys.argv) > 1 else default))
