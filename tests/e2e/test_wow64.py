"""What only the shipped 32-bit exe does on 64-bit Windows: the WOW64 package choice, the system32 it
reaches, and the msi.dll it loads."""

import json
import shutil

from bench_packages import NEW, OLD, STATE_INSTALLED
from bench_prefix import LAYOUT_DIR, SYSTEM32, SYSWOW64, TOOLS_DIR, run_wine_for_output, win_to_unix
from bench_run import parse_helper_output


def test_under_wow64_the_x64_package_is_installed(prefix, packages):
    prefix.put_package(packages.build(*NEW), "zarelcom-x64.msi")
    prefix.put_package(packages.build(*OLD), "zarelcom-win32.msi")
    run = prefix.run_bootstrapper("-silent")
    assert run.exit_code == 0, run
    product = prefix.product()
    assert (product["product"], product["state"], product["version"]) == (NEW[0], STATE_INSTALLED, NEW[1])
    [log] = prefix.logs()
    assert log.startswith("zarelcom-x64.msi_"), log


def test_the_system32_msiexec_of_a_32_bit_process_is_the_syswow64_one(prefix, packages):
    # The stand-in lies in syswow64 only; system32 keeps the real msiexec. The command line names
    # system32, and the file system redirects the 32-bit process to syswow64.
    prefix.put_package(packages.build(*OLD), "zarelcom-x64.msi")
    prefix.use_msiexec_standin(system_dirs=[SYSWOW64])
    run = prefix.run_bootstrapper("-silent")
    assert run.exit_code == 0, run
    [line] = prefix.recorded_command_lines()
    assert line.startswith(f'"{SYSTEM32}\\msiexec.exe" /i "{LAYOUT_DIR}\\zarelcom-x64.msi" '), line
    assert prefix.product()["product"] is None


# msi.dll and the DLLs it imports that Windows does not protect as KnownDLLs. Wine is told to prefer
# a copy found by the search order to its own, as Windows would prefer a planted one.
PLANTED = ["msi", "cabinet", "comctl32", "crypt32", "imagehlp", "mspatcha", "odbccp32", "sxs", "urlmon",
           "version", "wininet", "wintrust"]


def copy_into_layout(prefix, windows_path):
    """A copy of a program of the prefix beside the bootstrapper; its Windows path."""
    name = windows_path.rsplit("\\", 1)[1]
    shutil.copy2(win_to_unix(prefix.path, windows_path), prefix.layout / name)
    return LAYOUT_DIR + "\\" + name


def plant(prefix, names):
    """The planted DLL beside the bootstrapper under each name, preferred by Wine to its own copy."""
    for name in names:
        shutil.copy2(win_to_unix(prefix.path, TOOLS_DIR + "\\planted_dll.dll"), prefix.layout / f"{name}.dll")
    prefix.overrides = ",".join(sorted(set(names))) + "=n,b"


def loaded(prefix):
    """The planted DLLs that were loaded: each leaves "<name>.dll.loaded"."""
    return sorted(p.name for p in prefix.layout.glob("*.loaded"))


def forget_loads(prefix):
    for mark in prefix.layout.glob("*.loaded"):
        mark.unlink()


def test_dlls_planted_beside_the_exe_are_never_loaded(prefix, packages):
    prefix.put_package(packages.build(*OLD), "zarelcom-x64.msi")
    plant(prefix, PLANTED)

    # A program that loads msi.dll by its bare name from that folder does load the planted copy: the
    # bench can see a planting.
    regsvr32 = copy_into_layout(prefix, SYSWOW64 + "\\regsvr32.exe")
    prefix.helper("run", "--timeout", "30", "--", regsvr32, "/s", "msi.dll")
    assert "msi.dll.loaded" in loaded(prefix), "the bench cannot show a planted msi.dll being loaded"
    forget_loads(prefix)

    run = prefix.run_bootstrapper("-silent")
    assert run.exit_code == 0, run
    assert loaded(prefix) == []
    assert prefix.product()["version"] == OLD[1]


def test_without_set_default_dll_directories_no_planted_dll_is_loaded(prefix):
    # Where SetDefaultDllDirectories is missing (Windows 2000 to 7 without its update) the executable's
    # folder is searched first for every DLL a system DLL loads by bare name, and for msi.dll's imports.
    # The probe takes that path with the product's own code: the system DLLs of its preload list are
    # loaded by full path first, msi.dll as the bootstrapper loads it.
    probe = copy_into_layout(prefix, TOOLS_DIR + "\\dll_search_probe.exe")
    preload_list = run_wine_for_output(prefix.env(), probe, "--list", timeout=60).split()
    plant(prefix, PLANTED[1:] + [name.removesuffix(".dll") for name in preload_list])

    bare = json.loads(run_wine_for_output(prefix.env(), probe, "--bare", timeout=60))
    assert len(bare["asked"]) >= 6, bare
    assert loaded(prefix) == sorted(f"{name}.loaded" for name in bare["asked"]), \
        "the bench cannot show a planted system DLL being loaded by its bare name"
    forget_loads(prefix)

    probed = parse_helper_output(prefix.helper("run", "--timeout", "30", "--", probe))
    assert probed.exit_code == 0, f"the probe did not load msi.dll: {probed}"
    assert loaded(prefix) == []
