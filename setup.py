# SPDX-License-Identifier: BSD-3-Clause
"""Builds the Python module tamsel through CMake, with the project's own
floating-point flags (CMakeLists.txt), for the Python that runs pip."""

import os
import re
import shutil
import subprocess
import sys

from setuptools import Extension, setup
from setuptools.command.build_ext import build_ext

ROOT = os.path.dirname(os.path.abspath(__file__))


def version():
    with open(os.path.join(ROOT, "include", "tamsel", "version.h"), encoding="utf-8") as header:
        text = header.read()
    return ".".join(re.search(rf"#define TAMSEL_VERSION_{part} (\d+)", text).group(1)
                    for part in ("MAJOR", "MINOR", "PATCH"))


class CMakeBuild(build_ext):
    def build_extension(self, ext):
        build = os.path.join(ROOT, "build-python")
        subprocess.run(["cmake", "-S", ROOT, "-B", build, "-DCMAKE_BUILD_TYPE=Release",
                        "-DBUILD_TESTING=OFF", "-DTAMSEL_PYTHON=ON",
                        f"-DPython3_EXECUTABLE={sys.executable}",
                        # The environment's flags on every build, not only the
                        # first, so that CMake's refusal of fast-math sees them.
                        f"-DCMAKE_CXX_FLAGS={os.environ.get('CXXFLAGS', '')}",
                        f"-DCMAKE_MODULE_LINKER_FLAGS={os.environ.get('LDFLAGS', '')}"],
                       check=True)
        subprocess.run(["cmake", "--build", build, "--target", "_core", "-j",
                        str(os.cpu_count() or 2)], check=True)
        built = os.path.join(build, "python", "tamsel", os.path.basename(self.get_ext_filename(ext.name)))
        target = self.get_ext_fullpath(ext.name)
        os.makedirs(os.path.dirname(target), exist_ok=True)
        shutil.copyfile(built, target)


# setuptools' own files go beside CMake's, in build-python/, never into the
# sources or the build/ of `make test`.
os.makedirs(os.path.join(ROOT, "build-python", "setuptools"), exist_ok=True)
setup(
    version=version(),
    options={"build": {"build_base": "build-python/setuptools"},
             "egg_info": {"egg_base": "build-python/setuptools"}},
    packages=["tamsel"],
    package_dir={"": "python"},
    package_data={"tamsel": ["__init__.pyi", "py.typed"]},
    ext_modules=[Extension("tamsel._core", sources=[])],
    cmdclass={"build_ext": CMakeBuild},
    zip_safe=False,
)
