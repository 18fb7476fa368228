"""Every call the exe makes, held against the oldest Windows it supports.

Wine is a modern Windows and accepts what Windows 2000 refuses, so the exe's runs are traced call by
call (Wine's relay trace) and every call of its own thread from its own image is checked against one
table of rules (bench_calls.py). The rules are first shown to catch what they are for, on traces
written out in Wine's format; then representative runs of the shipped exe must break none."""

import pytest

from bench_boxes import IDOK, IDYES
from bench_calls import RELAY_EXE_CALLS_REG, call_faults, exe_calls
from bench_packages import OLD
from bench_tools import BOOTSTRAPPER, WOW64, on_both_windows_showing_64bit
from pe import read_pe

IDC_NEXT = 140
EXE = "bootstrapper.exe"
IMAGE_SIZE = 0x10000
LOADED = '0100:0104:trace:loaddll:build_module Loaded L"C:\\\\Kestrova Setup\\\\bootstrapper.exe" at 00400000: native'

# A clean run's calls in Wine's relay format: "pid:tid:Call dll.Function(args) ret=address", after
# Wine's loader said where the exe lies.
CLEAN = [
    '0100:0104:Call KERNEL32.GetProcAddress(7b600000,00405010 "IsWow64Process") ret=00401100',
    "0100:0104:Call KERNEL32.IsWow64Process(ffffffff,0022fe5c) ret=00401120",
    '0100:0104:Call ole32.CoInitializeEx(00000000,00000002) ret=00401200',
    '0100:0104:Call KERNEL32.LoadLibraryExW(0022f000 L"C:\\\\windows\\\\system32\\\\msi.dll",00000000,00000008) '
    'ret=00401300',
    '0100:0104:Call KERNEL32.GetProcAddress(7a000000,00405020 "MsiOpenPackageExW") ret=00401310',
    '0100:0104:Call msi.MsiOpenPackageExW(0022f100 L"C:\\\\Kestrova Setup\\\\zarelcom, x64.msi",00000001,0022f0f0) '
    'ret=00401320',
    "0100:0104:Call advapi32.RegCreateKeyExW(80000001,00405100 L\"Software\\\\NeedBstrReboot\",00000000,00000000,"
    "00000000,0002021f,00000000,0022f000,0022f004) ret=00401400",
    "0100:0104:Call user32.MsgWaitForMultipleObjects(00000001,0022f200,00000000,ffffffff,000000ff) ret=00401500",
    "0100:0104:Call KERNEL32.VerSetConditionMask(00000000,00000000,00000020,00000003) ret=00401600",
    "0100:0104:Call user32.MessageBoxW(00010040,0022f300 L\"text\",0022f400 L\"caption\",00050034) ret=00401700",
    "0100:0104:Call ole32.CoUninitialize() ret=00401800",
]


def with_line(index, line):
    lines = list(CLEAN)
    lines[index] = line
    return lines


FAULTY = [
    ("a wake mask with QS_RAWINPUT",
     with_line(7, "0100:0104:Call user32.MsgWaitForMultipleObjects(00000001,0022f200,00000000,ffffffff,000004ff) "
                  "ret=00401500"), "wake mask 0x4ff holds 0x400"),
    ("a LoadLibraryExW search flag of Windows 8",
     with_line(3, '0100:0104:Call KERNEL32.LoadLibraryExW(0022f000 L"msi.dll",00000000,00000800) ret=00401300'),
     "LoadLibraryExW: flags 0x800"),
    ("the package opened before COM",
     CLEAN[:2] + CLEAN[3:6] + [CLEAN[2]] + CLEAN[6:], "MsiOpenPackageExW before CoInitializeEx"),
    ("COM never left", CLEAN[:-1], "COM not left"),
    ("a function Windows 2000 lacks, imported",
     CLEAN[1:], "IsWow64Process called without a run-time lookup"),
    ("the 32-bit registry view asked for before IsWow64Process",
     [CLEAN[6]] + CLEAN, "RegCreateKeyExW asks for a WOW64 view before IsWow64Process"),
    ("a creation flag of Vista",
     CLEAN + ['0100:0104:Call KERNEL32.CreateProcessW(00000000,0022f000 L"\\"msiexec.exe\\"",00000000,00000000,'
              '00000000,08080000,00000000,00000000,0022f010,0022f060) ret=00401900'], "creation flags 0x8080000"),
    ("a message box button set Windows 2000 lacks",
     with_line(9, '0100:0104:Call user32.MessageBoxW(00000000,0022f300 L"t",0022f400 L"c",00000007) ret=00401700'),
     "buttons"),
    ("an unknown version condition",
     with_line(8, "0100:0104:Call KERNEL32.VerSetConditionMask(00000000,00000000,00000020,00000009) ret=00401600"),
     "condition 0x9"),
]


def own_calls(lines):
    return exe_calls("\n".join([LOADED, *lines]), EXE, IMAGE_SIZE)


