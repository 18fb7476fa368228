"""Runs that meet one another: a deployment tool starting the bootstrapper twice, or a user's run beside a
silent one. One run installs the plug-in at a time; a run that meets another one installing it ends
with 1618, as msiexec ends when it meets another installation, and a deployment tool retries it.

Without that, every run read the older product as installed and started its own msiexec: under Wine
in about one loop of fifteen a run then failed with 1627, Windows Installer unable to open the new
product's cached package while the other msiexec still held it (NOTES.md). What is checked here holds
in every loop: whatever the order the runs come in, exactly one msiexec runs."""

import os
from concurrent.futures import ThreadPoolExecutor

from bench_boxes import IDOK, IDYES
from bench_packages import NEW, OLD, STATE_INSTALLED
from bench_prefix import LAYOUT_DIR, SYSTEM32
from bench_run import parse_helper_output
from bench_tools import on_both_windows
import e2e_texts as texts

ANOTHER_INSTALLATION = 1618
LOCK_NAME = "Global\\KestrovaPellarisPlugInInstallation"
# A user's own object: owned by an account that is neither Administrators nor SYSTEM, open to everyone.
SQUATTER = "S-1-5-21-1111-2222-3333-1001"
SQUATTER_DESCRIPTOR = f"O:{SQUATTER}D:(A;;GA;;;WD)"
# BENCH_RACE_LOOPS=40 for a closer look; each loop takes about five seconds.
LOOPS = int(os.environ.get("BENCH_RACE_LOOPS", "2"))


def silent_runs_at_once(prefix, count):
    """The exit codes of `count` silent runs started at the same moment."""
    def one_run(_):
        return parse_helper_output(prefix.helper("run", "--timeout", "120", "--", LAYOUT_DIR + "\\bootstrapper.exe",
                                                 "-silent", timeout=180)).exit_code
    with ThreadPoolExecutor(count) as pool:
        return list(pool.map(one_run, range(count)))


@on_both_windows
def test_three_silent_upgrades_at_once_install_once(prefix, packages):
    old = packages.build(*OLD)
    prefix.put_package(packages.build(*NEW))
    unix_tmp, _ = prefix.temp_dir()
    for loop in range(LOOPS):
        prefix.install_directly(old)
        codes = silent_runs_at_once(prefix, 3)
        logs = prefix.logs()
        assert set(codes) <= {0, ANOTHER_INSTALLATION} and 0 in codes, f"loop {loop}: {codes}"
        assert len(logs) == 1, f"loop {loop}: msiexec ran {len(logs)} times, the runs ended {codes}"
        product = prefix.product()
        assert (product["product"], product["state"], product["version"]) == (NEW[0], STATE_INSTALLED, NEW[1])

        prefix.helper("run", "--timeout", "60", "--", SYSTEM32 + "\\msiexec.exe", "/x", NEW[0], "/qn")
        for log in logs:
            (unix_tmp / log).unlink()


@on_both_windows
def test_a_lock_name_a_user_made_first_and_holds_is_passed_over(prefix, packages):
    # Obeyed, it would end every installation with 1618 for as long as the user's process lives.
    with prefix.squatter(LOCK_NAME, SQUATTER_DESCRIPTOR) as (owner, squatter):
        assert owner == SQUATTER
        prefix.put_package(packages.build(*OLD))
        run = prefix.run_bootstrapper(plan=[f"press:{IDYES}", f"press:{IDOK}"])
        assert [w["text"] for w in run.windows] == [texts.CONFIRM_PLUGIN, texts.SUCCESS], run
        assert run.exit_code == 0, run

        prefix.put_package(packages.build(*NEW))
        silent = prefix.run_bootstrapper("-silent")
        assert silent.exit_code == 0, silent
        assert prefix.product()["version"] == NEW[1]
        assert squatter.poll() is None, "the user's process let go of the name during the runs"


def test_a_user_meeting_a_silent_run_is_told_1618(prefix, packages):
    # The silent run holds the installation while its msiexec, a stand-in that sleeps, runs; the user's
    # run reports the code and installs nothing.
    prefix.put_package(packages.build(*OLD))
    prefix.use_msiexec_standin()
    prefix.extra_env["FAKE_SETUP_SLEEP_MS"] = "6000"
    with ThreadPoolExecutor(1) as pool:
        silent = pool.submit(silent_runs_at_once, prefix, 1)
        prefix.wait_for_record()
        run = prefix.run_bootstrapper(plan=[f"press:{IDYES}", f"press:{IDOK}"])
        assert silent.result() == [0]
    assert [w["text"] for w in run.windows] == [texts.CONFIRM_PLUGIN, texts.install_failed(ANOTHER_INSTALLATION)], run
    assert run.exit_code == ANOTHER_INSTALLATION, run
    assert len(prefix.recorded_command_lines()) == 1
