"""What only the shipped 32-bit exe does on 64-bit Windows: the WOW64 package choice, the system32 it
reaches, and the msi.dll it loads."""

from e2e_bench import LAYOUT_DIR, NEW, OLD, STATE_INSTALLED, SYSTEM32, SYSWOW64, TOOLS_DIR, win_to_unix


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


def test_dlls_planted_beside_the_exe_are_never_loaded(prefix, packages):
    prefix.put_package(packages.build(*OLD), "zarelcom-x64.msi")
    planted = win_to_unix(prefix.path, TOOLS_DIR + "\\planted_dll.dll").read_bytes()
    for name in PLANTED:
        (prefix.layout / f"{name}.dll").write_bytes(planted)
    prefix.overrides = ",".join(PLANTED) + "=n,b"

    # A planted copy leaves "<name>.dll.loaded" when loaded. A program that loads msi.dll by its bare
    # name from that folder does load it: the bench can see a planting.
    (prefix.layout / "regsvr32.exe").write_bytes(win_to_unix(prefix.path, SYSWOW64 + "\\regsvr32.exe").read_bytes())
    prefix.helper("run", "--timeout", "30", "--", LAYOUT_DIR + "\\regsvr32.exe", "/s", "msi.dll")
    assert (prefix.layout / "msi.dll.loaded").exists(), "the bench cannot show a planted msi.dll being loaded"
    (prefix.layout / "msi.dll.loaded").unlink()

    run = prefix.run_bootstrapper("-silent")
    assert run.exit_code == 0, run
    assert sorted(p.name for p in prefix.layout.glob("*.loaded")) == []
    assert prefix.product()["version"] == OLD[1]


def test_msi_dlls_imports_are_looked_for_beside_msi_dll(prefix):
    # Where SetDefaultDllDirectories is missing, a plain load of msi.dll by full path would still take
    # its imports from the executable's folder first. The probe loads it with the product's own code.
    probe = win_to_unix(prefix.path, TOOLS_DIR + "\\msi_load_probe.exe").read_bytes()
    (prefix.layout / "msi_load_probe.exe").write_bytes(probe)
    planted = win_to_unix(prefix.path, TOOLS_DIR + "\\planted_dll.dll").read_bytes()
    for name in PLANTED[1:]:
        (prefix.layout / f"{name}.dll").write_bytes(planted)
    prefix.overrides = ",".join(PLANTED) + "=n,b"

    out = prefix.helper("run", "--timeout", "30", "--", LAYOUT_DIR + "\\msi_load_probe.exe")
    assert '"exit": 0' in out, f"the probe did not load msi.dll: {out}"
    assert sorted(p.name for p in prefix.layout.glob("*.loaded")) == []
