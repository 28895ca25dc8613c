# SPDX-License-Identifier: MIT
"""Builds the sheetfind package: CMake compiles the _sheetfind extension, setuptools
packs it with the pure-Python part.

    python3 -m pip install --no-build-isolation .

needs no package index: the build uses CMake, a C++20 compiler, pybind11 and the
project's C++ dependencies as Debian packages them (scripts/common.sh lists them).
"""
import os
import re
import shutil
import subprocess
import sys
import tempfile
from pathlib import Path

from setuptools import Extension, setup
from setuptools.command.build_ext import build_ext

ROOT = Path(__file__).resolve().parent


def project_version():
    # One version for the whole project: the one CMake's project() declares.
    text = (ROOT / "CMakeLists.txt").read_text(encoding="utf-8")
    return re.search(r"project\(\s*Sheetfind\s+VERSION\s+([0-9.]+)", text).group(1)


def generator():
    # A fresh Debian has no make, and the README's commands install Ninja: CMake's
    # default generator would fail there.
    return ["-G", "Ninja"] if shutil.which("ninja") else []


class CMakeBuild(build_ext):
    """Configures the project in a temporary directory and builds only the module:
    neither the window (Qt) nor the command line tool is configured."""

    def build_extension(self, extension):
        target = Path(self.get_ext_fullpath(extension.name)).resolve()
        with tempfile.TemporaryDirectory(prefix="sheetfind-build-") as build_dir:
            subprocess.run(
                [
                    "cmake",
                    "-S", str(ROOT),
                    "-B", build_dir,
                    *generator(),
                    "-DCMAKE_BUILD_TYPE=Release",
                    "-DSHEETFIND_BUILD_TESTS=OFF",
                    "-DSHEETFIND_BUILD_PYTHON=ON",
                    "-DSHEETFIND_BUILD_WINDOW=OFF",
                    "-DSHEETFIND_BUILD_CLI=OFF",
                    f"-DPython_EXECUTABLE={sys.executable}",
                ],
                check=True,
            )
            jobs = str(os.cpu_count() or 1)
            subprocess.run(
                ["cmake", "--build", build_dir, "--target", "python_modules", "--parallel", jobs],
                check=True,
            )
            built = list((Path(build_dir) / "python" / "sheetfind").glob("_sheetfind*.so"))
            if not any(path.name.startswith("_sheetfind.") for path in built):
                raise RuntimeError(f"expected the _sheetfind module in {build_dir}, found {built}")
            target.parent.mkdir(parents=True, exist_ok=True)
            # The GIS module, where GDAL was found, goes beside the main one.
            for path in built:
                shutil.copyfile(path, target.parent / path.name)


setup(
    version=project_version(),
    ext_modules=[Extension("sheetfind._sheetfind", sources=[])],
    cmdclass={"build_ext": CMakeBuild},
)
