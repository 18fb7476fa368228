"""Where the bench finds its pieces: the checkout and its build, the bootstrapper under test, Wine 10,
and the Windows-side tools of tools/, each built from its sources when out of date."""

import os
import shutil
import subprocess
from pathlib import Path

import pytest

REPO = Path(__file__).resolve().parents[2]
E2E = Path(__file__).resolve().parent
BUILD = REPO / "build"
# Wine 10 in its Debian 13 root (scripts/wine10): it runs the 32-bit exe as 64-bit Windows would.
WINE10 = REPO / "scripts" / "wine10"
WINE = [str(WINE10), "/usr/lib/wine/wine64"]
WINESERVER = [str(WINE10), "/usr/lib/wine/wineserver"]
# The bench's own tools are 64-bit programs; only the bootstrapper (and a planted DLL) are 32-bit.
MINGW_CXX = "x86_64-w64-mingw32-g++-win32"
MINGW_CXX_32 = "i686-w64-mingw32-g++-win32"

BOOTSTRAPPER = Path(os.environ.get("BOOTSTRAPPER_EXE", BUILD / "win32" / "bootstrapper.exe"))

TOOLS_SOURCE = E2E / "tools"
# The helper is several files, one per concern (README.md lists them).
HELPER_SOURCE = TOOLS_SOURCE / "helper"


def require_tools():
    missing = [name for name in ("wixl", "Xvfb", MINGW_CXX, MINGW_CXX_32) if shutil.which(name) is None]
    if missing:
        pytest.fail("end-to-end bench: missing " + ", ".join(missing) +
                    " (scripts/setup installs wixl, msitools, xvfb and the MinGW-w64 compilers)", pytrace=False)
    if subprocess.run([str(WINE10), "--check"]).returncode != 0:
        pytest.fail(f"end-to-end bench: the Wine 10 root is not ready ({WINE10} --root tells where); "
                    "scripts/setup makes it", pytrace=False)
    if not BOOTSTRAPPER.exists():
        pytest.fail(f"end-to-end bench: {BOOTSTRAPPER} does not exist; build it with scripts/build "
                    "(or point BOOTSTRAPPER_EXE at another build)", pytrace=False)


def tool_exe(name, sources, extra, compiler=MINGW_CXX, suffix=".exe", product_sources=(), headers=()):
    """A Windows-side tool of the bench, rebuilt into build/e2e/tools when one of its files is newer.

    `sources` are the tool's own .cpp files; `product_sources` are files of src/ compiled into the
    tool, so that it exercises the product's code; `headers` are the included files whose change
    also calls for a rebuild."""
    out = BUILD / "e2e" / "tools" / f"{name}{suffix}"
    compiled = [*sources, *(REPO / "src" / p for p in product_sources)]
    inputs = [*compiled, *headers]
    if not out.exists() or any(out.stat().st_mtime < s.stat().st_mtime for s in inputs):
        out.parent.mkdir(parents=True, exist_ok=True)
        subprocess.run([compiler, "-municode", "-static", "-Os", "-s", f"-I{REPO / 'src'}", *map(str, compiled),
                        "-o", str(out), *extra], check=True)
    return out


def helper_exe():
    """tools/helper/*.cpp, one file per concern, which holds its handles with the product's
    src/platform/win32_handles.h. WIN32_LEAN_AND_MEAN leaves out headers none of its files needs,
    which builds it a third faster."""
    return tool_exe("e2e_helper", sorted(HELPER_SOURCE.glob("*.cpp")), ["-DWIN32_LEAN_AND_MEAN", "-lmsi", "-lgdi32"],
                    headers=[*sorted(HELPER_SOURCE.glob("*.h")), REPO / "src" / "platform" / "win32_handles.h"])


def bench_tools():
    """The Windows-side tools every prefix of the bench gets, by name, each built when out of date."""
    src = TOOLS_SOURCE
    return {
        "helper": helper_exe(),
        "fake_setup": tool_exe("fake_setup", [src / "fake_setup.cpp"], ["-mwindows"]),
        # 32-bit, as the process they are planted into or stand for.
        "planted_dll": tool_exe("planted_dll", [src / "planted_dll.cpp"], ["-shared"], MINGW_CXX_32, ".dll"),
        "dll_search_probe": tool_exe("dll_search_probe", [src / "dll_search_probe.cpp"], ["-lole32"], MINGW_CXX_32,
                                     product_sources=["platform/dll_search_win32.cpp", "platform/msi_api_win32.cpp"]),
        "bench_floor": tool_exe("bench_floor", [src / "bench_floor.cpp"], [], MINGW_CXX_32),
    }
