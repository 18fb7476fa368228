"""Where the bench finds its pieces: the checkout and its build, the bootstrapper under test, Wine 10
and the two kinds of Windows it runs the exe on, and the Windows-side tools of tools/, each built from
its sources when out of date."""

import os
import shutil
import subprocess
from concurrent.futures import ThreadPoolExecutor
from dataclasses import dataclass
from pathlib import Path

import pytest

from bench_machine import emulated

REPO = Path(__file__).resolve().parents[2]
E2E = Path(__file__).resolve().parent
BUILD = REPO / "build"
# Wine 10 in its Debian 13 root (scripts/wine10).
WINE10 = REPO / "scripts" / "wine10"
WINESERVER = [str(WINE10), "/usr/lib/wine/wineserver"]
MINGW_CXX = "x86_64-w64-mingw32-g++-win32"
MINGW_CXX_32 = "i686-w64-mingw32-g++-win32"


@dataclass(frozen=True)
class Windows:
    """A kind of Windows the bench runs the shipped 32-bit exe on."""
    name: str             # the test id
    stands_for: str       # what it shows, for messages and the scripts
    wine: tuple           # the Wine loader that runs its programs
    arch: str | None      # WINEARCH of its prefixes
    compiler: str         # the bench's helper and stand-ins are native programs of this Windows
    package_file: str     # the plug-in package the exe takes there
    system_dirs: tuple    # every folder a stand-in msiexec must be in: where a 32-bit process's
                          # system32 leads, and system32 for native callers
    program_files: str    # where the (32-bit) test package installs


# 64-bit Windows: Wine's WoW64 mode runs the 32-bit exe (IsWow64Process answers TRUE, its system32
# leads to syswow64, the 32-bit registry view applies); the bench's own tools are 64-bit.
WOW64 = Windows("wow64", "64-bit Windows (the 32-bit exe under WoW64)", (str(WINE10), "/usr/lib/wine/wine64"), None,
                MINGW_CXX, "zarelcom-x64.msi", ("C:\\windows\\system32", "C:\\windows\\syswow64"),
                "Program Files (x86)")
# 32-bit Windows: the i386 Wine in a 32-bit prefix (no WoW64: IsWow64Process answers FALSE, one
# system32, one registry view), as Windows 2000, XP, Server 2003 and the 32-bit editions of later
# versions run it; 64-bit programs do not run there, so every tool is a 32-bit build.
WIN32 = Windows("win32", "32-bit Windows", (str(WINE10), "/usr/lib/wine-i386/wine"), "win32", MINGW_CXX_32,
                "zarelcom-win32.msi", ("C:\\windows\\system32",), "Program Files")
KINDS = (WOW64, WIN32)
# The kinds this machine runs, the first the one a test runs on unless it says otherwise: both where
# the kernel has its 32-bit system-call gate; under the emulator 32-bit Windows alone (bench_machine.py).
RUNNABLE = (WIN32,) if emulated() else KINDS
DEFAULT = RUNNABLE[0]

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


@dataclass(frozen=True)
class Tool:
    """A Windows-side tool of the bench, built into build/e2e/tools/<x64 or x86>.

    `sources` are the tool's own .cpp files; `product_sources` are files of src/ compiled into the
    tool, so that it exercises the product's code; `headers` are the included files whose change
    also calls for a rebuild; `defines` go to the compiler, `link` to the linker. A tool built as
    `one_unit` compiles its files as one translation unit: they share their headers (windows.h and
    the standard library are most of what each file compiles), so that costs an eighth of compiling
    them one by one."""
    name: str
    compiler: str
    sources: tuple
    suffix: str = ".exe"
    product_sources: tuple = ()
    headers: tuple = ()
    defines: tuple = ()
    link: tuple = ()
    one_unit: bool = False

    @property
    def out(self):
        return BUILD / "e2e" / "tools" / ("x64" if self.compiler == MINGW_CXX else "x86") / f"{self.name}{self.suffix}"

    @property
    def compiled(self):
        return [*self.sources, *(REPO / "src" / p for p in self.product_sources)]

    def units(self):
        """The translation units to compile: the files themselves, or one file that includes them all."""
        if not self.one_unit:
            return self.compiled
        unit = self.out.parent / f"{self.name}.obj" / f"{self.name}_unit.cpp"
        unit.parent.mkdir(parents=True, exist_ok=True)
        unit.write_text("".join(f'#include "{source}"\n' for source in self.compiled))
        return [unit]

    def out_of_date(self):
        return not self.out.exists() or any(self.out.stat().st_mtime < s.stat().st_mtime
                                             for s in [*self.compiled, *self.headers])

    def compile(self, source):
        """One object, so that the units of every tool compile side by side."""
        obj = self.out.parent / f"{self.name}.obj" / f"{Path(source).stem}.o"
        obj.parent.mkdir(parents=True, exist_ok=True)
        subprocess.run([self.compiler, "-municode", "-Os", f"-I{REPO / 'src'}", *self.defines, "-c", str(source),
                        "-o", str(obj)], check=True)
        return obj

    def link_objects(self, objects):
        subprocess.run([self.compiler, "-municode", "-static", "-s", *map(str, objects), "-o", str(self.out),
                        *self.link], check=True)


