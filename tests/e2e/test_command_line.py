"""The command line: the help, and the exact msiexec command line the switches produce.

msiexec is the recording stand-in here, so nothing gets installed and one prefix serves the module.
"""

import re
from datetime import datetime, timedelta

import pytest

from bench_boxes import HELP_BOX, IDOK, assert_box
from bench_packages import OLD
from bench_prefix import LAYOUT_DIR, SYSTEM32
from bench_tools import DEFAULT
import e2e_texts as texts


@pytest.fixture
def bench(shared_prefix, packages):
    shared_prefix.put_package(packages.build(*OLD))
    shared_prefix.use_msiexec_standin()
    return shared_prefix


@pytest.mark.parametrize("args, csp, ucsp", [
    (["-help"], False, False),
    (["/?"], False, False),
    (["-REINSTALL"], False, False),          # only the exact spelling is a switch
    (["-silent", "-bogus"], False, False),   # -silent does not hide the help
    (["-ZarelArgs"], False, False),          # a value switch without its value
    (["-csp", "-help"], True, False),
    (["-csp", "-ucsp", "-help"], True, True),
    (["-help", "-csp"], False, False),       # nothing after the help request counts
])
def test_help_box_and_exit_0(bench, args, csp, ucsp):
    bench.clear_record()
    run = bench.run_bootstrapper(*args, plan=[f"press:{IDOK}"])
    assert len(run.windows) == 1, run
    assert_box(run.windows[0], title=texts.HELP_TITLE, text=texts.help_text(csp=csp, ucsp=ucsp), buttons=[IDOK],
               icon="information", owned=True, style=HELP_BOX)
    assert run.exit_code == 0, run
    assert bench.recorded_command_lines() == []


MSIEXEC = f'"{SYSTEM32}\\msiexec.exe" /i "{LAYOUT_DIR}\\{DEFAULT.package_file}" '


@pytest.mark.parametrize("zarel_args, tail", [
    ([], " /qb ADDNPZAREL=1"),
    (["FOO=1"], " /qb ADDNPZAREL=1 FOO=1 "),
    (["A=1", "B=2"], " /qb ADDNPZAREL=1 A=1  B=2 "),
    (["INSTALLDIR=C:\\a b"], " /qb ADDNPZAREL=1 INSTALLDIR=C:\\a b "),  # one value, blanks kept
    (["/qn"], " ADDNPZAREL=1 /qn "),                                     # a /q of the caller's drops /qb
    (["/QN"], " /qb ADDNPZAREL=1 /QN "),                                 # ... matched case-sensitively
    (["DIR=C:/qa"], " ADDNPZAREL=1 DIR=C:/qa "),                         # ... anywhere, even inside a value
])
def test_msiexec_command_line_with_a_log(bench, zarel_args, tail):
    bench.clear_record()
    args = [a for value in zarel_args for a in ("-ZarelArgs", value)]
    before = datetime.now().replace(microsecond=0)
    run = bench.run_bootstrapper("-silent", *args)
    after = datetime.now() + timedelta(seconds=1)
    assert run.exit_code == 0, run
    _, tmp = bench.temp_dir()
    [line] = bench.recorded_command_lines()
    m = re.fullmatch(re.escape(MSIEXEC + f'/Lv! "{tmp}\\{DEFAULT.package_file}_') + r"([0-9-]{19})" +
                     re.escape('.log" REBOOT=R ' + tail), line)
    assert m, line
    stamp = datetime.strptime(m.group(1), "%Y-%m-%d-%H-%M-%S")  # local time of the run
    assert before <= stamp <= after


@pytest.mark.parametrize("zarel_args, tail", [
    (["/l*v C:\\mine.log"], " /qb ADDNPZAREL=1 /l*v C:\\mine.log "),
    (["/L*V C:\\mine.log"], " /qb ADDNPZAREL=1 /L*V C:\\mine.log "),
    (["/lv C:\\mine.log /qn"], " ADDNPZAREL=1 /lv C:\\mine.log /qn "),
    (["URL=http://host/logs"], " /qb ADDNPZAREL=1 URL=http://host/logs "),  # a "/l" inside a value counts too
])
def test_a_log_switch_of_the_callers_replaces_the_own_log(bench, zarel_args, tail):
    bench.clear_record()
    args = [a for value in zarel_args for a in ("-ZarelArgs", value)]
    run = bench.run_bootstrapper("-silent", *args)
    assert run.exit_code == 0, run
    assert bench.recorded_command_lines() == [MSIEXEC + " REBOOT=R " + tail]
