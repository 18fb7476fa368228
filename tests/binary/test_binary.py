"""Checks of the linked executables that no compiler warning would give: where they load, which
DLLs a planted copy could hijack, and the exploit mitigations Windows looks for in an image."""
import re
import struct
from pathlib import Path

import pytest

from pe import IMAGE_DIRECTORY_ENTRY_BASERELOC, read_pe

ROOT = Path(__file__).resolve().parents[2]
WIN32_EXE = ROOT / "build" / "win32" / "bootstrapper.exe"
# The exe is stripped; the map its link writes beside it tells where the link placed each symbol.
WIN32_MAP = WIN32_EXE.with_suffix(".map")

IMAGE_FILE_MACHINE_I386 = 0x14C
IMAGE_SUBSYSTEM_WINDOWS_GUI = 2
SIZE_CEILING = 64 * 1024  # small by design (NOTES.md)

MITIGATIONS = {
    "DYNAMIC_BASE": 0x0040,  # ASLR: Windows may load the image anywhere
    "NX_COMPAT": 0x0100,     # DEP: data is never executed
    "NO_SEH": 0x0400,        # a 32-bit image lists its safe exception handlers or declares it has none
}
IMAGE_SCN_MEM_SHARED = 0x10000000
IMAGE_SCN_MEM_EXECUTE = 0x20000000
IMAGE_SCN_MEM_WRITE = 0x80000000

# An instruction that writes fs:[0], the head of the thread's SEH chain, which is how 32-bit code
# registers an exception handler: mov [fs:0] with the eax form (64 A3), a register (64 87/89 with a
# displacement-only ModRM), an immediate (64 C7 05) or a pop (64 8F 05).
SEH_CHAIN_WRITE = re.compile(rb"\x64(?:\xa3|[\x87\x89][\x05\x0d\x15\x1d\x25\x2d\x35\x3d]|[\x8f\xc7]\x05)\0\0\0\0")
CALL_REL32 = 0xE8

# DLLs that Windows loads from the system directory whatever the search order (KnownDLLs), so a
# copy planted beside the executable is never used.
PROTECTED_DLLS = {"kernel32.dll", "user32.dll", "advapi32.dll", "shell32.dll", "msvcrt.dll", "gdi32.dll", "ole32.dll"}

# Every function the 32-bit executable may import: each one is exported by Windows 2000 SP4.
# A new import must be checked against that system before it joins this list.
WINDOWS_2000_EXPORTS = {
    "kernel32.dll": {
        "CloseHandle", "CreateFileW", "CreateProcessW", "DeleteCriticalSection", "DeleteFileW", "EnterCriticalSection",
        "ExitProcess", "FindClose", "FindFirstFileW", "FindNextFileW", "FindResourceExW", "FindResourceW",
        "FreeLibrary", "GetCommandLineW", "GetCurrentProcess", "GetEnvironmentVariableW", "GetExitCodeProcess",
        "GetFileAttributesW", "GetLastError", "GetLocalTime", "GetModuleFileNameW", "GetModuleHandleA",
        "GetModuleHandleW", "GetProcAddress", "GetProcessHeap", "GetStartupInfoW", "GetStdHandle",
        "GetSystemDefaultUILanguage", "GetSystemDirectoryW", "HeapAlloc", "HeapFree", "InitializeCriticalSection",
        "LeaveCriticalSection", "LoadLibraryA", "LoadLibraryW", "LoadResource", "LocalFree", "LockResource",
        "SetLastError", "SetUnhandledExceptionFilter", "SizeofResource", "Sleep", "TlsGetValue",
        "VerSetConditionMask", "VerifyVersionInfoW", "VirtualProtect", "VirtualQuery", "WaitForSingleObject",
        "WideCharToMultiByte", "WriteFile", "lstrcpyW", "GetFileAttributesExW", "GetSystemWindowsDirectoryW",
        "LoadLibraryExW",
        # The plug-in's installation lock (src/platform/machine_lock_win32.cpp), Windows NT 3.1 on.
        "CreateMutexW", "ReleaseMutex",
        # The stack guard's noise and the end of a smashed stack (src/platform/runtime_win32.cpp): the
        # calls Microsoft's own C runtime makes for its stack cookie, on Windows 2000 as everywhere.
        "GetCurrentProcessId", "GetCurrentThreadId", "GetSystemTimeAsFileTime", "GetTickCount",
        "QueryPerformanceCounter", "TerminateProcess",
    },
    "user32.dll": {
        "CreateWindowExW", "ExitWindowsEx", "MessageBoxW", "DialogBoxParamW", "EndDialog", "GetDlgItem",
        "SendMessageW", "SendDlgItemMessageW", "ShowWindow", "SetWindowTextW", "GetWindowTextW", "IsDlgButtonChecked",
        "CheckDlgButton", "CheckRadioButton", "LoadImageW", "DestroyIcon", "LoadIconW", "MsgWaitForMultipleObjects",
        "PeekMessageW", "DispatchMessageW", "GetProcessWindowStation", "GetUserObjectInformationW",
    },
    "advapi32.dll": {
        "AdjustTokenPrivileges", "LookupPrivilegeValueW", "OpenProcessToken", "RegCloseKey", "RegCreateKeyExW",
        "RegOpenKeyExW",
        # The owner of an installation lock someone else may have made (machine_lock_win32.cpp):
        # GetSecurityInfo came with Windows NT 4.0 (aclapi.h), EqualSid with NT 3.1.
        "GetSecurityInfo", "EqualSid",
    },
    "shell32.dll": {"CommandLineToArgvW"},
    "ole32.dll": {"CoInitializeEx", "CoUninitialize"},
    "msvcrt.dll": {
        "__p__commode", "__p__fmode", "__p__wcmdln", "__set_app_type", "__setusermatherr", "__wgetmainargs",
        "__winitenv", "_amsg_exit", "_cexit", "_initterm", "_iob", "_onexit", "abort", "calloc", "exit", "fprintf",
        "free", "fwrite", "malloc", "memcpy", "memmove", "memset", "signal", "strlen", "strncmp", "vfprintf",
        "wcslen", "wcscmp",
    },
}


