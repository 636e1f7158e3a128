"""Builds the package with CMake for pip: configures the source tree above this folder (the
optimised build, without tests and benchmarks) in build/python-package (or
$CALORIX_PYTHON_BUILD_DIR), builds the package's targets for the running interpreter and
installs the CMake component "python" (the package, Calorix.so and varbank2.so) into the wheel.
CMake's and the compiler's progress go to pip's output, which "pip install -v" shows; the build
folder is kept, so that a second install compiles only what changed."""

import os
import re
import subprocess
import sys
from pathlib import Path

from setuptools import Extension, setup
from setuptools.command.build_ext import build_ext

ROOT = Path(__file__).resolve().parent.parent


def project_version():
    text = (ROOT / "CMakeLists.txt").read_text()
    return re.search(r"project\(Calorix VERSION ([0-9.]+)", text).group(1)


class CMakeBuild(build_ext):
    def build_extension(self, ext):
        build = Path(os.environ.get("CALORIX_PYTHON_BUILD_DIR", ROOT / "build" / "python-package"))
        # The folder that holds calorix/ in the wheel.
        target = Path(self.get_ext_fullpath(ext.name)).resolve().parent.parent
        steps = [
            (f"configuring in {build}",
             ["cmake", "-S", str(ROOT), "-B", str(build), "-G", "Ninja", "-DCMAKE_BUILD_TYPE=Release",
              "-DCALORIX_BUILD_TESTS=OFF", "-DCALORIX_BUILD_BENCH=OFF", "-DCALORIX_BUILD_PYTHON=ON",
              f"-DPython_EXECUTABLE={sys.executable}", f"-DCALORIX_PYTHON_INSTALL_DIR={target}"]),
            ("building the module and the extension (the first time several minutes)",
             ["cmake", "--build", str(build), "--target", "calorix_python"]),
            (f"installing into {target}", ["cmake", "--install", str(build), "--component", "python"]),
        ]
        for what, command in steps:
            print(f"calorix: {what}", flush=True)
            subprocess.run(command, check=True)


setup(version=project_version(), packages=["calorix"], ext_modules=[Extension("calorix._calorix", sources=[])],
      cmdclass={"build_ext": CMakeBuild}, zip_safe=False)
