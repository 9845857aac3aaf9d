"""Builds the package with its tables (read from the C++ sources beside this
directory) and, when KVELREAD_LIBRARY names a built library, a copy of it
inside the package."""
import os
import re
import runpy
import shutil

from setuptools import setup
from setuptools.command.build_py import build_py

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.environ.get("KVELREAD_SOURCE_DIR", os.path.dirname(HERE))


def version():
    with open(os.path.join(ROOT, "CMakeLists.txt"), encoding="utf-8") as f:
        return re.search(r"project\(KVELRead VERSION ([0-9.]+)", f.read())[1]


class BuildWithTables(build_py):
    def run(self):
        super().run()
        target = os.path.join(self.build_lib, "kvelread")
        tables = runpy.run_path(os.path.join(HERE, "kvelread", "_tables.py"))
        with open(os.path.join(target, "tables.json"), "w", encoding="utf-8") as f:
            tables["json"].dump(tables["build"](ROOT), f)
        library = os.environ.get("KVELREAD_LIBRARY")
        if library:
            # Under a name the package looks for beside itself.
            name = "KVELRead.dll" if library.lower().endswith(".dll") else "libKVELRead.so.1"
            shutil.copyfile(library, os.path.join(target, name))


setup(version=version(), cmdclass={"build_py": BuildWithTables})
