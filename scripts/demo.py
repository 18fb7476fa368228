"""The main job: the shipped 32-bit bootstrapper installs a demo plug-in package under Wine 10, as 64-bit
Windows runs it (WoW64) or, with --win32, as 32-bit Windows does.

Silent by default: prints the exit code, the msiexec log and the installed product's version.
With --show the run is interactive and its boxes appear on your own X display ($DISPLAY)."""
import argparse
import os
from contextlib import nullcontext

import wine_session as ws


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--show", action="store_true", help="run interactively on $DISPLAY")
    parser.add_argument("--keep", action="store_true", help="keep the demo product installed for the next run")
    ws.add_windows_option(parser)
    args = parser.parse_args()
    windows = ws.windows_of(args)
    if args.show and not os.environ.get("DISPLAY"):
        raise SystemExit("--show needs an X display: set DISPLAY")

    demo = ws.REPO / "build" / "demo"
    with (nullcontext(os.environ["DISPLAY"]) if args.show else ws.private_display()) as display:
        prefix = ws.boot_prefix(demo / "prefix", display, windows)
        try:
            if not args.keep:
                ws.uninstall_demo_product(prefix)
            package = ws.lay_out_demo_package(prefix, demo / "packages")
            switches = [] if args.show else ["-silent"]
            before = set(prefix.logs())
            print(f"Running {ws.BOOTSTRAPPER} {' '.join(switches)} beside {package} on {windows.stands_for}", flush=True)
            exit_code = ws.run(prefix, ws.BOOTSTRAPPER, *switches)
            new_logs = sorted(set(prefix.logs()) - before)
            _, temp_win = prefix.temp_dir()
            product = prefix.product(ws.DEMO_UPGRADE_CODE)
        finally:
            ws.stop(prefix)

    print(f"exit code:         {exit_code}")
    print(f"log:               {temp_win + chr(92) + new_logs[-1] if new_logs else '(none written)'}")
    installed = product.get("state") == 5
    print(f"installed product: {product.get('product') or '-'} "
          f"{product.get('version') if installed else '(not installed)'}")
    print(f"prefix:            {prefix.path} (WINEPREFIX for a closer look)")
    return 0 if exit_code == 0 else 1


if __name__ == "__main__":
    raise SystemExit(main())
