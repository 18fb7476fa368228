"""The CSP and UEC CSP distributions and the "CSPSetup" dialog.

Each distribution's Setup.exe is the recording stand-in (tools/fake_setup.cpp) and so is msiexec,
unless a test says otherwise: a run's record lists, in order, every setup program and msiexec it
started. Most runs share one prefix, since neither stand-in changes what is installed; the record
and TMP's log files are cleared before each test.
"""

import re
import shutil
from datetime import datetime, timedelta

import pytest

from bench_boxes import ERROR_BOX, IDNO, IDOK, IDYES, PLAIN_BOX, QUESTION_BOX, assert_box
from bench_packages import OLD, STATE_INSTALLED
from bench_prefix import LAYOUT_DIR, SYSTEM32, TOOLS_DIR, win_to_unix
from bench_tools import BUILD, on_both_windows
import e2e_texts as texts


# Dialog 141: (id, class, text, visible at start), in template (= z) order.
DIALOG_CONTROLS = [
    (140, "Button", "Далее", True),
    (2, "Button", "Отмена", True),
    (1006, "Button", "Русский", False),
    (1007, "Button", "English", False),
    (1008, "Button", "KC1", False),
    (1009, "Button", "KC2", False),
    (1010, "Button", "KC3", False),
    (1012, "Button", "Язык установки:", False),
    (1013, "Button", "Уровень безопасности:", False),
    (1011, "Button", "Kestrova - ключевое слово в защите информации", True),
    (1015, "Button", texts.OPTIONS_SHOW, True),
    (1014, "Static", texts.WELCOME_TEXT, True),
]
RADIOS = {1006, 1007, 1008, 1009, 1010}
CHOICES = RADIOS | {1012, 1013}
WELCOME_PANEL = {1011, 1014}
WS_TABSTOP, WS_GROUP = 0x10000, 0x20000
BS_PUSHBUTTON, BS_DEFPUSHBUTTON, BS_GROUPBOX, BS_AUTORADIOBUTTON = 0x0, 0x1, 0x7, 0x9
SS_LEFT = 0x0
# Button kind and the group/tab-stop bits of each control as the dialog opens. A checked radio
# button gains WS_TABSTOP from the button control itself, so radios are compared without it.
DIALOG_STYLES = {
    140: BS_DEFPUSHBUTTON | WS_TABSTOP, 2: BS_PUSHBUTTON | WS_TABSTOP,
    1006: BS_AUTORADIOBUTTON | WS_GROUP, 1007: BS_AUTORADIOBUTTON,
    1008: BS_AUTORADIOBUTTON | WS_GROUP, 1009: BS_AUTORADIOBUTTON, 1010: BS_AUTORADIOBUTTON,
    1012: BS_GROUPBOX, 1013: BS_GROUPBOX, 1011: BS_GROUPBOX, 1015: BS_PUSHBUTTON | WS_TABSTOP,
    1014: SS_LEFT | WS_GROUP,
}
IDC_NEXT, IDC_KC1, IDC_KC3, IDC_RUSSIAN, IDC_ENGLISH, IDC_OPTIONS = 140, 1008, 1010, 1006, 1007, 1015
SCREENSHOT = BUILD / "e2e" / "screens" / "csp_setup_choices.bmp"

ERROR_ENVVAR_NOT_FOUND = 203


# ------------------------------------------------------------------------------------------------
# Fixtures and checks.

@pytest.fixture
def layout_with_distributions(shared_prefix, packages):
    """Both distributions and the plug-in package beside the bootstrapper; msiexec is the stand-in."""
    shared_prefix.put_package(packages.build(*OLD))
    shared_prefix.put_setup_programs("csp", "ucsp")
    shared_prefix.use_msiexec_standin()
    return shared_prefix


@pytest.fixture
def bench(layout_with_distributions):
    p = layout_with_distributions
    p.clear_record()
    unix_tmp, _ = p.temp_dir()
    for log in unix_tmp.glob("*.log"):
        log.unlink()
    return p


def assert_msiexec_line(line, prefix):
    """msiexec from system32, with the package of the prefix's Windows beside the bootstrapper."""
    start = f'"{SYSTEM32}\\msiexec.exe" /i "{LAYOUT_DIR}\\{prefix.windows.package_file}" '
    assert line.startswith(start), line


