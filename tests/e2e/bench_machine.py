"""Which kinds of Windows this Linux machine can run the shipped 32-bit exe on, and how.

Both kinds of the bench need 32-bit code to reach the kernel: Wine's WoW64 mode gives each 32-bit thread
its %fs through the 32-bit system-call gate (int 0x80, set_thread_area), and the i386 Wine is a 32-bit
Linux program. Where the kernel has no such gate (IA32 emulation off or left out), a user-mode emulator
registered with binfmt_misc for i386 ELF still runs the i386 Wine, and so the 32-bit Windows kind;
WoW64 cannot run there at all ("failed to allocate %fs selector" under qemu-x86_64).

binfmt_misc handlers are tried before the kernel's own loader: registered on a kernel that has the gate,
the emulator would run every 32-bit program of the machine, slower. So it is registered only where the
gate is missing, or where BENCH_EMULATE_I386=1 asks to try that route on a machine that has it (the
scripts remove the entry again when such a run ends).

    python3 bench_machine.py needs-emulator        exit status 0 when the bench runs under the emulator
    python3 bench_machine.py register INTERPRETER  registers INTERPRETER for i386 ELF (idempotent)
    python3 bench_machine.py release               removes that entry where the kernel has the gate
    python3 bench_machine.py release-if-asked      the same, after a run that asked for the emulator
    python3 bench_machine.py describe              one line: what this machine runs the bench on
"""

import functools
import os
import subprocess
import sys
from pathlib import Path

SETTING = "BENCH_EMULATE_I386"
# What every skip of a machine without any route begins with; the run ends with a banner that says so.
NO_ROUTE = "this machine cannot run 32-bit Windows programs under Wine"

BINFMT = Path("/proc/sys/fs/binfmt_misc")
ENTRY = "bootstrapper-bench-i386"
# An i386 ELF executable or shared object, as the kernel's binfmt_misc matches it (the ELF header's
# class, data, version, then e_type 2 or 3 and e_machine 3), in register's escaped form and as
# /proc shows a registered entry.
I386_MAGIC = r"\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00"
I386_MASK = r"\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff"
I386_MAGIC_SHOWN = "7f454c4601010100000000000000000002000300"

# getpid through int 0x80 from a 64-bit process: it ends with SIGSEGV where the kernel has no 32-bit
# system-call gate. binfmt_misc plays no part in it.
_INT80_PROBE = """
import ctypes, mmap
code = bytes([0xb8, 0x14, 0, 0, 0, 0xcd, 0x80, 0xc3])  # mov eax, 20; int 0x80; ret
page = mmap.mmap(-1, mmap.PAGESIZE, prot=mmap.PROT_READ | mmap.PROT_WRITE | mmap.PROT_EXEC)
page.write(code)
ctypes.CFUNCTYPE(ctypes.c_int)(ctypes.addressof(ctypes.c_char.from_buffer(page)))()
"""


@functools.cache
def kernel_has_32bit_syscall_gate():
    return subprocess.run([sys.executable, "-c", _INT80_PROBE], capture_output=True).returncode == 0


def asked_to_emulate():
    return os.environ.get(SETTING, "") not in ("", "0")


def emulated():
    """Whether the bench runs the i386 Wine under the emulator (and so the 32-bit kind alone)."""
    return asked_to_emulate() or not kernel_has_32bit_syscall_gate()


def _entries():
    """The registered binfmt_misc entries by name, each as its lines' first word -> the rest."""
    if not (BINFMT / "status").exists():
        return {}
    entries = {}
    for path in BINFMT.iterdir():
        if path.name in ("register", "status"):
            continue
        try:
            lines = path.read_text().splitlines()
        except OSError:
            continue
        fields = {"enabled": lines[0] == "enabled"} if lines else {}
        fields.update(line.split(" ", 1) for line in lines[1:] if " " in line)
        entries[path.name] = fields
    return entries


def i386_entry():
    """(name, interpreter, enabled) of the entry that runs i386 ELF programs, or None."""
    for name, fields in _entries().items():
        if fields.get("magic") == I386_MAGIC_SHOWN and fields.get("offset", "0") == "0":
            return name, fields.get("interpreter", ""), fields["enabled"]
    return None


