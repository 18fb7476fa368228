"""The restart marker HKCU\\Software\\NeedBstrReboot and the restart question.

A real package asks for a reboot with REBOOTME=1 (msiexec ends with 3010); 3011 and 1641 (Windows is
restarting already) come from the msiexec stand-in, since Wine's Windows Installer never produces them
for a package.

A run from a window station nobody sees (a service, a deployment tool's SYSTEM run in session 0)
restarts through InitiateSystemShutdownExW, which under Wine is a stub that answers TRUE and restarts
nothing: the bench shows which way such a run goes (the call in the relay trace), not the restart.

Not reachable under Wine, covered by the unit tests instead: a refused restart (box 111 and exit
code 7), since Wine grants the shutdown privilege and accepts every ExitWindowsEx request, and a marker
that cannot be created.
"""

import subprocess

import pytest

from bench_boxes import IDNO, IDOK, IDYES, PLAIN_BOX, WARNING_QUESTION_BOX, assert_box
from bench_calls import RELAY_EXE_CALLS_REG, relay_calls
from bench_packages import NEW, OLD, STATE_INSTALLED
from bench_tools import on_both_windows_showing_64bit
import e2e_texts as texts

RESTART_FAILED = 7


def restart_question(window):
    assert_box(window, title=texts.CAPTION, text=texts.RESTART_QUESTION, buttons=[IDYES, IDNO], icon="warning",
               owned=True, style=WARNING_QUESTION_BOX)


def test_3010_asks_to_restart_and_no_leaves_no_marker(prefix, packages):
    prefix.put_package(packages.build(*OLD))
    bystander = prefix.start_bystander()
    run = prefix.run_bootstrapper("-ZarelArgs", "REBOOTME=1", plan=[f"press:{IDYES}", f"press:{IDNO}"])
    assert len(run.windows) == 2, run
    restart_question(run.windows[1])
    assert run.exit_code == 0, run
    assert not prefix.marker_exists()
    assert prefix.product()["state"] == STATE_INSTALLED
    assert bystander.poll() is None, "No to the restart question must not restart"
    bystander.kill()


@pytest.mark.parametrize("code", [3010, 3011])
def test_restart_codes_set_the_marker_and_count_as_success(prefix, packages, code):
    prefix.put_package(packages.build(*OLD))
    prefix.use_msiexec_standin(exit_code=code)
    run = prefix.run_bootstrapper("-norestart", plan=[f"press:{IDYES}", f"press:{IDOK}"])
    assert len(run.windows) == 2, run
    assert_box(run.windows[1], title=texts.CAPTION, text=texts.SUCCESS, buttons=[IDOK], icon="none",
               owned=True, style=PLAIN_BOX)
    assert run.exit_code == 0, run
    assert prefix.marker_exists()


@pytest.mark.parametrize("switches", [[], ["-norestart"]], ids=["plain", "norestart"])
def test_1641_means_windows_is_restarting_already(prefix, packages, switches):
    # -ZarelArgs can override REBOOT=R; a second restart request could only fail (box 111) or restart
    # twice, and a marker would make the next run restart the machine again.
    prefix.put_package(packages.build(*OLD))
    prefix.use_msiexec_standin(exit_code=1641)
    prefix.set_marker()  # left by an earlier -norestart run: this restart meets it too
    bystander = prefix.start_bystander()
    run = prefix.run_bootstrapper(*switches, plan=[f"press:{IDYES}", f"press:{IDOK}"])
    assert len(run.windows) == 2, run
    assert_box(run.windows[1], title=texts.CAPTION, text=texts.SUCCESS, buttons=[IDOK], icon="none",
               owned=True, style=PLAIN_BOX)
    assert run.exit_code == 0, run
    assert not prefix.marker_exists()
    assert bystander.poll() is None, "the bootstrapper itself must not restart the machine again"
    bystander.kill()


@on_both_windows_showing_64bit("the marker in the 32-bit registry view")
def test_the_marker_survives_norestart_and_the_next_run_asks(prefix, packages):
    prefix.put_package(packages.build(*OLD))
    first = prefix.run_bootstrapper("-norestart", "-ZarelArgs", "REBOOTME=1", plan=[f"press:{IDYES}", f"press:{IDOK}"])
    assert [w["text"] for w in first.windows] == [texts.CONFIRM_PLUGIN, texts.SUCCESS]
    assert first.exit_code == 0, first
    assert prefix.marker_exists()

    # The next run's own installation (an upgrade) needs no restart; the marker alone makes it ask.
    prefix.put_package(packages.build(*NEW))
    second = prefix.run_bootstrapper(plan=[f"press:{IDYES}", f"press:{IDYES}", f"press:{IDNO}"])
    assert len(second.windows) == 3, second
    restart_question(second.windows[2])
    assert second.exit_code == 0, second
    assert not prefix.marker_exists()
    assert prefix.product()["version"] == NEW[1]


