"""Installing, upgrading and refusing: what the user sees and what ends up installed."""

import re

import pytest

from bench_boxes import ERROR_BOX, IDNO, IDOK, IDYES, OWNERLESS_YES_NO_BOX, PLAIN_BOX, QUESTION_BOX, assert_box
from bench_packages import NEW, OLD, PRODUCT_NAME, STATE_INSTALLED
from bench_prefix import LAYOUT_DIR, SYSTEM32
from bench_tools import DEFAULT, on_both_windows
import e2e_texts as texts

PACKAGE_FILE = DEFAULT.package_file


def log_name(windows):
    """msiexec's log: the package's file name and the local time."""
    return re.compile(re.escape(windows.package_file) + r"_\d{4}-\d\d-\d\d-\d\d-\d\d-\d\d\.log")


def confirm_box(window):
    assert_box(window, title=texts.CAPTION, text=texts.CONFIRM_PLUGIN, buttons=[IDYES, IDNO], icon="none",
               owned=True, style=QUESTION_BOX)


def success_box(window):
    assert_box(window, title=texts.CAPTION, text=texts.SUCCESS, buttons=[IDOK], icon="none",
               owned=True, style=PLAIN_BOX)


class TestFreshInstall:
    def test_no_to_the_question_installs_nothing(self, prefix, packages):
        prefix.put_package(packages.build(*OLD))
        run = prefix.run_bootstrapper(plan=[f"press:{IDNO}"])
        assert len(run.windows) == 1, run
        confirm_box(run.windows[0])
        assert run.exit_code == 0, run
        assert prefix.product()["product"] is None
        assert prefix.logs() == []

    def test_yes_installs_the_package_and_reports_success(self, prefix, packages):
        prefix.put_package(packages.build(*OLD))
        run = prefix.run_bootstrapper(plan=[f"press:{IDYES}", f"press:{IDOK}"])
        assert len(run.windows) == 2, run
        confirm_box(run.windows[0])
        success_box(run.windows[1])
        assert run.exit_code == 0, run
        product = prefix.product()
        assert (product["product"], product["state"], product["version"]) == (OLD[0], STATE_INSTALLED, OLD[1])
        assert product["feature_npzarel"] == 3  # the plug-in feature is installed locally
        assert not prefix.marker_exists()

    @on_both_windows
    def test_silent_install_shows_nothing_and_leaves_a_verbose_log(self, prefix, packages, windows):
        prefix.put_package(packages.build(*OLD))
        run = prefix.run_bootstrapper("-silent")
        assert run.windows == [], run
        assert run.exit_code == 0, run
        assert prefix.product()["version"] == OLD[1]
        logs = prefix.logs()
        assert len(logs) == 1 and log_name(windows).fullmatch(logs[0]), logs
        unix_tmp, _ = prefix.temp_dir()
        assert (unix_tmp / logs[0]).stat().st_size > 0

    def test_packages_only_in_a_subfolder_are_installed_from_there(self, prefix, packages):
        prefix.put_package(packages.build(*OLD), subdir="packages")
        prefix.use_msiexec_standin()
        run = prefix.run_bootstrapper("-silent")
        assert run.exit_code == 0, run
        [line] = prefix.recorded_command_lines()
        assert line.startswith(f'"{SYSTEM32}\\msiexec.exe" /i "{LAYOUT_DIR}\\packages\\{PACKAGE_FILE}" ')


# The installed product's own ProductCode at the newer version: upgraded in place (reinstall mode).
SAME_CODE_NEW = (OLD[0], NEW[1])
# Another product of the machine, whose package may lie beside the bootstrapper.
OTHER_PRODUCT = "{5E1F7A3C-2B4D-4C6E-8F90-A1B2C3D4E5F6}"
OTHER_UPGRADE_CODE = "{9C8B7A6D-5E4F-4A3B-2C1D-0E9F8A7B6C5D}"


