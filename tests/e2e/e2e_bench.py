"""The end-to-end bench: the shipped 32-bit bootstrapper driven under Wine 10's WoW64 mode on a private
X display.

One Xvfb and one freshly booted base prefix per session (conftest.py); every test gets its own copy
of that prefix (cp -a), with its own wineserver that is ended at teardown. Inside a prefix the
Windows-side helper (tools/helper/) starts the bootstrapper, reads and answers its boxes, and
reports the full exit code; Wine's relay trace of the MessageBoxW calls adds the style each box was
asked for. Test packages are built with wixl from packages/plugin.wxs and cached under
build/e2e/packages.
"""

import hashlib
import json
import os
import re
import shutil
import subprocess
import tempfile
import time
import uuid
from contextlib import contextmanager
from dataclasses import dataclass, field
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
# The helper is several files, one per concern (tools/helper/main.cpp lists them).
HELPER_SOURCE = TOOLS_SOURCE / "helper"

# Where things live inside every prefix (Windows paths and their drive_c counterparts).
TOOLS_DIR = "C:\\e2e"
LAYOUT_DIR = "C:\\Kestrova Setup"          # a blank in it: every quoted path must survive it
RECORD_FILE = TOOLS_DIR + "\\msiexec.rec"
SYSTEM32 = "C:\\windows\\system32"
# Where a 32-bit process's system32 really is under WoW64: a stand-in must be in both.
SYSWOW64 = "C:\\windows\\syswow64"

# The plug-in packages the scenarios install. One upgrade code; each version has its own product code.
UPGRADE_CODE = "{6A0C9B0E-5D3E-4C5B-9D1A-2F0B7C6E1A11}"
PRODUCT_NAME = "Kestrova Pellaris"
# The 32-bit bootstrapper under WoW64 is on 64-bit Windows: it picks the "*x64*" package.
PACKAGE_FILE = "zarelcom-x64.msi"
OLD = ("{0D5D3B6A-8E21-4F49-A9C3-1C7E2B3F4A01}", "2.0.12888")
NEW = ("{0D5D3B6A-8E21-4F49-A9C3-1C7E2B3F4A02}", "2.0.13000")

IDOK, IDYES, IDNO = 1, 6, 7
STATE_INSTALLED = 5
DRIVE_TIMEOUT = 40


# ------------------------------------------------------------------------------------------------
# Tools the bench needs.

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
        "dll_search_probe": tool_exe("dll_search_probe", [src / "dll_search_probe.cpp"], [], MINGW_CXX_32,
                                     product_sources=["platform/dll_search_win32.cpp", "platform/msi_api_win32.cpp"]),
        "bench_floor": tool_exe("bench_floor", [src / "bench_floor.cpp"], [], MINGW_CXX_32),
    }


# ------------------------------------------------------------------------------------------------
# Prefixes.

