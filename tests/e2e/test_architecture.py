"""What depends on the bitness of Windows: the package the exe takes, the system32 it starts msiexec
from, and (on 64-bit Windows) the DLLs it loads."""

import json
import shutil

from bench_boxes import ERROR_BOX, IDOK, IDYES, assert_box
from bench_packages import NEW, OLD, STATE_INSTALLED
from bench_prefix import LAYOUT_DIR, SYSTEM32, TOOLS_DIR, run_wine_for_output, win_to_unix
from bench_run import parse_helper_output
from bench_tools import KINDS, on_both_windows_showing_64bit
import e2e_texts as texts

NO_PACKAGE = 232


def other_package_file(windows):
    """The package name of the other kind of Windows."""
    [other] = [k.package_file for k in KINDS if k != windows]
    return other


@on_both_windows_showing_64bit("the *x64* package taken")
def test_the_package_of_the_windows_architecture_is_installed_and_the_other_never_read(prefix, packages, windows):
    # A file of the other architecture's name that is no package at all: reading it would fail the run.
    prefix.put_package(packages.build(*NEW))
    (prefix.layout / other_package_file(windows)).write_text("not a Windows Installer package")
    run = prefix.run_bootstrapper("-silent")
    assert run.exit_code == 0, run
    product = prefix.product()
    assert (product["product"], product["state"], product["version"]) == (NEW[0], STATE_INSTALLED, NEW[1])
    [log] = prefix.logs()
    assert log.startswith(windows.package_file + "_"), log


@on_both_windows_showing_64bit("the *win32* package passed over")
def test_only_the_other_architectures_package_is_no_package(prefix, packages, windows):
    prefix.put_package(packages.build(*OLD), other_package_file(windows))
    prefix.use_msiexec_standin()
    run = prefix.run_bootstrapper(plan=[f"press:{IDYES}", f"press:{IDOK}", f"press:{IDOK}"])
    assert len(run.windows) == 3, run
    assert_box(run.windows[1], title=texts.CAPTION_ERROR, text=texts.PACKAGE_NOT_FOUND, buttons=[IDOK],
               icon="error", owned=True, style=ERROR_BOX)
    assert_box(run.windows[2], title=texts.CAPTION, text=texts.install_failed(NO_PACKAGE), buttons=[IDOK],
               icon="error", owned=True, style=ERROR_BOX)
    assert run.exit_code == NO_PACKAGE, run
    assert prefix.recorded_command_lines() == []


@on_both_windows_showing_64bit("the redirection of a 32-bit process's system32 to syswow64")
def test_msiexec_is_the_one_of_system32_as_the_32_bit_exe_sees_it(prefix, packages, windows):
    # The stand-in lies only where the 32-bit process's system32 leads: syswow64 on 64-bit Windows
    # (system32 keeps the real msiexec), system32 itself on 32-bit Windows. The command line names
    # system32 either way.
    prefix.put_package(packages.build(*OLD))
    prefix.use_msiexec_standin(system_dirs=[windows.system_dirs[-1]])
    run = prefix.run_bootstrapper("-silent")
    assert run.exit_code == 0, run
    [line] = prefix.recorded_command_lines()
    assert line.startswith(f'"{SYSTEM32}\\msiexec.exe" /i "{LAYOUT_DIR}\\{windows.package_file}" '), line
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
    prefix.put_package(packages.build(*OLD))
    plant(prefix, PLANTED)

    # A program that loads msi.dll by its bare name from that folder does load the planted copy: the
    # bench can see a planting.
    regsvr32 = copy_into_layout(prefix, prefix.windows.system_dirs[-1] + "\\regsvr32.exe")
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
