"""The shipped exe is reproducible: the same sources built in two different folders give the same
bytes, so anyone can check a given exe against a build of its tag by its SHA-256. One of the two
folders is the checkout itself, whose exe scripts/build has just made."""
import hashlib
import os
import shutil
import subprocess
from pathlib import Path

import pytest

REPO = Path(__file__).resolve().parents[2]
TOOLCHAIN = "-DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake"


def sources():
    """The checkout as it stands: tracked files and new ones git does not ignore."""
    listed = subprocess.run(["git", "ls-files", "--cached", "--others", "--exclude-standard", "-z"], cwd=REPO,
                            check=True, capture_output=True).stdout
    return [name for name in listed.decode().split("\0") if name and (REPO / name).is_file()]


def digest(path):
    return hashlib.sha256(path.read_bytes()).hexdigest()


def build(folder):
    """Builds the exe in `folder`/build/win32 as scripts/build does and returns its SHA-256."""
    tree = folder / "build" / "win32"
    subprocess.run(["cmake", "-S", str(folder), "-B", str(tree), TOOLCHAIN], check=True, capture_output=True)
    subprocess.run(["cmake", "--build", str(tree), "-j", str(os.cpu_count() or 1), "--target", "bootstrapper"],
                   check=True, capture_output=True)
    return digest(tree / "bootstrapper.exe")


def build_in(folder):
    for name in sources():
        (folder / name).parent.mkdir(parents=True, exist_ok=True)
        shutil.copy2(REPO / name, folder / name)
    return build(folder)


def test_two_folders_build_the_same_exe(tmp_path):
    if not (REPO / "build" / "win32" / "CMakeCache.txt").exists():
        pytest.fail("build/win32 is not configured (run scripts/build)", pytrace=False)
    here = build(REPO)  # nothing to do when scripts/build has just run
    elsewhere = build_in(tmp_path / "a much longer folder" / "one more level")
    assert here == elsewhere, "the exe depends on where it was built"