def build(tools):
    """Builds every tool of `tools` that is out of date, all their units compiled side by side on every
    core; returns the tools' files by name."""
    stale = list(dict.fromkeys(t for t in tools.values() if t.out_of_date()))  # a tool two kinds share, once
    with ThreadPoolExecutor(os.cpu_count()) as pool:
        objects = {t: [pool.submit(t.compile, unit) for unit in t.units()] for t in stale}
        for link in [pool.submit(t.link_objects, [o.result() for o in objs]) for t, objs in objects.items()]:
            link.result()
    return {name: t.out for name, t in tools.items()}


def tools_of(windows):
    """The Windows-side tools every prefix of a kind of Windows gets, by name: the helper and the
    stand-in are native programs of that Windows; the rest are 32-bit, as the process they are planted
    into or stand for. The helper is tools/helper/*.cpp, one file per concern, which holds its handles
    with the product's src/platform/win32_handles.h; WIN32_LEAN_AND_MEAN leaves out headers none of
    its files needs, which builds it a third faster."""
    src = TOOLS_SOURCE
    return {
        "helper": Tool("e2e_helper", windows.compiler, tuple(sorted(HELPER_SOURCE.glob("*.cpp"))),
                       headers=(*sorted(HELPER_SOURCE.glob("*.h")), REPO / "src" / "platform" / "win32_handles.h"),
                       defines=("-DWIN32_LEAN_AND_MEAN",), link=("-lmsi", "-lgdi32"), one_unit=True),
        "fake_setup": Tool("fake_setup", windows.compiler, (src / "fake_setup.cpp",), link=("-mwindows",)),
        "planted_dll": Tool("planted_dll", MINGW_CXX_32, (src / "planted_dll.cpp",), ".dll", link=("-shared",)),
        "dll_search_probe": Tool("dll_search_probe", MINGW_CXX_32, (src / "dll_search_probe.cpp",),
                                 product_sources=("platform/dll_search_win32.cpp", "platform/msi_api_win32.cpp"),
                                 link=("-lole32",)),
        "bench_floor": Tool("bench_floor", MINGW_CXX_32, (src / "bench_floor.cpp",)),
    }


def bench_tools(windows, *more):
    """The tools of `windows` by name, each built when out of date; the tools of the kinds in `more`
    are built with them."""
    everything = {(kind.name, name): tool for kind in (windows, *more) for name, tool in tools_of(kind).items()}
    built = build(everything)
    return {name: built[(windows.name, name)] for name in tools_of(windows)}


def on_windows(*kinds):
    """Runs a test, or every test of a class, once on each of `kinds` (the `windows` fixture)."""
    return pytest.mark.parametrize("windows", kinds, indirect=True, ids=[k.name for k in kinds])


# The tests where the Windows' bitness matters run on both kinds where the machine runs both (where
# it runs 32-bit Windows alone, their 64-bit run would only repeat the 32-bit one); Wine's own old
# versions exist only in 32-bit prefixes.
on_both_windows = on_windows(*RUNNABLE)
on_32bit_windows = on_windows(WIN32)


def on_both_windows_showing_64bit(what):
    """Runs a test on both kinds, its 64-bit run showing `what` of 64-bit Windows itself, which no
    32-bit Windows has: where WoW64 cannot run, that run is skipped, saying so."""
    cannot = pytest.mark.skipif(WOW64 not in RUNNABLE, reason=f"{what} is 64-bit Windows' own, and this machine "
                                                              "runs 32-bit Windows alone (under the emulator)")
    return pytest.mark.parametrize("windows", [pytest.param(WOW64, marks=cannot, id=WOW64.name),
                                               pytest.param(WIN32, id=WIN32.name)], indirect=True)
