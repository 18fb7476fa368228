"""A private Wine session for the demo and the benchmark: an X display, a booted prefix with the
bench's helper in it, the bootstrapper laid out beside a demo plug-in package."""
import shutil
import sys
from pathlib import Path

REPO = Path(__file__).resolve().parents[1]
sys.path.insert(0, str(REPO / "tests" / "e2e"))

import e2e_bench  # noqa: E402  (the end-to-end bench's own prefix and package helpers)
from e2e_bench import LAYOUT_DIR, PACKAGE_FILE, SYSTEM32, Prefix, private_display  # noqa: E402,F401  (private_display: for the scripts)

DEMO_UPGRADE_CODE = e2e_bench.UPGRADE_CODE
DEMO_PRODUCT_CODE = "{0D5D3B6A-8E21-4F49-A9C3-1C7E2B3F4D01}"
DEMO_VERSION = "2.0.13000"


def tools():
    return list(e2e_bench.bench_tools().values())


def boot_prefix(path, display):
    """Boots a prefix once (about 15 s); an existing one is reused with fresh tools."""
    if not (path / "system.reg").exists():
        print(f"Preparing a Wine prefix in {path} ...", flush=True)
        e2e_bench.boot_prefix(path, display, tools())
    else:
        for exe in tools():
            shutil.copy2(exe, path / "drive_c" / "e2e" / exe.name)
    return Prefix(path, display)


def lay_out_demo_package(prefix, cache):
    package = e2e_bench.PackageFactory(cache).build(DEMO_PRODUCT_CODE, DEMO_VERSION,
                                                    upgrade_code=DEMO_UPGRADE_CODE)
    return prefix.put_package(package, PACKAGE_FILE)


def run(prefix, *command, timeout=300):
    """Runs a Windows program through the helper; its full 32-bit exit code."""
    return run_timed(prefix, *command, timeout=timeout)[0]


def run_timed(prefix, *command, timeout=300):
    """Runs a Windows program through the helper: its full 32-bit exit code, and how long it ran as
    measured inside Windows (without the cost of entering Wine from Linux)."""
    out = prefix.helper("run", "--timeout", str(timeout), "--", *command, timeout=timeout + 60)
    run = e2e_bench.parse_helper_output(out)
    return run.exit_code, run.seconds


def uninstall_demo_product(prefix):
    if prefix.product(DEMO_UPGRADE_CODE).get("state") == e2e_bench.STATE_INSTALLED:
        run(prefix, SYSTEM32 + "\\msiexec.exe", "/x", DEMO_PRODUCT_CODE, "/qn")


def stop(prefix):
    """Ends the prefix's wineserver and keeps the prefix."""
    e2e_bench.stop_server(prefix.env())


BOOTSTRAPPER = LAYOUT_DIR + "\\bootstrapper.exe"
FLOOR = e2e_bench.TOOLS_DIR + "\\bench_floor.exe"