def assert_setup_line(line, prefix, kind, args_value, tail, started, ended):
    """One recorded setup command line: program by full quoted path, -args value, then the tail.

    `args_value` holds "{log}" where the distribution's own log path must stand; that path is
    TMP\\<kind>_<local time>.log, the time taken during the run. Returns the log path."""
    _, tmp = prefix.temp_dir()
    stamp = r"(?P<stamp>\d{4}-\d\d-\d\d-\d\d-\d\d-\d\d)"
    log_pattern = re.escape(f"{tmp}\\{kind}_") + stamp + re.escape(".log")
    head, _, rest = args_value.partition("{log}")
    expected = (re.escape(f'"{LAYOUT_DIR}\\{kind}\\Setup.exe" -args "{head}') +
                (f"(?P<log>{log_pattern})" + re.escape(rest) if "{log}" in args_value else "") +
                re.escape(f'"{tail}'))
    m = re.fullmatch(expected, line)
    assert m, f"\n{line}\ndoes not match\n{expected}"
    if "{log}" not in args_value:
        return None
    when = datetime.strptime(m["stamp"], "%Y-%m-%d-%H-%M-%S")
    assert started - timedelta(seconds=1) <= when <= ended + timedelta(seconds=1), (when, started, ended)
    return m["log"]


def run_timed(prefix, *args, **kwargs):
    started = datetime.now().replace(microsecond=0)
    run = prefix.run_bootstrapper(*args, **kwargs)
    return run, started, datetime.now()


def confirm_box(window, text):
    assert_box(window, title=texts.CAPTION, text=text, buttons=[IDYES, IDNO], icon="none", owned=True,
               style=QUESTION_BOX)


def success_box(window, text):
    assert_box(window, title=texts.CAPTION, text=text, buttons=[IDOK], icon="none", owned=True, style=PLAIN_BOX)


def csp_failure_box(window, code, log=None):
    assert_box(window, title=texts.CAPTION, text=texts.csp_install_failed(code, log), buttons=[IDOK],
               icon="error", owned=True, style=ERROR_BOX)


def boxes_and_dialogs(run):
    return [(w["kind"], w["title"]) for w in run.windows if not w.get("dump")]


# ------------------------------------------------------------------------------------------------
# Command lines.

class TestSetupCommandLine:
    def test_csp_alone_gets_its_own_log_and_the_basic_ui(self, bench):
        run, started, ended = run_timed(bench, "-csp", plan=[f"press:{IDYES}", f"press:{IDOK}"])
        assert len(run.windows) == 2, run
        confirm_box(run.windows[0], texts.CONFIRM_PLUGIN_CSP)
        success_box(run.windows[1], texts.SUCCESS_CSP)
        assert run.exit_code == 0, run
        setup, msiexec = bench.recorded_command_lines()
        assert_setup_line(setup, bench, "csp", '/qb /Lv! """{log}""" ', " -noreboot", started, ended)
        assert_msiexec_line(msiexec, bench)

    def test_a_log_option_of_the_caller_replaces_the_own_log(self, bench):
        run, started, ended = run_timed(bench, "-csp", "-CSPArgs", "/l*v C:\\my.log",
                                        plan=[f"press:{IDYES}", f"press:{IDOK}"])
        assert run.exit_code == 0, run
        setup, msiexec = bench.recorded_command_lines()
        assert_setup_line(setup, bench, "csp", "/qb /l*v C:\\my.log ", " -noreboot", started, ended)
        assert_msiexec_line(msiexec, bench)

    def test_ucsp_silent_reinstall_with_its_own_ui_level(self, bench):
        run, started, ended = run_timed(bench, "-ucsp", "-UCSPArgs", "/qn", "-silent", "-reinstall")
        assert run.windows == [], run
        assert run.exit_code == 0, run
        setup, msiexec = bench.recorded_command_lines()
        assert_setup_line(setup, bench, "ucsp", '/Lv! """{log}""" /qn ', " -noreboot -silent -reinstall",
                          started, ended)
        assert_msiexec_line(msiexec, bench)


# ------------------------------------------------------------------------------------------------
# What the setup program's exit code does to the run.