def test_a_marker_is_left_alone_when_the_installation_fails(prefix, packages):
    prefix.put_package(packages.build(*OLD))
    prefix.use_msiexec_standin(exit_code=1603)
    prefix.set_marker()
    run = prefix.run_bootstrapper("-silent")
    assert run.windows == [], run
    assert run.exit_code == 1603, run
    assert prefix.marker_exists()


# Wine's ExitWindowsEx ends every process of the prefix. Whether the helper that drives the run
# still reports the bootstrapper's end (its exit code is then 0, from the kill) is a race, so what is
# checked is: no "restart failed" box and no code 7, the marker removed before the restart, and a
# bystander process of the prefix ended by it.

def assert_restarted(prefix, run, bystander):
    assert run.exit_code in (None, 0) and not run.timed_out, run
    try:
        bystander.wait(timeout=30)  # generous: the shutdown is slower on a busy machine
    except subprocess.TimeoutExpired:
        bystander.kill()
        raise AssertionError("the restart did not end the prefix's other processes")
    prefix.wait_out_restart()


def test_yes_restarts_the_computer(prefix, packages):
    prefix.put_package(packages.build(*OLD))
    bystander = prefix.start_bystander()
    run = prefix.run_bootstrapper("-ZarelArgs", "REBOOTME=1", plan=[f"press:{IDYES}", f"press:{IDYES}"])
    assert len(run.windows) == 2, run  # no box 111 after the question
    restart_question(run.windows[1])
    assert_restarted(prefix, run, bystander)
    assert not prefix.marker_exists()
    assert prefix.product()["state"] == STATE_INSTALLED


def test_silent_run_with_a_marker_restarts_without_asking(prefix, packages):
    prefix.put_package(packages.build(*OLD))
    prefix.use_msiexec_standin(exit_code=0)
    prefix.set_marker()
    bystander = prefix.start_bystander()
    run = prefix.run_bootstrapper("-silent")
    assert run.windows == [], run
    assert_restarted(prefix, run, bystander)
    assert not prefix.marker_exists()


def test_a_marker_that_cannot_be_removed_never_restarts(prefix, packages):
    # A subkey keeps the marker key from being deleted; restarting anyway would restart the machine
    # again at the end of every later silent run.
    prefix.put_package(packages.build(*OLD))
    prefix.use_msiexec_standin(exit_code=0)
    assert prefix.helper_json("key", "create", "Software\\NeedBstrReboot\\Left")["status"] == 0
    bystander = prefix.start_bystander()

    silent = prefix.run_bootstrapper("-silent")
    assert silent.windows == [], silent
    assert silent.exit_code == RESTART_FAILED, silent

    run = prefix.run_bootstrapper(plan=[f"press:{IDYES}", f"press:{IDOK}"])
    assert len(run.windows) == 2, run
    assert_box(run.windows[1], title=texts.CAPTION, text=texts.RESTART_FAILED, buttons=[IDOK], icon="none",
               owned=True, style=PLAIN_BOX)
    assert run.exit_code == RESTART_FAILED, run
    assert bystander.poll() is None, "a marker that stays must not restart the machine"
    bystander.kill()
    assert prefix.marker_exists()


def test_a_run_nobody_sees_restarts_the_machine_not_the_session(prefix, packages):
    # ExitWindowsEx restarts only the caller's logon session; outside the interactive one it may
    # succeed and restart nothing. From a hidden window station the restart is InitiateSystemShutdownExW:
    # at once (no time-out), forced, a restart, for an application's reason.
    prefix.import_reg(RELAY_EXE_CALLS_REG)
    prefix.put_package(packages.build(*OLD))
    prefix.use_msiexec_standin(exit_code=3010)
    bystander = prefix.start_bystander()
    run = prefix.run_in_hidden_window_station("-silent")
    assert run.exit_code == 0, run
    assert not prefix.marker_exists()
    asked = [(c.function, [a & 0xFFFFFFFF for a in c.args]) for c in relay_calls(run.trace.read_text(errors="replace"))
             if c.function in ("InitiateSystemShutdownExW", "ExitWindowsEx")]
    assert asked == [("InitiateSystemShutdownExW", [0, 0, 0, 1, 1, 0x40000])]
    assert bystander.poll() is None, "Wine's InitiateSystemShutdownExW restarts nothing"
    bystander.kill()
