"""Builds tarquel._tarquel with CMake (the target tarquel_python) and puts it
into the package; pyproject.toml holds the rest. The CMake build folder is
build/python-ext, so a second install builds only what changed; with
TARQUEL_BUILD_DIR naming a configured build folder that has the target
(TARQUEL_PYTHON on), the module is built there instead."""

import os
import shutil
import subprocess
import sys
from pathlib import Path

from setuptools import Extension, setup
from setuptools.command.build_ext import build_ext

ROOT = Path(__file__).resolve().parent


class CMakeBuild(build_ext):
    def build_extension(self, ext):
        given = os.environ.get("TARQUEL_BUILD_DIR")
        build = Path(given) if given else ROOT / "build" / "python-ext"
        if not given:
            subprocess.run(["cmake", "-S", str(ROOT), "-B", str(build), "-DCMAKE_BUILD_TYPE=Release",
                            "-DTARQUEL_PYTHON=ON", "-DTARQUEL_TESTS=OFF", "-DTARQUEL_BENCH=OFF",
                            f"-DPython3_EXECUTABLE={sys.executable}"], check=True)
        jobs = os.environ.get("CMAKE_BUILD_PARALLEL_LEVEL", "2")
        subprocess.run(["cmake", "--build", str(build), "--target", "tarquel_python", "-j", jobs], check=True)
        built = next((build / "python" / "tarquel").glob("_tarquel*.so"))
        target = Path(self.get_ext_fullpath(ext.name))
        target.parent.mkdir(parents=True, exist_ok=True)
        shutil.copyfile(built, target)


setup(ext_modules=[Extension("tarquel._tarquel", sources=[])], cmdclass={"build_ext": CMakeBuild})