def built(path):
    if not path.exists():
        pytest.fail(f"{path.relative_to(ROOT)} is not built (run scripts/build)", pytrace=False)
    return read_pe(path)


def test_shipped_executable_is_a_32_bit_gui_program():
    image = built(WIN32_EXE)
    assert image.machine == IMAGE_FILE_MACHINE_I386
    assert image.subsystem == IMAGE_SUBSYSTEM_WINDOWS_GUI


def test_shipped_executable_loads_on_windows_2000():
    image = built(WIN32_EXE)
    # Windows 2000 refuses 5.01 and above; 5.0 loads everywhere from 2000 on.
    assert image.os_version == (5, 0)
    assert image.subsystem_version == (5, 0)


def test_imports_only_dlls_windows_protects_from_planting():
    image = built(WIN32_EXE)
    assert set(image.imports) <= PROTECTED_DLLS, "msi.dll and the like are loaded by full path at run time"
    assert "msi.dll" not in image.imports


def test_shipped_executable_imports_nothing_windows_2000_lacks():
    image = built(WIN32_EXE)
    unknown = {f"{dll}!{name}" for dll, names in image.imports.items()
               for name in names - WINDOWS_2000_EXPORTS.get(dll, set())}
    assert not unknown, f"imports not known to exist on Windows 2000 SP4: {sorted(unknown)}"


def test_shipped_executable_stays_small():
    size = len(built(WIN32_EXE).data)
    assert size < SIZE_CEILING, f"{size} bytes"


def test_no_runtime_dll_beside_the_executable_is_needed():
    image = built(WIN32_EXE)
    assert not any(dll.startswith(("libgcc", "libstdc++", "libwinpthread")) for dll in image.imports)


@pytest.mark.parametrize("flag", sorted(MITIGATIONS))
def test_shipped_executable_declares_the_mitigations(flag):
    image = built(WIN32_EXE)
    assert image.dll_characteristics & MITIGATIONS[flag], f"IMAGE_DLLCHARACTERISTICS_{flag} is not set"


def test_no_section_is_writable_and_executable_or_shared():
    image = built(WIN32_EXE)
    writable = [s for s in image.sections if s.characteristics & IMAGE_SCN_MEM_WRITE]
    assert not [s.name for s in writable if s.characteristics & IMAGE_SCN_MEM_EXECUTE], "writable code"
    assert not [s.name for s in writable if s.characteristics & IMAGE_SCN_MEM_SHARED], "data every process shares"


def test_shipped_executable_can_be_moved():
    image = built(WIN32_EXE)
    rva, size = image.directories[IMAGE_DIRECTORY_ENTRY_BASERELOC]
    assert rva and size, "no base relocations: Windows would keep the image at its preferred address"


def executable_sections(image):
    return [s for s in image.sections if s.characteristics & IMAGE_SCN_MEM_EXECUTE]


def test_no_code_registers_an_exception_handler():
    # NO_SEH says that no handler lives in the image: from XP SP2 on, Windows ends the process
    # rather than call one that does.
    image = built(WIN32_EXE)
    writes = [s.name for s in executable_sections(image) if SEH_CHAIN_WRITE.search(s.contents(image.data))]
    assert not writes, f"code that writes fs:[0] in {writes}"


def linked_symbols():
    """Where the link placed each named symbol of the shipped exe, from its map."""
    if not WIN32_MAP.exists():
        pytest.fail(f"{WIN32_MAP.relative_to(ROOT)} is missing (run scripts/build)", pytrace=False)
    lines = re.findall(r"^ +0x([0-9a-f]+) +([A-Za-z_][\w.$@]*)(?: = .*)?$", WIN32_MAP.read_text(), re.M)
    return {name: int(address, 16) for address, name in lines}


def linked(name):
    address = linked_symbols().get(name)
    assert address, f"the link placed no {name}"
    return address


def calls_to(image, target):
    """How many calls (E8 and a 32-bit displacement) in the exe's code lead to the address `target`."""
    count = 0
    for section in executable_sections(image):
        code, start = section.contents(image.data), image.image_base + section.virtual_address
        count += sum(1 for at in range(len(code) - 4) if code[at] == CALL_REL32
                     and start + at + 5 + struct.unpack_from("<i", code, at + 1)[0] == target)
    return count


def test_functions_check_the_stack_guard():
    # -fstack-protector-strong: a function with an array or an address-taken local compares the
    # guard before it returns, and calls __stack_chk_fail when it was overwritten.
    image = built(WIN32_EXE)
    linked("__stack_chk_guard")
    assert calls_to(image, linked("__stack_chk_fail")) > 0, "no function checks the guard"


def constructors(image, table):
    """What mingw's start-up calls before wWinMain: the words after __CTOR_LIST__'s first, up to a 0."""
    found = []
    while entry := struct.unpack("<I", image.at(table + 4 * (len(found) + 1), 4))[0]:
        found.append(entry)
    return found


def test_stack_guard_is_drawn_at_start_up():
    image = built(WIN32_EXE)
    listed = constructors(image, linked("__CTOR_LIST__"))
    assert linked("InitializeStackGuard") in listed, "the guard is never drawn: it stays 0"