def exe_faults(lines, wow64=True):
    return call_faults(own_calls(lines), wow64)


def test_the_rules_pass_a_clean_run_and_read_strings_with_commas():
    calls = own_calls(CLEAN)
    assert len(calls) == len(CLEAN)
    assert calls[5].texts[0] == "C:\\\\Kestrova Setup\\\\zarelcom, x64.msi" and calls[5].args[1] == 1
    assert exe_faults(CLEAN) == []


@pytest.mark.parametrize("lines, fault", [case[1:] for case in FAULTY], ids=[case[0] for case in FAULTY])
def test_the_rules_catch_what_windows_2000_refuses(lines, fault):
    faults = exe_faults(lines)
    assert any(fault in f for f in faults), faults


def test_on_32_bit_windows_no_wow64_view_is_asked_for_at_all():
    # The clean run's marker key asks for the 32-bit view after IsWow64Process: right under WoW64 only.
    [fault] = exe_faults(CLEAN, wow64=False)
    assert fault == "RegCreateKeyExW asks for a WOW64 view on 32-bit Windows"
    without_view = [line.replace(",0002021f,", ",0002001f,") for line in CLEAN]
    assert exe_faults(without_view, wow64=False) == []


def test_only_the_exe_threads_own_calls_are_held():
    others = [
        # msiexec, loaded at the same base in a process of its own, started later
        "0200:0204:Call user32.MsgWaitForMultipleObjects(00000001,0022f200,00000000,ffffffff,000004ff) ret=00401500",
        # a call from a DLL on the exe's thread
        "0100:0104:Call KERNEL32.LoadLibraryExW(00000000,00000000,00000800) ret=7b012345",
        # the 64-bit helper
        "0300:0304:Call KERNEL32.LoadLibraryExW(00000000,00000000,00000800) ret=0000000140001000",
    ]
    assert exe_faults(CLEAN + others) == []
    assert own_calls(CLEAN + others) == own_calls(CLEAN)


def test_the_exe_is_found_where_wine_loaded_it():
    # Under the emulator the preferred base is taken and the image lies lower; the helper that
    # started the exe was loaded there too, in a process of its own.
    moved = [LOADED.replace("00400000", "00120000")] + [line.replace("ret=0040", "ret=0012") for line in CLEAN]
    helper = '00f0:00f4:trace:loaddll:build_module Loaded L"C:\\\\e2e\\\\e2e_helper.exe" at 00120000: native'
    calls = exe_calls("\n".join([helper, *moved]), EXE, IMAGE_SIZE)
    assert [c.function for c in calls] == [c.function for c in own_calls(CLEAN)]
    assert exe_calls("\n".join(moved[1:]), EXE, IMAGE_SIZE) == [], "no load seen: no call is the exe's"


# -- The shipped exe's own calls ---------------------------------------------------------------------

def image_size():
    return max(s.virtual_address + max(s.virtual_size, s.raw_size) for s in read_pe(BOOTSTRAPPER).sections)


def silent_install(prefix, packages):
    prefix.put_package(packages.build(*OLD))
    return prefix.run_bootstrapper("-silent"), {"MsiOpenPackageExW", "MsgWaitForMultipleObjects", "CreateProcessW"}


def dialog_and_distribution(prefix, packages):
    prefix.put_package(packages.build(*OLD))
    prefix.put_setup_programs("csp")
    prefix.use_msiexec_standin()
    run = prefix.run_bootstrapper("-csp", "-selectDlg",
                                  plan=[f"press:{IDYES}", f"click:{IDC_NEXT}", f"press:{IDOK}"])
    assert run.exit_code == 0, run
    return run, {"MessageBoxW", "DialogBoxParamW", "CreateProcessW", "MsiOpenPackageExW"}


def silent_restart(prefix, packages):
    # Wine ends every process of the prefix on the restart: the trace up to it is what counts.
    prefix.put_package(packages.build(*OLD))
    prefix.use_msiexec_standin(exit_code=3010)
    return prefix.run_bootstrapper("-silent"), {"RegCreateKeyExW", "AdjustTokenPrivileges", "ExitWindowsEx"}


@on_both_windows_showing_64bit("the WOW64 registry view asked for after IsWow64Process")
@pytest.mark.parametrize("scenario", [silent_install, dialog_and_distribution, silent_restart],
                         ids=lambda s: s.__name__)
def test_every_call_of_the_exe_is_one_windows_2000_accepts(prefix, packages, windows, scenario):
    prefix.import_reg(RELAY_EXE_CALLS_REG)
    run, expected_calls = scenario(prefix, packages)
    calls = exe_calls(run.trace.read_text(errors="replace"), EXE, image_size())
    seen = {c.function for c in calls}
    assert expected_calls <= seen, f"the trace lacks the exe's calls {sorted(expected_calls - seen)}: {run}"
    assert call_faults(calls, wow64=windows == WOW64) == []
