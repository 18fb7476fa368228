"""Benchmark: the shipped exe's size, and the wall time of a silent plug-in install by the
bootstrapper against the same install by msiexec started directly, under Wine (medians of N runs,
interleaved, the product removed after each)."""
import argparse
import statistics
import time

import wine_session as ws


def timed(prefix, *command):
    start = time.perf_counter()
    code = ws.run(prefix, *command)
    elapsed = time.perf_counter() - start
    if code != 0:
        raise SystemExit(f"{command[0]} ended with {code}")
    return elapsed


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--runs", type=int, default=7)
    args = parser.parse_args()

    size = (ws.REPO / "build" / "win32" / "bootstrapper.exe").stat().st_size
    bench = ws.REPO / "build" / "bench"
    with ws.private_display() as display:
        prefix = ws.boot_prefix(bench / "prefix", display)
        try:
            ws.uninstall_demo_product(prefix)
            package = ws.lay_out_demo_package(prefix, bench / "packages")
            _, temp = prefix.temp_dir()
            direct = [ws.SYSTEM32 + "\\msiexec.exe", "/i", package, "/Lv!", temp + "\\direct.log", "REBOOT=R",
                      "/qb", "ADDNPZAREL=1"]
            bootstrapper, msiexec = [], []
            for _ in range(args.runs):
                bootstrapper.append(timed(prefix, ws.BOOTSTRAPPER, "-silent"))
                ws.uninstall_demo_product(prefix)
                msiexec.append(timed(prefix, *direct))
                ws.uninstall_demo_product(prefix)
        finally:
            ws.stop(prefix)

    median_bootstrapper = statistics.median(bootstrapper)
    median_msiexec = statistics.median(msiexec)
    print(f"{'build/win32/bootstrapper.exe':<40}{size:>10} bytes ({size / 1024:.1f} KiB)")
    print(f"silent install, median of {args.runs} runs under Wine 10, WoW64 (wall, incl. starting the helper):")
    print(f"{'  bootstrapper -silent':<40}{median_bootstrapper:>10.3f} s")
    print(f"{'  msiexec /i directly':<40}{median_msiexec:>10.3f} s")
    print(f"{'  ratio bootstrapper / msiexec':<40}{median_bootstrapper / median_msiexec:>10.2f}")


if __name__ == "__main__":
    main()
