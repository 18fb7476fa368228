"""Checks of the linked executables that no compiler warning would give: where they load, and
which DLLs a planted copy could hijack."""
from pathlib import Path

import pytest

from pe import read_pe

ROOT = Path(__file__).resolve().parents[2]
WIN32_EXE = ROOT / "build" / "win32" / "bootstrapper.exe"

IMAGE_FILE_MACHINE_I386 = 0x14C
IMAGE_SUBSYSTEM_WINDOWS_GUI = 2

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
    },
    "user32.dll": {
        "CreateWindowExW", "ExitWindowsEx", "MessageBoxW", "DialogBoxParamW", "EndDialog", "GetDlgItem",
        "SendMessageW", "SendDlgItemMessageW", "ShowWindow", "SetWindowTextW", "GetWindowTextW", "IsDlgButtonChecked",
        "CheckDlgButton", "CheckRadioButton", "LoadImageW", "DestroyIcon", "LoadIconW", "MsgWaitForMultipleObjects",
        "PeekMessageW", "DispatchMessageW",
    },
    "advapi32.dll": {
        "AdjustTokenPrivileges", "LookupPrivilegeValueW", "OpenProcessToken", "RegCloseKey", "RegCreateKeyExW",
        "RegOpenKeyExW",
    },
    "shell32.dll": {"CommandLineToArgvW"},
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


def test_no_runtime_dll_beside_the_executable_is_needed():
    image = built(WIN32_EXE)
    assert not any(dll.startswith(("libgcc", "libstdc++", "libwinpthread")) for dll in image.imports)