@contextmanager
def private_display():
    """A private Xvfb; -displayfd makes it pick a free display number itself."""
    read_fd, write_fd = os.pipe()
    xvfb = subprocess.Popen(["Xvfb", "-displayfd", str(write_fd), "-screen", "0", "1024x768x24", "-nolisten", "tcp"],
                            pass_fds=(write_fd,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    os.close(write_fd)
    with os.fdopen(read_fd) as r:
        number = r.readline().strip()
    try:
        if not number:
            raise RuntimeError("Xvfb did not start")
        yield f":{number}"
    finally:
        xvfb.terminate()
        xvfb.wait(10)


def boot_prefix(path, display, tool_exes):
    """A freshly booted prefix (about 15 s) with the bench's tools and settings in it."""
    env = wine_env(path, display)
    path.parent.mkdir(parents=True, exist_ok=True)
    subprocess.run([*WINE, "wineboot", "-i"], env=env, check=True,
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    tools_dir = path / "drive_c" / "e2e"
    tools_dir.mkdir(parents=True, exist_ok=True)
    for exe in tool_exes:
        shutil.copy2(exe, tools_dir / exe.name)
    (tools_dir / "base.reg").write_text(BASE_REG)
    subprocess.run([*WINE, "regedit", "/S", TOOLS_DIR + "\\base.reg"], env=env, check=True)
    subprocess.run([*WINESERVER, "-w"], env=env, check=True)  # registry flushed before any copy


def stop_server(env):
    """Ends the prefix's wineserver and every process of the prefix, and waits until it is gone."""
    subprocess.run([*WINESERVER, "-k"], env=env, stderr=subprocess.DEVNULL)
    subprocess.run([*WINESERVER, "-w"], env=env, stderr=subprocess.DEVNULL)


def end_prefix(path, env):
    stop_server(env)
    shutil.rmtree(path, ignore_errors=True)


def wine_env(prefix, display, overrides=""):
    env = dict(os.environ)
    env.update(WINEPREFIX=str(prefix), DISPLAY=display, WINEDEBUG="-all",
               WINEDLLOVERRIDES="mscoree,mshtml=" + (";" + overrides if overrides else ""))
    env.pop("WAYLAND_DISPLAY", None)
    return env


# Without a window manager Wine waits about 2 s for every hidden window to be acknowledged;
# unmanaged windows are shown and hidden at once. Relay tracing of the message-box calls shows
# the owner and style each box was asked for: no window shows MB_SETFOREGROUND, and the bench
# checks the exact style asked for.
BASE_REG = """REGEDIT4

[HKEY_CURRENT_USER\\Software\\Wine\\X11 Driver]
"Managed"="N"

[HKEY_CURRENT_USER\\Software\\Wine\\Debug]
"RelayInclude"="user32.MessageBoxW;user32.MessageBoxExW"
"""
TRACE_MESSAGE_BOXES = "-all,+pid,+relay"


# ------------------------------------------------------------------------------------------------
# A run of the bootstrapper.

@dataclass
class Run:
    windows: list
    exit_code: int | None     # None: the run never reported an end (the prefix was shut down)
    timed_out: bool
    lines: list = field(default_factory=list)
    seconds: float | None = None  # how long the program ran, as the helper measured it (run mode)
    tampering: list = field(default_factory=list)  # what each "tamper:" action could do to its file

    def __repr__(self):
        """What a failing assertion shows: each window on one line, then how the run ended."""
        shown = [f"  {w.get('process', '?')}: [{w['title']}] {w['text']!r} buttons={[b['id'] for b in w['buttons']]} "
                 f"icon={w['icon']} style={w.get('style', 0):#x}{' UNEXPECTED' if w.get('unexpected') else ''}"
                 for w in self.windows]
        return "\n".join(["run:"] + shown + [f"  exit={self.exit_code} timed_out={self.timed_out}"])


def parse_helper_output(stdout):
    windows, exit_code, timed_out, lines, seconds, tampering = [], None, False, [], None, []
    for raw in stdout.splitlines():
        raw = raw.strip()
        if not raw.startswith("{"):
            continue
        obj = json.loads(raw)
        lines.append(obj)
        if "window" in obj:
            w = dict(obj["window"])
            w["unexpected"] = obj.get("unexpected", False)
            windows.append(w)
        elif "dump" in obj:
            windows.append(dict(obj["dump"], dump=True))
        elif "tamper" in obj:
            tampering.append(obj)
        elif "exit" in obj:
            exit_code, timed_out, seconds = obj["exit"], obj.get("timeout", False), obj.get("seconds")
        elif "error" in obj:
            raise AssertionError(f"e2e_helper: {obj}")
    return Run(windows, exit_code, timed_out, lines, seconds, tampering)


def run_wine_for_output(env, *args, timeout, trace=None):
    """Runs a Windows program and returns its standard output; Wine's debug output goes to `trace`.

    Through files, not pipes: the prefix's service processes that the first program starts
    inherit its descriptors and would hold a pipe open until the wineserver ends."""
    with tempfile.TemporaryFile() as out, open(trace or os.devnull, "wb") as err:
        subprocess.run([*WINE, *args], env=env, stdout=out, stderr=err, timeout=timeout)
        out.seek(0)
        return out.read().decode("utf-8")


_MESSAGE_BOX_CALL = re.compile(
    r"^(?P<pid>[0-9a-f]+):[0-9a-f]+:Call user32\.MessageBox(?P<ex>Ex)?W\((?P<owner>[0-9a-f]+),"
    r".*,(?P<style>[0-9a-f]+)(?(ex),[0-9a-f]+)\) ret=[0-9a-f]+$")


def message_box_calls(trace_text):
    """(pid, owner handle, style) of every MessageBoxW/MessageBoxExW call, in call order."""
    calls = []
    for line in trace_text.splitlines():
        m = _MESSAGE_BOX_CALL.match(line)
        if m:
            calls.append((int(m["pid"], 16), int(m["owner"], 16), int(m["style"], 16)))
    return calls


def attach_styles(windows, calls):
    """The k-th box of a process was made by that process's k-th message-box call."""
    per_pid = {}
    for pid, owner, style in calls:
        per_pid.setdefault(pid, []).append((owner, style))
    for w in windows:
        if w["kind"] == "box" and not w.get("dump") and per_pid.get(w.get("pid")):
            owner, style = per_pid[w["pid"]].pop(0)
            w["style"], w["owner_handle"] = style, owner


def win_to_unix(prefix, win_path):
    assert win_path[:3].upper() == "C:\\", win_path
    return prefix / "drive_c" / Path(*win_path[3:].split("\\"))


class Prefix:
    """One test's private Wine prefix with the bootstrapper laid out in it."""

    def __init__(self, path, display):
        self.path = path
        self.display = display
        self.overrides = ""
        self.extra_env = {}
        self._plans = 0
        self.layout = win_to_unix(path, LAYOUT_DIR)
        self.layout.mkdir(parents=True, exist_ok=True)
        shutil.copy2(BOOTSTRAPPER, self.layout / "bootstrapper.exe")
        subprocess.run([*WINESERVER, "-p"], env=self.env(), check=True)  # one server for the whole test

    def env(self):
        env = wine_env(self.path, self.display, self.overrides)
        env.update(self.extra_env)
        return env

    def close(self):
        """Ends the prefix's wineserver and its processes, then removes the prefix (about 700 MB)."""
        end_prefix(self.path, self.env())

    # -- running Windows programs ------------------------------------------------------------

    def helper(self, *args, timeout=120):
        return run_wine_for_output(self.env(), TOOLS_DIR + "\\e2e_helper.exe", *args, timeout=timeout)

    def helper_json(self, *args):
        return json.loads(self.helper(*args).strip().splitlines()[-1])

    def run_bootstrapper(self, *args, plan=(), timeout=DRIVE_TIMEOUT, env=None, unset=()):
        """Starts the bootstrapper with `args`; `plan` holds one step per window expected, in order.

        `env` adds variables for this run alone; `unset` names variables the bootstrapper must not
        inherit. The helper removes those: Wine gives every process started from Linux the
        prefix's TMP, whatever the Linux environment holds."""
        self._plans += 1
        plan_win = f"{TOOLS_DIR}\\plan{self._plans}.txt"
        win_to_unix(self.path, plan_win).write_text("\n".join(plan) + "\n")
        trace = self.path.parent / f"trace{self._plans}.txt"
        run_env = dict(self.env(), **(env or {}), WINEDEBUG=TRACE_MESSAGE_BOXES)
        unset_args = [a for name in unset for a in ("--unset", name)]
        stdout = run_wine_for_output(run_env, TOOLS_DIR + "\\e2e_helper.exe", "drive", "--timeout", str(timeout),
                                     *unset_args, plan_win, "--", LAYOUT_DIR + "\\bootstrapper.exe", *args,
                                     timeout=timeout + 60, trace=trace)
        run = parse_helper_output(stdout)
        attach_styles(run.windows, message_box_calls(trace.read_text(errors="replace")))
        return run

    def start_bystander(self):
        """A process of the prefix that only a restart (which ends them all) stops early."""
        return subprocess.Popen([*WINE, TOOLS_DIR + "\\e2e_helper.exe", "sleep", "300"], env=self.env(),
                                stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

    def wait_out_restart(self, attempts=60):
        """After a restart, waits until a new process of the prefix is no longer ended under it.

        Wine's shutdown goes on for a while after ExitWindowsEx returns, longer on a busy machine; the
        wait ends as soon as a process survives it."""
        for _ in range(attempts):
            if self.helper("key", "query", "Software").strip():
                return
            time.sleep(0.5)
        raise AssertionError("the prefix never settled after the restart")

    def wine(self, *args):
        subprocess.run([*WINE, *args], env=self.env(), check=True, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL, timeout=120)

    # -- the layout --------------------------------------------------------------------------

    def put_package(self, package, name=PACKAGE_FILE, subdir=None):
        """Places a built package beside the bootstrapper or in a subfolder; returns its Windows path."""
        target = self.layout / subdir if subdir else self.layout
        target.mkdir(parents=True, exist_ok=True)
        shutil.copy2(package, target / name)
        return LAYOUT_DIR + ("\\" + subdir if subdir else "") + "\\" + name

    # -- Windows Installer ---------------------------------------------------------------------

    def install_directly(self, package, *props):
        """Installs a package with the real msiexec, before the scenario starts."""
        staged = win_to_unix(self.path, TOOLS_DIR + "\\staged")
        staged.mkdir(exist_ok=True)
        shutil.copy2(package, staged / Path(package).name)
        run = parse_helper_output(self.helper(
            "run", "--timeout", "60", "--", SYSTEM32 + "\\msiexec.exe", "/i",
            f"{TOOLS_DIR}\\staged\\{Path(package).name}", "/qn", *props))
        assert run.exit_code == 0, f"msiexec could not pre-install {package}: {run.exit_code}"

    def product(self, upgrade_code=UPGRADE_CODE):
        return self.helper_json("product", upgrade_code)

    @contextmanager
    def installer_cache_hidden(self):
        """Wine's MsiOpenPackageExW refuses (1638) a package whose ProductCode is installed at another
        version while the installed product's cached package exists; Windows opens it. The cached
        packages are moved aside for the block and put back after it."""
        cache = self.path / "drive_c" / "windows" / "Installer"
        aside = self.path / "installer-cache-aside"
        aside.mkdir()
        moved = [p.rename(aside / p.name) for p in cache.glob("*.msi")]
        try:
            yield
        finally:
            for p in moved:
                p.rename(cache / p.name)
            aside.rmdir()

    def set_user_environment(self, name, value):
        """Sets a variable of HKCU\\Environment, which the prefix's processes started afterwards inherit
        (and which, on Windows, an elevated msiexec takes from the user who may write it)."""
        escaped = value.replace("\\", "\\\\").replace('"', '\\"')
        self.import_reg(f'REGEDIT4\n\n[HKEY_CURRENT_USER\\Environment]\n"{name}"="{escaped}"\n')

    def installed_payload(self):
        """The file the test package installs (a 32-bit package: Program Files (x86) on 64-bit Windows)."""
        return self.path / "drive_c" / "Program Files (x86)" / "KestrovaPellarisE2E" / "npzarel.dat"

    def use_msiexec_standin(self, exit_code=0, system_dirs=(SYSTEM32, SYSWOW64)):
        """Puts the recording stand-in in the place of msiexec.exe for the rest of the test: in syswow64,
        where the 32-bit bootstrapper's system32 leads, and in system32 for 64-bit callers."""
        for system_dir in system_dirs:
            shutil.copy2(win_to_unix(self.path, TOOLS_DIR + "\\fake_setup.exe"),
                         win_to_unix(self.path, system_dir + "\\msiexec.exe"))
        self.overrides = "msiexec.exe=n"
        self.extra_env.update(FAKE_SETUP_RECORD=RECORD_FILE, FAKE_SETUP_EXIT=str(exit_code))

    def put_setup_programs(self, *kinds):
        """The recording stand-in as each distribution's setup program: <layout>\\<kind>\\Setup.exe.

        Its exit code comes from FAKE_SETUP_EXIT_<KIND> (e.g. FAKE_SETUP_EXIT_UCSP), else FAKE_SETUP_EXIT."""
        for kind in kinds:
            (self.layout / kind).mkdir(exist_ok=True)
            shutil.copy2(win_to_unix(self.path, TOOLS_DIR + "\\fake_setup.exe"), self.layout / kind / "Setup.exe")
        self.extra_env.setdefault("FAKE_SETUP_RECORD", RECORD_FILE)

    def clear_record(self):
        win_to_unix(self.path, RECORD_FILE).unlink(missing_ok=True)

    def recorded_command_lines(self):
        record = win_to_unix(self.path, RECORD_FILE)
        return record.read_text(encoding="utf-8").splitlines() if record.exists() else []

    # -- registry and files --------------------------------------------------------------------

    def marker_exists(self):
        return self.helper_json("key", "query", "Software\\NeedBstrReboot")["exists"]

    def set_marker(self):
        assert self.helper_json("key", "create", "Software\\NeedBstrReboot")["status"] == 0

    def import_reg(self, text):
        reg = win_to_unix(self.path, TOOLS_DIR + "\\import.reg")
        reg.write_text(text)
        self.wine("regedit", "/S", TOOLS_DIR + "\\import.reg")

    def fake_windows_version(self, major, minor, build, service_pack, server=False):
        """Makes VerifyVersionInfoW of the next process answer as that Windows would.

        A 32-bit process reads the version from the Wow6432Node view, and Wine 10 prefers the
        Current*VersionNumber values to CurrentVersion: both views get all of them."""
        csd = f"Service Pack {service_pack}" if service_pack else ""
        version_values = f"""\
"CurrentVersion"="{major}.{minor}"
"CurrentMajorVersionNumber"=dword:{major:08x}
"CurrentMinorVersionNumber"=dword:{minor:08x}
"CurrentBuild"="{build}"
"CurrentBuildNumber"="{build}"
"CSDVersion"="{csd}"
"""
        self.import_reg(f"""REGEDIT4

[HKEY_CURRENT_USER\\Software\\Wine]
"Version"=-

[HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows NT\\CurrentVersion]
{version_values}
[HKEY_LOCAL_MACHINE\\Software\\Wow6432Node\\Microsoft\\Windows NT\\CurrentVersion]
{version_values}

[HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Control\\Windows]
"CSDVersion"=dword:{service_pack * 256:08x}

[HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Control\\ProductOptions]
"ProductType"="{'ServerNT' if server else 'WinNT'}"
""")

    def temp_dir(self):
        """TMP as the prefix's programs see it (C:\\users\\<user>\\AppData\\Local\\Temp)."""
        users = self.path / "drive_c" / "users"
        dirs = [d for d in users.glob("*/AppData/Local/Temp") if d.parents[2].name.lower() != "public"]
        assert len(dirs) == 1, dirs
        return dirs[0], f"C:\\users\\{dirs[0].parents[2].name}\\AppData\\Local\\Temp"

    def logs(self):
        unix_dir, _ = self.temp_dir()
        return sorted(p.name for p in unix_dir.glob("*.log"))


def copy_prefix(base_prefix, display, path):
    subprocess.run(["cp", "-a", str(base_prefix), str(path)], check=True)
    return Prefix(path, display)


# ------------------------------------------------------------------------------------------------
# Packages.

class PackageFactory:
    def __init__(self, cache):
        self.cache = cache
        self.wxs = E2E / "packages" / "plugin.wxs"

    def build(self, product_code, version, name=PRODUCT_NAME, upgrade_code=UPGRADE_CODE):
        defines = {"ProductCode": product_code, "UpgradeCode": upgrade_code, "Version": version, "ProductName": name}
        key = hashlib.sha256((self.wxs.read_text() + json.dumps(defines, sort_keys=True)).encode()).hexdigest()[:16]
        out = self.cache / f"{key}.msi"
        if out.exists():
            return out
        work = self.cache / f"work-{uuid.uuid4().hex}"
        work.mkdir(parents=True)
        (work / "npzarel.dat").write_text(f"{name} {version}\n")
        cmd = ["wixl", "-o", str(work / "package.msi")]
        for k, v in defines.items():
            cmd += ["-D", f"{k}={v}"]
        subprocess.run(cmd + [str(self.wxs)], cwd=work, check=True, capture_output=True)
        (work / "package.msi").replace(out)
        shutil.rmtree(work)
        return out

    def altered(self, package, query):
        """A copy of a built package with one SQL statement applied by msibuild: a property taken out
        or given a value no wixl source would let it have."""
        key = hashlib.sha256(Path(package).read_bytes() + query.encode()).hexdigest()[:16]
        out = self.cache / f"{key}.msi"
        if not out.exists():
            work = self.cache / f"work-{uuid.uuid4().hex}.msi"
            shutil.copy2(package, work)
            subprocess.run(["msibuild", str(work), "-q", query], check=True, capture_output=True)
            work.replace(out)
        return out


# ------------------------------------------------------------------------------------------------
# Checking boxes.

MB_OK, MB_YESNO = 0x0, 0x4
MB_ICONERROR, MB_ICONWARNING, MB_ICONINFORMATION = 0x10, 0x30, 0x40
MB_SETFOREGROUND, MB_TOPMOST = 0x10000, 0x40000

# The kinds of box the program shows.
ERROR_BOX = MB_OK | MB_ICONERROR | MB_SETFOREGROUND | MB_TOPMOST
QUESTION_BOX = MB_YESNO | MB_SETFOREGROUND | MB_TOPMOST
WARNING_QUESTION_BOX = MB_YESNO | MB_ICONWARNING | MB_SETFOREGROUND | MB_TOPMOST
PLAIN_BOX = MB_OK | MB_SETFOREGROUND | MB_TOPMOST
HELP_BOX = MB_OK | MB_ICONINFORMATION | MB_SETFOREGROUND | MB_TOPMOST
OWNERLESS_YES_NO_BOX = MB_YESNO
OWNERLESS_ERROR_BOX = MB_OK | MB_ICONERROR


def assert_box(window, *, title, text, buttons, icon, owned, style):
    """One message box: what the user sees, its owner, and the exact style it was asked for.

    `owned`: True for the program's hidden owner window, False for none. `icon` is read from the
    screen, `style` from the traced MessageBoxW call (no window shows MB_SETFOREGROUND)."""
    assert not window.get("unexpected"), f"box nobody planned for: {window}"
    assert window["kind"] == "box", window
    assert window["title"] == title
    assert window["text"] == text
    assert [b["id"] for b in window["buttons"]] == buttons
    assert window["icon"] == icon
    if owned:
        # The owner is the program's invisible, disabled "STATIC" window.
        assert window["owner"] == {"class": "Static", "visible": False, "enabled": False}
    else:
        assert window["owner"] is None
    assert "style" in window, f"no traced MessageBoxW call for this box: {window}"
    assert window["style"] == style, f"style {window['style']:#x}, expected {style:#x}"
    assert (window["owner_handle"] != 0) == owned
