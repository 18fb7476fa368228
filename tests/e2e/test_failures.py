"""Failures of the plug-in installation and how they are reported.

Not reachable under Wine, covered by the unit tests instead: the non-administrator refusal
(IsUserAnAdmin is always nonzero under Wine).
"""


import pytest

from bench_boxes import ERROR_BOX, IDOK, IDYES, OWNERLESS_ERROR_BOX, assert_box
from bench_packages import NEW, OLD
import e2e_texts as texts

ERROR_ENVVAR_NOT_FOUND = 203
NO_PACKAGE = 232
NOT_A_PACKAGE = 1627  # Wine's answer; Windows gives 1620 (ERROR_INSTALL_PACKAGE_INVALID)
INVALID_PACKAGE = 1620


def failure_box(window, code, log=None):
    assert_box(window, title=texts.CAPTION, text=texts.install_failed(code, log), buttons=[IDOK], icon="error",
               owned=True, style=ERROR_BOX)


def test_1603_from_the_package_reports_the_code_and_the_log(prefix, packages):
    prefix.put_package(packages.build(*OLD))
    # msiexec's own basic UI reports the failed launch condition before it ends with 1603.
    run = prefix.run_bootstrapper("-ZarelArgs", "FAILME=1",
                                  plan=[f"press:{IDYES}", f"press:{IDOK}", f"press:{IDOK}"])
    assert [w["process"].lower() for w in run.windows] == ["bootstrapper.exe", "msiexec.exe", "bootstrapper.exe"]
    unix_tmp, tmp = prefix.temp_dir()
    [log] = prefix.logs()
    failure_box(run.windows[2], 1603, f"{tmp}\\{log}")
    assert (unix_tmp / log).stat().st_size > 0
    assert run.exit_code == 1603, run
    assert prefix.product()["product"] is None


def test_1603_without_a_log_file_ends_the_text_after_the_code(prefix, packages):
    prefix.put_package(packages.build(*OLD))
    prefix.use_msiexec_standin(exit_code=1603)  # the stand-in writes no log
    run = prefix.run_bootstrapper(plan=[f"press:{IDYES}", f"press:{IDOK}"])
    assert len(run.windows) == 2, run
    failure_box(run.windows[1], 1603)
    assert run.exit_code == 1603, run
    assert prefix.logs() == []


def test_1602_from_msiexec_is_a_quiet_cancel(prefix, packages):
    prefix.put_package(packages.build(*OLD))
    prefix.use_msiexec_standin(exit_code=1602)
    run = prefix.run_bootstrapper(plan=[f"press:{IDYES}"])
    assert len(run.windows) == 1, run
    assert run.exit_code == 1602, run
    assert not prefix.marker_exists()


def error_box(window, text):
    assert_box(window, title=texts.CAPTION_ERROR, text=text, buttons=[IDOK], icon="error", owned=True,
               style=ERROR_BOX)


def no_package(prefix, packages):
    pass


def no_windows_installer_package(prefix, packages):
    (prefix.layout / prefix.windows.package_file).write_text("not a Windows Installer package")


def package_without(prop):
    def layout(prefix, packages):
        prefix.put_package(packages.altered(packages.build(*OLD), f"DELETE FROM Property WHERE Property='{prop}'"))
    return layout


# Without its codes the run could neither install a package nor find what it replaces.
@pytest.mark.parametrize("layout, message, code", [
    (no_package, texts.PACKAGE_NOT_FOUND, NO_PACKAGE),
    (no_windows_installer_package, texts.PRODUCT_CODE_UNREADABLE, NOT_A_PACKAGE),
    (package_without("ProductCode"), texts.PRODUCT_CODE_UNREADABLE, INVALID_PACKAGE),
    (package_without("UpgradeCode"), texts.PRODUCT_CODE_UNREADABLE, INVALID_PACKAGE),
], ids=["none", "no-package-file", "no-product-code", "no-upgrade-code"])
def test_a_package_that_cannot_be_used_is_reported_twice_and_nothing_starts(prefix, packages, layout, message, code):
    layout(prefix, packages)
    prefix.use_msiexec_standin()
    run = prefix.run_bootstrapper(plan=[f"press:{IDYES}", f"press:{IDOK}", f"press:{IDOK}"])
    assert len(run.windows) == 3, run
    error_box(run.windows[1], message)
    failure_box(run.windows[2], code)
    assert run.exit_code == code, run
    assert prefix.recorded_command_lines() == []


@pytest.mark.parametrize("version, installed", [("beta", True), ("v2.1", True), ("beta", False)],
                         ids=["word", "letter-first", "nothing-installed"])
def test_a_package_version_that_does_not_parse_is_reported_and_nothing_starts(prefix, packages, version, installed):
    # Read as 0.0.0.0 it would compare as the oldest of all: "a newer version is installed", and a
    # success with nothing installed.
    if installed:
        prefix.install_directly(packages.build(*OLD))
    query = f"UPDATE Property SET Value='{version}' WHERE Property='ProductVersion'"
    prefix.put_package(packages.altered(packages.build(*NEW), query))
    prefix.use_msiexec_standin()
    run = prefix.run_bootstrapper(plan=[f"press:{IDYES}", f"press:{IDOK}", f"press:{IDOK}"])
    assert len(run.windows) == 3, run
    assert_box(run.windows[1], title=texts.CAPTION_ERROR, text=texts.PACKAGE_VERSION_UNREADABLE, buttons=[IDOK],
               icon="error", owned=False, style=OWNERLESS_ERROR_BOX)
    failure_box(run.windows[2], INVALID_PACKAGE)
    assert run.exit_code == INVALID_PACKAGE, run

    silent = prefix.run_bootstrapper("-silent")
    assert silent.windows == [], silent
    assert silent.exit_code == INVALID_PACKAGE, silent
    assert prefix.recorded_command_lines() == []
    assert prefix.product().get("version") == (OLD[1] if installed else None)


@pytest.mark.parametrize("tmp", ['C:\\Temp" /i C:\\evil.msi "C:\\Temp', "Temp"], ids=["with-a-quote", "relative"])
def test_an_unusable_tmp_is_reported_and_nothing_starts(prefix, packages, tmp):
    prefix.put_package(packages.build(*OLD))
    prefix.use_msiexec_standin()
    prefix.put_setup_programs("csp")
    prefix.set_user_environment("TMP", tmp)

    run = prefix.run_bootstrapper(plan=[f"press:{IDYES}", f"press:{IDOK}", f"press:{IDOK}"])
    assert len(run.windows) == 3, run
    error_box(run.windows[1], texts.TMP_UNREADABLE)
    failure_box(run.windows[2], ERROR_ENVVAR_NOT_FOUND)
    assert run.exit_code == ERROR_ENVVAR_NOT_FOUND, run

    distribution = prefix.run_bootstrapper("-csp", "-silent")
    assert distribution.windows == [], distribution
    assert distribution.exit_code == ERROR_ENVVAR_NOT_FOUND, distribution
    assert prefix.recorded_command_lines() == []
    assert prefix.product()["product"] is None


def test_silent_failure_shows_nothing(prefix):
    run = prefix.run_bootstrapper("-silent")
    assert run.windows == [], run
    assert run.exit_code == 232, run
