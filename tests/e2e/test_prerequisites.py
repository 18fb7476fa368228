"""Windows versions and service packs that are refused, faked through the prefix's registry.

Not reachable under Wine, covered by the unit tests instead: the non-administrator refusal
(IsUserAnAdmin is always nonzero under Wine).
"""

import pytest

from bench_boxes import ERROR_BOX, IDNO, IDOK, assert_box
from bench_packages import OLD
import e2e_texts as texts

REFUSED = [
    # major, minor, build, service pack, server, message, exit code
    pytest.param(5, 0, 2195, 3, False, texts.WIN2000_NEEDS_SP4, 3, id="windows-2000-sp3"),
    pytest.param(5, 1, 2600, 1, False, texts.WINXP_NEEDS_SP2, 4, id="windows-xp-sp1"),
    pytest.param(5, 2, 3790, 0, True, texts.WIN2003_NEEDS_SP1, 5, id="server-2003-sp0"),
]


@pytest.fixture
def bench(shared_prefix, packages):
    shared_prefix.put_package(packages.build(*OLD))
    shared_prefix.use_msiexec_standin()
    return shared_prefix


@pytest.mark.parametrize("major, minor, build, sp, server, message, code", REFUSED)
def test_refused_version_shows_its_error_and_exits(bench, major, minor, build, sp, server, message, code):
    bench.fake_windows_version(major, minor, build, sp, server)
    run = bench.run_bootstrapper(plan=[f"press:{IDOK}"])
    assert len(run.windows) == 1, run
    assert_box(run.windows[0], title=texts.CAPTION, text=message, buttons=[IDOK], icon="error",
               owned=True, style=ERROR_BOX)
    assert run.exit_code == code


@pytest.mark.parametrize("major, minor, build, sp, server, message, code", REFUSED)
def test_refused_version_silent_exits_without_a_box(bench, major, minor, build, sp, server, message, code):
    bench.fake_windows_version(major, minor, build, sp, server)
    run = bench.run_bootstrapper("-silent")
    assert run.windows == [], run
    assert run.exit_code == code


@pytest.mark.parametrize("major, minor, build, sp, server", [
    pytest.param(5, 1, 2600, 2, False, id="windows-xp-sp2"),
    pytest.param(5, 2, 3790, 1, True, id="server-2003-sp1"),
    pytest.param(5, 0, 2195, 4, False, id="windows-2000-sp4"),
    pytest.param(6, 0, 6000, 0, False, id="vista-sp0"),
])
def test_supported_version_goes_on_to_the_question(bench, major, minor, build, sp, server):
    bench.fake_windows_version(major, minor, build, sp, server)
    run = bench.run_bootstrapper(plan=[f"press:{IDNO}"])
    assert [w["text"] for w in run.windows] == [texts.CONFIRM_PLUGIN]
    assert run.exit_code == 0, run