class TestOnePackagePerRun:
    def test_a_package_in_a_folder_of_its_own_name_is_installed(self, prefix, packages):
        # The folder zarelcom-x64 beside the exe matches the package's mask too; it is no package.
        prefix.put_package(packages.build(*OLD), subdir=PACKAGE_FILE.removesuffix(".msi"))
        run = prefix.run_bootstrapper("-silent")
        assert run.exit_code == 0, run
        assert prefix.product()["version"] == OLD[1]

    def test_another_products_package_beside_the_exe_is_never_touched(self, prefix, packages):
        other = packages.build(OTHER_PRODUCT, "7.0", name="Accounting", upgrade_code=OTHER_UPGRADE_CODE)
        prefix.install_directly(other)
        prefix.put_package(other, "accounting-x64.msi")
        prefix.put_package(packages.build(*OLD), subdir="packages")
        before = prefix.product(OTHER_UPGRADE_CODE)

        run = prefix.run_bootstrapper("-silent")
        assert run.exit_code == 0, run
        assert prefix.product()["version"] == OLD[1]
        after = prefix.product(OTHER_UPGRADE_CODE)
        assert (after["version"], after["package_name"]) == ("7.0", before["package_name"])

    def test_a_child_that_broadcasts_a_message_is_answered(self, prefix, packages):
        # msiexec (the stand-in) sends a message to every top-level window, the bootstrapper's
        # owner window too, and waits for each answer while the bootstrapper waits for it.
        prefix.put_package(packages.build(*OLD))
        prefix.use_msiexec_standin()
        prefix.extra_env["FAKE_SETUP_BROADCAST"] = "1"
        run = prefix.run_bootstrapper("-silent")
        assert run.exit_code == 0, run
        assert len(prefix.recorded_command_lines()) == 1

    @on_both_windows
    @pytest.mark.parametrize("installed", [False, True], ids=["fresh", "upgrade"])
    def test_on_windows_xp_only_the_installed_products_source_hash_goes(self, prefix, packages, installed):
        if installed:
            prefix.install_directly(packages.build(*OLD))
        prefix.put_package(packages.build(*NEW))
        prefix.use_msiexec_standin()
        installer = prefix.path / "drive_c" / "windows" / "Installer"
        installer.mkdir(exist_ok=True)
        for name in ("SourceHash", f"SourceHash{OLD[0]}"):
            (installer / name).write_text("hash")
        prefix.fake_windows_version(5, 1, 2600, 3)

        run = prefix.run_bootstrapper("-silent")
        assert run.exit_code == 0, run
        assert len(prefix.recorded_command_lines()) == 1
        assert (installer / "SourceHash").exists(), "the file of no product was removed"
        assert (installer / f"SourceHash{OLD[0]}").exists() != installed


class TestUpgrade:
    """An older product is installed; the package beside the bootstrapper is newer, either a major
    upgrade (another ProductCode) or the same ProductCode at a newer version."""

    @pytest.fixture(params=[NEW, SAME_CODE_NEW], ids=["other-product-code", "same-product-code"])
    def newer(self, request, prefix, packages):
        prefix.install_directly(packages.build(*OLD))
        prefix.put_package(packages.build(*request.param))
        if request.param[0] != OLD[0]:
            yield request.param
            return
        with prefix.installer_cache_hidden():
            yield request.param

    def upgrade_question(self, window):
        # Asked without an owner and without MB_TOPMOST, unlike the run flow's boxes.
        assert_box(window, title=texts.CAPTION_UPDATE, text=texts.update_question(PRODUCT_NAME, OLD[1], NEW[1]),
                   buttons=[IDYES, IDNO], icon="none", owned=False, style=OWNERLESS_YES_NO_BOX)

    @on_both_windows
    def test_no_ends_the_run_with_1_and_changes_nothing(self, prefix, newer):
        run = prefix.run_bootstrapper(plan=[f"press:{IDYES}", f"press:{IDNO}"])
        assert len(run.windows) == 2, run
        confirm_box(run.windows[0])
        self.upgrade_question(run.windows[1])
        assert run.exit_code == 1, run
        product = prefix.product()
        assert (product["product"], product["version"]) == (OLD[0], OLD[1])
        assert prefix.logs() == []

    @on_both_windows
    def test_yes_upgrades_to_the_new_version(self, prefix, newer):
        run = prefix.run_bootstrapper(plan=[f"press:{IDYES}", f"press:{IDYES}", f"press:{IDOK}"])
        assert len(run.windows) == 3, run
        self.upgrade_question(run.windows[1])
        success_box(run.windows[2])
        assert run.exit_code == 0, run
        product = prefix.product()
        assert (product["product"], product["state"], product["version"]) == (newer[0], STATE_INSTALLED, NEW[1])
        assert prefix.installed_payload().read_text() == f"{PRODUCT_NAME} {NEW[1]}\n"

    def test_a_product_name_with_format_signs_is_shown_as_it_stands(self, prefix, packages):
        # The name is data, never a format: "%s", "%d" and a lone "%" reach the box unchanged.
        name = "Kestrova %s Pellaris %d 100%"
        prefix.install_directly(packages.build(*OLD))
        prefix.put_package(packages.build(*NEW, name=name))
        run = prefix.run_bootstrapper(plan=[f"press:{IDYES}", f"press:{IDNO}"])
        assert len(run.windows) == 2, run
        assert run.windows[1]["text"] == texts.update_question(name, OLD[1], NEW[1]), run
        assert run.exit_code == 1, run

    @pytest.mark.parametrize("language", ["eng", "rus"])
    def test_the_question_names_the_package_of_the_ui_language(self, prefix, packages, russian_ui, language):
        # The name comes from the package named for the system's UI language ("*eng*zarelcom*.msi" on
        # an English system), which need not be the package that is installed.
        prefix.install_directly(packages.build(*OLD))
        prefix.put_package(packages.build(*NEW))
        for other in ("eng", "rus"):
            prefix.put_package(packages.build(*NEW, name=f"Kestrova Pellaris ({other})"), f"{other}-zarelcom.msi")
        run = prefix.run_bootstrapper(plan=[f"press:{IDYES}", f"press:{IDNO}"],
                                      env=russian_ui if language == "rus" else None)
        assert len(run.windows) == 2, run
        expected = texts.update_question(f"Kestrova Pellaris ({language})", OLD[1], NEW[1])
        assert run.windows[1]["text"] == expected, run
        assert run.exit_code == 1, run