class TestSetupExitCode:
    @pytest.mark.parametrize("code", [3, 4, 1602])
    def test_codes_that_let_the_plugin_installation_go_on(self, bench, code):
        run = bench.run_bootstrapper("-csp", "-silent", env={"FAKE_SETUP_EXIT_CSP": str(code)})
        assert run.windows == [], run
        assert run.exit_code == 0, run
        setup, msiexec = bench.recorded_command_lines()
        assert setup.startswith(f'"{LAYOUT_DIR}\\csp\\Setup.exe" '), setup
        assert_msiexec_line(msiexec, bench)

    @pytest.mark.parametrize("code", [1603, 3010])
    def test_other_codes_are_reported_and_end_the_run(self, bench, code):
        run = bench.run_bootstrapper("-csp", plan=[f"press:{IDYES}", f"press:{IDOK}"],
                                     env={"FAKE_SETUP_EXIT_CSP": str(code)})
        assert len(run.windows) == 2, run
        csp_failure_box(run.windows[1], code)  # the stand-in wrote no log: no log line
        assert run.exit_code == code, run
        [setup] = bench.recorded_command_lines()  # the plug-in is not installed
        assert setup.startswith(f'"{LAYOUT_DIR}\\csp\\Setup.exe" '), setup

    def test_silent_failure_shows_nothing_and_returns_the_code(self, bench):
        run = bench.run_bootstrapper("-csp", "-silent", env={"FAKE_SETUP_EXIT_CSP": "1603"})
        assert run.windows == [], run
        assert run.exit_code == 1603, run
        assert len(bench.recorded_command_lines()) == 1

    def test_failure_box_names_the_log_the_setup_wrote(self, bench):
        run, started, ended = run_timed(bench, "-csp", plan=[f"press:{IDYES}", f"press:{IDOK}"],
                                        env={"FAKE_SETUP_EXIT_CSP": "1603", "FAKE_SETUP_WRITE_LOG": "1"})
        [setup] = bench.recorded_command_lines()
        log = assert_setup_line(setup, bench, "csp", '/qb /Lv! """{log}""" ', " -noreboot", started, ended)
        assert win_to_unix(bench.path, log).exists()
        assert len(run.windows) == 2, run
        csp_failure_box(run.windows[1], 1603, log)
        assert run.exit_code == 1603, run


class TestBothDistributions:
    @on_both_windows
    def test_csp_then_ucsp_then_the_plugin(self, bench):
        run, started, ended = run_timed(bench, "-csp", "-ucsp", plan=[f"press:{IDYES}", f"press:{IDOK}"])
        assert len(run.windows) == 2, run
        confirm_box(run.windows[0], texts.CONFIRM_PLUGIN_CSP_UCSP)
        success_box(run.windows[1], texts.SUCCESS_CSP_UCSP)
        assert run.exit_code == 0, run
        csp, ucsp, msiexec = bench.recorded_command_lines()
        csp_log = assert_setup_line(csp, bench, "csp", '/qb /Lv! """{log}""" ', " -noreboot", started, ended)
        ucsp_log = assert_setup_line(ucsp, bench, "ucsp", '/qb /Lv! """{log}""" ', " -noreboot", started, ended)
        assert csp_log != ucsp_log
        assert_msiexec_line(msiexec, bench)

    def test_a_failed_csp_stops_the_ucsp_and_the_plugin(self, bench):
        run = bench.run_bootstrapper("-csp", "-ucsp", plan=[f"press:{IDYES}", f"press:{IDOK}"],
                                     env={"FAKE_SETUP_EXIT_CSP": "1603"})
        assert len(run.windows) == 2, run
        csp_failure_box(run.windows[1], 1603)
        assert run.exit_code == 1603, run
        [csp] = bench.recorded_command_lines()
        assert csp.startswith(f'"{LAYOUT_DIR}\\csp\\Setup.exe" '), csp

    def test_a_failed_ucsp_stops_the_plugin(self, bench):
        run = bench.run_bootstrapper("-csp", "-ucsp", plan=[f"press:{IDYES}", f"press:{IDOK}"],
                                     env={"FAKE_SETUP_EXIT_UCSP": "3010"})
        assert len(run.windows) == 2, run
        csp_failure_box(run.windows[1], 3010)  # the same message for either distribution
        assert run.exit_code == 3010, run
        csp, ucsp = bench.recorded_command_lines()
        assert csp.startswith(f'"{LAYOUT_DIR}\\csp\\Setup.exe" '), csp
        assert ucsp.startswith(f'"{LAYOUT_DIR}\\ucsp\\Setup.exe" '), ucsp

    def test_ucsp_alone_asks_and_reports_with_its_own_messages(self, bench):
        run = bench.run_bootstrapper("-ucsp", plan=[f"press:{IDYES}", f"press:{IDOK}"])
        assert len(run.windows) == 2, run
        confirm_box(run.windows[0], texts.CONFIRM_PLUGIN_UCSP)
        success_box(run.windows[1], texts.SUCCESS_UCSP)
        assert run.exit_code == 0, run
        ucsp, msiexec = bench.recorded_command_lines()
        assert ucsp.startswith(f'"{LAYOUT_DIR}\\ucsp\\Setup.exe" '), ucsp
        assert_msiexec_line(msiexec, bench)


