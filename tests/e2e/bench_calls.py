"""Every call the bootstrapper's own code makes, read from Wine's relay trace and held against what the
oldest Windows the product supports, Windows 2000 SP4, accepts.

Wine accepts flags that Windows 2000 refuses, and runs a modern Windows; the trace shows what the exe
really passes. A call is the exe's when its thread is the exe's main thread and its return address lies
in the exe's image. The rules are one table: for each function, the arguments whose bits depend on the
Windows version, the functions that may be called only through a run-time lookup, and the order of
calls the program depends on."""

import re
from dataclasses import dataclass

# Relay tracing of the calls made from the exe's module (imports and run-time lookups alike): the
# base prefix limits tracing to the message boxes, this replaces that limit for one prefix. Wine's
# default RelayFromExclude would take precedence over the include list.
RELAY_EXE_CALLS_REG = """REGEDIT4

[HKEY_CURRENT_USER\\Software\\Wine\\Debug]
"RelayInclude"=-
"RelayFromExclude"=-
"RelayFromInclude"="bootstrapper.exe"
"""

_CALL = re.compile(r"^(?P<pid>[0-9a-f]+):(?P<tid>[0-9a-f]+):Call (?P<dll>[\w.-]+)\.(?P<function>\w+)\((?P<args>.*)\) "
                   r"ret=(?P<ret>[0-9a-f]+)$")
# Wine's loader naming where a module lies: 'pid:tid:trace:loaddll:build_module Loaded L"C:\\\\path" at
# 00400000: native'.
_LOADED = re.compile(r'^(?P<pid>[0-9a-f]+):[0-9a-f]+:trace:loaddll:\w+ Loaded L"(?P<path>(?:[^"\\]|\\.)*)" '
                     r"at (?P<base>[0-9a-f]+): ")
# One argument: its value in hex, then the text it points to when Wine knows it is a string (a long
# one cut short with "..." after its quote, an unreadable one as "(invalid)" or the like).
_ARGUMENT = re.compile(r'\s*(?P<value>[0-9a-f]+)(?: (?:L?"(?P<text>(?:[^"\\]|\\.)*)"(?:\.\.\.)?|\(\w+\)))?\s*(?:,|$)')


@dataclass
class Call:
    pid: int
    tid: int
    function: str
    args: list   # the values, as numbers
    texts: list  # the text of each argument that is a string, else None
    ret: int


def parse_arguments(text):
    values, texts, position = [], [], 0
    while position < len(text):
        m = _ARGUMENT.match(text, position)
        if not m or m.end() == position:
            raise ValueError(f"cannot read the arguments {text!r} at {position}")
        values.append(int(m["value"], 16))
        texts.append(m["text"])
        position = m.end()
    return values, texts


def relay_calls(trace_text):
    calls = []
    for line in trace_text.splitlines():
        m = _CALL.match(line.strip())
        if m:
            values, texts = parse_arguments(m["args"])
            calls.append(Call(int(m["pid"], 16), int(m["tid"], 16), m["function"], values, texts, int(m["ret"], 16)))
    return calls


def exe_calls(trace_text, exe_name, image_size):
    """The calls of the exe's own thread from its own image. Wine's loader says where the image lies
    (the loaddll channel): at its preferred base unless that memory is taken, as under the emulator,
    whose own mappings hold it (the image then lies at 0x00120000). Wine's msiexec loads at the same
    base in a process of its own: the exe's process is the one that loaded the exe, and its thread is
    the first one seen calling from the image."""
    loads = [(int(m["pid"], 16), int(m["base"], 16)) for m in map(_LOADED.match, trace_text.splitlines())
             if m and m["path"].lower().endswith("\\\\" + exe_name.lower())]
    if not loads:
        return []
    pid, base = loads[0]
    own = [c for c in relay_calls(trace_text) if c.pid == pid and base <= c.ret < base + image_size]
    if not own:
        return []
    return [c for c in own if c.tid == own[0].tid]


# -- What Windows 2000 SP4 accepts ----------------------------------------------------------------

