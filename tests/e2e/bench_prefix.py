"""Wine prefixes of the bench: the private X display they show their windows on, the Wine environment of
each kind of Windows, the base prefix booted once per session and kind, and Prefix, one test's copy of
it with the bootstrapper laid out in it and everything a scenario does there (running programs,
packages, the msiexec stand-in, the registry, faked Windows versions, TMP's logs, the installer
cache)."""

import json
import os
import shutil
import signal
import subprocess
import tempfile
import time
from contextlib import contextmanager
from pathlib import Path

from bench_packages import UPGRADE_CODE
from bench_run import DRIVE_TIMEOUT, RELAY_MESSAGE_BOXES_REG, TRACE_MESSAGE_BOXES, attach_styles, \
    message_box_calls, parse_helper_output
from bench_tools import BOOTSTRAPPER, KINDS, WINESERVER, WOW64

# Where things live inside every prefix (Windows paths and their drive_c counterparts).
TOOLS_DIR = "C:\\e2e"
LAYOUT_DIR = "C:\\Kestrova Setup"          # a blank in it: every quoted path must survive it
RECORD_FILE = TOOLS_DIR + "\\msiexec.rec"
SYSTEM32 = "C:\\windows\\system32"
# Where a 32-bit process's system32 really is under WoW64 (64-bit Windows only).
SYSWOW64 = "C:\\windows\\syswow64"

# Services Wine starts with every prefix that nothing the bootstrapper, msiexec or the helpers do
# ever reaches (the event log, devices arriving, the network's drivers). A test starts its prefix
# anew, and these were a fifth of the processor time of that start.
UNUSED_SERVICES = ("Eventlog", "PlugPlay", "NDIS", "nsiproxy")
SERVICE_DISABLED = 4

# Without a window manager Wine waits about 2 s for every hidden window to be acknowledged;
# unmanaged windows are shown and hidden at once. The relay trace of the message-box calls is
# limited here for every later run (bench_run.py).
BASE_REG = """REGEDIT4

[HKEY_CURRENT_USER\\Software\\Wine\\X11 Driver]
"Managed"="N"

""" + "".join(f"""[HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Services\\{name}]
"Start"=dword:{SERVICE_DISABLED:08x}

""" for name in UNUSED_SERVICES) + RELAY_MESSAGE_BOXES_REG


def win_to_unix(prefix, win_path):
    assert win_path[:3].upper() == "C:\\", win_path
    return prefix / "drive_c" / Path(*win_path[3:].split("\\"))


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


def wine_env(prefix, display, windows, overrides=""):
    """The environment of Wine programs in `prefix`; it names the kind of Windows (WINEARCH=win32 for
    32-bit Windows), from which scripts/wine10 and wine() know how to run them."""
    env = dict(os.environ)
    env.update(WINEPREFIX=str(prefix), DISPLAY=display, WINEDEBUG="-all",
               WINEDLLOVERRIDES="mscoree,mshtml=" + (";" + overrides if overrides else ""))
    env.pop("WAYLAND_DISPLAY", None)
    env.pop("WINEARCH", None)
    if windows.arch:
        env["WINEARCH"] = windows.arch
    return env


def windows_of(env):
    return next((w for w in KINDS if w.arch and w.arch == env.get("WINEARCH")), WOW64)


def wine(env):
    """The Wine loader for the prefix of `env`."""
    return list(windows_of(env).wine)