def test_without_tmp_no_setup_program_is_started(bench):
    run = bench.run_bootstrapper("-csp", plan=[f"press:{IDYES}", f"press:{IDOK}"], unset=["TMP"])
    assert len(run.windows) == 2, run
    assert_box(run.windows[1], title=texts.CAPTION_ERROR, text=texts.TMP_UNREADABLE, buttons=[IDOK],
               icon="error", owned=True, style=ERROR_BOX)
    assert run.exit_code == ERROR_ENVVAR_NOT_FOUND, run
    assert bench.recorded_command_lines() == []


# ------------------------------------------------------------------------------------------------
# A setup program that cannot be started: the start error is the result, reported as a failure.

@pytest.fixture
def layout_without_setup(prefix, packages):
    prefix.put_package(packages.build(*OLD))
    prefix.use_msiexec_standin()
    return prefix


# Windows answers ERROR_PATH_NOT_FOUND (3) for a missing folder; Wine 8 answers ERROR_FILE_NOT_FOUND
# for both. Either way the start error is the run's result, 3 included.
ERROR_FILE_NOT_FOUND = 2


@pytest.mark.parametrize("empty_folder", [False, True], ids=["no folder", "no Setup.exe in the folder"])
def test_a_setup_program_that_cannot_start_ends_the_run(layout_without_setup, empty_folder):
    p = layout_without_setup
    start_error = ERROR_FILE_NOT_FOUND
    if empty_folder:
        (p.layout / "csp").mkdir()
    run = p.run_bootstrapper("-csp", plan=[f"press:{IDYES}", f"press:{IDOK}"])
    assert len(run.windows) == 2, run
    csp_failure_box(run.windows[1], start_error)
    assert run.exit_code == start_error, run
    silent = p.run_bootstrapper("-csp", "-silent")
    assert silent.windows == [], silent
    assert silent.exit_code == start_error, silent
    assert p.recorded_command_lines() == []  # msiexec never ran
    assert p.logs() == [], "the log made for a setup program that never started must go"


def test_with_the_real_msiexec_a_cancelled_csp_setup_still_installs_the_plugin(prefix, packages):
    prefix.put_package(packages.build(*OLD))
    prefix.put_setup_programs("csp")
    run = prefix.run_bootstrapper("-csp", "-silent", env={"FAKE_SETUP_EXIT": "1602"})
    assert run.exit_code == 0, run
    product = prefix.product()
    assert (product["product"], product["state"], product["version"]) == (OLD[0], STATE_INSTALLED, OLD[1])
    assert len(prefix.recorded_command_lines()) == 1  # the setup program; msiexec is the real one


# ------------------------------------------------------------------------------------------------
# The "CSPSetup" dialog.

def control_map(window):
    return {c["id"]: c for c in window["controls"]}


def assert_panel(window, choices_shown, toggle_caption):
    controls = control_map(window)
    assert controls[IDC_OPTIONS]["text"] == toggle_caption
    for cid in CHOICES:
        assert controls[cid]["visible"] == choices_shown, controls[cid]
    for cid in WELCOME_PANEL:
        assert controls[cid]["visible"] == (not choices_shown), controls[cid]
    assert controls[140]["visible"] and controls[2]["visible"] and controls[IDC_OPTIONS]["visible"]


def checked(window):
    return {c["id"] for c in window["controls"] if c["checked"]}