KEY_WOW64_FLAGS = 0x300  # KEY_WOW64_64KEY | KEY_WOW64_32KEY: Windows 2000 has no WOW64
# Standard and generic rights, MAXIMUM_ALLOWED and every KEY_* right Windows 2000 knows.
REGISTRY_RIGHTS = 0xF21F003F
# FILE_ATTRIBUTE_* up to ENCRYPTED, FILE_FLAG_* from OPEN_NO_RECALL up and the SECURITY_* bits: no
# FILE_FLAG_SESSION_AWARE (0x00800000, Windows 8).
FILE_FLAGS_AND_ATTRIBUTES = 0xFF3F7FFF
# Every creation flag of Windows 2000 (debugging, consoles, priority classes, WOW VDMs, job breakaway,
# error mode, no window): no CREATE_PRESERVE_CODE_AUTHZ_LEVEL, CREATE_PROTECTED_PROCESS,
# EXTENDED_STARTUPINFO_PRESENT or INHERIT_PARENT_AFFINITY.
PROCESS_CREATION_FLAGS = 0x0D00FFFF
# MB_* of Windows 2000: buttons up to MB_CANCELTRYCONTINUE, icons, default button, modality, and the
# flags up to MB_SERVICE_NOTIFICATION.
MESSAGE_BOX_STYLE_BITS = 0x003FF3F7
MESSAGE_BOX_BUTTONS_LAST = 6
QS_WINDOWS_2000 = 0xFF       # QS_RAWINPUT (0x400) came with Windows XP
LOAD_LIBRARY_FLAGS = 0x0B    # DONT_RESOLVE_DLL_REFERENCES, AS_DATAFILE, WITH_ALTERED_SEARCH_PATH
VER_TYPE_BITS = 0xFF         # VER_MINORVERSION up to VER_PRODUCT_TYPE
EWX_FLAGS = 0x1F             # LOGOFF, SHUTDOWN, REBOOT, FORCE, POWEROFF, FORCEIFHUNG
COINIT_FLAGS = 0x0E          # APARTMENTTHREADED, DISABLE_OLE1DDE, SPEED_OVER_MEMORY
UOI_INDEXES = {1, 2, 3, 4}   # FLAGS, NAME, TYPE, USER_SID (HEAPSIZE and IO came with Vista)


@dataclass
class Argument:
    """Argument `index` (from the end when negative) may hold only the bits of `bits`, or only one of
    `values`."""
    index: int
    what: str
    bits: int | None = None
    values: frozenset | None = None

    def fault(self, call):
        value = call.args[self.index] & 0xFFFFFFFF  # a 64-bit trace shows a register's upper half too
        if self.bits is not None and value & ~self.bits:
            return f"{self.what} {value:#x} holds {value & ~self.bits:#x}, unknown to Windows 2000"
        if self.values is not None and value not in self.values:
            return f"{self.what} {value:#x} is not one Windows 2000 knows"
        return None


def Bits(index, allowed, what):
    return Argument(index, what, bits=allowed)


def OneOf(index, allowed, what):
    return Argument(index, what, values=frozenset(allowed))


@dataclass
class MessageBoxStyle:
    index: int

    def fault(self, call):
        style = call.args[self.index] & 0xFFFFFFFF
        if style & ~MESSAGE_BOX_STYLE_BITS:
            return f"style {style:#x} holds {style & ~MESSAGE_BOX_STYLE_BITS:#x}, unknown to Windows 2000"
        if style & 0xF > MESSAGE_BOX_BUTTONS_LAST:
            return f"style {style:#x} asks for buttons Windows 2000 does not have"
        return None


# The arguments whose meaning depends on the Windows version, by function.
ARGUMENT_RULES = {
    "MsgWaitForMultipleObjects": [Bits(4, QS_WINDOWS_2000, "wake mask")],
    "MsgWaitForMultipleObjectsEx": [Bits(3, QS_WINDOWS_2000, "wake mask"), Bits(4, 0x7, "flags")],
    "LoadLibraryExW": [Bits(2, LOAD_LIBRARY_FLAGS, "flags")],
    "CreateFileW": [Bits(2, 0x7, "share mode"), OneOf(4, {1, 2, 3, 4, 5}, "creation disposition"),
                    Bits(5, FILE_FLAGS_AND_ATTRIBUTES, "flags and attributes")],
    "CreateProcessW": [Bits(5, PROCESS_CREATION_FLAGS, "creation flags")],
    "RegOpenKeyExW": [OneOf(2, {0}, "options"), Bits(3, REGISTRY_RIGHTS | KEY_WOW64_FLAGS, "access")],
    "RegCreateKeyExW": [Bits(4, 0x7, "options"), Bits(5, REGISTRY_RIGHTS | KEY_WOW64_FLAGS, "access")],
    "RegDeleteKeyExW": [Bits(2, KEY_WOW64_FLAGS, "view")],
    "MessageBoxW": [MessageBoxStyle(3)],
    "MessageBoxExW": [MessageBoxStyle(3)],
    "VerifyVersionInfoW": [Bits(1, VER_TYPE_BITS, "type mask")],
    # (ULONGLONG conditions, DWORD type bit, BYTE condition): counted from the end, whatever the
    # trace makes of the 64-bit argument.
    "VerSetConditionMask": [Bits(-2, VER_TYPE_BITS, "type bit"), OneOf(-1, set(range(1, 8)), "condition")],
    "ExitWindowsEx": [Bits(0, EWX_FLAGS, "flags")],
    "CoInitializeEx": [Bits(1, COINIT_FLAGS, "concurrency model")],
    "GetUserObjectInformationW": [OneOf(1, UOI_INDEXES, "information index")],
    "MsiOpenPackageExW": [Bits(1, 0x1, "options")],
}

