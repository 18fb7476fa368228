"""Fixtures of the end-to-end bench; the bench itself lives in the bench_*.py modules (README.md)."""

import json
import subprocess

import pytest

from bench_packages import PackageFactory
from bench_prefix import PROBE_FAILED, TOOLS_DIR, WOW64_UNAVAILABLE, boot_prefix, copy_prefix, end_prefix, \
    kernel_has_32bit_syscall_gate, private_display, run_wine_for_output, wine_env, wow64_runs
from bench_tools import BUILD, bench_tools, require_tools


@pytest.fixture(scope="session")
def tools():
    require_tools()
    return bench_tools()


@pytest.fixture(scope="session")
def display(tools):
    try:
        with private_display() as number:
            yield number
    except RuntimeError as error:
        pytest.fail(f"end-to-end bench: {error}", pytrace=False)


@pytest.fixture(scope="session")
def base_prefix(tmp_path_factory, display, tools):
    """Booted once per session; tests only ever see copies of it. Where the kernel cannot run a 32-bit
    Windows program at all, every test of the bench is skipped with the reason (the run ends with a
    banner that says so); a 32-bit program that fails on a kernel that could run it fails the bench."""
    prefix = tmp_path_factory.mktemp("wine") / "base"
    boot_prefix(prefix, display, tools.values())
    env = wine_env(prefix, display)
    if not wow64_runs(env):
        end_prefix(prefix, env)
        if kernel_has_32bit_syscall_gate():
            pytest.fail(f"end-to-end bench: {PROBE_FAILED}", pytrace=False)
        pytest.skip(WOW64_UNAVAILABLE)
    yield prefix
    end_prefix(prefix, env)


@pytest.fixture(scope="session")
def helper_selftest(base_prefix, display, tmp_path_factory):
    """The helper's reading of icons, proven once on boxes of its own before any scenario runs."""
    prefix = tmp_path_factory.mktemp("selftest") / "pfx"
    subprocess.run(["cp", "-a", str(base_prefix), str(prefix)], check=True)
    env = wine_env(prefix, display)
    try:
        out = run_wine_for_output(env, TOOLS_DIR + "\\e2e_helper.exe", "selftest", timeout=60)
    finally:
        end_prefix(prefix, env)
    result = json.loads(out.strip().splitlines()[-1])
    icons = result["icons"]
    if any(seen != kind for kind, seen in icons.items()):
        pytest.fail(f"end-to-end bench: the helper misreads message-box icons on this machine: {icons}", pytrace=False)
    return result


@pytest.fixture
def prefix(base_prefix, display, tmp_path, helper_selftest):
    """A private prefix for one test."""
    p = copy_prefix(base_prefix, display, tmp_path / "pfx")
    yield p
    p.close()


@pytest.fixture(scope="module")
def shared_prefix(base_prefix, display, tmp_path_factory, helper_selftest):
    """One prefix for a module whose runs leave nothing behind that the next run would see."""
    p = copy_prefix(base_prefix, display, tmp_path_factory.mktemp("shared") / "pfx")
    yield p
    p.close()


@pytest.fixture(scope="session")
def packages():
    """Builds test packages on demand; kept in build/e2e/packages across sessions, keyed by content."""
    cache = BUILD / "e2e" / "packages"
    cache.mkdir(parents=True, exist_ok=True)
    return PackageFactory(cache)


@pytest.fixture(scope="session")
def russian_ui():
    """Environment that makes Wine report a Russian (0x0419) system UI language: Wine takes the
    language from the Unix locale, and the Wine root has ru_RU.UTF-8 compiled (scripts/wine10)."""
    return {"LANG": "ru_RU.UTF-8", "LC_ALL": "ru_RU.UTF-8"}


def pytest_terminal_summary(terminalreporter):
    """A run whose bench could not start a 32-bit program says so once, loudly, at its end."""
    skipped = [r for r in terminalreporter.stats.get("skipped", []) if WOW64_UNAVAILABLE in str(r.longrepr)]
    if skipped:
        terminalreporter.write_sep("!", f"END-TO-END BENCH NOT RUN: {len(skipped)} tests skipped")
        terminalreporter.write_line(WOW64_UNAVAILABLE)
