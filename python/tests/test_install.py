"""The package installs into a fresh virtual environment, as the README
tells a user to, and works there without the source tree."""
import os
import shutil
import subprocess
from pathlib import Path

import kvelread
from conftest import BUILD, EXAMPLES, ROOT


def test_pip_install_into_a_venv(tmp_path):
    venv = tmp_path / "venv"
    # Debian's pip installs into the venv (--python): a pip of the venv's own
    # would be the same one, copied in at 15 s of the suite's time.
    subprocess.run(["/usr/bin/python3", "-m", "venv", "--system-site-packages", "--without-pip", venv], check=True)
    source = tmp_path / "python"  # a copy, so that pip's build leaves the tree alone
    shutil.copytree(ROOT / "python", source, ignore=shutil.ignore_patterns("build", "*.egg-info", "__pycache__"))
    library = BUILD / "KVELRead" / "libKVELRead.so"
    env = dict(os.environ, KVELREAD_LIBRARY=str(library), KVELREAD_SOURCE_DIR=str(ROOT))
    env.pop("PYTHONPATH", None)
    subprocess.run(["/usr/bin/python3", "-m", "pip", "--python", venv / "bin" / "python", "install", "-q",
                    "--disable-pip-version-check", "--no-build-isolation", "--no-index", source],
                   check=True, env=env, cwd=tmp_path)
    # The library was copied beside the package, and the tables shipped with it.
    del env["KVELREAD_LIBRARY"]
    script = ("import kvelread, sys; r = kvelread.check(sys.argv[1]); "
              "print(r.state, len(kvelread.codes()), kvelread.__file__)")
    out = subprocess.run([venv / "bin" / "python", "-c", script, EXAMPLES / "broken" / "zone.kvmf"], env=env,
                         cwd=tmp_path, capture_output=True, text=True, check=True).stdout.split()
    assert out[:2] == ["invalid", str(len(kvelread.codes()))] and Path(out[2]).is_relative_to(venv)


def test_cmake_installs_the_package_beside_the_library(tmp_path):
    build, prefix = tmp_path / "build", tmp_path / "prefix"
    off = [f"-D{o}=OFF" for o in ("KVEL_BUILD_TOOLS", "KVEL_BUILD_TESTS", "KVEL_BUILD_BENCH")]
    subprocess.run(["cmake", "-S", ROOT, "-B", build, "-DKVEL_INSTALL_PYTHON=ON", "-DCMAKE_INSTALL_LIBDIR=lib", *off],
                   check=True, capture_output=True)
    subprocess.run(["cmake", "--build", build, "--target", "kvelread_python"], check=True, capture_output=True)
    subprocess.run(["cmake", "--install", build, "--component", "python", "--prefix", prefix], check=True,
                   capture_output=True)
    # The library's own install rule, without building it again here.
    (prefix / "lib").mkdir(exist_ok=True)
    shutil.copyfile(BUILD / "KVELRead" / "libKVELRead.so", prefix / "lib" / "libKVELRead.so.1")
    site = next(prefix.glob("lib/python3*/dist-packages"))
    env = {k: v for k, v in os.environ.items() if k not in ("KVELREAD_LIBRARY", "PYTHONPATH")}
    env["PYTHONPATH"] = str(site)
    out = subprocess.run(["/usr/bin/python3", "-c", "import kvelread, sys; print(kvelread.check(sys.argv[1]).state)",
                          EXAMPLES / "song.kvmf"], env=env, cwd=tmp_path, capture_output=True, text=True, check=True)
    assert out.stdout.split() == ["valid"]
