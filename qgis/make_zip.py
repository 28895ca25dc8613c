#!/usr/bin/python3
# SPDX-License-Identifier: MIT
"""Packs the plugin for QGIS's Plugins > Manage and Install Plugins > Install from ZIP.

    qgis/make_zip.py [OUT, default build/sheetfind_provider.zip]

QGIS unpacks the archive into the profile's python/plugins, so its one top folder is
the plugin's. The icon is a link to the application's icon in the repository; the
archive holds the drawing itself. Compiled Python is left out. The plugin's version must be
the project's, the one CMakeLists.txt declares.
"""
import pathlib
import re
import sys
import zipfile

PLUGIN = pathlib.Path(__file__).resolve().parent / "sheetfind_provider"
ROOT = PLUGIN.parent.parent


def project_version():
    text = (ROOT / "CMakeLists.txt").read_text(encoding="utf-8")
    return re.search(r"project\(\s*Sheetfind\s+VERSION\s+([0-9.]+)", text).group(1)


def check_version():
    text = (PLUGIN / "metadata.txt").read_text(encoding="utf-8")
    found = re.search(r"^version=(.*)$", text, re.MULTILINE)
    if not found or found.group(1) != project_version():
        sys.exit(f"qgis/sheetfind_provider/metadata.txt: version "
                 f"{found.group(1) if found else 'missing'}; expected the project's, "
                 f"{project_version()}")


def make_zip(out):
    check_version()
    out = pathlib.Path(out)
    out.parent.mkdir(parents=True, exist_ok=True)
    # Written beside the archive and renamed into place, so that a failed run leaves
    # no half archive for QGIS to install.
    partial = out.with_name(out.name + ".partial")
    with zipfile.ZipFile(partial, "w", zipfile.ZIP_DEFLATED) as archive:
        for path in sorted(PLUGIN.rglob("*")):
            if not path.is_file() or "__pycache__" in path.parts:
                continue
            name = pathlib.Path(PLUGIN.name, path.relative_to(PLUGIN)).as_posix()
            archive.write(path.resolve(), name)
    partial.replace(out)
    return out


if __name__ == "__main__":
    default = ROOT / "build" / "sheetfind_provider.zip"
    print(make_zip(sys.argv[1] if len(sys.argv) > 1 else default))
