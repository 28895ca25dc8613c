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


class CMakeBuild(build_ext):
    """Configures the project in a temporary directory and builds only the module."""

    def build_extension(self, extension):
        target = Path(self.get_ext_fullpath(extension.name)).resolve()
        with tempfile.TemporaryDirectory(prefix="sheetfind-build-") as build_dir:
            subprocess.run(
                [
                    "cmake",
                    "-S", str(ROOT),
                    "-B", build_dir,
                    "-DCMAKE_BUILD_TYPE=Release",
                    "-DSHEETFIND_BUILD_TESTS=OFF",
                    "-DSHEETFIND_BUILD_PYTHON=ON",
                    f"-DPython_EXECUTABLE={sys.executable}",
                ],
                check=True,
            )
            jobs = str(os.cpu_count() or 1)
            subprocess.run(
                ["cmake", "--build", build_dir, "--target", "_sheetfind", "--parallel", jobs],
                check=True,
            )
            built = list((Path(build_dir) / "python" / "sheetfind").glob("_sheetfind*.so"))
            if len(built) != 1:
                raise RuntimeError(f"expected one _sheetfind module in {build_dir}, found {built}")
            target.parent.mkdir(parents=True, exist_ok=True)
            shutil.copyfile(built[0], target)


setup(
    version=project_version(),
    ext_modules=[Extension("sheetfind._sheetfind", sources=[])],
    cmdclass={"build_ext": CMakeBuild},
)
