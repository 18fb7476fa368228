"""Fixtures of the end-to-end bench; the bench itself lives in e2e_bench.py."""

import json
import os
import shutil
import subprocess

import pytest

from e2e_bench import (BASE_REG, BUILD, E2E, TOOLS_DIR, WINE, WINESERVER, PackageFactory, copy_prefix, end_prefix,
                       require_tools, run_wine_for_output, tool_exe, wine_env)


@pytest.fixture(scope="session")
def tools():
    require_tools()
    src = E2E / "tools"
    return {
        "helper": tool_exe("e2e_helper", src / "e2e_helper.cpp", ["-lmsi", "-lgdi32"]),
        "fake_setup": tool_exe("fake_setup", src / "fake_setup.cpp", ["-mwindows"]),
    }


@pytest.fixture(scope="session")
def display(tools):
    """A private Xvfb; -displayfd makes it pick a free display number itself."""
    read_fd, write_fd = os.pipe()
    xvfb = subprocess.Popen(["Xvfb", "-displayfd", str(write_fd), "-screen", "0", "1024x768x24", "-nolisten", "tcp"],
                            pass_fds=(write_fd,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    os.close(write_fd)
    with os.fdopen(read_fd) as r:
        number = r.readline().strip()
    if not number:
        xvfb.kill()
        pytest.fail("end-to-end bench: Xvfb did not start", pytrace=False)
    yield f":{number}"
    xvfb.terminate()
    xvfb.wait(10)


@pytest.fixture(scope="session")
def base_prefix(tmp_path_factory, display, tools):
    """Booted once per session; tests only ever see copies of it."""
    prefix = tmp_path_factory.mktemp("wine") / "base"
    env = wine_env(prefix, display)
    subprocess.run([str(WINE), "wineboot", "-i"], env=env, check=True,
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    tools_dir = prefix / "drive_c" / "e2e"
    tools_dir.mkdir(parents=True, exist_ok=True)
    for exe in tools.values():
        shutil.copy2(exe, tools_dir / exe.name)
    (tools_dir / "base.reg").write_text(BASE_REG)
    subprocess.run([str(WINE), "regedit", "/S", TOOLS_DIR + "\\base.reg"], env=env, check=True)
    subprocess.run([str(WINESERVER), "-w"], env=env, check=True)  # registry flushed before any copy
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
