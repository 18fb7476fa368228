"""The base prefix of each kind of Windows, which every test's prefix is copied from: booted once per
pytest run, shared by all its workers, made under a lock and never raced for.

Several pytest-xdist workers may ask for the same base at once; the first one boots it (with the
bench's tools built first), proves that its 32-bit programs start and that the helper reads icons
right, and writes down the outcome; the others read it. A worker that would only wait boots another
base the run needs meanwhile, so the two bases boot side by side."""

import fcntl
import json
import shutil
from contextlib import contextmanager
from pathlib import Path

from bench_machine import NO_ROUTE, no_route
from bench_prefix import PROBE_FAILED, TOOLS_DIR, boot_prefix, end_prefix, overlay_copy, run_wine_for_output, \
    runs_32bit_programs, wine_env
from bench_tools import BUILD, bench_tools


@contextmanager
def locked(path, wait=True):
    """Holds an exclusive lock on the file `path` for the block (the file is made when missing) and
    yields True; without `wait`, yields False at once when someone else holds it."""
    path.parent.mkdir(parents=True, exist_ok=True)
    with open(path, "a") as lock:
        try:
            fcntl.flock(lock, fcntl.LOCK_EX | (0 if wait else fcntl.LOCK_NB))
        except BlockingIOError:
            yield False
            return
        try:
            yield True
        finally:
            fcntl.flock(lock, fcntl.LOCK_UN)


def built_tools(windows, needed):
    """The bench's tools for a kind of Windows, built with those of every kind the run needs, once even
    when several workers ask at once."""
    with locked(BUILD / "e2e" / "tools.lock"):
        return bench_tools(windows, *needed)


class BasePrefixes:
    """The base prefixes of one pytest run, under `root` (a folder every worker of the run shares), of
    the kinds of Windows in `needed`."""

    def __init__(self, root, display, needed=()):
        self.root = Path(root)
        self.display = display
        self.needed = needed

    def get(self, windows):
        """The base prefix of `windows` and its verdict: {} when the bench can use it, else why not and
        whether that is a skip (no route for 32-bit programs on this machine) or a failure."""
        with locked(self._lock(windows), wait=False) as mine:
            if mine:
                self._make_once(windows)
        if not mine:
            for other in self.needed:
                with locked(self._lock(other), wait=False) as free:
                    if free:
                        self._make_once(other)
            with locked(self._lock(windows)):
                self._make_once(windows)
        return self.root / windows.name, json.loads(self._verdict(windows).read_text())

    def _lock(self, windows):
        return self.root / f"{windows.name}.lock"

    def _verdict(self, windows):
        return self.root / f"{windows.name}.json"

    def _make_once(self, windows):
        """Called under the kind's lock."""
        if not self._verdict(windows).exists():
            self._verdict(windows).write_text(json.dumps(self._make(self.root / windows.name, windows)))

    def _make(self, base, windows):
        why_not = no_route()
        if why_not:
            return {"skip": f"{NO_ROUTE}: {why_not}"}
        boot_prefix(base, self.display, windows, built_tools(windows, self.needed).values())
        env = wine_env(base, self.display, windows)
        if not runs_32bit_programs(env):
            end_prefix(base, env)
            return {"fail": f"{windows.stands_for}: {PROBE_FAILED}"}
        seen = self._selftest(base, windows)
        icons, busy = seen["icons"], seen["busy_box"]
        if any(seen != kind for kind, seen in icons.items()):
            return {"fail": f"{windows.stands_for}: the helper misreads message-box icons on this machine: {icons}"}
        if (busy.get("title"), busy.get("text")) != ("e2e busy", "e2e busy box"):
            return {"fail": f"{windows.stands_for}: the helper misreads a box whose thread is busy: {busy}"}
        return {}

    def _selftest(self, base, windows):
        """The helper's reading of icons and of a box whose thread is busy once it is shown, proven on
        boxes of its own in a copy of the base, before any scenario relies on it."""
        copy = base.parent / f"{base.name}-selftest"
        overlay_copy(base, copy)
        env = wine_env(copy, self.display, windows)
        try:
            out = run_wine_for_output(env, TOOLS_DIR + "\\e2e_helper.exe", "selftest", timeout=60)
        finally:
            end_prefix(copy, env)
        return json.loads(out.strip().splitlines()[-1])

    def remove(self):
        shutil.rmtree(self.root, ignore_errors=True)
