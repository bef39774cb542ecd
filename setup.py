# SPDX-License-Identifier: BSD-3-Clause
"""Builds the Python module tamsel through CMake, with the project's own
floating-point flags (cmake/fp-flags.txt), for the Python that runs pip."""

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
        for var in ("CFLAGS", "CXXFLAGS", "CPPFLAGS", "LDFLAGS"):
            bad = re.search(r"-ffast-math|-Ofast|-funsafe-math-optimizations",
                            os.environ.get(var, ""))
            if bad:
                sys.exit(f"tamsel: refusing to build with {bad.group(0)} (in {var}): "
                         "it would change the results of the whole Python process")
        build = os.path.join(ROOT, "build-python")
        subprocess.run(["cmake", "-S", ROOT, "-B", build, "-DCMAKE_BUILD_TYPE=Release",
                        "-DBUILD_TESTING=OFF", "-DTAMSEL_PYTHON=ON",
                        f"-DPython3_EXECUTABLE={sys.executable}"], check=True)
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
    ext_modules=[Extension("tamsel._core", sources=[])],
    cmdclass={"build_ext": CMakeBuild},
    zip_safe=False,
)