def boot_prefix(path, display, windows, tool_exes):
    """A freshly booted prefix of that kind of Windows (about 15 s) with the bench's tools and settings
    in it."""
    env = wine_env(path, display, windows)
    path.parent.mkdir(parents=True, exist_ok=True)
    subprocess.run([*wine(env), "wineboot", "-i"], env=env, check=True,
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    tools_dir = path / "drive_c" / "e2e"
    tools_dir.mkdir(parents=True, exist_ok=True)
    for exe in tool_exes:
        shutil.copy2(exe, tools_dir / exe.name)
    (tools_dir / "base.reg").write_text(BASE_REG)
    subprocess.run([*wine(env), "regedit", "/S", TOOLS_DIR + "\\base.reg"], env=env, check=True)
    subprocess.run([*WINESERVER, "-w"], env=env, check=True)  # registry flushed before any copy


# Why the bench cannot use a base prefix although the machine has a route for 32-bit programs.
PROBE_FAILED = "the bench's 32-bit probe did not run, although this machine has a route for 32-bit programs"


def runs_32bit_programs(env):
    """Whether a 32-bit program of the bench starts at all in the prefix of `env`: the probe prints its
    preload list, DLL names alone (Wine's own complaint also goes to standard output). The prefix's
    server has ended when it returns, as before any copy."""
    listed = run_wine_for_output(env, TOOLS_DIR + "\\dll_search_probe.exe", "--list", timeout=60).split()
    subprocess.run([*WINESERVER, "-w"], env=env, check=True)
    return bool(listed) and all(name.lower().endswith(".dll") for name in listed)


def stop_server(env):
    """Ends the prefix's wineserver and every process of the prefix as Wine shuts down (the registry
    written out), and waits until it is gone: for a prefix that is kept."""
    subprocess.run([*WINESERVER, "-k"], env=env, stderr=subprocess.DEVNULL)
    subprocess.run([*WINESERVER, "-w"], env=env, stderr=subprocess.DEVNULL)


def overlay_copy(base, path):
    """A prefix at `path` that starts as `base`: an overlay whose writes go to a folder of its own beside
    `path`, so that nothing is copied up front (a base prefix is 0.6 GB, 1.4 GB under WoW64, and its
    copy cost a second or two of every test) and the base, never written after it was booted, stays as
    it is for every other copy."""
    layers = path.parent / f"{path.name}.layers"
    for folder in (layers / "upper", layers / "work", path):
        folder.mkdir(parents=True)
    subprocess.run(["mount", "-t", "overlay", "overlay", "-o",
                    f"lowerdir={base},upperdir={layers / 'upper'},workdir={layers / 'work'}", str(path)], check=True)


def end_prefix(path, env):
    """Discards a prefix: its wineserver and processes are killed at once (nothing of the prefix is kept,
    so Wine's orderly shutdown, most of a second, would buy nothing), then its files go."""
    kill_prefix_processes(env["WINEPREFIX"])
    if os.path.ismount(path):
        # Lazily: a killed process may still hold a file of it for a moment.
        subprocess.run(["umount", "--lazy", str(path)], check=True)
        shutil.rmtree(path.parent / f"{path.name}.layers", ignore_errors=True)
    shutil.rmtree(path, ignore_errors=True)


def kill_prefix_processes(prefix, passes=100):
    """SIGKILLs the wineserver and every Windows process of `prefix`: those whose environment names it.
    Killing the wineserver alone (wineserver -k9) is not enough: its clients keep the write end of their
    own wake-up pipe, never see the server go, and stay for ever (a full run left 200 sets of services
    behind, 70 MB each). Passes repeat until none is left, for a process that was starting meanwhile."""
    needle = f"\0WINEPREFIX={prefix}\0".encode()
    for _ in range(passes):
        found = [pid for pid in _process_ids() if needle in _environment(pid)]
        if not found:
            return
        for pid in found:
            try:
                os.kill(pid, signal.SIGKILL)
            except ProcessLookupError:
                pass
        time.sleep(0.01)
    raise RuntimeError(f"the processes of {prefix} outlived {passes} rounds of SIGKILL")


def _process_ids():
    return [int(name) for name in os.listdir("/proc") if name.isdigit() and int(name) != os.getpid()]


def _environment(pid):
    """The environment `pid` started with; empty for a process gone or ended (a zombie has none)."""
    try:
        with open(f"/proc/{pid}/environ", "rb") as environ:
            return b"\0" + environ.read() + b"\0"
    except OSError:
        return b""


def run_wine_for_output(env, *args, timeout, trace=None):
    """Runs a Windows program and returns its standard output; Wine's debug output goes to `trace`.

    Through files, not pipes: the prefix's service processes that the first program starts
    inherit its descriptors and would hold a pipe open until the wineserver ends."""
    with tempfile.TemporaryFile() as out, open(trace or os.devnull, "wb") as err:
        subprocess.run([*wine(env), *args], env=env, stdout=out, stderr=err, timeout=timeout)
        out.seek(0)
        return out.read().decode("utf-8")


class Prefix:
    """One test's private Wine prefix with the bootstrapper laid out in it."""

    def __init__(self, path, display, windows):
        self.path = path
        self.display = display
        self.windows = windows
        self.overrides = ""
        self.extra_env = {}
        self._plans = 0
        self.layout = win_to_unix(path, LAYOUT_DIR)
        self.layout.mkdir(parents=True, exist_ok=True)
        shutil.copy2(BOOTSTRAPPER, self.layout / "bootstrapper.exe")
        subprocess.run([*WINESERVER, "-p"], env=self.env(), check=True)  # one server for the whole test

    def env(self):
        env = wine_env(self.path, self.display, self.windows, self.overrides)
        env.update(self.extra_env)
        return env

    def close(self):
        """Ends the prefix's wineserver and its processes, then removes the prefix."""
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
        run.trace = trace
        attach_styles(run.windows, message_box_calls(trace.read_text(errors="replace")))
        return run

    def run_in_hidden_window_station(self, *args, timeout=DRIVE_TIMEOUT):
        """Starts the bootstrapper with `args` in a window station nobody sees, as a service or a
        deployment tool's SYSTEM run in session 0 starts it; no box can be answered there. The run
        carries its relay trace, which the base prefix limits to the message boxes."""
        self._plans += 1
        trace = self.path.parent / f"trace{self._plans}.txt"
        stdout = run_wine_for_output(dict(self.env(), WINEDEBUG=TRACE_MESSAGE_BOXES), TOOLS_DIR + "\\e2e_helper.exe",
                                     "run", "--timeout", str(timeout), "--hidden-station", "--",
                                     LAYOUT_DIR + "\\bootstrapper.exe", *args, timeout=timeout + 60, trace=trace)
        run = parse_helper_output(stdout)
        run.trace = trace
        return run

    def start_bystander(self):
        """A process of the prefix that only a restart (which ends them all) stops early."""
        return subprocess.Popen([*wine(self.env()), TOOLS_DIR + "\\e2e_helper.exe", "sleep", "300"], env=self.env(),
                                stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

    @contextmanager
    def squatter(self, name, descriptor, attempts=240):
        """A user's process of the prefix that made the mutex `name` under the SDDL `descriptor` before
        the block and holds it throughout: yields the owner Windows reports for it and the process
        (its poll() is None while it holds the name)."""
        said = self.path.parent / "squatter.txt"
        with open(said, "wb") as out:
            squatter = subprocess.Popen([*wine(self.env()), TOOLS_DIR + "\\e2e_helper.exe", "squat", name, descriptor,
                                         "600"], env=self.env(), stdout=out, stderr=subprocess.DEVNULL)
        try:
            for _ in range(attempts):
                lines = said.read_text(encoding="utf-8").splitlines()
                if lines or squatter.poll() is not None:
                    break
                time.sleep(0.25)
            report = json.loads(lines[0]) if lines else {"error": "the squatter said nothing"}
            assert "owner" in report, f"the squatter could not make {name}: {report}"
            yield report["owner"], squatter
        finally:
            squatter.kill()

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
        subprocess.run([*wine(self.env()), *args], env=self.env(), check=True, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL, timeout=120)

    # -- the layout --------------------------------------------------------------------------

    def put_package(self, package, name=None, subdir=None):
        """Places a built package beside the bootstrapper or in a subfolder, by default under the name of
        this Windows' architecture; returns its Windows path."""
        name = name or self.windows.package_file
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
        return self.path / "drive_c" / self.windows.program_files / "KestrovaPellarisE2E" / "npzarel.dat"

    def use_msiexec_standin(self, exit_code=0, system_dirs=None):
        """Puts the recording stand-in in the place of msiexec.exe for the rest of the test, by default in
        every system folder of this Windows (under WoW64 syswow64, where the 32-bit bootstrapper's
        system32 leads, and system32 for 64-bit callers)."""
        for system_dir in system_dirs or self.windows.system_dirs:
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

    def wait_for_record(self, attempts=240):
        """Waits until a stand-in has recorded a command line (a run started concurrently got that far)."""
        for _ in range(attempts):
            if self.recorded_command_lines():
                return
            time.sleep(0.25)
        raise AssertionError("no stand-in was started")

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


def copy_prefix(base_prefix, display, windows, path):
    overlay_copy(base_prefix, path)
    return Prefix(path, display, windows)