# Functions Windows 2000 lacks, and msi.dll's, which is loaded by full path: each call must follow a
# GetProcAddress of its name, so that the exe still loads where the function is missing.
LOOKED_UP_AT_RUN_TIME = {
    "SetDefaultDllDirectories", "SetDllDirectoryW", "IsWow64Process", "SystemFunction036",
    "InitiateSystemShutdownExW", "RegDeleteKeyExW", "CryptAcquireContextW", "CryptGenRandom", "CryptReleaseContext",
    "ConvertStringSecurityDescriptorToSecurityDescriptorW",
}


def is_looked_up(function):
    return function in LOOKED_UP_AT_RUN_TIME or function.startswith("Msi")


def _first(calls, predicate):
    return next((i for i, c in enumerate(calls) if predicate(c)), None)


def _last(calls, predicate):
    found = [i for i, c in enumerate(calls) if predicate(c)]
    return found[-1] if found else None


# Where each registry function takes the rights or the view that may hold KEY_WOW64_* bits.
REGISTRY_VIEW_ARGUMENT = {"RegOpenKeyExW": 3, "RegCreateKeyExW": 5, "RegDeleteKeyExW": 2}


def view_faults(calls, wow64):
    """A WOW64 registry view is asked for only after the exe learned that it runs under WOW64, and
    never on 32-bit Windows (Windows 2000 refuses the bits)."""
    faults = []
    asked_wow64 = _first(calls, lambda c: c.function == "IsWow64Process")
    for i, c in enumerate(calls):
        argument = REGISTRY_VIEW_ARGUMENT.get(c.function)
        if argument is None or not c.args[argument] & KEY_WOW64_FLAGS:
            continue
        if not wow64:
            faults.append(f"{c.function} asks for a WOW64 view on 32-bit Windows")
        elif asked_wow64 is None or asked_wow64 > i:
            faults.append(f"{c.function} asks for a WOW64 view before IsWow64Process")
    return faults


def order_faults(calls):
    """COM comes before Windows Installer opens a package and is left after its last call."""
    faults = []
    opened = _first(calls, lambda c: c.function == "MsiOpenPackageExW")
    com = _first(calls, lambda c: c.function == "CoInitializeEx")
    if opened is not None and (com is None or com > opened):
        faults.append("MsiOpenPackageExW before CoInitializeEx")
    last_msi = _last(calls, lambda c: c.function.startswith("Msi"))
    left = _last(calls, lambda c: c.function == "CoUninitialize")
    if com is not None and (left is None or (last_msi is not None and left < last_msi)):
        faults.append("COM not left after the last Windows Installer call")
    return faults


def call_faults(calls, wow64=True):
    """Every call of `calls` (the exe's own, in order) that Windows 2000 SP4 would refuse or lack; `wow64`
    says whether the run was on 64-bit Windows."""
    faults, looked_up = [], set()
    for c in calls:
        if c.function == "GetProcAddress" and c.texts[1]:
            looked_up.add(c.texts[1])
        if is_looked_up(c.function) and c.function not in looked_up:
            faults.append(f"{c.function} called without a run-time lookup")
        for rule in ARGUMENT_RULES.get(c.function, []):
            fault = rule.fault(c)
            if fault:
                faults.append(f"{c.function}: {fault}")
    return faults + view_faults(calls, wow64) + order_faults(calls)