class TestSameVersionInstalled:
    """The installed product is the very package beside the bootstrapper."""

    def prepare(self, prefix, packages):
        package = packages.build(*OLD)
        prefix.install_directly(package)
        prefix.put_package(package)

    def test_no_to_reinstall_gives_1602_and_runs_nothing(self, prefix, packages):
        self.prepare(prefix, packages)
        prefix.use_msiexec_standin()
        run = prefix.run_bootstrapper(plan=[f"press:{IDYES}", f"press:{IDNO}"])
        assert len(run.windows) == 2, run
        assert_box(run.windows[1], title=texts.CAPTION_UPDATE, text=texts.SAME_VERSION_REINSTALL,
                   buttons=[IDYES, IDNO], icon="none", owned=True, style=QUESTION_BOX)
        assert run.exit_code == 1602, run
        assert prefix.recorded_command_lines() == []

    def test_silent_run_does_nothing_and_succeeds(self, prefix, packages):
        self.prepare(prefix, packages)
        prefix.use_msiexec_standin()
        run = prefix.run_bootstrapper("-silent")
        assert run.windows == [], run
        assert run.exit_code == 0, run
        assert prefix.recorded_command_lines() == []

    @on_both_windows
    def test_reinstall_switch_repairs_the_installed_product(self, prefix, packages):
        # A lost file of the product is back after the reinstall (REINSTALL=ALL REINSTALLMODE=vomus).
        self.prepare(prefix, packages)
        prefix.installed_payload().unlink()
        run = prefix.run_bootstrapper("-reinstall", plan=[f"press:{IDYES}", f"press:{IDOK}"])
        assert len(run.windows) == 2, run
        success_box(run.windows[1])
        assert run.exit_code == 0, run
        assert prefix.installed_payload().read_text() == f"{PRODUCT_NAME} {OLD[1]}\n"
        assert prefix.product()["version"] == OLD[1]


class TestNewerVersionInstalled:
    def test_refuses_with_a_notice_and_runs_nothing(self, prefix, packages):
        prefix.install_directly(packages.build(*NEW))
        prefix.put_package(packages.build(*OLD))
        prefix.use_msiexec_standin()
        run = prefix.run_bootstrapper(plan=[f"press:{IDYES}", f"press:{IDOK}", f"press:{IDOK}"])
        assert len(run.windows) == 3, run
        assert_box(run.windows[1], title=texts.CAPTION_UPDATE, text=texts.NEWER_VERSION_INSTALLED,
                   buttons=[IDOK], icon="error", owned=True, style=ERROR_BOX)
        success_box(run.windows[2])  # nothing to do counts as success
        assert run.exit_code == 0, run
        assert prefix.recorded_command_lines() == []
        assert prefix.product()["version"] == NEW[1]

    def test_silent_run_hands_the_older_package_to_msiexec(self, prefix, packages):
        prefix.install_directly(packages.build(*NEW))
        prefix.put_package(packages.build(*OLD))
        prefix.use_msiexec_standin()
        run = prefix.run_bootstrapper("-silent")
        assert run.windows == [], run
        assert run.exit_code == 0, run
        [line] = prefix.recorded_command_lines()
        # Another product code with the feature installed: no property beyond the basic UI.
        assert line.endswith(" REBOOT=R  /qb"), line
