"""Folders other users can write to: a download folder holding the package, and the shared TMP of a
deployment agent that runs the bootstrapper as SYSTEM (C:\\Windows\\Temp, where every user may create
files)."""

from datetime import datetime, timedelta

from bench_boxes import IDOK, IDYES
from bench_packages import NEW, OLD, STATE_INSTALLED
from bench_tools import DEFAULT

PACKAGE_FILE = DEFAULT.package_file
ERROR_SHARING_VIOLATION = 32
SHARED_TMP = "C:\\windows\\temp"


def test_the_package_cannot_be_swapped_between_its_check_and_its_installation(prefix, packages):
    # While the update question is open, its codes and version have been read; nobody may then
    # write, rename or delete the file that msiexec installs afterwards, though anyone may read it.
    prefix.install_directly(packages.build(*OLD))
    package = prefix.put_package(packages.build(*NEW))
    tamper = "tamper:" + package.replace(" ", "%20")
    run = prefix.run_bootstrapper(plan=[f"press:{IDYES}", f"{tamper} press:{IDYES}", f"press:{IDOK}"])
    assert run.exit_code == 0, run
    [tried] = run.tampering
    assert (tried["write"], tried["rename"], tried["delete"]) == (ERROR_SHARING_VIOLATION,) * 3, tried
    assert tried["read"] == 0, tried
    product = prefix.product()
    assert (product["product"], product["state"], product["version"]) == (NEW[0], STATE_INSTALLED, NEW[1])


def test_a_log_name_taken_in_a_shared_tmp_is_never_written_into(prefix, packages):
    # Someone who knows the naming has made the names of the coming seconds, to read what msiexec
    # writes there: each stays as it was, and the log goes into the next free name.
    prefix.set_user_environment("TMP", SHARED_TMP)
    shared = prefix.path / "drive_c" / "windows" / "temp"
    now = datetime.now()
    planted = [shared / f"{PACKAGE_FILE}_{(now + timedelta(seconds=s)):%Y-%m-%d-%H-%M-%S}.log" for s in range(-2, 90)]
    for path in planted:
        path.write_text("planted\n")
    prefix.put_package(packages.build(*OLD))

    run = prefix.run_bootstrapper("-silent")
    assert run.exit_code == 0, run
    assert prefix.product()["version"] == OLD[1]
    assert all(path.read_text() == "planted\n" for path in planted)
    [log] = [p for p in shared.glob(f"{PACKAGE_FILE}_*_2.log")]
    assert log.stat().st_size > 0, "msiexec did not write into the log made for it"
