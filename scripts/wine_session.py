"""A private Wine session for the demo and the benchmark: an X display, a booted prefix of one kind of
Windows with the bench's helper in it, the bootstrapper laid out beside a demo plug-in package."""
import shutil
import sys
from pathlib import Path

REPO = Path(__file__).resolve().parents[1]
sys.path.insert(0, str(REPO / "tests" / "e2e"))

# The end-to-end bench's own tools, prefixes, runs and packages.
import bench_machine  # noqa: E402
import bench_prefix  # noqa: E402
import bench_tools  # noqa: E402
from bench_packages import STATE_INSTALLED, UPGRADE_CODE, PackageFactory  # noqa: E402
from bench_prefix import LAYOUT_DIR, SYSTEM32, TOOLS_DIR, Prefix, private_display  # noqa: E402,F401  (private_display: for the scripts)
from bench_tools import DEFAULT, WIN32, WOW64  # noqa: E402
from bench_run import parse_helper_output  # noqa: E402

DEMO_UPGRADE_CODE = UPGRADE_CODE
DEMO_PRODUCT_CODE = "{0D5D3B6A-8E21-4F49-A9C3-1C7E2B3F4D01}"
DEMO_VERSION = "2.0.13000"


def add_windows_option(parser):
    parser.add_argument("--win32", action="store_true",
                        help=f"run as {WIN32.stands_for} does (the i386 Wine) instead of {WOW64.stands_for}, "
                             "which is taken where this machine can run it")


def windows_of(args):
    """The kind of Windows asked for, else the first one this machine runs; says which, and how."""
    windows = WIN32 if args.win32 else DEFAULT
    print(f"This machine runs the bench on {bench_machine.describe()}.", flush=True)
    why_not = bench_machine.no_route()
    if why_not:
        raise SystemExit(f"{Path(sys.argv[0]).name}: {bench_machine.NO_ROUTE}: {why_not}")
    return windows


def tools(windows):
    return list(bench_tools.bench_tools(windows).values())


def boot_prefix(folder, display, windows):
    """Boots a prefix of that kind of Windows once (about 15 s), in a subfolder of `folder` named after
    the kind; an existing one is reused with fresh tools."""
    path = folder / windows.name
    if not (path / "system.reg").exists():
        print(f"Preparing a Wine prefix of {windows.stands_for} in {path} ...", flush=True)
        bench_prefix.boot_prefix(path, display, windows, tools(windows))
    else:
        for exe in tools(windows):
            shutil.copy2(exe, path / "drive_c" / "e2e" / exe.name)
    if not bench_prefix.runs_32bit_programs(bench_prefix.wine_env(path, display, windows)):
        raise SystemExit(f"{Path(sys.argv[0]).name}: {windows.stands_for}: {bench_prefix.PROBE_FAILED}")
    return Prefix(path, display, windows)


def lay_out_demo_package(prefix, cache):
    package = PackageFactory(cache).build(DEMO_PRODUCT_CODE, DEMO_VERSION, upgrade_code=DEMO_UPGRADE_CODE)
    return prefix.put_package(package)


def run(prefix, *command, timeout=300):
    """Runs a Windows program through the helper; its full 32-bit exit code."""
    return run_timed(prefix, *command, timeout=timeout)[0]


def run_timed(prefix, *command, timeout=300):
    """Runs a Windows program through the helper: its full 32-bit exit code, and how long it ran as
    measured inside Windows (without the cost of entering Wine from Linux)."""
    out = prefix.helper("run", "--timeout", str(timeout), "--", *command, timeout=timeout + 60)
    run = parse_helper_output(out)
    return run.exit_code, run.seconds


def uninstall_demo_product(prefix):
    if prefix.product(DEMO_UPGRADE_CODE).get("state") == STATE_INSTALLED:
        run(prefix, SYSTEM32 + "\\msiexec.exe", "/x", DEMO_PRODUCT_CODE, "/qn")


def stop(prefix):
    """Ends the prefix's wineserver and keeps the prefix."""
    bench_prefix.stop_server(prefix.env())


BOOTSTRAPPER = LAYOUT_DIR + "\\bootstrapper.exe"
FLOOR = TOOLS_DIR + "\\bench_floor.exe"
