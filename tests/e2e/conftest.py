"""Fixtures of the end-to-end bench; the bench itself lives in the bench_*.py modules (README.md).

Every test runs on 64-bit Windows (the exe under WoW64) unless it is marked to run on both kinds of
Windows (`on_both_windows`) or on 32-bit Windows alone (`on_32bit_windows`): the `windows` fixture
says which, and the prefix a test gets is a copy of that kind's base prefix."""

import os

import pytest

from bench_bases import BasePrefixes
from bench_packages import PackageFactory
from bench_machine import NO_ROUTE, no_route
from bench_prefix import copy_prefix, private_display
from bench_tools import BUILD, DEFAULT, RUNNABLE, require_tools


def _worker():
    """The pytest-xdist worker this process is ("gw0", ...), or None in a run without workers."""
    return os.environ.get("PYTEST_XDIST_WORKER")


def _run_root(tmp_path_factory):
    """A folder every worker of this pytest run shares: xdist gives each worker a folder of its own
    inside the controller's, which a run without workers uses itself."""
    base = tmp_path_factory.getbasetemp()
    return base.parent if _worker() else base


@pytest.fixture(scope="session")
def display():
    require_tools()
    try:
        with private_display() as number:
            yield number
    except RuntimeError as error:
        pytest.fail(f"end-to-end bench: {error}", pytrace=False)


def _kind_of(item):
    """The kind of Windows a collected test runs on, or None when it needs no prefix."""
    if "windows" not in getattr(item, "fixturenames", ()):
        return None
    callspec = getattr(item, "callspec", None)
    return callspec.params.get("windows", DEFAULT) if callspec else DEFAULT


@pytest.fixture(scope="session")
def base_prefixes(request, tmp_path_factory, display):
    needed = {_kind_of(item) for item in request.session.items} - {None}
    return BasePrefixes(_run_root(tmp_path_factory) / "bases", display, [k for k in RUNNABLE if k in needed])


@pytest.fixture
def windows(request):
    """The kind of Windows of the test's prefix: the first kind this machine runs (64-bit Windows
    where it can) unless the test is parametrized."""
    return getattr(request, "param", DEFAULT)


def _base(base_prefixes, windows):
    """The base prefix of `windows`, or the skip or failure that says why the bench cannot use it. Where
    the machine has no route for 32-bit programs at all, every test of the bench is skipped with the
    reason (the run ends with a banner that says so); a 32-bit program that fails where a route exists
    fails the bench."""
    base, verdict = base_prefixes.get(windows)
    if "skip" in verdict:
        pytest.skip(verdict["skip"])
    if "fail" in verdict:
        pytest.fail(f"end-to-end bench: {verdict['fail']}", pytrace=False)
    return base


@pytest.fixture
def prefix(base_prefixes, display, windows, tmp_path):
    """A private prefix for one test."""
    p = copy_prefix(_base(base_prefixes, windows), display, windows, tmp_path / "pfx")
    yield p
    p.close()


@pytest.fixture(scope="module")
def _module_prefixes(tmp_path_factory):
    made = {}
    yield made
    for p in made.values():
        p.close()


@pytest.fixture
def shared_prefix(_module_prefixes, base_prefixes, display, windows, tmp_path_factory):
    """One prefix per kind of Windows for a module whose runs leave nothing behind that the next run
    would see."""
    if windows not in _module_prefixes:
        path = tmp_path_factory.mktemp(f"shared-{windows.name}") / "pfx"
        _module_prefixes[windows] = copy_prefix(_base(base_prefixes, windows), display, windows, path)
    return _module_prefixes[windows]


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


def pytest_sessionfinish(session):
    """The base prefixes go with the run that made them: the controller removes them once every
    worker has ended (a run without workers is its own controller)."""
    if not _worker() and hasattr(session.config, "_tmp_path_factory"):
        BasePrefixes(session.config._tmp_path_factory.getbasetemp() / "bases", None).remove()


def pytest_terminal_summary(terminalreporter):
    """A run whose bench has no route for 32-bit programs says so once, loudly, at its end."""
    skipped = [r for r in terminalreporter.stats.get("skipped", []) if NO_ROUTE in str(r.longrepr)]
    if skipped:
        terminalreporter.write_sep("!", f"END-TO-END BENCH NOT RUN: {len(skipped)} tests skipped")
        terminalreporter.write_line(f"{NO_ROUTE}: {no_route()}")
