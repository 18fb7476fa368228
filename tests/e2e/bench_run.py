"""What a run under the helper reports: its JSON lines parsed into a Run (every window seen, the
full exit code, how long it ran, what each "tamper:" action could do), and Wine's relay trace of
the MessageBoxW calls, which adds to each box the style and owner it was asked for."""

import json
import re
from dataclasses import dataclass, field

# How long a driven run may take before the helper kills it, in seconds.
DRIVE_TIMEOUT = 40

# Relay tracing limited to the message-box calls (the base prefix's registry holds the limit):
# no window shows MB_SETFOREGROUND, and the bench checks the exact style each box was asked for.
RELAY_MESSAGE_BOXES_REG = """[HKEY_CURRENT_USER\\Software\\Wine\\Debug]
"RelayInclude"="user32.MessageBoxW;user32.MessageBoxExW"
"""
# The channels of a traced run: the relay trace, and where the loader put each module (a few lines a
# process), which tells the call check where the exe lies.
TRACE_MESSAGE_BOXES = "-all,+pid,+relay,+loaddll"


@dataclass
class Run:
    windows: list
    exit_code: int | None     # None: the run never reported an end (the prefix was shut down)
    timed_out: bool
    lines: list = field(default_factory=list)
    seconds: float | None = None  # how long the program ran, as the helper measured it (run mode)
    tampering: list = field(default_factory=list)  # what each "tamper:" action could do to its file
    trace: object = None  # the file of Wine's relay trace of the run (a Path), when there is one

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
