"""Benchmark: the shipped exe's size, and the wall time of a silent fresh plug-in install under Wine 10
(WoW64, or with --win32 the 32-bit Windows of the i386 Wine) by the bootstrapper against the floor: the least work any correct bootstrapper must do
(tests/e2e/tools/bench_floor.cpp: load msi.dll, open the package once for its codes and version, look
for related products, name a verbose log, start msiexec from the system directory and wait). msiexec
started directly is shown for scale. Medians of N interleaved runs, the product removed after each."""
import argparse
import statistics

import wine_session as ws


def timed(prefix, *command):
    code, seconds = ws.run_timed(prefix, *command)
    if code != 0:
        raise SystemExit(f"{command[0]} ended with {code}")
    ws.uninstall_demo_product(prefix)
    return seconds


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--runs", type=int, default=15)
    ws.add_windows_option(parser)
    args = parser.parse_args()
    windows = ws.windows_of(args)

    size = (ws.REPO / "build" / "win32" / "bootstrapper.exe").stat().st_size
    bench = ws.REPO / "build" / "bench"
    with ws.private_display() as display:
        prefix = ws.boot_prefix(bench / "prefix", display, windows)
        try:
            ws.uninstall_demo_product(prefix)
            package = ws.lay_out_demo_package(prefix, bench / "packages")
            _, temp = prefix.temp_dir()
            commands = {
                "bootstrapper -silent": [ws.BOOTSTRAPPER, "-silent"],
                "floor (bench_floor)": [ws.FLOOR, package],
                "msiexec /i directly": [ws.SYSTEM32 + "\\msiexec.exe", "/i", package, "/Lv!", temp + "\\direct.log",
                                        "REBOOT=R", "/qb", "ADDNPZAREL=1"],
            }
            times = {name: [] for name in commands}
            timed(prefix, *commands["bootstrapper -silent"])  # warm the caches once, unmeasured
            for _ in range(args.runs):
                for name, command in commands.items():
                    times[name].append(timed(prefix, *command))
        finally:
            ws.stop(prefix)

    medians = {name: statistics.median(values) for name, values in times.items()}
    print(f"{'build/win32/bootstrapper.exe':<40}{size:>10} bytes ({size / 1024:.1f} KiB)")
    print(f"silent fresh install, median of {args.runs} runs under Wine 10 as {windows.stands_for} "
          "(process start to end):")
    for name, median in medians.items():
        print(f"  {name:<38}{median:>10.3f} s")
    ratio = medians["bootstrapper -silent"] / medians["floor (bench_floor)"]
    print(f"{'  ratio bootstrapper / floor':<40}{ratio:>10.2f}")


if __name__ == "__main__":
    main()