def _filesystem_known():
    with open("/proc/filesystems") as known:
        return any(line.split()[-1] == "binfmt_misc" for line in known if line.strip())


def no_route():
    """Why no route can run 32-bit Windows programs here, or None when one can."""
    if not emulated():
        return None
    why = ("this kernel has no 32-bit system-call gate" if not kernel_has_32bit_syscall_gate()
           else f"{SETTING} asks for the emulator's route")
    entry = i386_entry()
    if entry and entry[2]:
        return None
    if entry:
        return f"{why}, and the binfmt_misc entry {entry[0]} for i386 programs is disabled"
    if not _filesystem_known():
        return f"{why}, and it has no binfmt_misc to run i386 programs under an emulator with"
    if os.geteuid() != 0:
        return f"{why}, and only root can register an emulator for i386 programs with binfmt_misc"
    return f"{why}, and no emulator is registered for i386 programs: scripts/setup registers one"


def describe():
    entry = i386_entry()
    if entry and not entry[2]:
        entry = None
    if not emulated():
        how = (f"32-bit Windows under {entry[1]} (binfmt_misc entry {entry[0]}, tried before the kernel's own loader)"
               if entry else "32-bit Windows natively")
        return f"64-bit Windows (WoW64) and {how}: the kernel has its 32-bit system-call gate"
    how = f"under the emulator {entry[1]}" if entry else "under an emulator"
    cause = f"as {SETTING} asks" if asked_to_emulate() else "the kernel has no 32-bit system-call gate"
    return f"32-bit Windows alone, the i386 Wine {how} ({cause}; WoW64 cannot run so)"


def _mount_binfmt():
    if not (BINFMT / "register").exists():
        subprocess.run(["mount", "-t", "binfmt_misc", "binfmt_misc", str(BINFMT)], check=True)


def register(interpreter):
    """Registers `interpreter` for i386 ELF with the F flag (opened now, so it also serves inside the
    bench's root), unless an entry for i386 programs exists already: ours is kept as it is, another
    one is left alone and named."""
    if not _filesystem_known():
        print("bench: this kernel has no binfmt_misc: no emulator can run i386 programs here")
        return 1
    _mount_binfmt()
    entry = i386_entry()
    if entry and entry[0] == ENTRY:
        if not entry[2]:
            (BINFMT / ENTRY).write_text("1")
        return 0
    if entry:
        print(f"bench: i386 programs already run through the binfmt_misc entry {entry[0]} ({entry[1]}); "
              f"left alone, the bench uses it instead of {interpreter}")
        return 0
    (BINFMT / "register").write_text(f":{ENTRY}:M::{I386_MAGIC}:{I386_MASK}:{interpreter}:F")
    print(f"bench: i386 programs now run under {interpreter} (binfmt_misc entry {ENTRY})")
    return 0


def release():
    """Removes our entry where the kernel has the gate: there it served only a run that asked for the
    emulator. Where the gate is missing it stays for the next run."""
    if kernel_has_32bit_syscall_gate() and (BINFMT / ENTRY).exists():
        (BINFMT / ENTRY).write_text("-1")
        print(f"bench: binfmt_misc entry {ENTRY} removed: the kernel runs i386 programs itself again")
    return 0


def main(argv):
    try:
        return _command(argv)
    except (OSError, subprocess.CalledProcessError) as error:
        print(f"bench: binfmt_misc: {error}", file=sys.stderr)
        return 1


def _command(argv):
    command = argv[1] if len(argv) > 1 else ""
    if command == "needs-emulator":
        return 0 if emulated() else 1
    if command == "register" and len(argv) == 3:
        return register(argv[2])
    if command == "release":
        return release()
    if command == "release-if-asked":
        return release() if asked_to_emulate() else 0
    if command == "describe":
        print(describe())
        return 0
    print(__doc__, file=sys.stderr)
    return 2


if __name__ == "__main__":
    sys.exit(main(sys.argv))
