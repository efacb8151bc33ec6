#!/usr/bin/env python3
"""Fails when an #include runs against the program's layering.

Each folder of src/ may include only itself and the folders below it, and a
portable file (one not named *_win.*) may include neither <windows.h> nor
any other Win32 header, nor a *_win.h header: the native configuration
builds it without them.

Usage: check_includes.py SRC_FOLDER
       check_includes.py --self-test   (the checker finds what it must)
"""

import re
import sys
from pathlib import Path

# Each folder and the folders it may include, besides itself.
LOWER = {
    "core": set(),
    "framework": {"core"},
    "history": {"core"},
    "updates": {"core", "framework"},
    "scan": {"core", "framework", "history", "updates"},
    "quarantine": {"core", "framework", "history", "updates", "scan"},
    "protection": {"core", "framework", "history", "updates", "scan", "quarantine"},
    "ui": {"core", "framework", "history", "updates", "scan", "quarantine", "protection"},
    "app": {"core", "framework", "history", "updates", "scan", "quarantine", "protection", "ui"},
}

WIN32_HEADERS = {
    "windows.h", "shlobj.h", "commctrl.h", "objbase.h", "urlmon.h", "wininet.h",
    "tlhelp32.h", "richedit.h", "shellapi.h", "process.h", "oleacc.h", "servprov.h",
    "aclapi.h", "sddl.h", "winternl.h",
}

INCLUDE = re.compile(r'^\s*#\s*include\s*([<"])([^>"]+)[>"]', re.MULTILINE)


def problems(src: Path):
    for path in sorted(src.rglob("*")):
        if path.suffix not in (".h", ".cpp"):
            continue
        relative = path.relative_to(src)
        folder = relative.parts[0]
        if folder not in LOWER:
            yield f"{relative}: folder '{folder}' has no place in the layering"
            continue
        portable = not path.stem.endswith("_win")
        for kind, name in INCLUDE.findall(path.read_text(encoding="utf-8")):
            if kind == "<":
                if portable and name.lower() in WIN32_HEADERS:
                    yield f"{relative}: a portable file includes <{name}>"
                continue
            target = name.split("/")[0]
            if "/" in name and target in LOWER and target != folder \
                    and target not in LOWER[folder]:
                yield f"{relative}: {folder}/ includes {name} from above it"
            if portable and Path(name).stem.endswith("_win"):
                yield f"{relative}: a portable file includes the Win32 header {name}"


def self_test() -> int:
    import tempfile
    with tempfile.TemporaryDirectory() as tmp:
        src = Path(tmp)
        files = {
            "core/ok.h": '#include "core/other.h"\n#include <string>\n',
            "core/up.cpp": '#include "scan/report_parser.h"\n',
            "scan/ok_win.cpp": '#include <windows.h>\n#include "history/x.h"\n',
            "history/bad.cpp": '#include <windows.h>\n',
            "updates/bad.h": '#include "framework/form_win.h"\n',
            "ui/up_win.h": ' #  include "app/program_win.h"\n',
        }
        for name, text in files.items():
            (src / name).parent.mkdir(parents=True, exist_ok=True)
            (src / name).write_text(text, encoding="utf-8")
        found = sorted(problems(src))
    expected = [
        "core/up.cpp: core/ includes scan/report_parser.h from above it",
        "history/bad.cpp: a portable file includes <windows.h>",
        "ui/up_win.h: ui/ includes app/program_win.h from above it",
        "updates/bad.h: a portable file includes the Win32 header framework/form_win.h",
    ]
    if found != expected:
        print("the checker found:", *found, "but should have found:", *expected, sep="\n  ")
        return 1
    print("the checker finds upward and Win32 includes")
    return 0


def main() -> int:
    if sys.argv[1:] == ["--self-test"]:
        return self_test()
    src = Path(sys.argv[1])
    found = list(problems(src))
    for problem in found:
        print(problem)
    print(f"{len(found)} layering problem(s)")
    return 1 if found else 0


if __name__ == "__main__":
    sys.exit(main())
