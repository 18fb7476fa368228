"""The shipped exe is reproducible: the same sources built in two different folders give the same
bytes, so anyone can check a given exe against a build of its tag by its SHA-256."""
import hashlib
import os
import shutil
import subprocess
from pathlib import Path

REPO = Path(__file__).resolve().parents[2]


def sources():
    """The checkout as it stands: tracked files and new ones git does not ignore."""
    listed = subprocess.run(["git", "ls-files", "--cached", "--others", "--exclude-standard", "-z"], cwd=REPO,
                            check=True, capture_output=True).stdout
    return [name for name in listed.decode().split("\0") if name and (REPO / name).is_file()]


def build_in(folder):
    for name in sources():
        (folder / name).parent.mkdir(parents=True, exist_ok=True)
        shutil.copy2(REPO / name, folder / name)
    build = folder / "build" / "win32"
    subprocess.run(["cmake", "-S", str(folder), "-B", str(build), "-DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake"],
                   check=True, capture_output=True)
    subprocess.run(["cmake", "--build", str(build), "-j", str(os.cpu_count() or 1), "--target", "bootstrapper"],
                   check=True, capture_output=True)
    return hashlib.sha256((build / "bootstrapper.exe").read_bytes()).hexdigest()


def test_two_folders_build_the_same_exe(tmp_path):
    first = build_in(tmp_path / "a")
    second = build_in(tmp_path / "a much longer folder" / "one more level")
    assert first == second, "the exe depends on where it was built"
