"""The source's layers: app (the top) over features over base over platform. Folders include one
another one way only, and the process ends in one place: the entry point returns the run's result."""
import re
from pathlib import Path

SRC = Path(__file__).resolve().parents[2] / "src"
INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"', re.M)
# Lower layers first; a file may include its own folder or any folder of a lower layer.
LAYERS = [["platform"], ["base"], ["features/csp", "features/plugin"], ["app"]]
LAYER_OF = {folder: rank for rank, folders in enumerate(LAYERS) for folder in folders}
# What ends a process, written anywhere but in the platform layer.
PROCESS_ENDS = re.compile(r"\b(exit|_exit|abort|ExitProcess|TerminateProcess|ExitProcessNormally)\s*\(")


def folder_of(path):
    return str(path.parent.relative_to(SRC)) if path.is_relative_to(SRC) else None


def sources():
    return sorted(p for p in SRC.rglob("*") if p.suffix in (".h", ".cpp"))


def includes():
    """(including folder, included folder, file) for every include of one src folder by another."""
    for path in sources():
        for included in INCLUDE.findall(path.read_text(encoding="utf-8")):
            target = SRC / included
            if target.exists() and folder_of(target) != folder_of(path):
                yield folder_of(path), folder_of(target), path.relative_to(SRC)


def test_every_folder_is_in_a_layer():
    folders = {folder_of(p) for p in sources()}
    assert folders <= set(LAYER_OF), f"folders of no layer: {sorted(folders - set(LAYER_OF))}"


def test_folders_include_only_lower_layers():
    upward = [f"{file}: {source} includes {target}" for source, target, file in includes()
              if LAYER_OF[target] >= LAYER_OF[source]]
    assert not upward, "includes that point up or sideways:\n" + "\n".join(upward)


def test_the_process_ends_only_at_the_entry_point():
    ending = [str(p.relative_to(SRC)) for p in sources()
              if folder_of(p) != "platform" and PROCESS_ENDS.search(p.read_text(encoding="utf-8"))]
    assert not ending, f"files that end the process: {ending}"
    main = (SRC / "app" / "main.cpp").read_text(encoding="utf-8")
    assert "return static_cast<int>(RunBootstrapper(" in main


if __name__ == "__main__":
    # Runs without pytest too (scripts/test --unit on a machine that has only Python).
    for name, check in sorted(globals().items()):
        if name.startswith("test_"):
            check()
    print("layers: every check passed")