class TestSetupDialog:
    @on_both_windows
    def test_opens_on_the_welcome_panel_and_next_goes_on_to_the_csp_setup(self, bench):
        run, started, ended = run_timed(bench, "-csp", "-selectDlg",
                                        plan=[f"press:{IDYES}", f"click:{IDC_NEXT}", f"press:{IDOK}"])
        assert boxes_and_dialogs(run) == [("box", texts.CAPTION), ("dialog", texts.DIALOG_TITLE),
                                          ("box", texts.CAPTION)], run
        confirm_box(run.windows[0], texts.CONFIRM_PLUGIN_CSP)
        dialog = run.windows[1]
        assert dialog["owner"] is None
        assert [(c["id"], c["class"], c["text"], c["visible"]) for c in dialog["controls"]] == DIALOG_CONTROLS
        for c in dialog["controls"]:
            style = int(c["style"], 16) & (0xF | WS_GROUP | WS_TABSTOP)
            if c["id"] in RADIOS:
                style &= ~WS_TABSTOP
            assert style == DIALOG_STYLES[c["id"]], c
        assert_panel(dialog, choices_shown=False, toggle_caption=texts.OPTIONS_SHOW)
        # Wine's default UI language is English (0x0409): the English radio is preselected.
        assert checked(dialog) == {IDC_ENGLISH, IDC_KC1}
        success_box(run.windows[2], texts.SUCCESS_CSP)
        assert run.exit_code == 0, run
        setup, msiexec = bench.recorded_command_lines()
        # The choices do not enter the distribution's command line.
        assert_setup_line(setup, bench, "csp", '/qb /Lv! """{log}""" ', " -noreboot", started, ended)
        assert_msiexec_line(msiexec, bench)

    def test_options_toggle_both_ways_and_keep_a_choice(self, bench):
        shot = f"{TOOLS_DIR}\\csp_setup_choices.bmp"
        dialog_step = " ".join([f"click:{IDC_OPTIONS}", "dump", f"shot:{shot}", f"click:{IDC_KC3}", "dump",
                                f"click:{IDC_OPTIONS}", "dump", f"click:{IDC_NEXT}"])
        run = bench.run_bootstrapper("-csp", "-selectDlg", plan=[f"press:{IDYES}", dialog_step, f"press:{IDOK}"])
        dumps = [w for w in run.windows if w.get("dump")]
        assert len(dumps) == 3, run
        shown, kc3, hidden_again = dumps
        assert_panel(shown, choices_shown=True, toggle_caption=texts.OPTIONS_HIDE)
        assert checked(shown) == {IDC_ENGLISH, IDC_KC1}
        assert_panel(kc3, choices_shown=True, toggle_caption=texts.OPTIONS_HIDE)
        assert checked(kc3) == {IDC_ENGLISH, IDC_KC3}
        assert_panel(hidden_again, choices_shown=False, toggle_caption=texts.OPTIONS_SHOW)
        assert checked(hidden_again) == {IDC_ENGLISH, IDC_KC3}
        assert run.exit_code == 0, run
        assert len(bench.recorded_command_lines()) == 2  # "Далее" went on: the setup, then msiexec
        # Kept for a person to look at; nothing is judged from the pixels.
        [taken] = [line["shot"] for line in run.lines if "shot" in line]
        SCREENSHOT.parent.mkdir(parents=True, exist_ok=True)
        shutil.copy2(win_to_unix(bench.path, taken), SCREENSHOT)

    def test_a_russian_ui_language_preselects_russian(self, prefix, packages, russian_ui):
        prefix.put_package(packages.build(*OLD))
        prefix.put_setup_programs("csp")
        prefix.use_msiexec_standin()
        run = prefix.run_bootstrapper("-csp", "-selectDlg", plan=[f"press:{IDYES}", "click:2"], env=russian_ui)
        assert boxes_and_dialogs(run) == [("box", texts.CAPTION), ("dialog", texts.DIALOG_TITLE)], run
        assert checked(run.windows[1]) == {IDC_RUSSIAN, IDC_KC1}
        assert run.exit_code == 0, run

    @pytest.mark.parametrize("action", ["click:2", "esc", "close"], ids=["Отмена", "Escape", "close box"])
    def test_cancel_ends_the_run_with_0_and_installs_nothing(self, bench, action):
        run = bench.run_bootstrapper("-csp", "-selectDlg", plan=[f"press:{IDYES}", action])
        assert boxes_and_dialogs(run) == [("box", texts.CAPTION), ("dialog", texts.DIALOG_TITLE)], run
        assert run.exit_code == 0, run
        assert not run.timed_out
        assert bench.recorded_command_lines() == []

    def test_silent_run_shows_no_dialog(self, bench):
        run = bench.run_bootstrapper("-silent", "-csp", "-selectDlg")
        assert run.windows == [], run
        assert run.exit_code == 0, run
        setup, msiexec = bench.recorded_command_lines()
        assert setup.endswith(" -noreboot -silent"), setup
        assert_msiexec_line(msiexec, bench)

    def test_without_csp_there_is_no_dialog(self, bench):
        run = bench.run_bootstrapper("-selectDlg", plan=[f"press:{IDYES}", f"press:{IDOK}"])
        assert len(run.windows) == 2, run
        confirm_box(run.windows[0], texts.CONFIRM_PLUGIN)
        success_box(run.windows[1], texts.SUCCESS)
        assert run.exit_code == 0, run
        [msiexec] = bench.recorded_command_lines()
        assert_msiexec_line(msiexec, bench)
