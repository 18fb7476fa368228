"""Installing, upgrading and refusing: what the user sees and what ends up installed."""

import re

import pytest

from e2e_bench import (ERROR_BOX, IDNO, IDOK, IDYES, LAYOUT_DIR, NEW, OLD, OWNERLESS_YES_NO_BOX, PACKAGE_FILE,
                      PLAIN_BOX, PRODUCT_NAME, QUESTION_BOX, STATE_INSTALLED, SYSTEM32, assert_box)
import e2e_texts as texts

LOG_NAME = re.compile(re.escape(PACKAGE_FILE) + r"_\d{4}-\d\d-\d\d-\d\d-\d\d-\d\d\.log")


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

    def test_silent_install_shows_nothing_and_leaves_a_verbose_log(self, prefix, packages):
        prefix.put_package(packages.build(*OLD))
        run = prefix.run_bootstrapper("-silent")
        assert run.windows == [], run
        assert run.exit_code == 0, run
        assert prefix.product()["version"] == OLD[1]
        logs = prefix.logs()
        assert len(logs) == 1 and LOG_NAME.fullmatch(logs[0]), logs
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

    def test_no_ends_the_run_with_1_and_changes_nothing(self, prefix, newer):
        run = prefix.run_bootstrapper(plan=[f"press:{IDYES}", f"press:{IDNO}"])
        assert len(run.windows) == 2, run
        confirm_box(run.windows[0])
        self.upgrade_question(run.windows[1])
        assert run.exit_code == 1, run
        product = prefix.product()
        assert (product["product"], product["version"]) == (OLD[0], OLD[1])
        assert prefix.logs() == []

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
